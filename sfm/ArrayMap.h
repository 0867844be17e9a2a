#pragma once
// ArrayMap: the texture map, a picture held as colours 0x00BBGGRR (red in the low byte), drawn in
// the plane z = 0 one unit a pixel, in tiles of 64 x 64 texels.
//
// The pixels live in one block, column after column: pixel (x, y), y counted from the top row, is
// element x * height + y, so Column(x)[y] reads like the pixels[x][y] of the drawing code.

#include <cstdint>
#include <string>
#include <vector>

#include "geometry/RgbImage.h"
#include "geometry/Status.h"

namespace orvex {

constexpr int Tile_Size = 64;
constexpr int Tile_Bytes = Tile_Size * Tile_Size * 4;
// 4 GiB of pixels; the JPEG decoder stops well below.
constexpr std::uint64_t Max_Map_Pixels = std::uint64_t(1) << 30;

struct ArrayMap {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint32_t> pixels;

    // Release, then, when both are positive, width x height pixels (0). Refuses (false, map empty)
    // more than Max_Map_Pixels or a block the memory cannot give.
    bool Allocate(int w, int h);
    void Release();
    bool Empty() const { return width <= 0 || height <= 0; }
    std::uint32_t* Column(int x) { return pixels.data() + std::size_t(x) * std::size_t(height); }
    const std::uint32_t* Column(int x) const { return pixels.data() + std::size_t(x) * std::size_t(height); }
    std::uint32_t At(int x, int y) const { return Column(x)[y]; }
};

// Sizes the map to the picture and copies pixel (x, y) to [x][y]. An empty picture leaves the map.
void Copy_Image(ArrayMap& map, const RgbImage& image);
// Decodes a JPEG file into the map. A file that cannot be read or decoded leaves the map as it was
// (not ok, the decoder's words). A picture the decoder read past damage in is kept, its warning in
// `warning`.
Status Load_Texture_Map(ArrayMap& map, const std::string& path, std::string* warning = nullptr);

// Tiles along x and y: floor(width / 64) + 1 and floor(height / 64) + 1; 0 x 0 for an empty map.
int Tiles_X(const ArrayMap& map);
int Tiles_Y(const ArrayMap& map);

// The texels of tile (p, q), p along x, q along y from the bottom, 64 x 64 x RGBA, texel (row r,
// column c) at byte (64 r + c) * 4: texel (63 - i, 63 - j) := pixel [64p + i][64(NY - 1 - q) + j],
// alpha 255, or the background colour (0x00BBGGRR) where that pixel is outside the map. The quad
// of the tile runs from (64p, 64q) to (64(p + 1), 64(q + 1)), texture coordinate (1, 0) at its
// (64(p + 1), 64(q + 1)) corner, (0, 0) at (64(p + 1), 64q).
void Fill_Tile(const ArrayMap& map, int p, int q, std::uint32_t background, std::uint8_t* texels);

// The "Texture" import: texel (i, j) := pixel (x = i, y = j) of the picture as red, green, blue and
// alpha 255, for i, j < 64 inside the picture; texels beyond a smaller picture stay as they were.
void Copy_Texture_Tile(const RgbImage& image, std::uint8_t* texels);

}  // namespace orvex
