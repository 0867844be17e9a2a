// The accelerated merger against the plain HYPER_POINT tree: identical indices, corner by corner,
// on inputs built to hit every path (repeats, near points split by an earlier one, crowded cells,
// scan order, extreme coordinates and tolerances).

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <stdexcept>
#include <utility>
#include <vector>

#include "analysis/Curvature.h"
#include "mesh/LoadPipeline.h"
#include "mesh/StlFormat.h"
#include "mesh/StlMerge.h"
#include "mesh/StlMergeTree.h"
#include "mesh/StlReader.h"
#include "mesh/StlSynth.h"
#include "mesh/Topology.h"

namespace orvex {
namespace {

// Indices from both, and the merger's statistics for checking which path was taken.
MergeStats Expect_Same_Indices(const std::vector<Vec3>& points, float tolerance, float spacing,
                               unsigned scanLimit = 4096, std::size_t maxPoints = 0) {
    HyperPointTree tree(tolerance);
    VertexMerger merger(tolerance, spacing, 16, scanLimit, maxPoints);
    std::vector<int> expected, got;
    for (const Vec3& p : points) {
        expected.push_back(tree.Insert(p));
        got.push_back(merger.Insert(p));
    }
    merger.Finish();
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (expected[i] != merger.Index(got[i])) {
            ADD_FAILURE() << "corner " << i << " (" << points[i].x << ", " << points[i].y << ", "
                          << points[i].z << "): tree " << expected[i] << ", merger " << merger.Index(got[i]);
            break;
        }
    }
    EXPECT_EQ(merger.Count(), tree.Count());
    for (unsigned v = 0; v < std::min(merger.Count(), tree.Count()); ++v)
        if (!(merger.Positions()[v] == tree.Nodes()[v].position)) {
            ADD_FAILURE() << "vertex " << v << " moved";
            break;
        }
    return merger.Stats();
}

std::vector<Vec3> Sphere_Corners(std::uint64_t triangles, FacetOrder order, double radius) {
    const std::vector<unsigned char> bytes = Make_Sphere_Stl(Sphere_For_Triangles(triangles, order, radius));
    const std::size_t count = Stl_Read_Count(bytes.data());
    std::vector<Vec3> corners;
    for (std::size_t k = 0; k < count; ++k) {
        StlFacet facet;
        Stl_Read_Record(bytes.data() + kStlPreambleBytes + k * kStlRecordBytes, facet);
        corners.insert(corners.end(), facet.corner, facet.corner + 3);
    }
    return corners;
}

TEST(HyperPointTree, NearPointsSplitByAnEarlierPointStayApart) {
    // The root sits between the two; their octants differ in x, so neither walk meets the other.
    HyperPointTree tree(0.0005f);
    EXPECT_EQ(tree.Insert({1.0f, 0.0f, 0.0f}), 0);
    EXPECT_EQ(tree.Insert({0.9998f, 10.0f, 0.0f}), 1);
    EXPECT_EQ(tree.Insert({1.0002f, 10.0f, 0.0f}), 2);
    // On the same side they merge.
    EXPECT_EQ(tree.Insert({0.9997f, 10.0002f, 0.0f}), 1);
}

TEST(VertexMerger, SplitNeighboursAsTheTreeHasThem) {
    const MergeStats stats = Expect_Same_Indices({{1.0f, 0.0f, 0.0f},
                                                  {0.9998f, 10.0f, 0.0f},
                                                  {1.0002f, 10.0f, 0.0f},
                                                  {0.9997f, 10.0002f, 0.0f},
                                                  {1.0003f, 9.9999f, 0.0f},
                                                  {1.0f, 10.0f, 0.0f},
                                                  {1.0f, 10.0f, 0.0f}},
                                                 0.0005f, 1.0f);
    EXPECT_GT(stats.nearQueries, 0u);
    EXPECT_GT(stats.exactHits, 0u);
}

TEST(VertexMerger, RandomClustersAtSeveralTolerances) {
    for (unsigned seed = 1; seed <= 6; ++seed) {
        std::mt19937 random(seed);
        std::uniform_real_distribution<float> centre(-1.0f, 1.0f), jitter(-0.0008f, 0.0008f);
        std::vector<Vec3> centres(300), points;
        for (Vec3& c : centres) c = {centre(random), centre(random), centre(random)};
        for (int i = 0; i < 20000; ++i) {
            const Vec3& c = centres[random() % centres.size()];
            Vec3 p = {c.x + jitter(random), c.y + jitter(random), c.z + jitter(random)};
            if (random() % 4 == 0) p = c;                    // exact repeats
            if (random() % 50 == 0) p = {-0.0f, c.y, 0.0f};  // signed zeros
            if (random() % 50 == 0) p = {0.0f, c.y, -0.0f};
            points.push_back(p);
        }
        for (float tolerance : {0.0f, 0.0005f, 0.001f, 0.01f}) {
            SCOPED_TRACE(testing::Message() << "seed " << seed << ", tolerance " << tolerance);
            const MergeStats stats = Expect_Same_Indices(points, tolerance, seed % 2 ? 0.05f : 0.0f);
            if (tolerance > 0) {
                EXPECT_GT(stats.nearQueries, 0u);
            }
        }
    }
}

TEST(VertexMerger, CrowdedCellsSplitAndFallBackToTheTree) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> coordinate(0.0f, 0.02f);
    std::vector<Vec3> points(30000);
    for (Vec3& p : points) p = {coordinate(random), coordinate(random), coordinate(random)};
    // A spacing far above the data: every point lands in one coarse cell, which splits.
    EXPECT_GT(Expect_Same_Indices(points, 0.0005f, 10.0f).splitCells, 0u);
    // Cells 4 tolerances wide holding more points than the scan limit: the walk takes over.
    const MergeStats walked = Expect_Same_Indices(points, 0.0005f, 0.0f, 8);
    EXPECT_GT(walked.treeWalks, 0u);
    EXPECT_GT(walked.nearQueries, 0u);
}

