// Boundary loops: ranges, refinement, smoothing, and rims of meshes good and bad.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "facet/BoundaryLoop.h"
#include "mesh/StlReader.h"
#include "mesh/Topology.h"
#include "tests/support/ScratchFolder.h"
#include "tests/support/TestMeshes.h"

namespace orvex {
namespace {

using Edge = std::pair<int, int>;

// Directed rim edges counted here the plain way: an undirected edge with exactly one face use.
std::set<Edge> Rim_Edges(const UniOb& mesh) {
    std::map<Edge, std::vector<Edge>> uses;
    for (const FaceIndex& f : mesh.Face_Index)
        for (int k = 0; k < 3; ++k) {
            const int a = f[k], b = f[(k + 1) % 3];
            if (a != b) uses[{std::min(a, b), std::max(a, b)}].push_back({a, b});
        }
    std::set<Edge> rim;
    for (const auto& [key, list] : uses)
        if (list.size() == 1) rim.insert(list[0]);
    return rim;
}

// The walk ended, every step of the chain is a rim edge walked backwards, none twice, and the
// loop is the chain's points with the first repeated.
void Expect_Walk_On_Rim(const UniOb& mesh, const BOUNDARY_LOOP& loop, const BoundaryReport& report) {
    const std::set<Edge> rim = Rim_Edges(mesh);
    EXPECT_EQ(report.rimEdges, rim.size());
    const std::vector<int>& chain = mesh.Boundary_Chain;
    ASSERT_EQ(chain.size(), report.chainLength);
    if (rim.empty()) {
        EXPECT_TRUE(loop.IsEmpty());
        return;
    }
    ASSERT_EQ(loop.Point_Count(), chain.size() + 1);
    std::set<Edge> used;
    for (std::size_t k = 0; k + 1 < chain.size(); ++k) {
        const Edge e{chain[k + 1], chain[k]};
        EXPECT_TRUE(rim.count(e)) << e.first << " -> " << e.second;
        EXPECT_TRUE(used.insert(e).second);
    }
    if (report.closed) {
        const Edge first{chain.front(), chain.back()};
        EXPECT_TRUE(rim.count(first));
        EXPECT_TRUE(used.insert(first).second);
    }
    for (std::size_t k = 0; k < loop.Point_Count(); ++k) {
        const Vec3& p = mesh.Vertex_Pos[chain[k % chain.size()]];
        EXPECT_EQ(loop.Points[k][0], p.x);
        EXPECT_EQ(loop.Points[k][1], p.y);
        EXPECT_EQ(loop.Points[k][2], p.z);
    }
}

void Fill_Mesh(UniOb& mesh, const std::vector<Vec3>& points, const std::vector<FaceIndex>& faces) {
    mesh.AllocFaces(unsigned(faces.size()));
    mesh.AllocVertices(unsigned(points.size()));
    mesh.AllocCurvature(unsigned(points.size()));
    for (std::size_t i = 0; i < points.size(); ++i) mesh.Vertex_Pos[i] = points[i];
    for (std::size_t f = 0; f < faces.size(); ++f) mesh.Face_Index[f] = faces[f];
    test::Finish_Mesh(mesh);
}

// A grid of n x n squares with some faces left out.
void Grid_Without(UniOb& mesh, int n, const std::set<int>& dropped, std::vector<FaceIndex> extra = {},
                  std::vector<Vec3> extraPoints = {}) {
    UniOb grid;
    test::Make_Grid(grid, n);
    std::vector<Vec3> points(grid.Vertex_Pos.begin(), grid.Vertex_Pos.end());
    points.insert(points.end(), extraPoints.begin(), extraPoints.end());
    std::vector<FaceIndex> faces;
    for (unsigned f = 0; f < grid.Face_Count; ++f)
        if (!dropped.count(int(f))) faces.push_back(grid.Face_Index[f]);
    faces.insert(faces.end(), extra.begin(), extra.end());
    Fill_Mesh(mesh, points, faces);
}

BOUNDARY_LOOP Numbered_Loop(int n) {
    BOUNDARY_LOOP loop;
    loop.Resize(unsigned(n));
    for (int i = 0; i < n; ++i) loop.Points[i] = {float(i), 0, 0, 0, 0, 1};
    return loop;
}

std::vector<float> Xs(const BOUNDARY_LOOP& loop) {
    std::vector<float> xs;
    for (const LoopPoint& p : loop.Points) xs.push_back(p[0]);
    return xs;
}

TEST(Rim, QuadGivesFivePointsLastEqualToFirst) {
    UniOb quad;
    test::Make_Square(quad);
    test::Finish_Mesh(quad);
    const std::vector<int> labels = quad.Vertex_Label;
    BOUNDARY_LOOP loop;
    const BoundaryReport report = DetectBoundary(quad, loop);
    EXPECT_EQ(report.rimEdges, 4u);
    EXPECT_EQ(report.rims, 1u);
    EXPECT_TRUE(report.closed);
    ASSERT_EQ(loop.Point_Count(), 5u);
    EXPECT_EQ(loop.Points[4], loop.Points[0]);
    EXPECT_EQ(quad.Boundary_Chain.front(), 0);
    Expect_Walk_On_Rim(quad, loop, report);
    EXPECT_FLOAT_EQ(loop.Points[2][5], 1.0f);
    // Rings and labels stay for the passes that read them.
    EXPECT_TRUE(quad.Vertex_Ring.IsBuilt());
    EXPECT_EQ(quad.Vertex_Label, labels);
}

TEST(Rim, CopyRangeClampsWrapsAndIgnoresEqualEnds) {
    const BOUNDARY_LOOP detected = Numbered_Loop(5);
    BOUNDARY_LOOP range;
    range.CopyRange(detected, 0, 100);
    EXPECT_EQ(Xs(range), (std::vector<float>{0, 1, 2, 3}));
    range.CopyRange(detected, 3, 1);
    EXPECT_EQ(Xs(range), (std::vector<float>{3, 0, 1}));
    range.CopyRange(detected, 2, 2);
    EXPECT_EQ(Xs(range), (std::vector<float>{3, 0, 1}));
    range.CopyRange(detected, 7, 3);  // both clamp to 3
    EXPECT_EQ(Xs(range), (std::vector<float>{3, 0, 1}));
    range.CopyRange(BOUNDARY_LOOP{}, 0, 2);
    EXPECT_EQ(range.Point_Count(), 3u);
    range.CopyRange(range, 0, 1);  // from itself
    EXPECT_EQ(Xs(range), (std::vector<float>{3, 0}));
}

TEST(Rim, RefineDoublesAndRefusesPastTheLimit) {
    BOUNDARY_LOOP range = Numbered_Loop(3);
    range.Points[1] = {1, 0, 0, 1, 0, 0};
    ASSERT_TRUE(range.Refine());
    EXPECT_EQ(Xs(range), (std::vector<float>{0, 0.5f, 1, 1.5f, 2}));
    EXPECT_NEAR(std::hypot(range.Points[1][3], range.Points[1][5]), 1.0, 1e-6);
    ASSERT_TRUE(range.Refine());
    EXPECT_EQ(range.Point_Count(), 9u);

    const Status refused = range.Refine(16);
    EXPECT_FALSE(refused);
    EXPECT_NE(refused.message.find("17"), std::string::npos) << refused.message;
    EXPECT_EQ(range.Point_Count(), 9u);
    EXPECT_TRUE(range.Refine(17));
    EXPECT_EQ(range.Point_Count(), 17u);

    BOUNDARY_LOOP empty;
    EXPECT_TRUE(empty.Refine());
    EXPECT_TRUE(empty.IsEmpty());
}

TEST(Rim, SmoothKeepsAStraightEvenRange) {
    BOUNDARY_LOOP range = Numbered_Loop(7);
    const BOUNDARY_LOOP before = range;
    range.Smooth(5);
    for (std::size_t i = 0; i < 7; ++i)
        for (int k = 0; k < 6; ++k) EXPECT_NEAR(range.Points[i][k], before.Points[i][k], 1e-6);

    BOUNDARY_LOOP bent = Numbered_Loop(3);
    bent.Points[1][1] = 4.5f;
    bent.Smooth(1);
    EXPECT_FLOAT_EQ(bent.Points[1][1], 2.5f);
    EXPECT_EQ(bent.Points[0][1], 0.0f);

    BOUNDARY_LOOP two = Numbered_Loop(2);
    two.Points[1][5] = 3.0f;
    two.Smooth(1);
    EXPECT_EQ(Xs(two), (std::vector<float>{0, 1}));
    EXPECT_NEAR(two.Points[1][5], 1.0f, 1e-6);
}

TEST(Rim, WriteLoopLopWritesTwoRecordsPerStep) {
    test::ScratchFolder folder;
    const BOUNDARY_LOOP range = Numbered_Loop(3);
    ASSERT_TRUE(range.WriteLoopLOP(folder.File("range")));
    std::ifstream in(folder.File("range.lop"));
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    EXPECT_EQ(lines, (std::vector<std::string>{"0.000000,0.000000,0.000000,0.000000,0.000000,1.000000",
                                               "1.000000,0.000000,0.000000,0.000000,0.000000,1.000000",
                                               "1.000000,0.000000,0.000000,0.000000,0.000000,1.000000",
                                               "2.000000,0.000000,0.000000,0.000000,0.000000,1.000000"}));
    EXPECT_FALSE(BOUNDARY_LOOP{}.WriteLoopLOP(folder.File("none")));
    EXPECT_FALSE(std::filesystem::exists(folder.File("none.lop")));
    EXPECT_FALSE(range.WriteLoopLOP(folder.File("missing/range")));
}

TEST(Rim, GridWithTwoHolesWalksTheOuterRimAndCountsThree) {
    // 10 x 10 grid; squares (2, 2) and (6, 5) left out (faces 2 (i + 10 j) and the next).
    UniOb mesh;
    Grid_Without(mesh, 10, {44, 45, 112, 113});
    BOUNDARY_LOOP loop;
    const BoundaryReport report = DetectBoundary(mesh, loop);
    EXPECT_EQ(report.rims, 3u);
    EXPECT_EQ(report.rimEdges, 48u);
    EXPECT_TRUE(report.closed);
    EXPECT_EQ(loop.Point_Count(), 41u);
    EXPECT_DOUBLE_EQ(loop.Length(), 40.0);
    Expect_Walk_On_Rim(mesh, loop, report);

    // A second detection replaces the chain; a closed mesh leaves loop and chain empty.
    DetectBoundary(mesh, loop);
    EXPECT_EQ(mesh.Boundary_Chain.size(), 40u);
    UniOb cube;
    test::Make_Cube(cube);
    test::Finish_Mesh(cube);
    cube.Boundary_Chain = {1, 2};
    const BoundaryReport closed = DetectBoundary(cube, loop);
    EXPECT_EQ(closed.rimEdges, 0u);
    EXPECT_TRUE(loop.IsEmpty());
    EXPECT_TRUE(cube.Boundary_Chain.empty());
    UniOb empty;
    EXPECT_EQ(DetectBoundary(empty, loop).rims, 0u);
}

TEST(Rim, BowlRimHas97PointsAroundACircle) {
    UniOb bowl;
    ASSERT_TRUE(Read_STL(bowl, std::string(ORVEX_SAMPLES_DIR) + "/bowl.stl"));
    BOUNDARY_LOOP loop;
    const BoundaryReport report = DetectBoundary(bowl, loop);
    EXPECT_EQ(report.rims, 1u);
    EXPECT_EQ(loop.Point_Count(), 97u);
    EXPECT_NEAR(loop.Length(), 2880.0 * std::sin(M_PI / 96.0), 1e-3);
    EXPECT_NEAR(loop.Length(), 94.23, 0.005);
    Expect_Walk_On_Rim(bowl, loop, report);
}

TEST(Rim, FaultyMeshesEndAndEveryStepIsARimEdge) {
    // 3 x 3 grid: faces 2 (i + 3 j), 2 (i + 3 j) + 1 for square (i, j); vertex (i, j) = i + 4 j.
    UniOb flipped;
    {
        UniOb grid;
        test::Make_Grid(grid, 3);
        std::vector<FaceIndex> faces(grid.Face_Index.begin(), grid.Face_Index.end());
        std::swap(faces[8][1], faces[8][2]);  // the middle square's first face wound the other way
        Fill_Mesh(flipped, std::vector<Vec3>(grid.Vertex_Pos.begin(), grid.Vertex_Pos.end()), faces);
    }
    UniOb degenerate;  // a sliver (5, 5, 6) on an inner edge, as merging makes them
    Grid_Without(degenerate, 3, {}, {{5, 5, 6}, {6, 6, 6}});
    UniOb fin;  // a third face on the inner edge 5-10
    Grid_Without(fin, 3, {}, {{5, 10, 16}}, {{1, 1, 1}});
    UniOb bowtie;  // two triangles sharing vertex 0 only
    Fill_Mesh(bowtie, {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {-1, 0, 0}, {-1, -1, 0}}, {{0, 1, 2}, {0, 3, 4}});
    UniOb twoFans;  // two squares meeting at one corner: the rims touch there
    Grid_Without(twoFans, 2, {2, 3, 4, 5});

    for (UniOb* mesh : {&flipped, &degenerate, &fin, &bowtie, &twoFans}) {
        BOUNDARY_LOOP loop;
        const BoundaryReport report = DetectBoundary(*mesh, loop);
        Expect_Walk_On_Rim(*mesh, loop, report);
        EXPECT_GT(report.rimEdges, 0u);
    }
    // Where rims touch, the walk leaves by the edge of the latest face: 0 -> 3, then back to 0.
    EXPECT_EQ(bowtie.Boundary_Chain, (std::vector<int>{0, 4, 3}));
    // Edges of the flipped face meet neighbours wound alike: no rim there, the outer rim stays.
    EXPECT_EQ(Rim_Edges(flipped).size(), 12u);
    EXPECT_EQ(Rim_Edges(degenerate).size(), 12u);
    EXPECT_EQ(Rim_Edges(fin).size(), 14u);
}

TEST(Rim, BunnyHasFiveRimsOf223Edges) {
    const std::string path = std::string(ORVEX_SHARED_DATA_DIR) + "/mesh_bunny_zipper.stl";
    if (!std::filesystem::exists(path)) GTEST_SKIP() << path << " is absent";
    const float saved = Coincidence_Tolerance;
    UniOb exact;
    Coincidence_Tolerance = 0.0f;
    const Status read = Read_STL(exact, path);
    Coincidence_Tolerance = saved;
    ASSERT_TRUE(read) << read.message;
    BOUNDARY_LOOP loop;
    const BoundaryReport report = DetectBoundary(exact, loop);
    EXPECT_EQ(report.rims, 5u);
    EXPECT_EQ(report.rimEdges, 223u);
    EXPECT_TRUE(report.closed);
    EXPECT_TRUE(std::set<unsigned>({81, 43, 41, 40, 23}).count(loop.Point_Count())) << loop.Point_Count();
    Expect_Walk_On_Rim(exact, loop, report);

    // The default tolerance merges corners into slivers: it must still end on rim edges.
    UniOb merged;
    ASSERT_TRUE(Read_STL(merged, path));
    const BoundaryReport mergedReport = DetectBoundary(merged, loop);
    Expect_Walk_On_Rim(merged, loop, mergedReport);
}

}  // namespace
}  // namespace orvex
