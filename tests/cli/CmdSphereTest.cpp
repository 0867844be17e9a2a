// orvex sphere: the fit's lines for a readable point file, the log and trace on request, the
// geometric refinement, and a non-zero exit with the reason for files it cannot use. Runs the real
// binary.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <regex>
#include <sstream>
#include <string>

#include "tests/cli/RunOrvex.h"
#include "tests/support/ScratchFolder.h"

namespace {

namespace fs = std::filesystem;

using orvex::clitest::Orvex;
using orvex::clitest::Outcome;

class Sphere : public ::testing::Test {
protected:
    std::string Write(const std::string& name, const std::string& text) const {
        const std::string path = (folder_ / name).string();
        std::ofstream(path) << text;
        return path;
    }
    // Points of the sphere (cx, cy, cz, radius) within `degrees` of its top, with radial noise.
    static std::string Points(double cx, double cy, double cz, double radius, double degrees, int n,
                              double sigma = 0) {
        std::mt19937 random(3);
        std::uniform_real_distribution<double> unit(0, 1);
        std::normal_distribution<double> noise(0, sigma > 0 ? sigma : 1);
        std::string text;
        char line[200];
        for (int i = 0; i < n; ++i) {
            const double z = 1 - unit(random) * (1 - std::cos(degrees * M_PI / 180)),
                         phi = 2 * M_PI * unit(random);
            const double s = std::sqrt(1 - z * z), r = radius + (sigma > 0 ? noise(random) : 0);
            std::snprintf(line, sizeof line, "%.9g %.9g %.9g\n", cx + r * s * std::cos(phi),
                          cy + r * s * std::sin(phi), cz + r * z);
            text += line;
        }
        return text;
    }
    static double Value(const std::string& out, const std::string& label) {
        const std::size_t at = out.find(label);
        if (at == std::string::npos) return NAN;
        return std::stod(out.substr(at + label.size()));
    }
    static std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    orvex::test::ScratchFolder scratch_{"orvex_sphere"};
    fs::path folder_ = scratch_.Path();
};

TEST_F(Sphere, PrintsTheFitAndWritesLogAndTrace) {
    const std::string file = Write("ball.xyz", Points(1, 2, 3, 5, 180, 300));
    const std::string log = (folder_ / "fit.log").string(), trace = (folder_ / "trace.txt").string();
    const Outcome run = Orvex("sphere " + file + " --log " + log + " --trace " + trace);
    ASSERT_EQ(run.exitCode, 0) << run.out;
    const std::regex lines(R"(Center: \(([-0-9.E]+), ([-0-9.E]+), ([-0-9.E]+)\)
Radius: ([-0-9.E]+)
RMS error: ([-0-9.E]+)
Iterations: (\d+)
((?:[-0-9.E]+,){9}\d+)
)");
    std::smatch m;
    ASSERT_TRUE(std::regex_match(run.out, m, lines)) << run.out;
    EXPECT_NEAR(std::stod(m[1]), 1, 1e-5);
    EXPECT_NEAR(std::stod(m[2]), 2, 1e-5);
    EXPECT_NEAR(std::stod(m[3]), 3, 1e-5);
    EXPECT_NEAR(std::stod(m[4]), 5, 1e-5);
    EXPECT_LT(std::stod(m[5]), 1e-6);
    // The Detail line repeats the centre, radius, RMS error and the step count.
    const std::string detail = m[7];
    EXPECT_EQ(detail.rfind(m[1].str() + "," + m[2].str() + "," + m[3].str() + "," + m[4].str() + ",", 0), 0u);
    EXPECT_EQ(detail.substr(detail.rfind(',') + 1), m[6].str());

    const std::string logText = Read(log);
    EXPECT_EQ(logText.rfind("RMS-sphere report:\n\xA4\xA4\xA4\xDF\xC2\x49"
                            "Center (X,Y,Z)=(1.0",
                            0),
              0u)
        << logText;
    EXPECT_EQ(std::count(logText.begin(), logText.end(), '\n'), 8);
    EXPECT_TRUE(std::regex_search(Read(trace), std::regex(R"(^\d+\.\d{10}       \d+\.\d{10}\n)")));
    EXPECT_FALSE(fs::exists(folder_ / "test.txt"));  // the window's trace name is not used here
}

TEST_F(Sphere, GeometricRefinementMovesACapsRadiusToTheTruth) {
    const std::string file = Write("cap.xyz", Points(0, 0, 0, 500, 30, 20000, 5));
    const Outcome plain = Orvex("sphere " + file);
    const Outcome geometric = Orvex("sphere " + file + " --geometric");
    ASSERT_EQ(plain.exitCode, 0) << plain.out;
    ASSERT_EQ(geometric.exitCode, 0) << geometric.out;
    const double algebraic = Value(plain.out, "Radius: "), refined = Value(geometric.out, "Radius: ");
    EXPECT_LT(algebraic, 495);  // biased small on a shallow cap
    EXPECT_NEAR(refined, 500, 5);
    EXPECT_GT(Value(geometric.out, "Geometric steps: "), 0);
    EXPECT_NE(geometric.out.find("Iterations: "), std::string::npos);
}

TEST_F(Sphere, FilesItCannotUseExitWithTheReason) {
    const Outcome two = Orvex("sphere " + Write("two.xyz", "0 0 0\n1 0 0\n"));
    EXPECT_EQ(two.exitCode, 1);
    EXPECT_NE(two.out.find("2 points; a sphere needs at least 3"), std::string::npos) << two.out;

    const Outcome missing = Orvex("sphere " + (folder_ / "none.xyz").string());
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.out.find("none.xyz"), std::string::npos) << missing.out;

    const Outcome kind = Orvex("sphere " + Write("ball.stl", "solid\n"));
    EXPECT_EQ(kind.exitCode, 1);
    EXPECT_NE(kind.out.find("not a point file"), std::string::npos) << kind.out;

    const Outcome bad = Orvex("sphere " + Write("bad.ran", "5\n0 0 0\n1 0 0\n0 x 0\n"));
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_NE(bad.out.find("bad.ran"), std::string::npos) << bad.out;
}

TEST_F(Sphere, UnwritableLogAndTraceAreReportedAfterTheFit) {
    const std::string file = Write("plane.ran", "4\n1 0 0\n-1 0 0\n0 1 0\n0 -1 0\n");
    const Outcome run = Orvex("sphere " + file + " --log " + (folder_ / "no/fit.log").string() + " --trace " +
                              (folder_ / "no/trace.txt").string());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.out.find("Radius: 1\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Note: "), std::string::npos) << run.out;  // the points lie in a plane
    EXPECT_NE(run.out.find("no/fit.log"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("no/trace.txt"), std::string::npos) << run.out;
}

}  // namespace