TEST(VertexMerger, RowOfNearPointsKeptApartByAStaircase) {
    // A staircase of points far away in y sends each point of the row into its own subtree: the
    // row's neighbours are 1/10 of the tolerance apart and still never merge.
    const float t = 0.0005f, step = t / 10;
    std::vector<Vec3> points;
    for (int k = 0; k < 3000; ++k) points.push_back({k * step, 10000.0f - k, 0.0f});
    for (int k = 0; k < 3000; ++k) points.push_back({k * step + step / 2, 0.0f, 0.0f});
    for (int k = 0; k < 3000; k += 7) points.push_back({k * step + step / 3, 0.0f, t / 2});
    HyperPointTree tree(t);
    for (const Vec3& p : points) tree.Insert(p);
    EXPECT_EQ(tree.Count(), 6000u);
    const MergeStats stats = Expect_Same_Indices(points, t, 0.001f);
    EXPECT_GT(stats.nearQueries, 3000u);
    Expect_Same_Indices(points, t, 0.0f, 16);
}

TEST(VertexMerger, ScanOrderedSpheresWithCornersWithinTheTolerance) {
    for (FacetOrder order : {FacetOrder::Rows, FacetOrder::Shuffled}) {
        const MergeStats stats = Expect_Same_Indices(Sphere_Corners(60000, order, 1.0), 0.0005f, 0.003f);
        EXPECT_GT(stats.nearQueries, 0u);
        EXPECT_GT(stats.treeNodes, 0u);
        if (order == FacetOrder::Rows) {
            EXPECT_GT(stats.guessedStarts, 0u);
        }
    }
}

// Rows of uneven length over a bumpy surface, then the same rows again shuffled, then rows once
// more, each pass offset by less than the tolerance: guessed starts below the previous path are
// right, wrong, given up and taken up again, and every answer must still be the tree's.
TEST(VertexMerger, GuessedStartsBelowThePathOnScansAndShuffles) {
    std::mt19937 random(11);
    std::vector<Vec3> row;
    for (int r = 0; r < 150; ++r) {
        const int length = 120 + (r * 37) % 50;
        for (int i = 0; i < length; ++i) {
            const float x = float(i) * 0.002f, y = float(r) * 0.002f;
            row.push_back(Vec3{x, y, 0.01f * std::sin(40.0f * x) * std::cos(30.0f * y)});
        }
    }
    std::vector<Vec3> shuffled = row;
    std::shuffle(shuffled.begin(), shuffled.end(), random);
    std::vector<Vec3> points;
    for (const auto* pass : {&row, &shuffled, &row}) {
        const float offset = 0.0001f * float(points.size() / row.size() + 1);
        for (const Vec3& p : *pass) points.push_back(Vec3{p.x + offset, p.y, p.z - offset});
    }
    const MergeStats stats = Expect_Same_Indices(points, 0.0005f, 0.002f);
    EXPECT_GT(stats.nearQueries, 0u);
    EXPECT_GT(stats.guessedStarts, 0u);
}

