// orvex hull: counters, V, F and volume for a readable set; a non-zero exit with the reason for a
// set it cannot hull; the hull STL and the validation on request. Runs the real binary.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/cli/RunOrvex.h"
#include "tests/support/ScratchFolder.h"

namespace {

namespace fs = std::filesystem;

using orvex::clitest::Orvex;
using orvex::clitest::Outcome;

class Hull : public ::testing::Test {
protected:
    std::string Write(const std::string& name, const std::string& text) const {
        const std::string path = (folder_ / name).string();
        std::ofstream(path) << text;
        return path;
    }
    orvex::test::ScratchFolder scratch_{"orvex_hull"};
    fs::path folder_ = scratch_.Path();
};

TEST_F(Hull, PrintsCountersVerticesFacesAndVolume) {
    const std::string file = Write("t.ran", "5\n0 0 0\n6 0 0\n0 6 0\n0 0 6\n1 1 1\n");
    const Outcome run = Orvex("hull " + file + " --stl " + (folder_ / "t.stl").string());
    ASSERT_EQ(run.exitCode, 0) << run.out;
    EXPECT_NE(run.out.find("counters: 5 4 4 0 "), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("V: 4\nF: 4\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("volume: 36\n"), std::string::npos) << run.out;
    EXPECT_EQ(fs::file_size(folder_ / "t.stl"), 284u);
}

TEST_F(Hull, EveryAlgorithmValidates) {
    std::string text;
    for (int i = 0; i < 200; ++i) {
        const double a = i * 2.39996, z = 1.0 - (i + 0.5) / 100.0, r = std::sqrt(1 - z * z);
        text += std::to_string(10 * r * std::cos(a)) + " " + std::to_string(10 * r * std::sin(a)) + " " +
                std::to_string(10 * z) + "\n";
    }
    const std::string file = Write("s.xyz", text);
    for (const char* algorithm : {"best", "special", "incremental"}) {
        const Outcome run = Orvex("hull " + file + " --validate --algorithm " + algorithm);
        EXPECT_EQ(run.exitCode, 0) << run.out;
        EXPECT_NE(run.out.find("V: 200\nF: 396\n"), std::string::npos) << run.out;
        EXPECT_NE(run.out.find("valid: closed"), std::string::npos) << run.out;
    }
}

TEST_F(Hull, SetsItCannotHullExitWithTheReason) {
    const Outcome three = Orvex("hull " + Write("three.ran", "3\n1 2 3\n4 5 6\n7 8 9\n"));
    EXPECT_EQ(three.exitCode, 1);
    EXPECT_NE(three.out.find("at least four points"), std::string::npos) << three.out;
    const Outcome flat = Orvex("hull " + Write("flat.xyz", "0 0 0\n1 0 0\n0 1 0\n1 1 0\n2 2 0\n"));
    EXPECT_EQ(flat.exitCode, 1);
    EXPECT_NE(flat.out.find("one plane"), std::string::npos) << flat.out;
    const Outcome other = Orvex("hull " + Write("points.txt", "1 2 3\n"));
    EXPECT_EQ(other.exitCode, 1);
    EXPECT_NE(other.out.find("not a point file"), std::string::npos) << other.out;
}

}  // namespace
