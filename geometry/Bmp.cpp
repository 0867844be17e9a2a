#include "geometry/Bmp.h"

#include <cstdint>

#include "geometry/AtomicFile.h"

namespace orvex {

namespace {

void Put16(unsigned char* p, std::uint32_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}
void Put32(unsigned char* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

constexpr std::size_t kHeaderBytes = 14 + 40;

}  // namespace

std::vector<unsigned char> Encode_Bmp(const RgbImage& image) {
    if (!image.Consistent()) return {};
    const std::uint64_t stride = (3 * std::uint64_t(image.Width) + 3) / 4 * 4;
    const std::uint64_t total = kHeaderBytes + stride * std::uint64_t(image.Height);
    if (total > 0xFFFFFFFFu) return {};
    std::vector<unsigned char> out(total, 0);
    unsigned char* h = out.data();
    h[0] = 'B', h[1] = 'M';
    Put32(h + 2, std::uint32_t(total));
    Put32(h + 10, std::uint32_t(kHeaderBytes));
    Put32(h + 14, 40);
    Put32(h + 18, std::uint32_t(image.Width));
    Put32(h + 22, std::uint32_t(image.Height));  // positive: bottom row first
    Put16(h + 26, 1);
    Put16(h + 28, 24);
    Put32(h + 34, std::uint32_t(stride * std::uint64_t(image.Height)));
    Put32(h + 38, 2835);  // 72 dots per inch
    Put32(h + 42, 2835);
    for (int y = 0; y < image.Height; ++y) {
        unsigned char* row = out.data() + kHeaderBytes + stride * std::uint64_t(image.Height - 1 - y);
        for (int x = 0; x < image.Width; ++x) {
            const std::uint32_t c = image.At(x, y);
            row[3 * x] = static_cast<unsigned char>(c >> 16);
            row[3 * x + 1] = static_cast<unsigned char>(c >> 8);
            row[3 * x + 2] = static_cast<unsigned char>(c);
        }
    }
    return out;
}

Status Write_Bmp_File(const std::string& path, const RgbImage& image) {
    const std::vector<unsigned char> bytes = Encode_Bmp(image);
    if (bytes.empty()) return Status::Error(path + ": the picture is empty or too large for a bitmap file");
    AtomicFile file;
    Status status = file.Open(path);
    if (!status) return status;
    file.Write(bytes.data(), bytes.size());
    return file.Commit();
}

}  // namespace orvex