// Two threads: the caller's numbers the distinct points and lists their near points, the second
// decides them in order. The indices never depend on how far either got.
TEST(VertexMerger, TwoThreadsGiveTheSameIndices) {
    std::mt19937 random(5);
    std::uniform_real_distribution<float> centre(-1.0f, 1.0f), jitter(-0.0008f, 0.0008f);
    std::vector<Vec3> clusters;
    for (int i = 0; i < 10000; ++i) {
        const Vec3 c = {centre(random), centre(random), centre(random)};
        clusters.push_back(c);
        for (int k = random() % 4; k > 0; --k)
            clusters.push_back({c.x + jitter(random), c.y + jitter(random), c.z + jitter(random)});
    }
    const std::vector<Vec3> rows = Sphere_Corners(20000, FacetOrder::Rows, 0.05);
    const std::vector<Vec3> shuffled = Sphere_Corners(20000, FacetOrder::Shuffled, 0.05);
    for (const std::vector<Vec3>* points : {&rows, &shuffled, &std::as_const(clusters)}) {
        SCOPED_TRACE(testing::Message() << points->size() << " points");
        EXPECT_GT(Expect_Same_Indices(*points, 0.0005f, 0.003f, 4096, points->size()).nearQueries, 0u);
        // Crowded cells: points walk the whole tree.
        EXPECT_GT(Expect_Same_Indices(*points, 0.0005f, 0.0f, 2, points->size()).treeWalks, 0u);
        for (float tolerance : {0.0f, 0.002f})
            Expect_Same_Indices(*points, tolerance, 0.003f, 4096, points->size());
    }
    // More distinct points than promised: refused, not overrun.
    VertexMerger small(0.0005f, 1.0f, 4, 4096, 2);
    small.Insert({0, 0, 0});
    small.Insert({0, 0, 0});
    small.Insert({1, 0, 0});
    EXPECT_THROW(small.Insert({2, 0, 0}), std::length_error);
}

TEST(VertexMerger, CleanSphereNeverBuildsTheTree) {
    const std::vector<Vec3> corners = Sphere_Corners(60000, FacetOrder::Rows, 1000.0);
    const MergeStats stats = Expect_Same_Indices(corners, 0.0005f, 10.0f);
    EXPECT_EQ(stats.treeNodes, 0u);
    EXPECT_EQ(stats.exactHits + Sphere_Vertex_Count(Sphere_For_Triangles(60000)), corners.size());
}

TEST(VertexMerger, ExtremeCoordinatesAndTolerances) {
    const float big = std::numeric_limits<float>::max(), tiny = std::numeric_limits<float>::denorm_min();
    std::vector<Vec3> points = {{big, -big, 0},
                                {-big, big, 1},
                                {big, big, big},
                                {tiny, 0, 0},
                                {0, tiny, 0},
                                {-tiny, 0, 0},
                                {0, 0, 0},
                                {-0.0f, 0, 0},
                                {1e30f, 1e30f, 1e30f},
                                {1e30f, 1e30f, 1.0000001e30f},
                                {big, -big, 0},
                                {3e9f, -3e9f, 1},
                                {3e9f, -3e9f, 1}};
    for (float tolerance : {0.0f, tiny, 0.0005f, 1e10f, 1e30f, big}) {
        SCOPED_TRACE(testing::Message() << "tolerance " << tolerance);
        Expect_Same_Indices(points, tolerance, 0.0f);
        Expect_Same_Indices(points, tolerance, 1e20f);
    }
}

TEST(VertexMerger, CornersOneToleranceApartAcrossACellBoundaryMerge) {
    // 2^-11 apart exactly, on both sides of 0 (a cell boundary for every cell size).
    const float t = std::ldexp(1.0f, -11);
    const Vec3 a = {-std::ldexp(1.0f, -33), 0.0f, 0.0f};
    const Vec3 b = {t - std::ldexp(1.0f, -33), 0.0f, 0.0f};
    ASSERT_EQ(b.x - a.x, t);
    const Vec3 beyond = {t, 0.0f, 0.0f};  // 2^-33 too far (one ulp further still rounds to t)
    ASSERT_GT(beyond.x - a.x, t);
    for (float spacing : {0.0f, t, 4.0f * t, 0.003f, 1.0f}) {
        SCOPED_TRACE(testing::Message() << "spacing " << spacing);
        for (const auto& [first, second] : {std::pair{a, b}, std::pair{b, a}}) {
            VertexMerger merger(t, spacing, 4);
            EXPECT_EQ(merger.Insert(first), 0);
            EXPECT_EQ(merger.Insert(second), 0);
        }
        VertexMerger apart(t, spacing, 4);
        EXPECT_EQ(apart.Insert(a), 0);
        EXPECT_EQ(apart.Insert(beyond), 1);
        // The same on every axis at once, and the tree agrees.
        Expect_Same_Indices({{a.x, a.x, a.x}, {b.x, b.x, b.x}, {b.x, a.x, b.x}, {beyond.x, 0, 0}}, t,
                            spacing);
    }
}

