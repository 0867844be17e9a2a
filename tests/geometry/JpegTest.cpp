// The JPEG codec and the bitmap writer: pictures survive a round trip top row first, every colour
// layout the library writes decodes, and damaged or hostile files end in a message or a picture,
// never in a crash or an oversized allocation.
// clang-format off
#include <cstddef>
#include <cstdio>
#include <jpeglib.h>
// clang-format on
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

#include "geometry/Bmp.h"
#include "geometry/Jpeg.h"
#include "tests/support/ScratchFolder.h"

using namespace orvex;

namespace {

// Red grows to the right, blue downward: any flip or transposition shows.
RgbImage Gradient(int w, int h) {
    RgbImage image{w, h, {}};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.Pixels.push_back(Pixel_Rgb(x * 255 / (w - 1), 128, y * 255 / (h - 1)));
    return image;
}

int Channel(std::uint32_t c, int k) {
    return int(c >> (8 * k) & 0xFF);
}

int Largest_Difference(const RgbImage& a, const RgbImage& b) {
    int worst = 0;
    for (std::size_t i = 0; i < a.Pixels.size(); ++i)
        for (int k = 0; k < 3; ++k)
            worst = std::max(worst, std::abs(Channel(a.Pixels[i], k) - Channel(b.Pixels[i], k)));
    return worst;
}

std::vector<unsigned char> Encode(const RgbImage& image, int quality = 90) {
    std::vector<unsigned char> bytes;
    EXPECT_TRUE(Encode_Jpeg(image, quality, bytes).ok);
    return bytes;
}

// Files the program's own encoder does not make: grey, CMYK (Adobe-inverted) and progressive.
std::vector<unsigned char> Encode_With(int w, int h, J_COLOR_SPACE space, int components, bool progressive,
                                       unsigned char (*sample)(int x, int y, int c)) {
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
    jpeg_set_quality(&cinfo, 95, TRUE);
    if (progressive) jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<unsigned char> row(std::size_t(w * components));
    while (cinfo.next_scanline < cinfo.image_height) {
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < components; ++c)
                row[std::size_t(x * components + c)] = sample(x, int(cinfo.next_scanline), c);
        JSAMPROW p = row.data();
        jpeg_write_scanlines(&cinfo, &p, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::vector<unsigned char> bytes(buffer, buffer + size);
    std::free(buffer);
    return bytes;
}

// Offset of the frame header's height field (SOF0 or SOF2), or 0.
std::size_t Frame_Size_Offset(const std::vector<unsigned char>& bytes) {
    for (std::size_t i = 2; i + 8 < bytes.size(); ++i)
        if (bytes[i] == 0xFF && (bytes[i + 1] == 0xC0 || bytes[i + 1] == 0xC2)) return i + 5;
    return 0;
}

}  // namespace

TEST(JpegTest, RoundTripKeepsSizeOrientationAndColours) {
    const RgbImage image = Gradient(64, 48);
    const std::vector<unsigned char> bytes = Encode(image, 95);
    ASSERT_GT(bytes.size(), 100u);
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(bytes[1], 0xD8);
    JpegDecoded decoded;
    const Status status = Decode_Jpeg(bytes.data(), bytes.size(), decoded);
    ASSERT_TRUE(status.ok) << status.message;
    EXPECT_TRUE(decoded.Warning.empty());
    ASSERT_EQ(decoded.Image.Width, 64);
    ASSERT_EQ(decoded.Image.Height, 48);
    ASSERT_TRUE(decoded.Image.Consistent());
    EXPECT_LE(Largest_Difference(image, decoded.Image), 12);
    // Row 0 is the top: little blue there, much at the bottom; red at the right.
    EXPECT_LT(Channel(decoded.Image.At(0, 0), 2), 20);
    EXPECT_GT(Channel(decoded.Image.At(0, 47), 2), 235);
    EXPECT_GT(Channel(decoded.Image.At(63, 0), 0), 235);
    for (std::uint32_t p : decoded.Image.Pixels) ASSERT_EQ(p >> 24, 0u);
    // Lower quality, smaller file; odd sizes and one pixel encode too.
    EXPECT_LT(Encode(image, 10).size(), bytes.size());
    for (const RgbImage& odd : {Gradient(2, 2), RgbImage{1, 1, {Pixel_Rgb(200, 30, 90)}}}) {
        const std::vector<unsigned char> b = Encode(odd);
        ASSERT_TRUE(Decode_Jpeg(b.data(), b.size(), decoded).ok);
        EXPECT_EQ(decoded.Image.Width, odd.Width);
        EXPECT_EQ(decoded.Image.Height, odd.Height);
    }
    EXPECT_LE(Largest_Difference(RgbImage{1, 1, {Pixel_Rgb(200, 30, 90)}}, decoded.Image), 8);
}

TEST(JpegTest, GreyCmykAndProgressiveFilesDecode) {
    JpegDecoded decoded;
    auto grey =
        Encode_With(16, 8, JCS_GRAYSCALE, 1, false, [](int x, int, int) { return (unsigned char)(x * 16); });
    ASSERT_TRUE(Decode_Jpeg(grey.data(), grey.size(), decoded).ok);
    const std::uint32_t g = decoded.Image.At(8, 3);
    EXPECT_EQ(Channel(g, 0), Channel(g, 1));
    EXPECT_EQ(Channel(g, 1), Channel(g, 2));
    EXPECT_NEAR(Channel(g, 0), 128, 6);

    // libjpeg marks CMYK with an Adobe marker, so the samples are inverted ink as Photoshop
    // stores it: 0 is full ink. Full cyan, nothing else.
    auto cmyk = Encode_With(8, 8, JCS_CMYK, 4, false,
                            [](int, int, int c) { return (unsigned char)(c == 0 ? 0 : 255); });
    ASSERT_TRUE(Decode_Jpeg(cmyk.data(), cmyk.size(), decoded).ok);
    EXPECT_NEAR(Channel(decoded.Image.At(4, 4), 0), 0, 8);
    EXPECT_NEAR(Channel(decoded.Image.At(4, 4), 1), 255, 8);
    EXPECT_NEAR(Channel(decoded.Image.At(4, 4), 2), 255, 8);

    auto progressive = Encode_With(40, 30, JCS_RGB, 3, true, [](int x, int y, int c) {
        return (unsigned char)(c == 0 ? x * 6 : c == 1 ? y * 8 : 60);
    });
    ASSERT_TRUE(Decode_Jpeg(progressive.data(), progressive.size(), decoded).ok);
    EXPECT_EQ(decoded.Image.Width, 40);
    EXPECT_NEAR(Channel(decoded.Image.At(39, 29), 0), 234, 8);
    EXPECT_NEAR(Channel(decoded.Image.At(39, 29), 1), 232, 8);
    // Its scans are counted: two allowed is too few.
    JpegLimits few;
    few.Max_Scans = 2;
    const Status status = Decode_Jpeg(progressive.data(), progressive.size(), decoded, "p.jpg", few);
    EXPECT_FALSE(status.ok);
    EXPECT_NE(status.message.find("scans"), std::string::npos) << status.message;
    EXPECT_TRUE(decoded.Image.Empty());
}

TEST(JpegTest, OversizedPicturesAreRefusedBeforeDecoding) {
    std::vector<unsigned char> bytes = Encode(Gradient(16, 16));
    const std::size_t at = Frame_Size_Offset(bytes);
    ASSERT_GT(at, 0u);
    // The frame header now claims 60000 x 60000 pixels over 16 x 16 of data.
    for (int k : {0, 2}) bytes[at + k] = 0xEA, bytes[at + k + 1] = 0x60;
    JpegDecoded decoded;
    Status status = Decode_Jpeg(bytes.data(), bytes.size(), decoded, "big.jpg");
    EXPECT_FALSE(status.ok);
    EXPECT_EQ(status.message.rfind("big.jpg: ", 0), 0u) << status.message;
    EXPECT_NE(status.message.find("60000 x 60000"), std::string::npos) << status.message;
    // A limit of the caller's choosing.
    const std::vector<unsigned char> small = Encode(Gradient(16, 16));
    JpegLimits limits;
    limits.Max_Pixels = 255;
    EXPECT_FALSE(Decode_Jpeg(small.data(), small.size(), decoded, "x", limits).ok);
    limits.Max_Pixels = 256;
    EXPECT_TRUE(Decode_Jpeg(small.data(), small.size(), decoded, "x", limits).ok);
}

TEST(JpegTest, DamagedFilesEndInAMessageOrAPicture) {
    JpegDecoded decoded;
    Status status = Decode_Jpeg(nullptr, 0, decoded, "empty.jpg");
    EXPECT_FALSE(status.ok);
    EXPECT_EQ(status.message, "empty.jpg: the file is empty");
    const std::string text = "solid text, no picture";
    status = Decode_Jpeg(reinterpret_cast<const unsigned char*>(text.data()), text.size(), decoded, "t.jpg");
    EXPECT_FALSE(status.ok);
    EXPECT_GT(status.message.size(), 7u);

    const std::vector<unsigned char> good = Encode(Gradient(33, 17));
    int pictures = 0, warned = 0;
    for (std::size_t n = 1; n < good.size(); ++n) {
        status = Decode_Jpeg(good.data(), n, decoded, "cut.jpg");
        if (!status.ok) {
            ASSERT_TRUE(decoded.Image.Empty());
            ASSERT_FALSE(status.message.empty());
            continue;
        }
        ++pictures;
        ASSERT_EQ(decoded.Image.Width, 33);
        ASSERT_EQ(decoded.Image.Height, 17);
        ASSERT_TRUE(decoded.Image.Consistent());
        warned += !decoded.Warning.empty();
    }
    // Past the headers a cut file still gives its picture, with a warning.
    EXPECT_GT(pictures, 100);
    EXPECT_EQ(warned, pictures);

    std::mt19937 random(7);
    for (int round = 0; round < 3000; ++round) {
        std::vector<unsigned char> bytes = good;
        const int flips = 1 + int(random() % 4);
        for (int f = 0; f < flips; ++f) bytes[random() % bytes.size()] = (unsigned char)random();
        status = Decode_Jpeg(bytes.data(), bytes.size(), decoded);
        if (status.ok)
            ASSERT_TRUE(decoded.Image.Consistent());
        else
            ASSERT_TRUE(decoded.Image.Empty());
    }
}

TEST(JpegTest, FilesAreWrittenWholeOrNotAtAll) {
    test::ScratchFolder folder("jpeg");
    const RgbImage image = Gradient(20, 10);
    const std::string path = folder.File("shot.jpg");
    ASSERT_TRUE(Write_Jpeg_File(path, image, 75).ok);
    JpegDecoded decoded;
    ASSERT_TRUE(Read_Jpeg_File(path, decoded).ok);
    EXPECT_EQ(decoded.Image.Width, 20);
    EXPECT_LE(Largest_Difference(image, decoded.Image), 24);
    // Quality 75 with the default settings is what the library writes for that quality.
    std::ifstream file(path, std::ios::binary);
    const std::vector<unsigned char> written((std::istreambuf_iterator<char>(file)),
                                             std::istreambuf_iterator<char>());
    EXPECT_EQ(written, Encode(image, 75));

    const Status missing = Write_Jpeg_File(folder.File("no/such/folder/a.jpg"), image, 75);
    EXPECT_FALSE(missing.ok);
    EXPECT_FALSE(Write_Jpeg_File(folder.File("empty.jpg"), RgbImage{}, 75).ok);
    EXPECT_FALSE(Read_Jpeg_File(folder.File("absent.jpg"), decoded).ok);
    EXPECT_FALSE(Write_Bmp_File(folder.File("no/such/folder/a.bmp"), image).ok);
}

TEST(BmpTest, TwentyFourBitRowsBottomUpPaddedToFourBytes) {
    // 3 x 2: rows of 9 bytes padded to 12.
    const RgbImage image{3,
                         2,
                         {Pixel_Rgb(1, 2, 3), Pixel_Rgb(4, 5, 6), Pixel_Rgb(7, 8, 9),  // top
                          Pixel_Rgb(10, 11, 12), Pixel_Rgb(13, 14, 15), Pixel_Rgb(16, 17, 18)}};
    const std::vector<unsigned char> b = Encode_Bmp(image);
    ASSERT_EQ(b.size(), 54u + 2 * 12);
    auto u32 = [&](std::size_t at) {
        return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | std::uint32_t(b[at + 3]) << 24;
    };
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    EXPECT_EQ(u32(2), 78u);
    EXPECT_EQ(u32(10), 54u);
    EXPECT_EQ(u32(14), 40u);
    EXPECT_EQ(u32(18), 3u);
    EXPECT_EQ(u32(22), 2u);
    EXPECT_EQ(b[26] | b[27] << 8, 1);
    EXPECT_EQ(b[28] | b[29] << 8, 24);
    EXPECT_EQ(u32(30), 0u);  // uncompressed
    // The bottom row first, blue, green, red, then three bytes of padding.
    const std::vector<unsigned char> rows(b.begin() + 54, b.end());
    const std::vector<unsigned char> expected = {12, 11, 10, 15, 14, 13, 18, 17, 16, 0, 0, 0,
                                                 3,  2,  1,  6,  5,  4,  9,  8,  7,  0, 0, 0};
    EXPECT_EQ(rows, expected);
    EXPECT_TRUE(Encode_Bmp(RgbImage{}).empty());
    EXPECT_TRUE(Encode_Bmp(RgbImage{2, 2, {1, 2, 3}}).empty());

    test::ScratchFolder folder("bmp");
    ASSERT_TRUE(Write_Bmp_File(folder.File("a.bmp"), image).ok);
    std::ifstream file(folder.File("a.bmp"), std::ios::binary);
    EXPECT_EQ(
        std::vector<unsigned char>((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>()),
        b);
}
