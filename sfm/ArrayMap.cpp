#include "sfm/ArrayMap.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

#include "geometry/Jpeg.h"

namespace orvex {

namespace {

void Put_Texel(std::uint8_t* texel, std::uint32_t colour) {
    texel[0] = std::uint8_t(colour & 0xFFu);
    texel[1] = std::uint8_t(colour >> 8 & 0xFFu);
    texel[2] = std::uint8_t(colour >> 16 & 0xFFu);
    texel[3] = 255;
}

// A texel's bytes R, G, B, A read as one word: the colour 0x00BBGGRR with alpha 255 on top, on
// a little-endian machine.
std::uint32_t Texel_Word(std::uint32_t colour) {
    static_assert(std::endian::native == std::endian::little);
    return (colour & 0x00FFFFFFu) | 0xFF000000u;
}

void Store_Row(std::uint8_t* out, const std::uint32_t* row) {
    std::memcpy(out, row, std::size_t(Tile_Size) * 4);
}

}  // namespace

bool ArrayMap::Allocate(int w, int h) {
    Release();
    if (w <= 0 || h <= 0) return true;
    const std::uint64_t count = std::uint64_t(w) * std::uint64_t(h);
    if (count > Max_Map_Pixels) return false;
    try {
        pixels.assign(std::size_t(count), 0u);
    } catch (const std::bad_alloc&) {
        pixels = {};
        return false;
    }
    width = w;
    height = h;
    return true;
}

void ArrayMap::Release() {
    pixels = {};
    width = 0;
    height = 0;
}

void Copy_Image(ArrayMap& map, const RgbImage& image) {
    if (!image.Consistent()) return;
    ArrayMap sized;
    if (!sized.Allocate(image.Width, image.Height)) return;
    for (int y = 0; y < image.Height; ++y) {
        const std::uint32_t* row = &image.Pixels[std::size_t(y) * std::size_t(image.Width)];
        for (int x = 0; x < image.Width; ++x) sized.Column(x)[y] = row[x];
    }
    map = std::move(sized);
}

Status Load_Texture_Map(ArrayMap& map, const std::string& path, std::string* warning) {
    JpegDecoded decoded;
    const Status status = Read_Jpeg_File(path, decoded);
    if (!status) return status;
    if (!decoded.Image.Consistent()) return Status::Error(path + ": the picture is empty");
    ArrayMap sized;
    if (!sized.Allocate(decoded.Image.Width, decoded.Image.Height))
        return Status::Error(path + ": no memory for a map of " + std::to_string(decoded.Image.Width) +
                             " x " + std::to_string(decoded.Image.Height) + " pixels");
    Copy_Image(sized, decoded.Image);
    map = std::move(sized);
    if (warning) *warning = decoded.Warning;
    return Status::Ok();
}

int Tiles_X(const ArrayMap& map) {
    return map.Empty() ? 0 : map.width / Tile_Size + 1;
}

int Tiles_Y(const ArrayMap& map) {
    return map.Empty() ? 0 : map.height / Tile_Size + 1;
}

void Fill_Tile(const ArrayMap& map, int p, int q, std::uint32_t background, std::uint8_t* texels) {
    const std::uint32_t outside = Texel_Word(background);
    const int ny = Tiles_Y(map);
    const long long y0 = (long long)Tile_Size * (ny - 1 - q);
    // Rows j of the tile that fall inside the map, the same for every column.
    const int jBegin = int(std::clamp<long long>(-y0, 0, Tile_Size));
    const int jEnd = int(std::clamp<long long>(map.height - y0, jBegin, Tile_Size));
    std::uint32_t row[Tile_Size];
    for (int i = 0; i < Tile_Size; ++i) {
        const long long x = (long long)Tile_Size * p + i;
        std::uint8_t* out = texels + std::size_t(Tile_Size - 1 - i) * Tile_Size * 4;
        if (x < 0 || x >= map.width || jBegin == jEnd) {
            std::fill(row, row + Tile_Size, outside);
        } else {
            const std::uint32_t* pixels = map.Column(int(x)) + (y0 + jBegin);
            // Texel column 63 - j holds pixel row y0 + j.
            for (int j = 0; j < jBegin; ++j) row[Tile_Size - 1 - j] = outside;
            for (int j = jBegin; j < jEnd; ++j) row[Tile_Size - 1 - j] = Texel_Word(pixels[j - jBegin]);
            for (int j = jEnd; j < Tile_Size; ++j) row[Tile_Size - 1 - j] = outside;
        }
        Store_Row(out, row);
    }
}

void Copy_Texture_Tile(const RgbImage& image, std::uint8_t* texels) {
    if (!image.Consistent()) return;
    const int rows = std::min(Tile_Size, image.Width);
    const int columns = std::min(Tile_Size, image.Height);
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < columns; ++j)
            Put_Texel(texels + std::size_t(Tile_Size * i + j) * 4, image.At(i, j));
}

}  // namespace orvex