// What a fuzzer does: random points, extreme coordinates and tolerances from denormals to infinity.
// Each run must end and agree with the plain tree; the cell range of a lookup is bounded, so no
// tolerance turns one lookup into billions of cells.
TEST(VertexMerger, AnyToleranceEndsWithTheTreesVertices) {
    const float inf = std::numeric_limits<float>::infinity();
    const float tolerances[] = {
        0.0f,  std::numeric_limits<float>::denorm_min(), 1e-38f, 1e-30f, 1e-3f, 1.0f, 1e10f, 1e30f,
        3e38f, std::numeric_limits<float>::max(),        inf};
    std::mt19937 random(11);
    for (float tolerance : tolerances) {
        for (int round = 0; round < 4; ++round) {
            SCOPED_TRACE(testing::Message() << "tolerance " << tolerance << ", round " << round);
            std::vector<Vec3> points;
            for (int i = 0; i < 400; ++i) {
                auto coordinate = [&]() -> float {
                    switch (random() % 6) {
                        case 0:
                            return std::bit_cast<float>(std::uint32_t(random()) & 0xFF7FFFFFu);  // finite
                        case 1:
                            return float(int(random() % 7) - 3) * tolerance;
                        case 2:
                            return float(random() % 1000) * 1e-3f;
                        default:
                            return std::ldexp(float(int(random() % 2001) - 1000), int(random() % 300) - 150);
                    }
                };
                Vec3 p = {coordinate(), coordinate(), coordinate()};
                if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) p = {0, 0, 0};
                if (!points.empty() && random() % 5 == 0) p = points[random() % points.size()];
                points.push_back(p);
            }
            for (float spacing : {0.0f, 1e-3f, 1e20f, inf})
                Expect_Same_Indices(points, tolerance, spacing, round == 3 ? 4 : 4096);
        }
    }
    // An infinite tolerance merges every finite corner into the first; NaN and negative ones act as 0.
    VertexMerger all(inf, 1.0f, 4);
    EXPECT_EQ(all.Insert({1, 2, 3}), 0);
    EXPECT_EQ(all.Insert({-3e38f, 3e38f, 0}), 0);
    EXPECT_EQ(all.Count(), 1u);
    for (float odd : {std::numeric_limits<float>::quiet_NaN(), -1.0f}) {
        VertexMerger exact(odd, 1.0f, 4);
        EXPECT_EQ(exact.Insert({1, 2, 3}), 0);
        EXPECT_EQ(exact.Insert({1, 2, 3}), 0);
        EXPECT_EQ(exact.Insert({1, 2, std::nextafter(3.0f, 4.0f)}), 1);
    }
}

template <class T>
void Expect_Same_Bits(const std::vector<T>& a, const std::vector<T>& b, const char* what) {
    ASSERT_EQ(a.size(), b.size()) << what;
    EXPECT_EQ(std::memcmp(a.data(), b.data(), a.size() * sizeof(T)), 0) << what;
}

