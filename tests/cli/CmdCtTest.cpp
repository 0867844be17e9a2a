// orvex ct and orvex info FILE.ct: the volume's report, both surface writers from the command
// line, and the reasons given for files that are no volume. Runs the real binary.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "mesh/StlFormat.h"
#include "tests/cli/RunOrvex.h"
#include "tests/support/ScratchFolder.h"

namespace {

namespace fs = std::filesystem;

using orvex::clitest::Orvex;
using orvex::clitest::Outcome;

void Put(std::string& bytes, std::uint16_t value) {
    bytes.push_back(char(value & 0xFF));
    bytes.push_back(char(value >> 8));
}

// 4 x 4 x 4 samples of 100 with the 2 x 2 x 2 block at the middle 3000, 2000, ... (file order).
std::string Block_Volume() {
    std::string bytes;
    for (std::uint16_t v : {std::uint16_t(0x07B6), std::uint16_t(4), std::uint16_t(4), std::uint16_t(4)})
        Put(bytes, v);
    int inner = 0;
    for (int s = 0; s < 4; ++s)
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c) {
                const bool middle = s >= 1 && s <= 2 && r >= 1 && r <= 2 && c >= 1 && c <= 2;
                Put(bytes, middle ? std::uint16_t(3000 - 100 * inner++) : std::uint16_t(100));
            }
    return bytes;
}

std::uint32_t Count_At_80(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    char preamble[orvex::kStlPreambleBytes] = {};
    in.read(preamble, sizeof preamble);
    std::uint32_t count = 0;
    std::memcpy(&count, preamble + orvex::kStlHeaderBytes, 4);
    return count;
}

class OrvexCt : public ::testing::Test {
protected:
    void SetUp() override {
        volume = (folder / "block.ct").string();
        std::ofstream(volume, std::ios::binary) << Block_Volume();
    }
    orvex::test::ScratchFolder scratch_{"orvex_ct_cli"};
    fs::path folder = scratch_.Path();
    std::string volume;
};

TEST_F(OrvexCt, InfoReportsSizesRangeAndVoxels) {
    const Outcome run = Orvex("info " + volume);
    EXPECT_EQ(run.exitCode, 0) << run.out;
    EXPECT_NE(run.out.find("CT volume: 4 x 4 x 4 = 64 samples"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Values: 100 .. 3000"), std::string::npos) << run.out;
    // 3000 .. 2300: all eight above the default 1200; above 2500 only 3000 .. 2600.
    EXPECT_NE(run.out.find("Voxels above 1200: 8 (12.5 %)"), std::string::npos) << run.out;
    EXPECT_NE(Orvex("info " + volume + " --threshold 2500").out.find("Voxels above 2500: 5 "),
              std::string::npos);
}

TEST_F(OrvexCt, WritesBothSurfaces) {
    const std::string simple = (folder / "simple.stl").string();
    Outcome run = Orvex("ct " + volume + " --threshold 1200 --simple-cube " + simple);
    EXPECT_EQ(run.exitCode, 0) << run.out;
    // The block's outer faces: 6 sides of 2 x 2 faces, two triangles each.
    EXPECT_EQ(Count_At_80(simple), 48u);
    EXPECT_EQ(fs::file_size(simple), orvex::Stl_Binary_Size(48));
    EXPECT_NE(run.out.find("48 triangles"), std::string::npos) << run.out;

    const std::string marching = (folder / "marching.stl").string();
    run = Orvex("ct " + volume + " --marching-cube " + marching);
    EXPECT_EQ(run.exitCode, 0) << run.out;
    const std::uint32_t count = Count_At_80(marching);
    EXPECT_GT(count, 0u);
    EXPECT_EQ(fs::file_size(marching), orvex::Stl_Binary_Size(count));
}

TEST_F(OrvexCt, RefusesWhatItCannotDo) {
    const std::string out = (folder / "x.stl").string();
    EXPECT_NE(Orvex("ct " + volume).exitCode, 0);  // no output asked for
    EXPECT_NE(Orvex("ct " + volume + " --simple-cube " + out + " --marching-cube " + out).exitCode, 0);
    const std::string bad = (folder / "bad.ct").string();
    std::ofstream(bad, std::ios::binary) << Block_Volume().substr(0, 100);
    const Outcome truncated = Orvex("ct " + bad + " --marching-cube " + out);
    EXPECT_EQ(truncated.exitCode, 1);
    EXPECT_NE(truncated.out.find("truncated"), std::string::npos) << truncated.out;
    EXPECT_FALSE(fs::exists(out));
    const Outcome info = Orvex("info " + bad);
    EXPECT_EQ(info.exitCode, 1);
    EXPECT_NE(info.out.find("bad.ct"), std::string::npos) << info.out;
}

}  // namespace
