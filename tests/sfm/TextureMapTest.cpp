// The texture map: filling it from a picture, its tiles, and the 64 x 64 "Texture" tile.

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "geometry/Jpeg.h"
#include "sfm/ArrayMap.h"
#include "tests/support/ScratchFolder.h"

namespace orvex {
namespace {

// Pixel (x, y) encodes its own position: red x, green y, blue 7.
RgbImage Gradient(int w, int h) {
    RgbImage image;
    image.Width = w;
    image.Height = h;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) image.Pixels.push_back(Pixel_Rgb(unsigned(x), unsigned(y), 7));
    return image;
}

std::uint32_t Texel(const std::vector<std::uint8_t>& texels, int row, int column) {
    const std::uint8_t* t = &texels[std::size_t(64 * row + column) * 4];
    EXPECT_EQ(t[3], 255);
    return Pixel_Rgb(t[0], t[1], t[2]);
}

TEST(TextureMap, PictureColumnsAndRowsLandAtXY) {
    ArrayMap map;
    Copy_Image(map, Gradient(200, 100));
    ASSERT_EQ(map.width, 200);
    ASSERT_EQ(map.height, 100);
    EXPECT_EQ(map.At(0, 0), Pixel_Rgb(0, 0, 7));
    EXPECT_EQ(map.At(199, 99), Pixel_Rgb(199, 99, 7));
    EXPECT_EQ(map.Column(150)[30], Pixel_Rgb(150, 30, 7));
    EXPECT_EQ(Tiles_X(map), 4);
    EXPECT_EQ(Tiles_Y(map), 2);
    // An empty picture leaves the map.
    Copy_Image(map, RgbImage{});
    EXPECT_EQ(map.width, 200);
    map.Release();
    EXPECT_TRUE(map.Empty());
    EXPECT_EQ(Tiles_X(map), 0);
    EXPECT_FALSE(map.Allocate(1 << 16, 1 << 15));
    EXPECT_TRUE(map.Empty());
    EXPECT_TRUE(map.pixels.empty());
}

TEST(TextureMap, A65PixelMapTakesTwoByTwoTilesWithBackgroundBeyond) {
    ArrayMap map;
    Copy_Image(map, Gradient(65, 65));
    ASSERT_EQ(Tiles_X(map), 2);
    ASSERT_EQ(Tiles_Y(map), 2);
    const std::uint32_t background = Pixel_Rgb(9, 8, 250);
    std::vector<std::uint8_t> texels(Tile_Bytes);

    // Tile (0, 1) is the top left: pixel [i][j] at texel (63 - i, 63 - j).
    Fill_Tile(map, 0, 1, background, texels.data());
    for (int i = 0; i < 64; i += 9)
        for (int j = 0; j < 64; j += 7)
            EXPECT_EQ(Texel(texels, 63 - i, 63 - j), map.At(i, j)) << i << " " << j;

    // Tile (1, 0), bottom right, holds only pixel (64, 64), at its texel (63, 63).
    Fill_Tile(map, 1, 0, background, texels.data());
    EXPECT_EQ(Texel(texels, 63, 63), map.At(64, 64));
    EXPECT_EQ(Texel(texels, 63, 62), background);
    EXPECT_EQ(Texel(texels, 62, 63), background);
    EXPECT_EQ(Texel(texels, 0, 0), background);

    // Tile (0, 0): rows 64 of columns 0..63, the rest background.
    Fill_Tile(map, 0, 0, background, texels.data());
    EXPECT_EQ(Texel(texels, 63 - 10, 63), map.At(10, 64));
    EXPECT_EQ(Texel(texels, 63 - 10, 62), background);
}

TEST(TextureMap, EveryTexelOfEveryTileIsItsPixelOrTheBackground) {
    ArrayMap map;
    Copy_Image(map, Gradient(130, 70));
    const int nx = Tiles_X(map), ny = Tiles_Y(map);
    ASSERT_EQ(nx, 3);
    ASSERT_EQ(ny, 2);
    const std::uint32_t background = Pixel_Rgb(1, 2, 3);
    std::vector<std::uint8_t> texels(Tile_Bytes);
    // Tiles beyond the grid are all background, never read outside the map.
    for (int p = -1; p <= nx; ++p)
        for (int q = -1; q <= ny; ++q) {
            Fill_Tile(map, p, q, background, texels.data());
            for (int i = 0; i < 64; ++i)
                for (int j = 0; j < 64; ++j) {
                    const long long x = 64 * p + i, y = 64 * (ny - 1 - q) + j;
                    const bool inside = x >= 0 && x < map.width && y >= 0 && y < map.height;
                    ASSERT_EQ(Texel(texels, 63 - i, 63 - j), inside ? map.At(int(x), int(y)) : background)
                        << p << " " << q << " " << i << " " << j;
                }
        }
}

TEST(TextureMap, JpegFileFillsTheMapAndACorruptOneKeepsIt) {
    test::ScratchFolder folder;
    const std::string good = folder.File("photo.jpg");
    RgbImage picture;
    picture.Width = 80;
    picture.Height = 40;
    picture.Pixels.assign(80 * 40, Pixel_Rgb(200, 20, 20));
    ASSERT_TRUE(Write_Jpeg_File(good, picture, 100));
    ArrayMap map;
    ASSERT_TRUE(Load_Texture_Map(map, good));
    EXPECT_EQ(map.width, 80);
    EXPECT_EQ(map.height, 40);
    EXPECT_NEAR(int(map.At(40, 20) & 0xFF), 200, 4);

    const std::string bad = folder.File("bad.jpg");
    std::ofstream(bad, std::ios::binary) << "\xFF\xD8\xFF not a picture at all";
    const Status status = Load_Texture_Map(map, bad);
    EXPECT_FALSE(status);
    EXPECT_FALSE(status.message.empty());
    EXPECT_FALSE(Load_Texture_Map(map, folder.File("missing.jpg")));
    EXPECT_EQ(map.width, 80);
    EXPECT_EQ(map.pixels.size(), 3200u);
}

TEST(TextureMap, TextureTileTakesTheTopLeftCornerOrWhatThereIs) {
    std::vector<std::uint8_t> texels(Tile_Bytes, 0xAB);
    Copy_Texture_Tile(Gradient(70, 90), texels.data());
    // Texel (i, j) is pixel (x = i, y = j).
    EXPECT_EQ(Texel(texels, 5, 60), Pixel_Rgb(5, 60, 7));
    EXPECT_EQ(Texel(texels, 63, 0), Pixel_Rgb(63, 0, 7));

    std::fill(texels.begin(), texels.end(), 0xAB);
    Copy_Texture_Tile(Gradient(10, 5), texels.data());
    EXPECT_EQ(Texel(texels, 9, 4), Pixel_Rgb(9, 4, 7));
    const std::uint8_t* beyond = &texels[std::size_t(64 * 9 + 5) * 4];
    EXPECT_EQ(beyond[0], 0xAB);
    EXPECT_EQ(texels[std::size_t(64 * 10) * 4], 0xAB);
}

}  // namespace
}  // namespace orvex
