// orvex info on the auxiliary data: .sfm reconstructions, Sick scan logs and texture pictures.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "geometry/Jpeg.h"
#include "tests/cli/RunOrvex.h"
#include "tests/support/ScratchFolder.h"

namespace {

namespace fs = std::filesystem;

using orvex::clitest::Orvex;
using orvex::clitest::Outcome;

void Write_File(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string Sick_Integers(int count) {
    std::string text;
    for (int n = 0; n < count; ++n) text += std::to_string(n % 362 == 0 ? 10 * n : 290 + n % 362) + " ";
    return text;
}

bool Has(const Outcome& run, const std::string& text) {
    return run.out.find(text) != std::string::npos;
}

TEST(OrvexInfoAux, KermitShowsItsCamerasWhereTheyStood) {
    const std::string path = std::string(ORVEX_SHARED_DATA_DIR) + "/sfm_kermit_bundler.sfm";
    if (!fs::exists(path)) GTEST_SKIP() << "no " << path;
    const Outcome run = Orvex("info " + path);
    EXPECT_EQ(run.exitCode, 0) << run.out;
    EXPECT_TRUE(Has(run, "\n631 points. 9 cameras loaded.\n")) << run.out;
    EXPECT_TRUE(Has(run, "Labels: on")) << run.out;
    EXPECT_TRUE(
        Has(run, "Camera 1 kermit000.jpg: centre (-0.328137, -1.19576, 0.475124), k0 684.581, scale 0.53\n"))
        << run.out;
    EXPECT_TRUE(Has(run, "Bounds: (")) << run.out;
}

TEST(OrvexInfoAux, SfmWithoutCamerasAndWithDamageSaySo) {
    orvex::test::ScratchFolder folder("orvex_cli");
    const std::string points = folder.File("points.SFM");
    Write_File(points, "#point 2\n0 0 0 1 2 3\n1 1 1 4 5 6\n");
    Outcome run = Orvex("info " + points);
    EXPECT_EQ(run.exitCode, 0) << run.out;
    EXPECT_TRUE(Has(run, "2 points. 0 cameras loaded.\nLabels: off\nBounds: (0, 0, 0) .. (1, 1, 1)\n"))
        << run.out;

    const std::string odd = folder.File("odd.sfm");
    Write_File(odd,
               "#CAMERA flat s 2 K 0 0 1 0 1 1 0 0 1 E 1 0 0 5 0 1 0 6 0 0 1 7\n"
               "#CAMERA gone s 1 K 1 0 0 0 1 0 0 0 1 E 0 0 0 0 0 0 0 0 0 0 0 0\n#POINT 3\n0 0 0 1 1\n");
    run = Orvex("info " + odd);
    EXPECT_EQ(run.exitCode, 1) << run.out;
    EXPECT_TRUE(Has(run, "0 points. 2 cameras loaded.")) << run.out;
    EXPECT_TRUE(Has(run, "Camera 1 flat: centre (-5, -6, -7), k0 0, scale 2, centre only")) << run.out;
    EXPECT_TRUE(Has(run, "Camera 2 gone: singular extrinsics, not drawn")) << run.out;
    EXPECT_TRUE(Has(run, "line 4")) << run.out;

    // A centre whose coordinate comes out as minus zero prints as 0.
    const std::string turned = folder.File("turned.sfm");
    Write_File(turned,
               "#CAMERA ring02.jpg s 0.5 K 600 0 320 0 600 240 0 0 1 E -1 0 0 -0 0 0.2425356250 "
               "-0.9701425001 -0 -0 -0.9701425001 -0.2425356250 4.1231056256\n");
    run = Orvex("info " + turned);
    EXPECT_TRUE(Has(run, "Camera 1 ring02.jpg: centre (0, 4, 1), k0 600, scale 0.5\n")) << run.out;

    run = Orvex("info " + folder.File("missing.sfm"));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(Has(run, "missing.sfm: cannot open")) << run.out;
}

TEST(OrvexInfoAux, SickScansTagsAndDroppedIntegers) {
    orvex::test::ScratchFolder folder("orvex_cli");
    const std::string path = folder.File("log.txt");
    Write_File(path, Sick_Integers(724));
    Outcome run = Orvex("info " + path);
    EXPECT_EQ(run.exitCode, 0) << run.out;
    EXPECT_TRUE(
        Has(run,
            "\n2 scans. \nTags: 0 .. 3620\nReadings: 291 .. 651, 704 of 722 within 300 .. 75000 drawn\n"
            "Integers dropped: 0\n"))
        << run.out;

    Write_File(path, Sick_Integers(723));
    run = Orvex("info " + path);
    EXPECT_EQ(run.exitCode, 1) << run.out;
    EXPECT_TRUE(Has(run, "1 scans. ")) << run.out;
    EXPECT_TRUE(Has(run, "Integers dropped: 361")) << run.out;

    Write_File(path, "1 2 three\n");
    run = Orvex("info " + path);
    EXPECT_EQ(run.exitCode, 1) << run.out;
    EXPECT_TRUE(Has(run, "line 1: \"three\" is not an integer")) << run.out;

    const std::string seattle = std::string(ORVEX_SHARED_DATA_DIR) + "/sick_seattle_lms.txt";
    if (!fs::exists(seattle)) GTEST_SKIP() << "no " << seattle;
    run = Orvex("info " + seattle);
    EXPECT_EQ(run.exitCode, 0) << run.out;
    EXPECT_TRUE(Has(run, "\n241 scans. \nTags: 0 .. 1165330\n")) << run.out;
}

TEST(OrvexInfoAux, TexturePictureSizeAndTiles) {
    orvex::test::ScratchFolder folder("orvex_cli");
    orvex::RgbImage picture;
    picture.Width = 200;
    picture.Height = 100;
    picture.Pixels.assign(200 * 100, orvex::Pixel_Rgb(10, 200, 30));
    const std::string path = folder.File("photo.JPG");
    ASSERT_TRUE(orvex::Write_Jpeg_File(path, picture, 90));
    Outcome run = Orvex("info " + path);
    EXPECT_EQ(run.exitCode, 0) << run.out;
    EXPECT_TRUE(Has(run, "Texture map: 200 x 100 pixels, 4 x 2 tiles of 64 x 64\n")) << run.out;
    EXPECT_TRUE(Has(run, "Scene bounds: (0, 0, -1) .. (200, 100, 1)")) << run.out;

    const std::string bad = folder.File("bad.jpg");
    Write_File(bad, "not a picture");
    run = Orvex("info " + bad);
    EXPECT_EQ(run.exitCode, 1) << run.out;
    EXPECT_TRUE(Has(run, "bad.jpg")) << run.out;
}

}  // namespace
