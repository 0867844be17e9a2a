// The point set itself: its list and pools, bounds, rotation, the seven random distributions with
// their draw order, the density mix and the transfer of mesh vertices.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <numbers>
#include <vector>

#include "geometry/Matrix4.h"
#include "geometry/Random.h"
#include "mesh/UniOb.h"
#include "pointset/PointList.h"
#include "tests/pointset/HullTestSupport.h"
#include "tests/support/TestMeshes.h"

namespace orvex {
namespace {

using Point = std::array<float, 3>;

// The points in list order (newest first).
std::vector<Point> Points_Of(const POINT_LIST& set) {
    std::vector<Point> out;
    for (const VEC_LIST* p = set.points.next; p; p = p->next)
        out.push_back({p->values[0], p->values[1], p->values[2]});
    return out;
}

// The points in the order they were made.
std::vector<Point> Made_Order(const POINT_LIST& set) {
    std::vector<Point> out = Points_Of(set);
    return {out.rbegin(), out.rend()};
}

double Norm(const Point& p) {
    return std::sqrt(double(p[0]) * p[0] + double(p[1]) * p[1] + double(p[2]) * p[2]);
}

using hulltest::Add;

// ---- The list and its pools -------------------------------------------------------------------

TEST(PointListCore, NewestPointComesFirstAndCountsByKind) {
    POINT_LIST set;
    EXPECT_EQ(set.Count(0), 0u);
    Add(set, 1, 0, 0);
    Add(set, 2, 0, 0);
    Add(set, 3, 0, 0);
    const std::vector<Point> points = Points_Of(set);
    ASSERT_EQ(points.size(), 3u);
    EXPECT_EQ(points[0][0], 3.0f);
    EXPECT_EQ(points[2][0], 1.0f);
    EXPECT_EQ(set.Count(0), 3u);
    EXPECT_EQ(set.Count(1), 0u);
    EXPECT_EQ(set.Count(2), 0u);
    EXPECT_EQ(set.Count(-1), 0u);
}

TEST(PointListCore, BoundsStartAtTheFirstPointAndWiden) {
    POINT_LIST set;
    set.boundsMin = {7, 7, 7};
    set.boundsMax = {9, 9, 9};
    set.UpdateBounds();  // no points: nothing changes
    EXPECT_EQ(set.boundsMin, (Vec3{7, 7, 7}));
    EXPECT_EQ(set.boundsMax, (Vec3{9, 9, 9}));
    Add(set, 1, -2, 3);
    Add(set, -4, 5, 0.5f);
    Add(set, 2, 0, -6);
    set.UpdateBounds();
    EXPECT_EQ(set.boundsMin, (Vec3{-4, -2, -6}));
    EXPECT_EQ(set.boundsMax, (Vec3{2, 5, 3}));
}

TEST(PointListCore, ClearEmptiesPointsHullBoundsAndColours) {
    POINT_LIST set;
    Add(set, 1, 2, 3);
    Add(set, -1, 0, 4);
    set.UpdateBounds();
    set.coloured = true;
    CON_FACE_LIST_VEC* face = set.NewFace();
    set.hull.next = face;
    set.Clear();
    EXPECT_EQ(set.Count(0), 0u);
    EXPECT_EQ(set.Count(1), 0u);
    EXPECT_EQ(set.boundsMin, Vec3{});
    EXPECT_EQ(set.boundsMax, Vec3{});
    EXPECT_FALSE(set.coloured);
    // The set is usable again at once.
    Add(set, 5, 5, 5);
    EXPECT_EQ(set.Count(0), 1u);
}

TEST(PointListCore, ClearForgetsTheOldHullsMassAndBox) {
    // Otherwise the box of the old hull is drawn around the next cloud.
    POINT_LIST set;
    hulltest::Fill(set, {{10, 10, 10}, {14, 10, 10}, {10, 13, 10}, {10, 10, 12}, {11, 11, 11}});
    ASSERT_TRUE(set.QuickHullBest().ok);
    set.HullMassProperties();
    set.InertiaBox();
    ASSERT_GT(set.volume, 0.0f);
    ASSERT_NE(set.centroid, Vec3{});
    set.Clear();
    EXPECT_EQ(set.centroid, Vec3{});
    EXPECT_EQ(set.volume, 0.0f);
    for (const Vec3& axis : set.boxAxes) EXPECT_EQ(axis, Vec3{});
    for (float extent : set.boxExtent) EXPECT_EQ(extent, 0.0f);
    // A cloud read or generated next starts from nothing.
    set.GenerateRandom(10, 10, 10, 50, IN_CUBE, false);
    EXPECT_EQ(set.centroid, Vec3{});
    for (float extent : set.boxExtent) EXPECT_EQ(extent, 0.0f);
}

TEST(PointListCore, ClearHullKeepsThePoints) {
    POINT_LIST set;
    Add(set, 1, 2, 3);
    for (int i = 0; i < 3; ++i) {
        CON_FACE_LIST_VEC* face = set.NewFace();
        face->next = set.hull.next;
        set.hull.next = face;
    }
    EXPECT_EQ(set.Count(1), 3u);
    set.ClearHull();
    EXPECT_EQ(set.Count(1), 0u);
    EXPECT_EQ(set.Count(0), 1u);
}

TEST(PointListCore, ClearHullLeavesFacesHeldOutsideTheList) {
    // A run in progress may hold faces of its own (a sentinel) while the old hull goes.
    POINT_LIST set;
    CON_FACE_LIST_VEC* held = set.NewFace();
    held->key = 42.0f;
    set.hull.next = set.NewFace();
    set.ClearHull();
    EXPECT_EQ(held->key, 42.0f);
    // A new face must not be the one still held.
    CON_FACE_LIST_VEC* fresh = set.NewFace();
    EXPECT_NE(fresh, held);
    EXPECT_EQ(fresh->key, -1.0f);
}

TEST(PointListCore, ReusedNodesStartClean) {
    POINT_LIST set;
    VEC_LIST* node = set.NewPoint(3);
    node->flag = 1;
    node->tag = 9;
    node->next = node;
    set.DeletePoint(node);
    VEC_LIST* again = set.NewPoint(3);
    EXPECT_EQ(again->flag, 0);
    EXPECT_EQ(again->tag, 0);
    EXPECT_EQ(again->next, nullptr);
    CON_FACE_LIST_VEC* face = set.NewFace();
    face->visited = true;
    face->edgeState[1] = 1;
    set.DeleteFace(face);
    CON_FACE_LIST_VEC* fresh = set.NewFace();
    EXPECT_FALSE(fresh->visited);
    EXPECT_EQ(fresh->edgeState[1], -1);
    EXPECT_EQ(fresh->key, -1.0f);
}

TEST(PointListCore, ExchangedArraysKeepTheirSizeThroughDeletion) {
    // The hulls exchange coordinate arrays between nodes; a node freed after an exchange must give
    // its current array to the next request of that array's size, not of its first one.
    POINT_LIST set;
    VEC_LIST* small = set.NewPoint(3);
    VEC_LIST* large = set.NewPoint(6);
    float* largeArray = large->values;
    std::swap(small->values, large->values);
    set.DeletePoint(small);  // now holds the 6-float array
    set.DeletePoint(large);
    VEC_LIST* six = set.NewPoint(6);
    EXPECT_EQ(six->values, largeArray);
    for (int k = 0; k < 6; ++k) six->values[k] = float(k);
    VEC_LIST* three = set.NewPoint(3);
    EXPECT_NE(three->values, largeArray);
}

TEST(PointListCore, ManyPointsSurviveChunkGrowthAndRelease) {
    POINT_LIST set;
    for (int round = 0; round < 2; ++round) {
        for (int i = 0; i < 300000; ++i) Add(set, float(i), float(-i), float(round));
        EXPECT_EQ(set.Count(0), 300000u);
        set.UpdateBounds();
        EXPECT_EQ(set.boundsMax.x, 299999.0f);
        EXPECT_EQ(set.boundsMin.y, -299999.0f);
        set.Clear();
    }
}

TEST(PointListCore, RotateTurnsPointsAndNormalsButNotOffsetsOrColours) {
    POINT_LIST set;
    VEC_LIST* node = set.NewPoint(6);
    const float values[6] = {1, 0, 2, 0.25f, 0.5f, 0.75f};
    std::copy(values, values + 6, node->values);
    set.InsertFront(node);
    CON_FACE_LIST_VEC* face = set.NewFace();
    face->normal[0] = 1.0f;
    face->offset = 3.0f;
    set.hull.next = face;
    Matrix4 quarter;
    Mat4_Rotation(Vec3{0, 0, 1}, float(std::numbers::pi / 2), quarter);  // +x to +y
    set.Rotate(quarter);
    EXPECT_NEAR(node->values[0], 0.0f, 1e-6f);
    EXPECT_NEAR(node->values[1], 1.0f, 1e-6f);
    EXPECT_NEAR(node->values[2], 2.0f, 1e-6f);
    EXPECT_EQ(node->values[3], 0.25f);
    EXPECT_EQ(node->values[5], 0.75f);
    EXPECT_NEAR(face->normal[0], 0.0f, 1e-6f);
    EXPECT_NEAR(face->normal[1], 1.0f, 1e-6f);
    EXPECT_EQ(face->offset, 3.0f);
}

// ---- The seven distributions --------------------------------------------------------------------

class Generate : public ::testing::Test {
protected:
    void SetUp() override { Random_Reset_All(); }
};

TEST_F(Generate, OnSphereOfRadius500IsAt500) {
    POINT_LIST set;
    set.GenerateRandom(500, 500, 500, 5000, ON_SPHERE, false);
    ASSERT_EQ(set.Count(0), 5000u);
    for (const Point& p : Points_Of(set)) ASSERT_NEAR(Norm(p), 500.0, 1e-3);
}

// A listener hears from inside a large generation, not only when it ends.
TEST_F(Generate, LargeCloudsReportWhileTheyAreMade) {
    struct Count : Progress {
        int reports = 0;
        void Report(double, const std::string&) override { ++reports; }
    } count;
    POINT_LIST heard;
    heard.GenerateRandom(500, 500, 500, 300000, IN_CUBE, true, &count);
    EXPECT_GE(count.reports, 4);
    const int afterRandom = count.reports;
    heard.GenerateDensity(500, 500, 500, 300000, 3, true, &count);
    EXPECT_GE(count.reports - afterRandom, 4);
    EXPECT_EQ(heard.Count(0), 300000u);
}

TEST_F(Generate, ShellsStayBetweenTheirRadii) {
    struct Shell {
        int distribution;
        double inner;
    };
    for (const Shell shell : {Shell{SHELL_95, 475.0}, Shell{SHELL_75, 375.0}, Shell{SHELL_50, 250.0}}) {
        POINT_LIST set;
        set.GenerateRandom(500, 500, 500, 4000, shell.distribution, false);
        double low = 1e9, high = 0;
        for (const Point& p : Points_Of(set)) {
            low = std::min(low, Norm(p));
            high = std::max(high, Norm(p));
        }
        EXPECT_GE(low, shell.inner - 1e-3) << shell.distribution;
        EXPECT_LE(high, 500.0 + 1e-3) << shell.distribution;
        // The whole shell is used, not one radius.
        EXPECT_LT(low, shell.inner + 0.05 * (500 - shell.inner));
        EXPECT_GT(high, 500.0 - 0.05 * (500 - shell.inner));
    }
}

TEST_F(Generate, CardinalBallFillsAllEightOctants) {
    POINT_LIST set;
    set.GenerateRandom(300, 300, 300, 4000, IN_SPHERE_CARD, false);
    int octants[8] = {};
    for (const Point& p : Points_Of(set)) {
        ASSERT_LE(Norm(p), 300.0 * (1 + 1e-6));
        ++octants[(p[0] < 0) | (p[1] < 0) << 1 | (p[2] < 0) << 2];
    }
    for (int o = 0; o < 8; ++o) EXPECT_GT(octants[o], 350) << "octant " << o;
}

TEST_F(Generate, CubeRangesAreFullEdgeLengths) {
    POINT_LIST set;
    set.GenerateRandom(100, 200, 300, 4000, IN_CUBE, false);
    const float half[3] = {50, 100, 150};
    for (int axis = 0; axis < 3; ++axis) {
        EXPECT_GE(set.boundsMin[axis], -half[axis]);
        EXPECT_LE(set.boundsMax[axis], half[axis]);
        EXPECT_LT(set.boundsMin[axis], -0.98f * half[axis]);
        EXPECT_GT(set.boundsMax[axis], 0.98f * half[axis]);
    }
}

TEST_F(Generate, SphereRangesAreRadiiPerAxis) {
    POINT_LIST inside, on;
    inside.GenerateRandom(100, 200, 400, 3000, IN_SPHERE_POLAR, false);
    on.GenerateRandom(100, 200, 400, 3000, ON_SPHERE, false);
    auto scaled = [](const Point& p) {
        return std::sqrt(std::pow(p[0] / 100.0, 2) + std::pow(p[1] / 200.0, 2) + std::pow(p[2] / 400.0, 2));
    };
    for (const Point& p : Points_Of(inside)) ASSERT_LE(scaled(p), 1.0 + 1e-6);
    for (const Point& p : Points_Of(on)) ASSERT_NEAR(scaled(p), 1.0, 1e-6);
}

TEST_F(Generate, PolarPointsDrawRadiusThenPhiThenTheta) {
    POINT_LIST set;
    set.GenerateRandom(10, 20, 30, 1, IN_SPHERE_POLAR, false);
    Random_Reset_All();  // the colour draws from the other generator only
    const long double r = Random_Uniform01();
    const float phi = float(2.0 * std::numbers::pi * Random_Uniform01());
    const float theta = float((Random_Uniform01() - 0.5L) * std::numbers::pi);
    const Point p = Points_Of(set).at(0);
    EXPECT_FLOAT_EQ(p[0], float(10 * r * std::cos(double(theta)) * std::cos(double(phi))));
    EXPECT_FLOAT_EQ(p[1], float(20 * r * std::cos(double(theta)) * std::sin(double(phi))));
    EXPECT_FLOAT_EQ(p[2], float(30 * r * std::sin(double(theta))));
}

TEST_F(Generate, ShellDrawsItsRadiusFirst) {
    POINT_LIST set;
    set.GenerateRandom(100, 100, 100, 1, SHELL_75, false);
    Random_Reset_All();
    const double r = double(0.75L + 0.25L * Random_Uniform01());
    EXPECT_NEAR(Norm(Points_Of(set).at(0)), 100.0 * r, 1e-4);
}

TEST_F(Generate, CubeCoordinatesAreThreeConsecutiveDrawsInOrder) {
    POINT_LIST set;
    set.GenerateRandom(2, 4, 8, 1, IN_CUBE, false);
    const Point p = Points_Of(set).at(0);
    // The colour takes 3 to 21 draws of the same generator, depending on the clock.
    bool matched = false;
    for (int skip = 3; skip <= 21 && !matched; ++skip) {
        Random_Reset_All();
        for (int k = 0; k < skip; ++k) Crt_Rand15();
        const float x = float((Crt_Rand15() / 32767.0 - 0.5) * 2);
        const float y = float((Crt_Rand15() / 32767.0 - 0.5) * 4);
        const float z = float((Crt_Rand15() / 32767.0 - 0.5) * 8);
        matched = x == p[0] && y == p[1] && z == p[2];
    }
    EXPECT_TRUE(matched);
}

TEST_F(Generate, CountZeroLeavesZeroBoundsButRotationStillDraws) {
    POINT_LIST set;
    set.boundsMin = {1, 1, 1};
    set.GenerateRandom(500, 500, 500, 0, ON_SPHERE, false);
    EXPECT_EQ(set.Count(0), 0u);
    EXPECT_EQ(set.boundsMin, Vec3{});
    EXPECT_EQ(set.boundsMax, Vec3{});
    const long double withoutRotation = Random_Uniform01();

    Random_Reset_All();
    set.GenerateRandom(500, 500, 500, 0, ON_SPHERE, true);
    EXPECT_EQ(set.boundsMax, Vec3{});
    EXPECT_NE(Random_Uniform01(), withoutRotation);
}

TEST_F(Generate, RotationKeepsShapeAndMovesPoints) {
    POINT_LIST plain, turned;
    plain.GenerateRandom(500, 300, 100, 200, IN_CUBE, false);
    Random_Reset_All();
    turned.GenerateRandom(500, 300, 100, 200, IN_CUBE, true);
    const std::vector<Point> a = Points_Of(plain), b = Points_Of(turned);
    ASSERT_EQ(a.size(), b.size());
    double moved = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        EXPECT_NEAR(Norm(a[i]), Norm(b[i]), 1e-3);
        const std::size_t j = (i + 1) % a.size();
        const Point da{a[i][0] - a[j][0], a[i][1] - a[j][1], a[i][2] - a[j][2]};
        const Point db{b[i][0] - b[j][0], b[i][1] - b[j][1], b[i][2] - b[j][2]};
        EXPECT_NEAR(Norm(da), Norm(db), 1e-3);
        moved += Norm({a[i][0] - b[i][0], a[i][1] - b[i][1], a[i][2] - b[i][2]});
    }
    EXPECT_GT(moved / a.size(), 1.0);
    // Bounds follow the turned points.
    for (const Point& p : b)
        for (int k = 0; k < 3; ++k) EXPECT_TRUE(p[k] >= turned.boundsMin[k] && p[k] <= turned.boundsMax[k]);
}

TEST_F(Generate, UnknownDistributionMakesNoPoints) {
    POINT_LIST set;
    set.GenerateRandom(500, 500, 500, 100, 7, false);
    EXPECT_EQ(set.Count(0), 0u);
    set.GenerateRandom(500, 500, 500, 100, -1, false);
    EXPECT_EQ(set.Count(0), 0u);
}

TEST_F(Generate, ColourIsFreshAndAlphaStays) {
    POINT_LIST set;
    set.colour[3] = 0.3f;
    set.GenerateRandom(10, 10, 10, 3, IN_CUBE, false);
    for (int k = 0; k < 3; ++k) {
        EXPECT_GE(set.colour[k], 64 / 255.0f);
        EXPECT_LE(set.colour[k], 1.0f);
    }
    EXPECT_EQ(set.colour[3], 0.3f);
}

TEST_F(Generate, SameGeneratorStateGivesTheSameCloud) {
    POINT_LIST a, b;
    a.GenerateRandom(500, 500, 500, 1000, SHELL_50, true);
    Random_Reset_All();
    b.GenerateRandom(500, 500, 500, 1000, SHELL_50, true);
    EXPECT_EQ(Points_Of(a), Points_Of(b));
}

// ---- Density mix ------------------------------------------------------------------------------

TEST_F(Generate, DensityThreePutsThreeOfEveryTenOnTheSphere) {
    POINT_LIST set;
    set.GenerateDensity(100, 100, 100, 1000, 3, false);
    const std::vector<Point> made = Made_Order(set);
    ASSERT_EQ(made.size(), 1000u);
    for (std::size_t i = 0; i < made.size(); ++i) {
        const double r = Norm(made[i]);
        if (i % 10 < 3)
            ASSERT_NEAR(r, 100.0, 1e-4) << i;
        else
            ASSERT_LT(r, 100.0 - 1e-3) << i;  // r = u is below 1 but for a vanishing chance
    }
}

TEST_F(Generate, DensityIsClampedToZeroAndTen) {
    auto onSphere = [](const POINT_LIST& set) {
        int n = 0;
        for (const Point& p : Points_Of(set)) n += std::fabs(Norm(p) - 100.0) < 1e-4;
        return n;
    };
    POINT_LIST set;
    set.GenerateDensity(100, 100, 100, 500, -4, false);
    EXPECT_EQ(onSphere(set), 0);
    set.GenerateDensity(100, 100, 100, 500, 25, false);
    EXPECT_EQ(onSphere(set), 500);
}

// ---- Mesh vertices ------------------------------------------------------------------------------

TEST(PointListMeshes, EveryVertexOfEveryMeshInListOrder) {
    UniOb* first = new UniOb;
    test::Make_Tetrahedron(*first, {10, 0, 0});
    UniOb* second = new UniOb;
    test::Make_Box(*second, {2, 2, 2});
    first->next = second;
    POINT_LIST set;
    set.FromMeshes(first);
    EXPECT_EQ(set.Count(0), 12u);
    // Newest first: the last vertex of the last mesh heads the list.
    const Point head = Points_Of(set).front();
    const Vec3& last = second->Vertex_Pos.back();
    EXPECT_EQ(head, (Point{last.x, last.y, last.z}));
    const Point tail = Points_Of(set).back();
    EXPECT_EQ(tail, (Point{first->Vertex_Pos[0].x, first->Vertex_Pos[0].y, first->Vertex_Pos[0].z}));
    EXPECT_EQ(set.boundsMin, (Vec3{-1, -1, -1}));
    EXPECT_EQ(set.boundsMax.x, 11.0f);
    Free_Mesh_List(first);
}

TEST(PointListMeshes, NoMeshesChangesNothing) {
    POINT_LIST set;
    Add(set, 1, 2, 3);
    set.colour[0] = 0.1f;
    set.FromMeshes(nullptr);
    EXPECT_EQ(set.Count(0), 1u);
    EXPECT_EQ(set.colour[0], 0.1f);
}

}  // namespace
}  // namespace orvex
