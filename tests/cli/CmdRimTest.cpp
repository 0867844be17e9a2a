// orvex rim and orvex info FILE.lop: rims, loop and range of a generated grid, the LOP written
// and read back, and the reasons given for bad input. Runs the real binary.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "mesh/StlFormat.h"
#include "tests/cli/RunOrvex.h"
#include "tests/support/ScratchFolder.h"

namespace {

using orvex::clitest::Orvex;
using orvex::clitest::Outcome;

// n x n unit squares in z = 0 as binary STL, two facets a square, normals +z; `closed` adds the
// mirrored copy underneath so no edge is left with one face.
void Write_Grid(const std::string& path, int n, bool closed = false) {
    std::vector<orvex::StlFacet> facets;
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) {
            const orvex::Vec3 a{float(i), float(j), 0}, b{float(i + 1), float(j), 0},
                c{float(i + 1), float(j + 1), 0}, d{float(i), float(j + 1), 0};
            facets.push_back({{0, 0, 1}, {a, b, c}});
            facets.push_back({{0, 0, 1}, {a, c, d}});
            if (closed) {
                facets.push_back({{0, 0, -1}, {a, c, b}});
                facets.push_back({{0, 0, -1}, {a, d, c}});
            }
        }
    std::string bytes(orvex::Stl_Binary_Size(facets.size()), '\0');
    auto* out = reinterpret_cast<unsigned char*>(bytes.data());
    orvex::Stl_Put_Preamble(out, std::uint32_t(facets.size()));
    for (std::size_t f = 0; f < facets.size(); ++f)
        orvex::Stl_Put_Record(out + orvex::kStlPreambleBytes + orvex::kStlRecordBytes * f, facets[f]);
    std::ofstream(path, std::ios::binary) << bytes;
}

bool Has(const Outcome& run, const std::string& text) {
    return run.out.find(text) != std::string::npos;
}

TEST(OrvexRim, GridRimRangeRefinedAndWrittenAsLop) {
    orvex::test::ScratchFolder folder;
    const std::string grid = folder.File("grid.stl");
    Write_Grid(grid, 3);
    const std::string base = folder.File("range");
    const Outcome run =
        Orvex("rim '" + grid + "' --start 2 --end 100 --refine 1 --smooth 2 --out '" + base + "'");
    EXPECT_EQ(run.exitCode, 0) << run.out;
    EXPECT_TRUE(Has(run, "18 Facets. 16 Points.")) << run.out;
    EXPECT_TRUE(Has(run, "Rims: 1, rim edges: 12")) << run.out;
    EXPECT_TRUE(Has(run, "Loop (closed): 13 points, length 12\n")) << run.out;
    EXPECT_TRUE(Has(run, "Range 2 .. 100: 10 points, length 9\n")) << run.out;
    EXPECT_TRUE(Has(run, "Refined: 19 points, length 9\n")) << run.out;
    EXPECT_TRUE(Has(run, "Smoothed: 19 points")) << run.out;
    EXPECT_TRUE(Has(run, "Wrote " + base + ".lop (36 records)")) << run.out;

    const Outcome info = Orvex("info '" + base + ".lop'");
    EXPECT_EQ(info.exitCode, 0) << info.out;
    EXPECT_TRUE(Has(info, "Line segments: 36 records, 18 segments")) << info.out;
    EXPECT_TRUE(Has(info, "Box: (")) << info.out;
}

TEST(OrvexRim, ClosedMeshMissingFileAndUnwritableOutput) {
    orvex::test::ScratchFolder folder;
    const std::string closed = folder.File("closed.stl");
    Write_Grid(closed, 2, true);
    const Outcome none = Orvex("rim '" + closed + "'");
    EXPECT_EQ(none.exitCode, 0) << none.out;
    EXPECT_TRUE(Has(none, "Rims: 0, rim edges: 0")) << none.out;
    EXPECT_TRUE(Has(none, "no rim")) << none.out;

    const Outcome missing = Orvex("rim '" + folder.File("missing.stl") + "'");
    EXPECT_EQ(missing.exitCode, 1) << missing.out;
    EXPECT_TRUE(Has(missing, "missing.stl")) << missing.out;

    const std::string grid = folder.File("grid.stl");
    Write_Grid(grid, 2);
    const Outcome unwritable = Orvex("rim '" + grid + "' --out '" + folder.File("no/such/range") + "'");
    EXPECT_EQ(unwritable.exitCode, 1) << unwritable.out;
    EXPECT_TRUE(Has(unwritable, "range.lop")) << unwritable.out;

    const Outcome same = Orvex("rim '" + grid + "' --start 3 --end 3 --out '" + folder.File("same") + "'");
    EXPECT_TRUE(Has(same, "Range 3 .. 3: empty")) << same.out;
    EXPECT_FALSE(std::filesystem::exists(folder.File("same.lop")));
}

TEST(OrvexRim, InfoOfABadLopNamesTheLineAndShowsWhatWasRead) {
    orvex::test::ScratchFolder folder;
    const std::string path = folder.File("bad.lop");
    std::ofstream(path) << "1,2,3,0,0,1\n4,5,6,0,0,1\n7,8,nine,0,0,1\n";
    const Outcome run = Orvex("info '" + path + "'");
    EXPECT_EQ(run.exitCode, 1) << run.out;
    EXPECT_TRUE(Has(run, "line 3")) << run.out;
    EXPECT_TRUE(Has(run, "Line segments: 2 records, 1 segments")) << run.out;
    EXPECT_TRUE(Has(run, "Box: (1, 2, 3) .. (4, 5, 6)")) << run.out;

    const Outcome missing = Orvex("info '" + folder.File("none.lop") + "'");
    EXPECT_EQ(missing.exitCode, 1) << missing.out;
    EXPECT_TRUE(Has(missing, "none.lop")) << missing.out;
}

}  // namespace
