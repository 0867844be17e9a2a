// orvex info: the status-bar text and the rest of the report, the writer options, and a non-zero
// exit with the reason on a bad file. Runs the real binary on files made here.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "mesh/StlFormat.h"
#include "mesh/StlSynth.h"
#include "tests/cli/RunOrvex.h"
#include "tests/support/ScratchFolder.h"

namespace {

namespace fs = std::filesystem;

using orvex::clitest::Orvex;
using orvex::clitest::Outcome;

void Write_File(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
}

std::string Cube_Stl() {
    std::string bytes(orvex::kStlPreambleBytes, '\0');
    const std::uint32_t count = 12;
    std::memcpy(bytes.data() + orvex::kStlHeaderBytes, &count, 4);
    auto corner = [](int i) {
        return orvex::Vec3{(i & 4) ? 1.0f : -1.0f, (i & 2) ? 1.0f : -1.0f, (i & 1) ? 1.0f : -1.0f};
    };
    const int quads[6][4] = {{0, 1, 3, 2}, {4, 6, 7, 5}, {0, 4, 5, 1},
                             {2, 3, 7, 6}, {0, 2, 6, 4}, {1, 5, 7, 3}};
    for (const auto& q : quads) {
        const int halves[2][3] = {{q[0], q[1], q[2]}, {q[0], q[2], q[3]}};
        for (const auto& tri : halves) {
            orvex::StlFacet facet{};
            for (int c = 0; c < 3; ++c) facet.corner[c] = corner(tri[c]);
            char record[orvex::kStlRecordBytes] = {};
            std::memcpy(record, &facet, sizeof facet);
            bytes.append(record, sizeof record);
        }
    }
    return bytes;
}

class OrvexInfo : public ::testing::Test {
protected:
    void SetUp() override {
        cube = (folder / "cube.stl").string();
        Write_File(cube, Cube_Stl());
    }
    orvex::test::ScratchFolder scratch_{"orvex_cli"};
    fs::path folder = scratch_.Path();
    std::string cube;
};

TEST_F(OrvexInfo, PrintsWhatTheStatusBarShows) {
    const Outcome run = Orvex("info " + cube);
    EXPECT_EQ(run.exitCode, 0) << run.out;
    EXPECT_NE(run.out.find("12 Facets. 8 Points. 24 Area. 8 Vol. "), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Box: (-1, -1, -1) .. (1, 1, 1)"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Boundary vertices: 0"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Curvature_Max: "), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Load time: "), std::string::npos) << run.out;
}

TEST_F(OrvexInfo, WritesTheRequestedOutputs) {
    const std::string out = (folder / "copy.stl").string();
    const std::string base = (folder / "split").string();
    const Outcome run =
        Orvex("info " + cube + " --write-stl " + out + " --split-upper-lower 0 0 1 --out " + base +
              " --split-visible 0 0 10 --c-arrays " + (folder / "c.txt").string() + " --face-array " +
              (folder / "f.txt").string() + " --histograms " + (folder / "h.txt").string());
    EXPECT_EQ(run.exitCode, 0) << run.out;
    EXPECT_EQ(fs::file_size(out), orvex::Stl_Binary_Size(12));
    EXPECT_EQ(fs::file_size(base + ".upper.stl"), orvex::Stl_Binary_Size(10));
    EXPECT_EQ(fs::file_size(base + ".lower.stl"), orvex::Stl_Binary_Size(2));
    EXPECT_EQ(fs::file_size(base + ".visble.stl"), orvex::Stl_Binary_Size(2));
    EXPECT_TRUE(fs::exists(folder / "c.txt"));
    EXPECT_TRUE(fs::exists(folder / "f.txt"));
    EXPECT_TRUE(fs::exists(folder / "h.txt"));
    // The copy reads back as the same cube.
    EXPECT_NE(Orvex("info " + out).out.find("12 Facets. 8 Points. "), std::string::npos);
}

TEST_F(OrvexInfo, ToleranceMergesTheSmallSphere) {
    const std::string path = (folder / "sphere.stl").string();
    ASSERT_TRUE(
        orvex::Write_Sphere_Stl(path, orvex::Sphere_For_Triangles(2000, orvex::FacetOrder::Rows, 1.0)));
    const Outcome exact = Orvex("info " + path + " --tolerance 0");
    EXPECT_NE(exact.out.find("2000 Facets. 1002 Points."), std::string::npos) << exact.out;
    const Outcome coarse = Orvex("info " + path + " --tolerance 0.5");
    EXPECT_EQ(coarse.out.find("1002 Points."), std::string::npos) << coarse.out;
    EXPECT_NE(Orvex("info " + path + " --tolerance -1").exitCode, 0);
}

TEST_F(OrvexInfo, RefusesAToleranceThatIsNoFiniteFloatAndEndsOnHugeOnes) {
    // 1e39 is infinite as a float (the merger's grid once looped over 2^96 cells for it).
    for (const char* tolerance : {"1e39", "inf", "nan", "-1", "0.5mm"}) {
        SCOPED_TRACE(tolerance);
        const Outcome run = Orvex("info --tolerance " + std::string(tolerance) + " " + cube);
        EXPECT_NE(run.exitCode, 0);
        EXPECT_NE(run.out.find("not a usable tolerance"), std::string::npos) << run.out;
        EXPECT_EQ(run.out.find("Facets."), std::string::npos) << run.out;
    }
    // The largest floats merge the whole cube into its first corner; a denormal merges nothing.
    EXPECT_NE(Orvex("info --tolerance 3.4028235e38 " + cube).out.find("12 Facets. 1 Points."),
              std::string::npos);
    EXPECT_NE(Orvex("info --tolerance 1e30 " + cube).out.find("12 Facets. 1 Points."), std::string::npos);
    EXPECT_NE(Orvex("info --tolerance 1e-45 " + cube).out.find("12 Facets. 8 Points."), std::string::npos);
}

TEST_F(OrvexInfo, BadFilesExitNonZeroWithTheReason) {
    const fs::path empty = folder / "empty.stl";
    Write_File(empty, "");
    Outcome run = Orvex("info " + empty.string());
    EXPECT_NE(run.exitCode, 0);
    EXPECT_NE(run.out.find("empty"), std::string::npos) << run.out;

    run = Orvex("info " + (folder / "missing.stl").string());
    EXPECT_NE(run.exitCode, 0);
    EXPECT_NE(run.out.find("cannot open"), std::string::npos) << run.out;

    // A torn file still shows what it holds, and says what is missing.
    std::string torn = Cube_Stl();
    torn.resize(torn.size() - 60);
    Write_File(folder / "torn.stl", torn);
    run = Orvex("info " + (folder / "torn.stl").string());
    EXPECT_NE(run.exitCode, 0);
    EXPECT_NE(run.out.find("truncated after 10 of 12 facets"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("10 Facets."), std::string::npos) << run.out;
}

TEST_F(OrvexInfo, FailedWriteExitsNonZero) {
    const Outcome run = Orvex("info " + cube + " --write-stl " + (folder / "no" / "such" / "x.stl").string());
    EXPECT_NE(run.exitCode, 0);
    EXPECT_NE(run.out.find("x.stl"), std::string::npos) << run.out;
}

}  // namespace
