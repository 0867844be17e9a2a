#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "../support/ScratchFolder.h"
#include "RunOrvex.h"

namespace orvex {
namespace {

using clitest::Orvex;

struct Tri {
    float c[9];
};

// Binary STL of the triangles, normals +z.
void Write_Stl(const std::filesystem::path& path, const std::vector<Tri>& tris) {
    std::ofstream out(path, std::ios::binary);
    char header[80] = {};
    out.write(header, 80);
    const std::uint32_t n = std::uint32_t(tris.size());
    out.write(reinterpret_cast<const char*>(&n), 4);
    for (const Tri& t : tris) {
        const float normal[3] = {0, 0, 1};
        out.write(reinterpret_cast<const char*>(normal), 12);
        out.write(reinterpret_cast<const char*>(t.c), 36);
        out.write("\0\0", 2);
    }
}

// n x n unit squares from (x0, y0) in z = 0, counter-clockwise from +z.
std::vector<Tri> Grid(int n, float x0, float y0) {
    std::vector<Tri> tris;
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) {
            const float x = x0 + i, y = y0 + j;
            tris.push_back({{x, y, 0, x + 1, y, 0, x + 1, y + 1, 0}});
            tris.push_back({{x, y, 0, x + 1, y + 1, 0, x, y + 1, 0}});
        }
    return tris;
}

std::uintmax_t Stl_Facets(const std::filesystem::path& path) {
    return (std::filesystem::file_size(path) - 84) / 50;
}

TEST(CmdCut, CutsAlongAnotherMeshsRimAndWritesTheFourFiles) {
    test::ScratchFolder folder;
    const auto dir = folder.Path();
    Write_Stl(dir / "plate.stl", Grid(10, 0, 0));
    Write_Stl(dir / "patch.stl", Grid(4, 3.5f, 3.5f));  // its rim runs inside the plate
    const auto run =
        Orvex("cut '" + (dir / "plate.stl").string() + "' --rim-of '" + (dir / "patch.stl").string() +
              "' --refine 1 --out '" + (dir / "cut_").string() + "'");
    ASSERT_EQ(run.exitCode, 0) << run.out;
    EXPECT_NE(run.out.find("Part 1: "), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Part 2: "), std::string::npos);
    // The facets where the rim turns hold an L of cut points, which the cut cannot order: kept whole.
    EXPECT_NE(run.out.find("Facets split: "), std::string::npos) << run.out;
    for (const char* name : {"cut_part1", "cut_part2", "cut_spline.lop", "cut_original.lop"})
        EXPECT_TRUE(std::filesystem::exists(dir / name)) << name << "\n" << run.out;
    // The facet counts printed are those written.
    unsigned long p1 = 0, p2 = 0;
    double a1 = 0, a2 = 0;
    const auto at1 = run.out.find("Part 1: "), at2 = run.out.find("Part 2: ");
    ASSERT_EQ(std::sscanf(run.out.c_str() + at1, "Part 1: %lu facets, area %lf", &p1, &a1), 2);
    ASSERT_EQ(std::sscanf(run.out.c_str() + at2, "Part 2: %lu facets, area %lf", &p2, &a2), 2);
    EXPECT_EQ(Stl_Facets(dir / "cut_part1"), p1);
    EXPECT_EQ(Stl_Facets(dir / "cut_part2"), p2);
    EXPECT_NEAR(a1 + a2, 100.0, 1e-3);
}

TEST(CmdCut, SaysWhatIsWrong) {
    test::ScratchFolder folder;
    const auto dir = folder.Path();
    auto run = Orvex("cut '" + (dir / "absent.stl").string() + "' --out '" + (dir / "x").string() + "'");
    EXPECT_NE(run.exitCode, 0);
    EXPECT_NE(run.out.find("absent.stl"), std::string::npos) << run.out;
    EXPECT_FALSE(std::filesystem::exists(dir / "xpart1"));

    // A closed box has no rim: nothing to cut along, nothing written.
    std::vector<Tri> box;
    const float q[8][3] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0},
                           {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}};
    const int faces[12][3] = {{0, 2, 1}, {0, 3, 2}, {4, 5, 6}, {4, 6, 7}, {0, 1, 5}, {0, 5, 4},
                              {1, 2, 6}, {1, 6, 5}, {2, 3, 7}, {2, 7, 6}, {3, 0, 4}, {3, 4, 7}};
    for (const auto& f : faces) {
        Tri t;
        for (int k = 0; k < 3; ++k)
            for (int a = 0; a < 3; ++a) t.c[3 * k + a] = q[f[k]][a];
        box.push_back(t);
    }
    Write_Stl(dir / "box.stl", box);
    run = Orvex("cut '" + (dir / "box.stl").string() + "' --out '" + (dir / "x").string() + "'");
    EXPECT_NE(run.exitCode, 0);
    EXPECT_NE(run.out.find("no rim"), std::string::npos) << run.out;
    EXPECT_FALSE(std::filesystem::exists(dir / "xpart1"));

    run = Orvex("cut '" + (dir / "box.stl").string() + "'");  // no --out
    EXPECT_NE(run.exitCode, 0);
}

}  // namespace
}  // namespace orvex
