// Two-ring statistics, flood labelling and candidate regions.

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "analysis/CandidateRegions.h"
#include "analysis/Curvature.h"
#include "geometry/VecList.h"
#include "mesh/Topology.h"
#include "tests/support/TestMeshes.h"

namespace orvex {
namespace {

// A flat 60 x 60 grid with paraboloid dimples of radius `rim` and curvature radius 25, so the
// fitted Curvature_Max inside each is about -0.02, in the candidate band.
void Make_Dimpled_Grid(UniOb& mesh, const std::vector<Vec3>& centres, float rim) {
    test::Make_Grid(mesh, 60);
    for (Vec3& p : mesh.Vertex_Pos) {
        for (const Vec3& c : centres) {
            const float r2 = (p.x - c.x) * (p.x - c.x) + (p.y - c.y) * (p.y - c.y);
            if (r2 < rim * rim) p.z = (r2 - rim * rim) / 50.0f;
        }
    }
    test::Finish_Mesh(mesh);
}

std::vector<std::vector<float>> Records(const UniOb& mesh) {
    std::vector<std::vector<float>> out;
    for (const VEC_LIST* r = mesh.Region_List; r; r = r->next) out.emplace_back(r->values, r->values + 7);
    return out;
}

void FloodRecursive(UniOb& mesh, int v, int from, int to) {
    for (const int* u = mesh.Vertex_Ring.Begin(v); u != mesh.Vertex_Ring.End(v); ++u) {
        if (mesh.Vertex_Label[*u] != from) continue;
        mesh.Vertex_Label[*u] = to;
        FloodRecursive(mesh, *u, from, to);
    }
}

// ---- two-ring statistics ----

TEST(TwoRing, InteriorGridVertexSeesNineteenVertices) {
    UniOb mesh;
    test::Make_Grid(mesh, 8);
    test::Finish_Mesh(mesh);
    for (unsigned v = 0; v < mesh.Vertex_Count; ++v) {
        mesh.Curvature_Max[v] = mesh.Vertex_Pos[v].x;
        mesh.Curvature_Min[v] = 2 * mesh.Vertex_Pos[v].y;
    }
    // Vertex (4, 4): offsets of the two-ring in x sum to 0 and their squares to 32.
    const RingStats s = TwoRingStats(mesh, 4 + 9 * 4);
    EXPECT_FLOAT_EQ(s.meanMax, 4.0f);
    EXPECT_FLOAT_EQ(s.meanMin, 8.0f);
    EXPECT_FLOAT_EQ(s.stdMax, std::sqrt(32.0f / 19.0f));
    EXPECT_FLOAT_EQ(s.stdMin, 2 * std::sqrt(32.0f / 19.0f));
}

TEST(TwoRing, RepeatedFirstRingEntriesCountEachTime) {
    // Three faces on edge 0-1: vertex 0's ring is 1, 1, 1; the two-ring 0 1 1 1 4 3 2.
    UniOb mesh;
    mesh.AllocFaces(3);
    mesh.AllocVertices(5);
    mesh.AllocCurvature(5);
    mesh.Face_Index = {{0, 1, 2}, {0, 1, 3}, {0, 1, 4}};
    Build_Rings(mesh);
    for (int v = 0; v < 5; ++v) mesh.Curvature_Max[v] = mesh.Curvature_Min[v] = float(v);
    const RingStats s = TwoRingStats(mesh, 0);
    EXPECT_FLOAT_EQ(s.meanMax, 12.0f / 7.0f);
}

TEST(TwoRing, AlmostConstantValuesHaveZeroDeviation) {
    UniOb mesh;
    test::Make_Grid(mesh, 4);
    test::Finish_Mesh(mesh);
    std::fill(mesh.Curvature_Max.begin(), mesh.Curvature_Max.end(), -0.02f);
    const RingStats s = TwoRingStats(mesh, 12);
    EXPECT_FLOAT_EQ(s.meanMax, -0.02f);
    EXPECT_EQ(s.stdMax, 0.0f);
    EXPECT_EQ(s.stdMin, 0.0f);
}

// ---- flood labelling ----

TEST(Flood, SameLabelsAsTheRecursiveWalk) {
    std::mt19937 random(7);
    UniOb mesh;
    test::Make_Grid(mesh, 7);
    test::Finish_Mesh(mesh);
    for (int trial = 0; trial < 50; ++trial) {
        for (int& l : mesh.Vertex_Label) l = random() % 2 ? -100 : int(random() % 3);
        UniOb reference;
        test::Make_Grid(reference, 7);
        test::Finish_Mesh(reference);
        reference.Vertex_Label = mesh.Vertex_Label;
        const int start = int(random() % mesh.Vertex_Count);
        FloodLabel(mesh, start, -100, 9);
        FloodRecursive(reference, start, -100, 9);
        ASSERT_EQ(mesh.Vertex_Label, reference.Vertex_Label) << trial;
    }
}

TEST(Flood, MillionVertexRegionNeedsNoDeepStack) {
    UniOb mesh;
    test::Make_Grid(mesh, 1000);
    Build_Rings(mesh);
    std::fill(mesh.Vertex_Label.begin(), mesh.Vertex_Label.end(), -100);
    FloodLabel(mesh, 0, -100, 1);
    EXPECT_EQ(std::count(mesh.Vertex_Label.begin(), mesh.Vertex_Label.end(), 1), 1001 * 1001);
}

// ---- candidate regions ----

TEST(CandidateRegions, TwoDimplesFarApartGiveTwoRegionsNewestFirst) {
    UniOb mesh;
    Make_Dimpled_Grid(mesh, {{15, 30, 0}, {45, 30, 0}}, 7);
    FindCandidateRegions(mesh);
    const auto records = Records(mesh);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_NEAR(records[0][0], 45.0f, 1e-3);  // region 2 at the head
    EXPECT_NEAR(records[1][0], 15.0f, 1e-3);
    for (const auto& r : records) {
        EXPECT_NEAR(r[1], 30.0f, 1e-3);
        EXPECT_LT(r[2], 0.0f);
        EXPECT_NEAR(r[5], 1.0f, 1e-4);  // unit mean normal, straight up by symmetry
        EXPECT_GE(r[6], 9.0f);
    }
    EXPECT_EQ(records[0][6], records[1][6]);
    EXPECT_EQ(mesh.Vertex_Label[15 + 61 * 30], 1);
    EXPECT_EQ(mesh.Vertex_Label[45 + 61 * 30], 2);
    EXPECT_EQ(mesh.Vertex_Label[30 + 61 * 30], 0);
    EXPECT_EQ(std::count(mesh.Vertex_Label.begin(), mesh.Vertex_Label.end(), 1), long(records[1][6]));
}

TEST(CandidateRegions, RegionsCloserThanTwentyMerge) {
    UniOb mesh;
    Make_Dimpled_Grid(mesh, {{22, 30, 0}, {37, 30, 0}}, 5);
    FindCandidateRegions(mesh);
    const auto records = Records(mesh);
    ASSERT_EQ(records.size(), 1u);
    const long n1 = std::count(mesh.Vertex_Label.begin(), mesh.Vertex_Label.end(), 1);
    const long n2 = std::count(mesh.Vertex_Label.begin(), mesh.Vertex_Label.end(), 2);
    ASSERT_GT(n1, 0);
    EXPECT_EQ(n1, n2);
    EXPECT_EQ(records[0][6], float(n1 + n2));
    EXPECT_NEAR(records[0][0], 29.5f, 1e-3);
    EXPECT_NEAR(std::hypot(records[0][3], records[0][4], records[0][5]), 1.0f, 1e-5);
}

TEST(CandidateRegions, SecondRunFindsTheSameRegions) {
    UniOb mesh;
    Make_Dimpled_Grid(mesh, {{15, 30, 0}, {45, 30, 0}}, 7);
    FindCandidateRegions(mesh);
    const auto labels = mesh.Vertex_Label;
    const auto records = Records(mesh);
    mesh.Left_Eye = mesh.Region_List;
    FindCandidateRegions(mesh);
    EXPECT_EQ(mesh.Vertex_Label, labels);
    EXPECT_EQ(Records(mesh), records);
    EXPECT_EQ(mesh.Left_Eye, nullptr);
}

TEST(CandidateRegions, CancelLeavesLabelsAndRecordsAlone) {
    struct CancelAtOnce : Progress {
        void Report(double, const std::string&) override {}
        bool IsCancelRequested() const override { return true; }
    } cancel;
    UniOb mesh;
    Make_Dimpled_Grid(mesh, {{30, 30, 0}}, 7);
    auto* old = new VEC_LIST(7);
    mesh.Region_List = old;
    const auto labels = mesh.Vertex_Label;
    FindCandidateRegions(mesh, &cancel);
    EXPECT_EQ(mesh.Region_List, old);
    EXPECT_EQ(mesh.Vertex_Label, labels);
}

TEST(CandidateRegions, NothingInTheBandEmptiesTheOldList) {
    UniOb mesh;
    test::Make_Grid(mesh, 10);
    test::Finish_Mesh(mesh);
    mesh.Region_List = new VEC_LIST(7);
    FindCandidateRegions(mesh);
    EXPECT_EQ(mesh.Region_List, nullptr);
    for (int l : mesh.Vertex_Label) EXPECT_LE(l, 0);
}

}  // namespace
}  // namespace orvex
