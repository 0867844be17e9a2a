#include "geometry/Jpeg.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>

// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include "geometry/AtomicFile.h"

namespace orvex {

namespace {

// The library reports a fatal error by calling error_exit, which must not return: it jumps back
// to the call that set `escape`. Everything the jump may skip lives in this record, never in a
// local of the frame that called setjmp.
struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf escape;
    char message[JMSG_LENGTH_MAX];
    char warning[JMSG_LENGTH_MAX];
    int maxScans = 0;
};

ErrorManager& Manager(j_common_ptr cinfo) {
    return *reinterpret_cast<ErrorManager*>(cinfo->err);
}

[[noreturn]] void Error_Exit(j_common_ptr cinfo) {
    ErrorManager& m = Manager(cinfo);
    (*cinfo->err->format_message)(cinfo, m.message);
    std::longjmp(m.escape, 1);
}

// Warnings (level -1) and trace messages: the first warning is kept, nothing is printed.
void Emit_Message(j_common_ptr cinfo, int level) {
    ErrorManager& m = Manager(cinfo);
    if (level < 0) {
        if (m.warning[0] == '\0') (*cinfo->err->format_message)(cinfo, m.warning);
        ++cinfo->err->num_warnings;
    }
}

void Output_Message(j_common_ptr) {}

// A progressive picture can repeat scans without end; each costs a pass over the coefficients.
void Scan_Monitor(j_common_ptr cinfo) {
    if (cinfo->is_decompressor) {
        auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
        ErrorManager& m = Manager(cinfo);
        if (d->progressive_mode && d->input_scan_number > m.maxScans) {
            std::snprintf(m.message, sizeof m.message, "more than %d scans in a progressive picture",
                          m.maxScans);
            std::longjmp(m.escape, 1);
        }
    }
}

void Install(ErrorManager& m) {
    jpeg_std_error(&m.base);
    m.base.error_exit = Error_Exit;
    m.base.emit_message = Emit_Message;
    m.base.output_message = Output_Message;
    m.message[0] = '\0';
    m.warning[0] = '\0';
}

std::string Prefixed(const std::string& name, const char* text) {
    return name + ": " + text;
}

// Adobe writes CMYK inverted (0 = full ink); others write it plain.
void Cmyk_Row_To_Pixels(const unsigned char* row, unsigned width, bool inverted, std::uint32_t* out) {
    for (unsigned x = 0; x < width; ++x, row += 4) {
        unsigned c = row[0], mg = row[1], y = row[2], k = row[3];
        if (!inverted) c = 255 - c, mg = 255 - mg, y = 255 - y, k = 255 - k;
        out[x] = Pixel_Rgb(c * k / 255, mg * k / 255, y * k / 255);
    }
}

// Everything the decoder touches after setjmp, on the heap so that a jump skips no destructor.
struct DecodeState {
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    jpeg_progress_mgr progress;
    std::vector<std::uint32_t> pixels;
    std::vector<unsigned char> cmykRow;
    std::string limitMessage;
    bool created = false;
};

// 0 on success, 1 after a library error, 2 when a limit refused the picture.
int Run_Decode(DecodeState* s, const unsigned char* data, std::size_t size, const JpegLimits& limits) {
    if (setjmp(s->err.escape)) return 1;
    jpeg_create_decompress(&s->cinfo);
    s->created = true;
    s->progress.progress_monitor = Scan_Monitor;
    s->cinfo.progress = &s->progress;
    // The library's big buffers (a progressive picture's coefficients) stay within a bound of the
    // pixel limit; past it the library fails instead of asking for more.
    s->cinfo.mem->max_memory_to_use =
        long(std::min<std::uint64_t>(16 * limits.Max_Pixels + (64u << 20), 1ull << 40));
    jpeg_mem_src(&s->cinfo, data, static_cast<unsigned long>(size));
    jpeg_read_header(&s->cinfo, TRUE);

    const std::uint64_t w = s->cinfo.image_width, h = s->cinfo.image_height;
    if (w == 0 || h == 0 || w * h > limits.Max_Pixels) {
        s->limitMessage = "a picture of " + std::to_string(w) + " x " + std::to_string(h) +
                          " pixels is larger than the " + std::to_string(limits.Max_Pixels) +
                          " pixels accepted";
        return 2;
    }
    const bool cmyk = s->cinfo.jpeg_color_space == JCS_CMYK || s->cinfo.jpeg_color_space == JCS_YCCK;
    s->cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_RGBX;
    jpeg_start_decompress(&s->cinfo);
    if (s->cinfo.output_width != w || s->cinfo.output_height != h) {
        s->limitMessage = "the decoder changed the picture's size";
        return 2;
    }
    s->pixels.resize(w * h);
    if (cmyk) s->cmykRow.resize(4 * w);
    const bool inverted = s->cinfo.saw_Adobe_marker;
    while (s->cinfo.output_scanline < s->cinfo.output_height) {
        std::uint32_t* out = s->pixels.data() + std::size_t(s->cinfo.output_scanline) * w;
        // JCS_EXT_RGBX writes R, G, B, X bytes: on this little-endian layout, 0xXXBBGGRR.
        JSAMPROW row = cmyk ? s->cmykRow.data() : reinterpret_cast<JSAMPROW>(out);
        if (jpeg_read_scanlines(&s->cinfo, &row, 1) != 1) break;
        if (cmyk) Cmyk_Row_To_Pixels(s->cmykRow.data(), unsigned(w), inverted, out);
    }
    jpeg_finish_decompress(&s->cinfo);
    return 0;
}

struct EncodeState {
    jpeg_compress_struct cinfo;
    ErrorManager err;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    bool created = false;
};

int Run_Encode(EncodeState* s, const RgbImage& image, int quality) {
    if (setjmp(s->err.escape)) return 1;
    jpeg_create_compress(&s->cinfo);
    s->created = true;
    jpeg_mem_dest(&s->cinfo, &s->buffer, &s->size);
    s->cinfo.image_width = JDIMENSION(image.Width);
    s->cinfo.image_height = JDIMENSION(image.Height);
    s->cinfo.input_components = 4;
    s->cinfo.in_color_space = JCS_EXT_RGBX;
    jpeg_set_defaults(&s->cinfo);
    jpeg_set_quality(&s->cinfo, quality, TRUE);
    jpeg_start_compress(&s->cinfo, TRUE);
    while (s->cinfo.next_scanline < s->cinfo.image_height) {
        // The library only reads the row; its prototype is older than const.
        auto* row = reinterpret_cast<JSAMPROW>(const_cast<std::uint32_t*>(
            image.Pixels.data() + std::size_t(s->cinfo.next_scanline) * image.Width));
        jpeg_write_scanlines(&s->cinfo, &row, 1);
    }
    jpeg_finish_compress(&s->cinfo);
    return 0;
}

}  // namespace

