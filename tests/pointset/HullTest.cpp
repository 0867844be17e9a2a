// The three hull algorithms on sets whose hull is known by hand: the tetrahedron's counters and
// outward normals, interior points deleted, every point of a sphere on the hull, repeat runs,
// tie-breaking, points on a face plane, the counters that stay 0, and the exact orientation sign.

#include <gtest/gtest.h>

#include <cfloat>
#include <random>

#include "pointset/ExactOrient.h"
#include "pointset/HullHelpers.h"
#include "tests/pointset/HullTestSupport.h"

namespace orvex {
namespace {

using namespace hulltest;

// A tetrahedron whose corners are the extremes of the four scores x+y+z, -x-y+z, -x+y-z, x-y-z.
const std::vector<Point> kTetrahedron = {{10, 10, 10}, {-10, -10, 10}, {-10, 10, -10}, {10, -10, -10}};

std::vector<Point> Sphere_Points(int count, float radius, unsigned seed) {
    std::mt19937 random(seed);
    std::normal_distribution<double> normal;
    std::vector<Point> out;
    while (int(out.size()) < count) {
        const double x = normal(random), y = normal(random), z = normal(random);
        const double length = std::sqrt(x * x + y * y + z * z);
        if (length < 1e-6) continue;
        out.push_back({float(radius * x / length), float(radius * y / length), float(radius * z / length)});
    }
    return out;
}

// Points strictly inside the tetrahedron, as random convex combinations of its corners.
std::vector<Point> Inside_Tetrahedron(int count, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> u(0.05, 1.0);
    std::vector<Point> out;
    for (int i = 0; i < count; ++i) {
        double w[4], sum = 0;
        for (double& x : w) sum += x = u(random);
        Point p{0, 0, 0};
        for (int k = 0; k < 3; ++k) {
            double v = 0;
            for (int c = 0; c < 4; ++c) v += w[c] / sum * kTetrahedron[c][k];
            p[k] = float(v);
        }
        out.push_back(p);
    }
    return out;
}

class HullAlgorithm : public ::testing::TestWithParam<int> {};

TEST_P(HullAlgorithm, FourPointsAreTheTetrahedronWithOutwardNormals) {
    POINT_LIST set;
    Fill(set, {{0, 0, 0}, {3, 0, 0}, {0, 4, 0}, {1, 1, 5}});
    ASSERT_TRUE(Run_Hull(set, GetParam()).ok);
    EXPECT_EQ(set.stats[0], 4u);
    EXPECT_EQ(set.stats[1], 4u);
    EXPECT_EQ(set.stats[2], 4u);
    EXPECT_EQ(set.stats[3], 0u);
    EXPECT_EQ(set.stats[8], 4u);
    EXPECT_EQ(set.stats[9], 0u);
    ASSERT_EQ(set.Count(1), 4u);
    for (const CON_FACE_LIST_VEC* f = set.hull.next; f; f = f->next) {
        const VEC_LIST* opposite = nullptr;
        for (const VEC_LIST* p = set.points.next; p; p = p->next)
            if (p != f->v[0] && p != f->v[1] && p != f->v[2]) opposite = p;
        ASSERT_NE(opposite, nullptr);
        double towards = 0, length = 0;
        for (int k = 0; k < 3; ++k) {
            towards += double(f->normal[k]) * (opposite->values[k] - f->v[0]->values[k]);
            length += double(f->normal[k]) * f->normal[k];
        }
        EXPECT_LT(towards, 0.0) << "a normal points towards the opposite corner";
        EXPECT_NEAR(length, 1.0, 1e-6);
    }
}

TEST_P(HullAlgorithm, PointsInsideTheExtremeTetrahedronAreDeleted) {
    POINT_LIST set;
    std::vector<Point> points = Inside_Tetrahedron(300, 7);
    points.insert(points.begin() + 100, kTetrahedron.begin(), kTetrahedron.end());
    Fill(set, points);
    ASSERT_TRUE(Run_Hull(set, GetParam()).ok);
    std::vector<Point> corners = kTetrahedron;
    std::sort(corners.begin(), corners.end());
    EXPECT_EQ(Sorted_Points(set), corners);
    EXPECT_EQ(set.Count(1), 4u);
    EXPECT_EQ(set.stats[0], 304u);
    EXPECT_EQ(set.stats[1], 4u);
    if (GetParam() != 2) {
        EXPECT_EQ(set.stats[3], 0u);  // the tetrahedron is already the hull
        EXPECT_EQ(set.stats[8], 4u);
    }
}

TEST_P(HullAlgorithm, EveryPointOfASphereIsAVertex) {
    POINT_LIST set;
    Fill(set, Sphere_Points(600, 100.0f, 3));
    Expect_Valid_Hull(set, GetParam(), false);
    EXPECT_EQ(set.stats[1], 600u);
    EXPECT_EQ(set.stats[2], 2u * 600 - 4);
    EXPECT_EQ(set.Count(0), 600u);
    EXPECT_EQ(set.Count(1), 1196u);
}

TEST_P(HullAlgorithm, ASecondRunKeepsTheVertices) {
    POINT_LIST set;
    std::vector<Point> points = Sphere_Points(400, 50.0f, 11);
    const std::vector<Point> inner = Sphere_Points(2000, 1.0f, 12);
    for (std::size_t i = 0; i < inner.size(); ++i) {
        const float r = float(49.0 * double(i % 97) / 97.0);
        points.push_back({inner[i][0] * r, inner[i][1] * r, inner[i][2] * r});
    }
    Fill(set, points);
    ASSERT_TRUE(Run_Hull(set, GetParam()).ok);
    const std::vector<Point> first = Sorted_Points(set);
    const unsigned faces = set.Count(1);
    EXPECT_EQ(first.size(), 400u);
    ASSERT_TRUE(Run_Hull(set, GetParam()).ok);
    EXPECT_EQ(Sorted_Points(set), first);
    EXPECT_EQ(set.stats[0], 400u);
    EXPECT_EQ(set.Count(1), faces);
}

TEST_P(HullAlgorithm, CountersThatStayZero) {
    POINT_LIST set;
    Fill(set, Sphere_Points(2000, 10.0f, 5));
    ASSERT_TRUE(Run_Hull(set, GetParam()).ok);
    for (int i : {5, 7, 12, 13, 14, 15, 16, 17, 18, 19}) EXPECT_EQ(set.stats[i], 0u) << "counter " << i;
    if (GetParam() == 0) {
        EXPECT_GT(set.stats[4], set.stats[3]);
    }
    if (GetParam() >= 1) {
        EXPECT_EQ(set.stats[4], 0u);
    }
    if (GetParam() == 2) {
        EXPECT_EQ(set.stats[6], 0u);
    }
    if (GetParam() <= 1) {
        EXPECT_GT(set.stats[6], 0u);
    }
    // Every apex but the tetrahedron's corners, and every visibility test is a distance test.
    EXPECT_EQ(set.stats[3], 2000u - 4);
    EXPECT_GE(set.stats[9], set.stats[10]);
    EXPECT_GT(set.stats[10], 0u);
}

TEST_P(HullAlgorithm, APointOnAFacePlaneStaysOut) {
    // (-5, 5, 0) = (P1 + P2 + 2 P3) / 4 lies exactly on the face P1 P2 P3, whose plane is
    // -x + y + z = 10; a point just outside that plane becomes a vertex.
    POINT_LIST set;
    std::vector<Point> points = kTetrahedron;
    points.push_back({-5, 5, 0});
    Fill(set, points);
    ASSERT_TRUE(Run_Hull(set, GetParam()).ok);
    EXPECT_EQ(set.stats[1], 4u);
    EXPECT_EQ(set.stats[3], 0u);

    points.push_back({-5.001f, 5.001f, 0.001f});
    Fill(set, points);
    ASSERT_TRUE(Run_Hull(set, GetParam()).ok);
    EXPECT_EQ(set.stats[1], 5u);
}

INSTANTIATE_TEST_SUITE_P(AllThree, HullAlgorithm, ::testing::Values(0, 1, 2), Algorithm_Name);

TEST(QuickHull, TiesInTheExtremeScoresTakeTheFirstPoint) {
    // (2, 0, 0) and (0, 2, 0) share the largest x + y + z; the one met first becomes corner A,
    // which ends the list as the fourth point from the back.
    for (int algorithm : {0, 1}) {
        for (bool swapped : {false, true}) {
            Point first{2, 0, 0}, second{0, 2, 0};
            if (swapped) std::swap(first, second);
            POINT_LIST set;
            Fill(set, {first, {-2, -2, 2}, second, {-2, 2, -2}, {2, -2, -2}});
            ASSERT_TRUE(Run_Hull(set, algorithm).ok);
            const std::vector<Point> list = List_Order(set);
            ASSERT_EQ(list.size(), 5u);
            EXPECT_EQ(list[list.size() - 4], first) << kAlgorithms[algorithm].name;
        }
    }
}

TEST(QuickHull, BestAndSpecialGiveTheSameHull) {
    POINT_LIST a, b;
    std::vector<Point> points = Sphere_Points(500, 20.0f, 21);
    const std::vector<Point> inside = Inside_Tetrahedron(500, 22);
    points.insert(points.end(), inside.begin(), inside.end());
    Fill(a, points);
    Fill(b, points);
    ASSERT_TRUE(a.QuickHullBest().ok);
    ASSERT_TRUE(b.QuickHullSpecial().ok);
    EXPECT_EQ(Sorted_Points(a), Sorted_Points(b));
    EXPECT_EQ(a.Count(1), b.Count(1));
}

TEST(IncrementalHull, ReversedInputGivesTheSameVertices) {
    std::vector<Point> points = Sphere_Points(300, 5.0f, 31);
    const std::vector<Point> inner = Sphere_Points(300, 4.0f, 32);
    points.insert(points.end(), inner.begin(), inner.end());
    POINT_LIST a, b;
    Fill(a, points);
    std::reverse(points.begin(), points.end());
    Fill(b, points);
    ASSERT_TRUE(a.IncrementalHull().ok);
    ASSERT_TRUE(b.IncrementalHull().ok);
    EXPECT_EQ(Sorted_Points(a), Sorted_Points(b));
    EXPECT_EQ(a.stats[1], 300u);
}

TEST(SortFacesByKey, AscendingAndStableAtAnyLength) {
    // Long runs of increasing keys make the quicksort's partitions one-sided; the order must not
    // change when it switches to its fallback.
    for (int n : {1, 2, 7, 300}) {
        std::vector<CON_FACE_LIST_VEC> faces(n);
        for (int i = 0; i < n; ++i) {
            faces[i].key = float(i < n / 2 ? i : (n - i) / 3);
            faces[i].startEdge = i;  // the original position
            faces[i].next = i + 1 < n ? &faces[i + 1] : nullptr;
        }
        CON_FACE_LIST_VEC *head = &faces[0], *tail = &faces[n - 1];
        SortFacesByKey(head, tail);
        int count = 0;
        for (const CON_FACE_LIST_VEC* f = head; f; f = f->next, ++count) {
            if (f->next) {
                ASSERT_LE(f->key, f->next->key);
                if (f->key == f->next->key) {
                    ASSERT_LT(f->startEdge, f->next->startEdge);
                }
            } else {
                EXPECT_EQ(f, tail);
            }
        }
        EXPECT_EQ(count, n);
    }
}

TEST(ExactOrient, SignsThatDoublesCannotTell) {
    const float a[3] = {0, 0, 0}, b[3] = {1, 0, 0}, c[3] = {0, 1, 0};
    const float on[3] = {1e-30f, 3e7f, 0};
    const float above[3] = {5e7f, -3e7f, FLT_TRUE_MIN};
    const float below[3] = {5e7f, -3e7f, -FLT_TRUE_MIN};
    EXPECT_EQ(Orient3d_Exact_Sign(a, b, c, on), 0);
    EXPECT_EQ(Orient3d_Exact_Sign(a, b, c, above), 1);
    EXPECT_EQ(Orient3d_Exact_Sign(a, b, c, below), -1);
    // A plane through three points with widely spread exponents: the fourth point is on it.
    const float p[3] = {1e20f, 0, 1e20f}, q[3] = {0, 1e-20f, 0}, r[3] = {1e-20f, 0, 1e-20f};
    const float s[3] = {3e10f, 0, 3e10f};
    EXPECT_EQ(Orient3d_Exact_Sign(p, q, r, s), 0);
    const float t[3] = {3e10f, 0, 3.0001e10f};
    EXPECT_NE(Orient3d_Exact_Sign(p, q, r, t), 0);
    EXPECT_EQ(Orient3d_Exact_Sign(p, q, r, t), -Orient3d_Exact_Sign(q, p, r, t));
}

}  // namespace
}  // namespace orvex
