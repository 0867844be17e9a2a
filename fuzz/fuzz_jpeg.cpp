// Decode_Jpeg on any bytes. Promises: a failure leaves an empty picture and a message naming the
// source; a success gives a consistent picture within the pixel limit, every pixel 0x00BBGGRR, its
// size the one the frame header states; small pictures encode again and decode to the same size.

// clang-format off
#include <cstddef>
#include <cstdio>
#include <jpeglib.h>
// clang-format on

#include "fuzz/FuzzSupport.h"
#include "geometry/Jpeg.h"

namespace orvex::fuzz {

namespace {

// Pictures beyond this are refused here, so that each input decodes in milliseconds.
constexpr std::uint64_t kFuzzMaxPixels = std::uint64_t(1) << 20;

RgbImage Pattern(int w, int h) {
    RgbImage image{w, h, {}};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) image.Pixels.push_back(Pixel_Rgb(x * 37, y * 53, (x ^ y) * 11));
    return image;
}

Bytes Encoded(int w, int h, int quality) {
    Bytes out;
    FUZZ_CHECK(Encode_Jpeg(Pattern(w, h), quality, out).ok, "cannot encode a seed");
    return out;
}

// The layouts the program's own encoder does not write: grey, CMYK, progressive.
Bytes Library_Encoded(int w, int h, J_COLOR_SPACE space, int components, bool progressive) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = JDIMENSION(w);
    cinfo.image_height = JDIMENSION(h);
    cinfo.input_components = components;
    cinfo.in_color_space = space;
    jpeg_set_defaults(&cinfo);
    if (progressive) jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<unsigned char> row(std::size_t(w * components));
    while (cinfo.next_scanline < cinfo.image_height) {
        for (std::size_t i = 0; i < row.size(); ++i)
            row[i] = (unsigned char)(i * 7 + cinfo.next_scanline * 13);
        JSAMPROW p = row.data();
        jpeg_write_scanlines(&cinfo, &p, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    Bytes bytes(buffer, buffer + size);
    std::free(buffer);
    return bytes;
}

// Width and height from the frame header, found as the library finds it: segment by segment
// after the start marker, bytes between segments skipped up to the next 0xFF, fill bytes 0xFF and
// stuffed 0xFF 0x00 passed over. 0, 0 when there is none.
void Frame_Size(const std::uint8_t* data, std::size_t size, unsigned& w, unsigned& h) {
    w = h = 0;
    std::size_t i = 2;
    while (i < size) {
        while (i < size && data[i] != 0xFF) ++i;
        while (i < size && data[i] == 0xFF) ++i;
        if (i >= size) return;
        const std::uint8_t m = data[i++];
        if (m == 0x00 || m == 0x01 || (m >= 0xD0 && m <= 0xD8)) continue;  // no length
        if (m == 0xD9 || m == 0xDA) return;                                // end, or data before any frame
        if (i + 2 > size) return;
        const std::size_t length = std::size_t(data[i]) << 8 | data[i + 1];
        if (m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC) {
            if (i + 7 > size) return;
            h = unsigned(data[i + 3]) << 8 | data[i + 4];
            w = unsigned(data[i + 5]) << 8 | data[i + 6];
            return;
        }
        i += length;
    }
}

}  // namespace

void Make_Seeds(const std::string& dir) {
    Write_Seed(dir, "pattern-q75", Encoded(24, 16, 75));
    Write_Seed(dir, "pattern-q100", Encoded(9, 7, 100));
    Write_Seed(dir, "one-pixel", Encoded(1, 1, 50));
    Write_Seed(dir, "grey", Library_Encoded(17, 5, JCS_GRAYSCALE, 1, false));
    Write_Seed(dir, "cmyk", Library_Encoded(8, 8, JCS_CMYK, 4, false));
    Write_Seed(dir, "progressive", Library_Encoded(20, 12, JCS_RGB, 3, true));
    Write_Seed(dir, "progressive-grey", Library_Encoded(12, 20, JCS_GRAYSCALE, 1, true));
    Bytes cut = Encoded(32, 32, 75);
    cut.resize(cut.size() / 2);
    Write_Seed(dir, "truncated", cut);
    Write_Seed(dir, "soi-only", Bytes{0xFF, 0xD8});
    Write_Seed(dir, "empty", Bytes{});
}

}  // namespace orvex::fuzz

using namespace orvex;
using namespace orvex::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    JpegLimits limits;
    limits.Max_Pixels = kFuzzMaxPixels;
    JpegDecoded decoded;
    const Status status = Decode_Jpeg(data, size, decoded, "in.jpg", limits);
    if (!status.ok) {
        FUZZ_CHECK(decoded.Image.Empty() && decoded.Image.Pixels.empty(), "a failed decode left a picture");
        FUZZ_CHECK(status.message.rfind("in.jpg: ", 0) == 0 && status.message.size() > 8, "message \"%s\"",
                   status.message.c_str());
        return 0;
    }
    const RgbImage& image = decoded.Image;
    FUZZ_CHECK(image.Consistent(), "%d x %d with %zu pixels", image.Width, image.Height, image.Pixels.size());
    FUZZ_CHECK(std::uint64_t(image.Width) * std::uint64_t(image.Height) <= kFuzzMaxPixels,
               "%d x %d past the limit", image.Width, image.Height);
    unsigned w = 0, h = 0;
    Frame_Size(data, size, w, h);
    FUZZ_CHECK(unsigned(image.Width) == w && unsigned(image.Height) == h, "%d x %d, the header says %u x %u",
               image.Width, image.Height, w, h);
    for (std::uint32_t p : image.Pixels) FUZZ_CHECK(p >> 24 == 0, "pixel %08X", p);
    if (image.Pixels.size() <= 4096) {
        Bytes again;
        FUZZ_CHECK(Encode_Jpeg(image, 75, again).ok, "a decoded picture does not encode");
        JpegDecoded round;
        FUZZ_CHECK(Decode_Jpeg(again.data(), again.size(), round).ok, "a re-encoded picture does not decode");
        FUZZ_CHECK(round.Image.Width == image.Width && round.Image.Height == image.Height, "size changed");
    }
    return 0;
}