Status Decode_Jpeg(const unsigned char* data, std::size_t size, JpegDecoded& out, const std::string& name,
                   const JpegLimits& limits) {
    out = JpegDecoded{};
    // Pixels are decoded as R, G, B, X bytes straight into 0x00BBGGRR ints.
    static_assert(std::endian::native == std::endian::little);
    if (size == 0 || data == nullptr) return Status::Error(Prefixed(name, "the file is empty"));
    if (size > 0xFFFFFFFFu) return Status::Error(Prefixed(name, "the file is too large to decode"));
    auto state = std::make_unique<DecodeState>();
    DecodeState* s = state.get();
    Install(s->err);
    s->err.maxScans = std::max(1, limits.Max_Scans);
    s->cinfo.err = &s->err.base;
    const int result = Run_Decode(s, data, size, limits);
    Status status;
    if (result == 1) {
        status =
            Status::Error(Prefixed(name, s->err.message[0] ? s->err.message : "not a readable JPEG picture"));
    } else if (result == 2) {
        status = Status::Error(Prefixed(name, s->limitMessage.c_str()));
    } else {
        out.Image.Width = int(s->cinfo.output_width);
        out.Image.Height = int(s->cinfo.output_height);
        out.Image.Pixels = std::move(s->pixels);
        for (std::uint32_t& p : out.Image.Pixels) p &= 0x00FFFFFFu;
        if (s->err.warning[0]) out.Warning = Prefixed(name, s->err.warning);
    }
    if (s->created) jpeg_destroy_decompress(&s->cinfo);
    return status;
}

Status Read_Jpeg_File(const std::string& path, JpegDecoded& out, const JpegLimits& limits) {
    out = JpegDecoded{};
    std::ifstream file(path, std::ios::binary);
    if (!file) return Status::Error(path + ": cannot open the file: " + std::strerror(errno));
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(file)),
                                     std::istreambuf_iterator<char>());
    if (file.bad()) return Status::Error(path + ": cannot read the file");
    return Decode_Jpeg(bytes.data(), bytes.size(), out, path, limits);
}

Status Encode_Jpeg(const RgbImage& image, int quality, std::vector<unsigned char>& out) {
    out.clear();
    if (!image.Consistent()) return Status::Error("an empty or inconsistent picture cannot be encoded");
    if (image.Width > JPEG_MAX_DIMENSION || image.Height > JPEG_MAX_DIMENSION)
        return Status::Error("a JPEG picture is at most " + std::to_string(JPEG_MAX_DIMENSION) +
                             " pixels a side");
    auto state = std::make_unique<EncodeState>();
    EncodeState* s = state.get();
    Install(s->err);
    s->cinfo.err = &s->err.base;
    const int result = Run_Encode(s, image, std::clamp(quality, 1, 100));
    Status status;
    if (result != 0)
        status = Status::Error(std::string("JPEG encoding failed: ") + s->err.message);
    else
        out.assign(s->buffer, s->buffer + s->size);
    if (s->created) jpeg_destroy_compress(&s->cinfo);
    std::free(s->buffer);
    return status;
}

Status Write_Jpeg_File(const std::string& path, const RgbImage& image, int quality) {
    std::vector<unsigned char> bytes;
    Status status = Encode_Jpeg(image, quality, bytes);
    if (!status) return Status::Error(path + ": " + status.message);
    AtomicFile file;
    status = file.Open(path);
    if (!status) return status;
    file.Write(bytes.data(), bytes.size());
    return file.Commit();
}

}  // namespace orvex
