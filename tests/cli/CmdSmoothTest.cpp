// orvex smooth and orvex reduce: the statistics before and after, the volume change, the steps of
// each pass and phase, the batch over named files, and a non-zero exit with the reason on bad
// numbers and missing files. Runs the real binary on files made here.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "mesh/StlFormat.h"
#include "mesh/StlSynth.h"
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

// The cube [-10, 10]^3 with every side cut into n x n squares of two triangles, outward.
std::string Subdivided_Cube_Stl(int n) {
    std::string bytes(orvex::kStlPreambleBytes, '\0');
    const std::uint32_t count = 12u * std::uint32_t(n * n);
    std::memcpy(bytes.data() + orvex::kStlHeaderBytes, &count, 4);
    auto put = [&bytes](orvex::Vec3 a, orvex::Vec3 b, orvex::Vec3 c) {
        orvex::StlFacet facet{};
        facet.corner[0] = a;
        facet.corner[1] = b;
        facet.corner[2] = c;
        char record[orvex::kStlRecordBytes] = {};
        std::memcpy(record, &facet, sizeof facet);
        bytes.append(record, sizeof record);
    };
    for (int axis = 0; axis < 3; ++axis) {
        for (float sign : {-1.0f, 1.0f}) {
            auto at = [&](int i, int j) {
                float p[3];
                p[axis] = 10.0f * sign;
                p[(axis + 1) % 3] = -10.0f + 20.0f * float(i) / float(n);
                p[(axis + 2) % 3] = -10.0f + 20.0f * float(j) / float(n);
                return orvex::Vec3{p[0], p[1], p[2]};
            };
            for (int i = 0; i < n; ++i) {
                for (int j = 0; j < n; ++j) {
                    const orvex::Vec3 a = at(i, j), b = at(i + 1, j), c = at(i + 1, j + 1), d = at(i, j + 1);
                    if (sign > 0) {
                        put(a, b, c);
                        put(a, c, d);
                    } else {
                        put(a, c, b);
                        put(a, d, c);
                    }
                }
            }
        }
    }
    return bytes;
}

// The number after `label` in the output.
double Number_After(const std::string& out, const std::string& label) {
    const std::size_t at = out.find(label);
    if (at == std::string::npos) return 1e300;
    return std::strtod(out.c_str() + at + label.size(), nullptr);
}

class OrvexSmooth : public ::testing::Test {
protected:
    void SetUp() override {
        sphere = (folder / "sphere.stl").string();
        ASSERT_TRUE(orvex::Write_Sphere_Stl(
            sphere, orvex::Sphere_For_Triangles(2000, orvex::FacetOrder::Rows, 100.0)));
        cube = (folder / "cube.stl").string();
        std::ofstream(cube, std::ios::binary) << Subdivided_Cube_Stl(4);
    }
    orvex::test::ScratchFolder scratch_{"orvex_cli_smooth"};
    fs::path folder = scratch_.Path();
    std::string sphere, cube;
};

TEST_F(OrvexSmooth, KeepsTheVolumeAndPrintsTheStepsOfEachPass) {
    const Outcome run = Orvex("smooth " + sphere + " --passes 4");
    ASSERT_EQ(run.exitCode, 0) << run.out;
    // The load line, then the line after the passes.
    const std::size_t first = run.out.find("2000 Facets. 1002 Points. ");
    ASSERT_NE(first, std::string::npos) << run.out;
    EXPECT_NE(run.out.find("2000 Facets. 1002 Points. ", first + 1), std::string::npos) << run.out;
    EXPECT_LT(std::abs(Number_After(run.out, "Volume change: ")), 1e-6) << run.out;
    const std::size_t steps = run.out.find("Restoration steps per pass:");
    ASSERT_NE(steps, std::string::npos) << run.out;
    const std::string line = run.out.substr(steps, run.out.find('\n', steps) - steps);
    EXPECT_EQ(std::count(line.begin(), line.end(), ' '), 4 + 3) << line;
    EXPECT_NE(run.out.find("Time: "), std::string::npos);
    // Nothing is written without --out.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 2);
}

