// orvex generate face and orvex info on TGL and 3D Studio files: the face file and its picture,
// the status-bar text, the picture's size, what was dropped, and a non-zero exit on a bad file.

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "mesh/FaceSynth.h"
#include "mesh/TglReader.h"
#include "tests/cli/RunOrvex.h"
#include "tests/support/ScratchFolder.h"

namespace {

namespace fs = std::filesystem;

using orvex::clitest::Orvex;

std::vector<unsigned char> Bytes_Of(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void Write_Bytes(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

TEST(CliFace, GenerateWritesAFaceThatInfoReadsWithItsPicture) {
    orvex::test::ScratchFolder folder;
    const std::string path = folder.File("face.tgl");
    auto run = Orvex("generate face '" + path + "' --grid 41 --spacing 8 --image 64");
    ASSERT_EQ(run.exitCode, 0) << run.out;
    ASSERT_TRUE(fs::exists(path + ".jpg"));
    // The side file the generator writes is the picture the file holds.
    const auto file = Bytes_Of(path);
    std::uint32_t imageAt;
    std::memcpy(&imageAt, file.data() + 124, 4);
    EXPECT_EQ(Bytes_Of(path + ".jpg"), std::vector<unsigned char>(file.begin() + imageAt + 12, file.end()));

    fs::remove(path + ".jpg");
    run = Orvex("info '" + path + "'");
    ASSERT_EQ(run.exitCode, 0) << run.out;
    EXPECT_NE(run.out.find("3200 Facets. 1681 Points. 0 Area. 0 Vol. \n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Image: 64 x 64 pixels"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("0 dropped"), std::string::npos) << run.out;
    EXPECT_TRUE(fs::exists(path + ".jpg"));  // the read puts it back, as the window's open does

    // The same face in another pose and on a shifted grid.
    run = Orvex("generate face '" + folder.File("posed.tgl") +
                "' --grid 21 --spacing 10 --pose 10 -20 30 5 6 7 --shift 0.5 0.25 --nose-depth 35 --image 0");
    ASSERT_EQ(run.exitCode, 0) << run.out;
    EXPECT_FALSE(fs::exists(folder.File("posed.tgl.jpg")));
    run = Orvex("info '" + folder.File("posed.tgl") + "'");
    EXPECT_NE(run.out.find("Image: none"), std::string::npos) << run.out;
}

TEST(CliFace, GenerateRefusesOtherNamesAndBadNumbers) {
    orvex::test::ScratchFolder folder;
    EXPECT_NE(Orvex("generate face '" + folder.File("face.stl") + "'").exitCode, 0);
    EXPECT_NE(Orvex("generate face '" + folder.File("f.tgl") + "' --spacing 0").exitCode, 0);
    EXPECT_NE(Orvex("generate face '" + folder.File("f.tgl") + "' --spacing nan").exitCode, 0);
    EXPECT_NE(Orvex("generate face '" + folder.File("f.tgl") + "' --grid 1").exitCode, 0);
    EXPECT_NE(Orvex("generate face").exitCode, 0);
    EXPECT_TRUE(fs::is_empty(folder.Path()));
    // The point sets keep their own form.
    EXPECT_EQ(Orvex("generate '" + folder.File("p.xyz") + "' -n 5").exitCode, 0);
    EXPECT_NE(Orvex("generate").exitCode, 0);
}

TEST(CliInfo, TglAndThreeDsShowWhatWasDroppedAndRefused) {
    orvex::test::ScratchFolder folder;
    orvex::UniOb face;
    orvex::FaceSynthParams params;
    params.Grid = 5;
    params.Spacing = 20.0f;
    orvex::Make_Face(face, params);
    face.Face_Index[3] = {0, 1, 99};
    Write_Bytes(folder.File("drop.tgl"), orvex::Tgl_Bytes(face, std::vector<unsigned char>(16, 7)));
    auto run = Orvex("info '" + folder.File("drop.tgl") + "'");
    EXPECT_EQ(run.exitCode, 0) << run.out;
    EXPECT_NE(run.out.find("31 Facets. 25 Points. 0 Area. 0 Vol. "), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("1 dropped"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("not decoded"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("drop.tgl.jpg"), std::string::npos) << run.out;

    auto bytes = orvex::Tgl_Bytes(face);
    bytes.resize(bytes.size() - 1);
    Write_Bytes(folder.File("cut.tgl"), bytes);
    run = Orvex("info '" + folder.File("cut.tgl") + "'");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.out.find("texture-coordinate block"), std::string::npos) << run.out;

    orvex::TdsWriteOptions options;
    options.Tex_Coords = true;
    Write_Bytes(folder.File("face.3DS"), orvex::Tds_Bytes({&face, &face}, options));
    run = Orvex("info '" + folder.File("face.3DS") + "'");
    EXPECT_EQ(run.exitCode, 0) << run.out;
    EXPECT_NE(run.out.find("31 Facets. 25 Points. 0 Area. 0 Vol. "), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("2 vertex lists, 2 face lists, 2 faces dropped"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Texture coordinates: yes"), std::string::npos) << run.out;

    Write_Bytes(folder.File("empty.3ds"), {0x4D, 0x4D, 6, 0, 0, 0});
    run = Orvex("info '" + folder.File("empty.3ds") + "'");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.out.find("no faces"), std::string::npos) << run.out;
}

}  // namespace
