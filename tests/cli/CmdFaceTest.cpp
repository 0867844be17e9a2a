// orvex face: features of a TGL face, and the verification and training batches over a folder in
// the file list's order. Runs the real binary on faces made here.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "mesh/FaceSynth.h"
#include "tests/cli/RunOrvex.h"
#include "tests/support/ScratchFolder.h"

namespace {

namespace fs = std::filesystem;

using orvex::clitest::Orvex;
using orvex::clitest::Outcome;

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// face1.tgl with a picture, face2.tgl resampled and turned, notes.txt; reg.txt from face1.
class CmdFace : public ::testing::Test {
protected:
    void SetUp() override {
        orvex::FaceSynthParams first;
        first.Grid = 81;
        first.Spacing = 1.5f;
        ASSERT_TRUE(orvex::Write_Face_Tgl(folder.File("face1.tgl"), first, 16).ok);
        orvex::FaceSynthParams second = first;
        second.Shift_Y = 0.5f;
        second.Pose.Rotate[0] = 0.3f;
        ASSERT_TRUE(orvex::Write_Face_Tgl(folder.File("face2.tgl"), second, 0).ok);
        std::ofstream(folder.File("notes.txt")) << "not a face";
        const Outcome features = Orvex("face features face1.tgl reg.txt", folder.Path().string());
        ASSERT_EQ(features.exitCode, 0) << features.out;
        EXPECT_NE(features.out.find("features written to reg.txt"), std::string::npos) << features.out;
    }

    orvex::test::ScratchFolder folder;
};

TEST_F(CmdFace, VerifyPrintsEachFaceTheRuleAndTheCounters) {
    EXPECT_EQ(Slurp(folder.File("reg.txt")).rfind("SIZE\t", 0), 0u);
    const Outcome run = Orvex("face verify '" + folder.Path().string() + "'", folder.Path().string());
    ASSERT_EQ(run.exitCode, 0) << run.out;
    const std::vector<std::string> lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 2u + 1u + 31u) << run.out;
    EXPECT_EQ(lines[0].rfind(folder.File("face1.tgl") + "\t", 0), 0u) << lines[0];
    ASSERT_EQ(lines[1].rfind(folder.File("face2.tgl") + "\t", 0), 0u) << lines[1];
    const float error = std::stof(lines[1].substr(lines[1].find('\t') + 1));
    EXPECT_GT(error, 0.0f);
    EXPECT_LT(error, 0.3f);
    EXPECT_EQ(lines[2], "==================");
    int total = 0;
    for (int k = 0; k < 31; ++k) total += std::stoi(lines[3 + std::size_t(k)]);
    EXPECT_EQ(total, 2);
    EXPECT_EQ(lines[3 + std::size_t(error * 10)], "1");
}

TEST_F(CmdFace, TrainPrintsEachCaptionAndRewritesTheTemplate) {
    const std::string before = Slurp(folder.File("reg.txt"));
    fs::create_directory(folder.File("elsewhere"));
    // The template named from another working folder; the file list shows face1.tgl and face2.tgl
    // only (not the side picture, notes.txt or reg.txt), so the captions are the window's.
    const Outcome run = Orvex("face train .. --template ../reg.txt", folder.File("elsewhere"));
    ASSERT_EQ(run.exitCode, 0) << run.out;
    EXPECT_EQ(run.out, "50 % completed\n100 % completed\n");
    EXPECT_NE(Slurp(folder.File("reg.txt")), before);
}

TEST_F(CmdFace, BadOptionsAndAMissingTemplateSayWhy) {
    const std::string verify = "face verify '" + folder.Path().string() + "'";
    Outcome run = Orvex(verify + " --template none.txt", folder.Path().string());
    EXPECT_NE(run.exitCode, 0);
    EXPECT_NE(run.out.find("none.txt"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("=================="), std::string::npos);

    run = Orvex(verify + " --left-eye 0.4 x", folder.Path().string());
    EXPECT_NE(run.exitCode, 0);
    EXPECT_NE(run.out.find("--left-eye needs two finite numbers"), std::string::npos) << run.out;

    run = Orvex("face train notes.txt", folder.Path().string());
    EXPECT_NE(run.exitCode, 0);
    EXPECT_NE(run.out.find("is not a folder"), std::string::npos) << run.out;

    run = Orvex("face features notes.txt out.txt", folder.Path().string());
    EXPECT_NE(run.exitCode, 0);
    EXPECT_FALSE(fs::exists(folder.File("out.txt")));

    // Eyes on one spot: that face stops with its reason in counter 30.
    run = Orvex(verify + " --left-eye 0.9 0.9 --right-eye 0.9 0.9", folder.Path().string());
    ASSERT_EQ(run.exitCode, 0) << run.out;
    const std::vector<std::string> lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 34u);
    EXPECT_NE(lines[0].find("\t-1\tboth eyes picked the same region"), std::string::npos) << lines[0];
    EXPECT_EQ(lines.back(), "2");
}

}  // namespace