// The pipeline shares its work between two threads on large meshes: every result must be the one
// the routines give run one after another, bit for bit.
TEST(LoadPipeline, TwoThreadsGiveTheRoutinesResultsOneByOne) {
    // A large mesh shares the work; a small one runs it on one thread.
    for (const std::uint64_t triangles : {90000u, 2000u}) {
        SCOPED_TRACE(triangles);
        const std::vector<unsigned char> bytes =
            Make_Sphere_Stl(Sphere_For_Triangles(triangles, FacetOrder::Shuffled, 1.0));
        StlReadOptions options;
        options.runPipeline = false;
        UniOb piped, stepwise;
        ASSERT_TRUE(Read_STL_Memory(piped, bytes, "sphere", options));
        ASSERT_TRUE(Read_STL_Memory(stepwise, bytes, "sphere", options));
        ASSERT_GT(piped.Vertex_Count, triangles * 4 / 10);
        Run_Load_Pipeline(piped);
        Compute_Face_Normals(stepwise);
        Compute_Vertex_Normals(stepwise, true);
        ComputeCurvature(stepwise);
        Compute_Box(stepwise);
        Compute_Volume(stepwise);
        Expect_Same_Bits(piped.Face_Normal, stepwise.Face_Normal, "face normals");
        Expect_Same_Bits(piped.Vertex_Normal, stepwise.Vertex_Normal, "vertex normals");
        Expect_Same_Bits(piped.Vertex_Ring.start, stepwise.Vertex_Ring.start, "ring starts");
        Expect_Same_Bits(piped.Vertex_Ring.entries, stepwise.Vertex_Ring.entries, "ring entries");
        Expect_Same_Bits(piped.Vertex_Label, stepwise.Vertex_Label, "labels");
        Expect_Same_Bits(piped.Curvature_Max, stepwise.Curvature_Max, "curvature max");
        Expect_Same_Bits(piped.Curvature_Min, stepwise.Curvature_Min, "curvature min");
        EXPECT_EQ(std::memcmp(&piped.Box_Min, &stepwise.Box_Min, sizeof(Vec3)), 0);
        EXPECT_EQ(std::memcmp(&piped.Box_Max, &stepwise.Box_Max, sizeof(Vec3)), 0);
        EXPECT_EQ(piped.Volume, stepwise.Volume);
        EXPECT_EQ(piped.Volume_Initial, stepwise.Volume);
        EXPECT_EQ(piped.Area, stepwise.Area);
        EXPECT_EQ(std::memcmp(&piped.Volume_Centroid, &stepwise.Volume_Centroid, sizeof(Vec3)), 0);
        // Every vertex was fitted (blocks taken by either thread): a unit sphere curves by about 1/2.
        for (unsigned v = 0; v < piped.Vertex_Count; ++v)
            ASSERT_GT(piped.Curvature_Max[v], 0.2f) << "vertex " << v;
    }
}

// A read that goes on to the pipeline may take the faces' terms beside the merge from the corners as
// read: faces with a corner merged elsewhere, and every face after a facet left out, must still get
// the terms of the merged mesh.
TEST(LoadPipeline, ReadingWithThePipelineGivesTheSameMeshAsReadingThenRunningIt) {
    std::vector<unsigned char> bytes =
        Make_Sphere_Stl(Sphere_For_Triangles(140000, FacetOrder::Shuffled, 1.0));
    for (const bool withNaN : {false, true}) {
        SCOPED_TRACE(withNaN);
        if (withNaN) {
            const float nan = std::numeric_limits<float>::quiet_NaN();
            std::memcpy(&bytes[84 + 50 * 7 + 12], &nan, sizeof nan);  // facet 7, first corner's x
        }
        StlReadOptions readOnly;
        readOnly.runPipeline = false;
        UniOb whole, stepwise;
        StlReadReport report;
        StlReadOptions withReport;
        withReport.report = &report;
        ASSERT_EQ(bool(Read_STL_Memory(whole, bytes, "sphere", withReport)), !withNaN);
        EXPECT_GT(report.merge.nearQueries, 0u);
        EXPECT_EQ(report.facetsNonFinite, withNaN ? 1u : 0u);
        Read_STL_Memory(stepwise, bytes, "sphere", readOnly);
        Run_Load_Pipeline(stepwise);
        ASSERT_EQ(whole.Face_Count, stepwise.Face_Count);
        Expect_Same_Bits(whole.Face_Index, stepwise.Face_Index, "faces");
        Expect_Same_Bits(whole.Face_Normal, stepwise.Face_Normal, "face normals");
        Expect_Same_Bits(whole.Vertex_Normal, stepwise.Vertex_Normal, "vertex normals");
        Expect_Same_Bits(whole.Curvature_Max, stepwise.Curvature_Max, "curvature max");
        Expect_Same_Bits(whole.Curvature_Min, stepwise.Curvature_Min, "curvature min");
        EXPECT_EQ(whole.Volume, stepwise.Volume);
        EXPECT_EQ(whole.Area, stepwise.Area);
        EXPECT_EQ(std::memcmp(&whole.Volume_Centroid, &stepwise.Volume_Centroid, sizeof(Vec3)), 0);
    }
}

}  // namespace
}  // namespace orvex
