#pragma once
// A picture in memory: Width x Height pixels, each the colour int 0x00BBGGRR the toolkit uses,
// row 0 at the top, rows one after the other.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace orvex {

struct RgbImage {
    int Width = 0;
    int Height = 0;
    std::vector<std::uint32_t> Pixels;

    bool Empty() const { return Width <= 0 || Height <= 0; }
    std::uint32_t At(int x, int y) const {
        return Pixels[std::size_t(y) * std::size_t(Width) + std::size_t(x)];
    }
    // True when Pixels holds exactly Width x Height entries of a non-empty picture.
    bool Consistent() const { return !Empty() && Pixels.size() == std::size_t(Width) * std::size_t(Height); }
};

constexpr std::uint32_t Pixel_Rgb(unsigned r, unsigned g, unsigned b) {
    return (r & 0xFFu) | (g & 0xFFu) << 8 | (b & 0xFFu) << 16;
}

}  // namespace orvex