TEST_F(OrvexSmooth, AreaSmoothingShrinksAndTheStepsRunInOrder) {
    const Outcome area = Orvex("smooth " + sphere + " --method area --factor 0 --passes 5");
    ASSERT_EQ(area.exitCode, 0) << area.out;
    EXPECT_LT(Number_After(area.out, "Volume change: "), -1e-4) << area.out;
    EXPECT_EQ(area.out.find("Restoration steps"), std::string::npos) << area.out;

    // Noise only, written out: the file has the sphere's facets; reversed, the volume turns over.
    const std::string noisy = (folder / "noisy.stl").string();
    const Outcome perturbed =
        Orvex("smooth " + sphere + " --perturb 0.3 --passes 0 --reverse --out " + noisy);
    ASSERT_EQ(perturbed.exitCode, 0) << perturbed.out;
    EXPECT_NEAR(Number_After(perturbed.out, "Volume change: "), -2.0, 0.01) << perturbed.out;
    EXPECT_EQ(fs::file_size(noisy), orvex::Stl_Binary_Size(2000));

    const Outcome attracted = Orvex("smooth " + sphere + " --passes 0 --attract " + noisy);
    EXPECT_EQ(attracted.exitCode, 0) << attracted.out;
}

TEST_F(OrvexSmooth, SerialRewritesTheStlFilesAndNamesTheOthers) {
    const std::string copy = (folder / "copy.STL").string();
    fs::copy_file(sphere, copy);
    const std::string original = Slurp(sphere);
    const std::string missing = (folder / "missing.stl").string();
    const std::string points = (folder / "p.xyz").string();
    std::ofstream(points) << "1 2 3\n";

    const Outcome run =
        Orvex("smooth --serial --passes 2 " + sphere + " " + copy + " " + missing + " " + points);
    EXPECT_NE(run.exitCode, 0) << run.out;
    EXPECT_NE(run.out.find(sphere + ": smoothed, 2 passes"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("2 of 4 files smoothed; skipped: missing.stl, p.xyz"), std::string::npos)
        << run.out;
    EXPECT_NE(Slurp(sphere), original);
    EXPECT_EQ(Slurp(sphere), Slurp(copy));
    EXPECT_TRUE(fs::exists(sphere + ".txt"));
    EXPECT_TRUE(fs::exists(copy + ".txt"));
    EXPECT_EQ(Slurp(points), "1 2 3\n");
    EXPECT_FALSE(fs::exists(missing));
}

TEST_F(OrvexSmooth, BadNumbersAndMissingFilesExitNonZero) {
    const std::string out = (folder / "out.stl").string();
    for (const char* options : {"--factor nan", "--factor 1e39", "--passes abc", "--passes -1",
                                "--perturb inf", "--method fast", "--serial --reverse"}) {
        SCOPED_TRACE(options);
        const Outcome run = Orvex("smooth " + sphere + " " + std::string(options) + " --out " + out);
        EXPECT_NE(run.exitCode, 0);
        EXPECT_NE(run.out.find("orvex smooth: "), std::string::npos) << run.out;
        EXPECT_EQ(run.out.find("Facets."), std::string::npos) << run.out;
        EXPECT_FALSE(fs::exists(out));
    }
    Outcome run = Orvex("smooth " + (folder / "none.stl").string());
    EXPECT_NE(run.exitCode, 0);
    EXPECT_NE(run.out.find("cannot open"), std::string::npos) << run.out;
    run = Orvex("smooth " + sphere + " --attract " + (folder / "none.stl").string());
    EXPECT_NE(run.exitCode, 0);
    EXPECT_NE(run.out.find("cannot open"), std::string::npos) << run.out;
    run = Orvex("reduce " + cube + " --threshold nan");
    EXPECT_NE(run.exitCode, 0);
    EXPECT_NE(run.out.find("not a finite number"), std::string::npos) << run.out;
    run = Orvex("reduce " + (folder / "none.stl").string());
    EXPECT_NE(run.exitCode, 0);
    EXPECT_NE(run.out.find("cannot open"), std::string::npos) << run.out;
}

TEST_F(OrvexSmooth, ReduceThinsTheFlatSidesAndStaysClosed) {
    const std::string out = (folder / "reduced.stl").string();
    const Outcome run = Orvex("reduce " + cube + " --out " + out);
    ASSERT_EQ(run.exitCode, 0) << run.out;
    EXPECT_NE(run.out.find("192 Facets. 98 Points. 2400 Area. 8000 Vol. "), std::string::npos) << run.out;
    EXPECT_GT(Number_After(run.out, "Vertices removed: "), 0.0) << run.out;
    EXPECT_NE(run.out.find("Result: closed manifold"), std::string::npos) << run.out;
    EXPECT_LT(std::abs(Number_After(run.out, "Volume change: ")), 1e-6) << run.out;
    EXPECT_LT(fs::file_size(out), orvex::Stl_Binary_Size(192));

    const Outcome steep = Orvex("reduce " + cube + " --threshold 16");
    ASSERT_EQ(steep.exitCode, 0) << steep.out;
    EXPECT_NE(steep.out.find("Nothing reduced"), std::string::npos) << steep.out;
}

}  // namespace
