// The hulls on the point sets real data brings: too few points, points that coincide or lie on a
// line or a plane, coplanar extremes, duplicates, dense spheres where rounding makes neighbours
// nearly coplanar, cube faces, lattices, every random distribution, under rotation and scaling.
// Each run must end with a valid closed hull (checked by the validator, and against qhull's volume
// when qconvex is installed) or with an empty hull, the points kept and a message saying why.

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <random>
#include <string>

#include "geometry/Matrix4.h"
#include "geometry/Random.h"
#include "pointset/ExactOrient.h"
#include "tests/pointset/HullTestSupport.h"

namespace orvex {
namespace {

using namespace hulltest;

// Scales the set, then turns it about an oblique axis.
void Scale_And_Rotate(POINT_LIST& set, double scale, float angle) {
    for (VEC_LIST* p = set.points.next; p; p = p->next)
        for (int k = 0; k < 3; ++k) p->values[k] = float(p->values[k] * scale);
    if (angle != 0.0f) {
        Matrix4 m;
        Mat4_Rotation(Vec3{0.36f, 0.48f, 0.8f}, angle, m);
        set.Rotate(m);
    }
}

std::vector<Point> Grid(int nx, int ny, int nz) {
    std::vector<Point> out;
    for (int i = 0; i < nx; ++i)
        for (int j = 0; j < ny; ++j)
            for (int k = 0; k < nz; ++k) out.push_back({float(i), float(j), float(k)});
    return out;
}

std::vector<Point> Ball(int count, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    std::vector<Point> out;
    while (int(out.size()) < count) {
        const Point p{u(random), u(random), u(random)};
        if (p[0] * p[0] + p[1] * p[1] + p[2] * p[2] <= 1.0f) out.push_back(p);
    }
    return out;
}

class HullRefusal : public ::testing::TestWithParam<int> {
protected:
    // The run must refuse with a message containing `why`, leave no faces and keep every point.
    void Expect_Refused(POINT_LIST& set, const std::string& why) {
        const std::size_t before = set.Count(0);
        const std::vector<Vec3> points = Capture_Points(set);
        const Status status = Run_Hull(set, GetParam());
        EXPECT_FALSE(status.ok);
        EXPECT_NE(status.message.find(why), std::string::npos) << status.message;
        EXPECT_EQ(set.Count(1), 0u);
        EXPECT_EQ(set.stats[0], before);
        // The same points, perhaps in another order (NaN coordinates compare by their bits).
        std::vector<Vec3> after = Capture_Points(set);
        auto bits = [](std::vector<Vec3> v) {
            std::vector<std::array<std::uint32_t, 3>> out;
            for (const Vec3& p : v)
                out.push_back({std::bit_cast<std::uint32_t>(p.x), std::bit_cast<std::uint32_t>(p.y),
                               std::bit_cast<std::uint32_t>(p.z)});
            std::sort(out.begin(), out.end());
            return out;
        };
        EXPECT_EQ(bits(after), bits(points));
    }
};

TEST_P(HullRefusal, FewerThanFourPoints) {
    POINT_LIST set;
    for (int n = 0; n < 4; ++n) {
        std::vector<Point> points = Grid(n, 1, 1);
        Fill(set, points);
        Expect_Refused(set, "at least four points");
    }
}

TEST_P(HullRefusal, CoincidentPoints) {
    POINT_LIST set;
    Fill(set, std::vector<Point>(20, Point{1.5f, -2.0f, 7.0f}));
    Expect_Refused(set, "coincide");
}

TEST_P(HullRefusal, CollinearPointsUnderRotationAndScaling) {
    for (double scale : {1e-4, 1.0, 3e5}) {
        POINT_LIST set;
        std::vector<Point> points;
        for (int i = 0; i < 50; ++i) points.push_back({float(i), float(2 * i), float(-3 * i)});
        Fill(set, points);
        Scale_And_Rotate(set, scale, 0.7f);
        Expect_Refused(set, "one line");
    }
}

TEST_P(HullRefusal, PlanarGridUnderRotationAndScaling) {
    for (double scale : {1e-3, 1.0, 1e4}) {
        POINT_LIST set;
        Fill(set, Grid(30, 30, 1));
        Scale_And_Rotate(set, scale, 1.1f);
        Expect_Refused(set, "one plane");
    }
}

TEST_P(HullRefusal, CoordinatesThatAreNotNumbersOrTooLarge) {
    POINT_LIST set;
    std::vector<Point> points = Grid(3, 3, 3);
    points[5][1] = std::nanf("");
    Fill(set, points);
    Expect_Refused(set, "not a finite number");
    points[5][1] = 2e13f;
    Fill(set, points);
    Expect_Refused(set, "beyond the 1e12");
}

INSTANTIATE_TEST_SUITE_P(AllThree, HullRefusal, ::testing::Values(0, 1, 2), Algorithm_Name);

class HullDegenerate : public ::testing::TestWithParam<int> {};

TEST_P(HullDegenerate, CoplanarExtremesOfASquarePyramid) {
    // Every extreme score falls on a base corner, so the first four corners are coplanar.
    POINT_LIST set;
    std::vector<Point> points;
    for (const Point& p : Grid(5, 5, 1)) points.push_back({p[0] - 2, p[1] - 2, 0});
    points.push_back({0.25f, 0.5f, 1.0f});
    Fill(set, points);
    Expect_Valid_Hull(set, GetParam());
    EXPECT_EQ(set.stats[1], 5u);
    EXPECT_EQ(set.Count(1), 6u);
}

TEST_P(HullDegenerate, FirstFourPointsCoplanar) {
    POINT_LIST set;
    std::vector<Point> points = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}};
    const std::vector<Point> ball = Ball(500, 41);
    points.insert(points.end(), ball.begin(), ball.end());
    Fill(set, points);
    Expect_Valid_Hull(set, GetParam());
}

TEST_P(HullDegenerate, DuplicatedPointsGiveEachVertexOnce) {
    std::mt19937 random(51);
    std::normal_distribution<double> normal;
    std::vector<Point> points;
    for (int i = 0; i < 300; ++i) {
        const double x = normal(random), y = normal(random), z = normal(random);
        const double r = std::sqrt(x * x + y * y + z * z);
        points.push_back({float(8 * x / r), float(8 * y / r), float(8 * z / r)});
    }
    std::vector<Point> doubled = points;
    doubled.insert(doubled.end(), points.rbegin(), points.rend());
    doubled.insert(doubled.begin(), points.begin(), points.begin() + 5);
    POINT_LIST set;
    Fill(set, doubled);
    Expect_Valid_Hull(set, GetParam());
    std::sort(points.begin(), points.end());
    EXPECT_EQ(Sorted_Points(set), points);
}

TEST_P(HullDegenerate, ConesOfHundredsOfFaces) {
    // A wide ring with two poles: once a pole is the apex, hundreds of faces share one fill,
    // and the points just outside the ring's faces must still find theirs.
    std::vector<Point> points;
    const int ring = 300;
    for (int i = 0; i < ring; ++i) {
        const double a = 2 * M_PI * i / ring;
        points.push_back({float(100 * std::cos(a)), float(100 * std::sin(a)), 0.0f});
        const double b = 2 * M_PI * (i + 0.5) / ring;
        points.push_back(
            {float(99.99 * std::cos(b)), float(99.99 * std::sin(b)), float(0.5 * (i % 3) - 0.5)});
    }
    points.push_back({0, 0, 3});
    points.push_back({0, 0, -3});
    const std::vector<Point> ball = Ball(2000, 61);
    for (const Point& p : ball) points.push_back({90 * p[0], 90 * p[1], 2 * p[2]});
    POINT_LIST set;
    Fill(set, points);
    Expect_Valid_Hull(set, GetParam());
}

TEST_P(HullDegenerate, DenseSphereWithRoundedNeighbours) {
    // The polar generator crowds points at the poles, where neighbours are nearly coplanar.
    Random_Reset_All();
    POINT_LIST set;
    set.GenerateRandom(500, 500, 500, 20000, ON_SPHERE, true);
    Expect_Valid_Hull(set, GetParam());
}

TEST_P(HullDegenerate, PointsOnTheFacesOfACube) {
    for (float angle : {0.0f, 0.9f}) {
        std::mt19937 random(61);
        std::uniform_int_distribution<int> cell(0, 40);
        std::vector<Point> points;
        for (int i = 0; i < 3000; ++i) {
            const int axis = i % 3;
            Point p{float(cell(random)) / 4, float(cell(random)) / 4, float(cell(random)) / 4};
            p[axis] = (i / 3) % 2 ? 10.0f : 0.0f;
            points.push_back(p);
        }
        for (const Point& corner : Grid(2, 2, 2))
            points.push_back({corner[0] * 10, corner[1] * 10, corner[2] * 10});
        POINT_LIST set;
        Fill(set, points);
        Scale_And_Rotate(set, 1.0, angle);
        Expect_Valid_Hull(set, GetParam());
        if (angle == 0.0f) {
            set.HullMassProperties();
            EXPECT_NEAR(set.volume, 1000.0, 1e-3);
        }
    }
}

TEST_P(HullDegenerate, LatticeUnderRotationAndScaling) {
    for (double scale : {1e-3, 1.0, 2.5e4}) {
        for (float angle : {0.0f, 2.3f}) {
            POINT_LIST set;
            Fill(set, Grid(9, 8, 7));
            Scale_And_Rotate(set, scale, angle);
            Expect_Valid_Hull(set, GetParam());
            set.HullMassProperties();
            EXPECT_NEAR(set.volume / (8 * 7 * 6 * scale * scale * scale), 1.0, 1e-5);
            if (angle == 0.0f) {
                EXPECT_EQ(set.stats[1], 8u) << "points inside the box's faces stay out";
            }
        }
    }
}

TEST_P(HullDegenerate, EveryDistributionRotated) {
    Random_Reset_All();
    for (int distribution = IN_CUBE; distribution <= SHELL_50; ++distribution) {
        POINT_LIST set;
        set.GenerateRandom(500, 300, 200, 4000, distribution, true);
        SCOPED_TRACE(distribution);
        Expect_Valid_Hull(set, GetParam());
    }
}

TEST_P(HullDegenerate, BallAtEveryScale) {
    for (double scale : {1e-7, 1e-3, 1.0, 1e3, 1e9}) {
        POINT_LIST set;
        Fill(set, Ball(3000, 71));
        Scale_And_Rotate(set, scale, 0.4f);
        SCOPED_TRACE(scale);
        Expect_Valid_Hull(set, GetParam());
        EXPECT_GT(set.stats[1], 100u);
    }
}

TEST_P(HullDegenerate, PointsWithinRoundingOfTheFacesFarFromTheOrigin) {
    // An octahedron far from the origin, its faces crowded with points rounded onto their slanted
    // planes or one float spacing off them: where quick distance estimates cannot tell the sides
    // apart. No input point may lie exactly above any face of the result.
    std::mt19937 random(83);
    std::uniform_real_distribution<float> u(0.0f, 1.0f);
    const double centre[3] = {3.0e6, -2.0e6, 5.0e6};
    const double half = 1000.0;
    Point corner[6];
    for (int k = 0; k < 6; ++k) {
        for (int i = 0; i < 3; ++i)
            corner[k][i] = float(centre[i] + (i == k % 3 ? (k < 3 ? half : -half) : 0.0));
    }
    std::vector<Point> points(corner, corner + 6);
    for (int i = 0; i < 4000; ++i) {
        // Face (sx, sy, sz): the corners +-x, +-y, +-z.
        const Point& a = corner[i % 2 ? 0 : 3];
        const Point& b = corner[(i / 2) % 2 ? 1 : 4];
        const Point& c = corner[(i / 4) % 2 ? 2 : 5];
        const double s = u(random), t = u(random) * (1 - s);
        Point p;
        for (int k = 0; k < 3; ++k)
            p[k] = float(a[k] + s * (double(b[k]) - a[k]) + t * (double(c[k]) - a[k]));
        if (i % 3 == 1) p[i % 3] = std::nextafter(p[i % 3], INFINITY);
        if (i % 3 == 2) p[i % 3] = std::nextafter(p[i % 3], -INFINITY);
        points.push_back(p);
    }
    POINT_LIST set;
    Fill(set, points);
    const Status status = Run_Hull(set, GetParam());
    ASSERT_TRUE(status.ok) << status.message;
    int above = 0;
    for (const Point& p : points)
        for (const CON_FACE_LIST_VEC* f = set.hull.next; f; f = f->next)
            above += Orient3d_Exact_Sign(f->v[0]->values, f->v[1]->values, f->v[2]->values, p.data()) > 0;
    EXPECT_EQ(above, 0);
    EXPECT_GT(set.stats[1], 6u) << "points rounded off the faces are corners";
}

INSTANTIATE_TEST_SUITE_P(AllThree, HullDegenerate, ::testing::Values(0, 1, 2), Algorithm_Name);

TEST(HullAgreement, SameVerticesFromAllThree) {
    Random_Reset_All();
    for (int distribution : {IN_SPHERE_CARD, ON_SPHERE, SHELL_95}) {
        POINT_LIST sets[3];
        sets[0].GenerateRandom(400, 400, 400, 5000, distribution, true);
        const std::vector<Point> points = List_Order(sets[0]);
        for (POINT_LIST& set : sets) Fill(set, points);
        std::vector<Point> vertices[3];
        for (int a = 0; a < 3; ++a) {
            ASSERT_TRUE(Run_Hull(sets[a], a).ok);
            vertices[a] = Sorted_Points(sets[a]);
        }
        EXPECT_EQ(vertices[0], vertices[1]) << distribution;
        EXPECT_EQ(vertices[0], vertices[2]) << distribution;
    }
}

// ---- Exact orientation across exponent gaps ---------------------------------------------------

// The sign of the determinant and of its even and odd rearrangements.
void Expect_Orientation(const Point& a, const Point& b, const Point& c, const Point& d, int sign) {
    for (int turn = 0; turn < 3; ++turn) {
        // Turning the axes x -> y -> z is an even permutation: the sign stays.
        auto t = [turn](const Point& p) {
            return Point{p[(3 - turn) % 3], p[(4 - turn) % 3], p[(5 - turn) % 3]};
        };
        const Point A = t(a), B = t(b), C = t(c), D = t(d);
        ASSERT_EQ(Orient3d_Exact_Sign(A.data(), B.data(), C.data(), D.data()), sign) << "turn " << turn;
        ASSERT_EQ(Orient3d_Exact_Sign(B.data(), C.data(), A.data(), D.data()), sign) << "turn " << turn;
        ASSERT_EQ(Orient3d_Exact_Sign(A.data(), C.data(), B.data(), D.data()), -sign) << "turn " << turn;
        // d - a = (d - b) + (b - a): the same plane seen from another corner.
        ASSERT_EQ(Orient3d_Exact_Sign(D.data(), B.data(), C.data(), A.data()), -sign) << "turn " << turn;
    }
}

float Exactly(double v) {
    const float f = float(v);
    EXPECT_EQ(double(f), v) << "not a float";
    return f;
}

TEST(ExactOrient, SignsAcrossExponentGapsOfUpTo120Bits) {
    // The triangle's size and the fourth point's height above its plane differ by 2^gap.
    Expect_Orientation({0, 0, 0}, {0x1p21f, 0, 0}, {0, 0x1p21f, 0}, {0, 0, 0x1p-20f}, 1);
    Expect_Orientation({0, 0, 0}, {0x1p21f, 0, 0}, {0, 0x1p21f, 0}, {0, 0, -0x1p-20f}, -1);
    for (int gap = 0; gap <= 120; ++gap) {
        SCOPED_TRACE("gap " + std::to_string(gap));
        // Sizes down to where the height becomes a denormal; full and single-bit mantissas.
        for (int top : {-29, -3, 0, 21, 64}) {
            for (double mantissa : {1.0, double(0xB504F3) / 0x800000, double(0xFFFFFF) / 0x800000}) {
                const float big = Exactly(std::ldexp(mantissa, top));
                // A denormal height keeps fewer bits.
                double height = std::ldexp(mantissa, top - gap);
                if (double(float(height)) != height) height = std::ldexp(1.0, top - gap);
                const float small = Exactly(height);
                for (int s : {1, -1}) {
                    // Axis-aligned: det = big * -big * height.
                    Expect_Orientation({0, 0, 0}, {big, 0, 0}, {0, -big, 0}, {big / 2, big, s * small}, -s);
                    // Far above, with a tiny coordinate: det = -(big + small) * big * big.
                    Expect_Orientation({-small, 0, 0}, {big, 0, 0}, {0, -big, 0}, {0, 0, s * big}, -s);
                    // A slanted plane z = x + y through the triangle: the terms of size big^3 cancel
                    // and big^2 * height is left.
                    const float p = Exactly(std::ldexp(1.0, top));
                    Expect_Orientation({0, 0, 0}, {p, 0, p}, {0, p, p}, {p, -p, s * small}, s);
                    // The same, moved off the origin.
                    for (int shift : {0, 7, 23}) {
                        const float o = Exactly(std::ldexp(1.0, top + shift));
                        Expect_Orientation({o, o, 0}, {Exactly(double(o) + p), o, p},
                                           {o, Exactly(double(o) + p), p},
                                           {Exactly(double(o) + p), Exactly(double(o) - p), s * small}, s);
                    }
                }
            }
        }
    }
}

// ---- The validator --------------------------------------------------------------------------

TEST(HullValidator, AHullThatLostACornerFromItsPointListFails) {
    POINT_LIST set;
    Fill(set, Ball(400, 91));
    const std::vector<Vec3> input = Capture_Points(set);
    ASSERT_TRUE(set.QuickHullBest().ok);
    ASSERT_TRUE(Validate_Hull(set, input).ok);
    // Unlink a corner from the middle of the list and then the first one; the faces still use them.
    for (int at : {7, 0}) {
        VEC_LIST* before = &set.points;
        for (int i = 0; i < at; ++i) before = before->next;
        VEC_LIST* corner = before->next;
        before->next = corner->next;
        const Status lost = Validate_Hull(set, input);
        EXPECT_FALSE(lost.ok) << at;
        EXPECT_NE(lost.message.find("a hull corner is missing from the point list"), std::string::npos)
            << lost.message;
        before->next = corner;
    }
    ASSERT_TRUE(Validate_Hull(set, input).ok);
    // A corner whose coordinates moved inward: the faces around it are no longer convex or the
    // old corner's neighbours stick out.
    VEC_LIST* corner = set.points.next;
    const float saved[3] = {corner->values[0], corner->values[1], corner->values[2]};
    for (int k = 0; k < 3; ++k) corner->values[k] *= 0.5f;
    EXPECT_FALSE(Validate_Hull(set, input).ok);
    std::copy(saved, saved + 3, corner->values);
}

TEST(HullValidator, APointAFloatSpacingAboveAnyFaceIsCaughtByTheClimb) {
    // A hull of many faces, checked against enough points that the check climbs instead of trying
    // every face. Faces spread over the whole hull get one point just above their middle in turn.
    Random_Reset_All();
    POINT_LIST set;
    set.GenerateRandom(100, 100, 100, 4000, ON_SPHERE, true);
    const std::vector<Vec3> input = Capture_Points(set);
    ASSERT_TRUE(set.QuickHullBest().ok);
    const std::size_t faces = set.Count(1);
    const std::size_t needed = std::size_t(2.5e7 / double(faces)) + 1;
    ASSERT_LT(needed, input.size());
    const std::vector<Vec3> some(input.begin(), input.begin() + std::ptrdiff_t(needed));
    // One float spacing at 100 is about 1e-8 of the box: allow far less.
    HullCheckOptions options;
    options.relativeTolerance = 1e-12;
    HullCheckResult result;
    ASSERT_TRUE(Validate_Hull(set, some, &result, options).ok);
    EXPECT_LE(result.worstHeight, 1e-9);

    int tried = 0;
    std::size_t index = 0;
    for (const CON_FACE_LIST_VEC* f = set.hull.next; f; f = f->next, ++index) {
        if (index % (faces / 20) != 0) continue;
        const float* a = f->v[0]->values;
        const float* b = f->v[1]->values;
        const float* c = f->v[2]->values;
        Point p;
        for (int k = 0; k < 3; ++k) p[k] = float((double(a[k]) + b[k] + c[k]) / 3);
        // Step along the normal's largest component, one float spacing at a time, until the point
        const double n[3] = {
            (double(b[1]) - a[1]) * (double(c[2]) - a[2]) - (double(b[2]) - a[2]) * (double(c[1]) - a[1]),
            (double(b[2]) - a[2]) * (double(c[0]) - a[0]) - (double(b[0]) - a[0]) * (double(c[2]) - a[2]),
            (double(b[0]) - a[0]) * (double(c[1]) - a[1]) - (double(b[1]) - a[1]) * (double(c[0]) - a[0])};
        const int axis = std::fabs(n[0]) >= std::max(std::fabs(n[1]), std::fabs(n[2])) ? 0
                         : std::fabs(n[1]) >= std::fabs(n[2])                          ? 1
                                                                                       : 2;
        // is exactly above the face, and one more so that it is clear of the rounding of the
        // validator's double planes.
        auto step = [&] { p[axis] = std::nextafter(p[axis], n[axis] > 0 ? INFINITY : -INFINITY); };
        while (Orient3d_Exact_Sign(a, b, c, p.data()) <= 0) step();
        step();
        std::vector<Vec3> outside = some;
        outside.insert(outside.begin() + std::ptrdiff_t(outside.size() / 2), Vec3{p[0], p[1], p[2]});
        const Status caught = Validate_Hull(set, outside, nullptr, options);
        EXPECT_FALSE(caught.ok) << "face " << index;
        EXPECT_NE(caught.message.find("above a face plane"), std::string::npos) << caught.message;
        ++tried;
    }
    EXPECT_GE(tried, 20);
}

TEST(HullValidator, ClimbingFindsWhatTheFullSearchFinds) {
    POINT_LIST set;
    set.GenerateRandom(100, 100, 100, 3000, IN_SPHERE_POLAR, true);
    const std::vector<Vec3> input = Capture_Points(set);
    ASSERT_TRUE(set.QuickHullBest().ok);
    HullCheckResult full, climbed;
    HullCheckOptions options;
    options.exhaustive = true;
    ASSERT_TRUE(Validate_Hull(set, input, &full, options).ok);
    // Force the climb with a point set large enough to pass its threshold.
    std::vector<Vec3> many;
    while (many.size() < 40000) many.insert(many.end(), input.begin(), input.end());
    ASSERT_TRUE(Validate_Hull(set, many, &climbed).ok);
    EXPECT_EQ(full.worstHeight, climbed.worstHeight);
    // A point outside the hull is caught either way.
    many.push_back({200, 0, 0});
    const Status outside = Validate_Hull(set, many, &climbed);
    EXPECT_FALSE(outside.ok);
    EXPECT_NE(outside.message.find("above a face plane"), std::string::npos) << outside.message;
}

TEST(HullValidator, BrokenHullsAreRejected) {
    POINT_LIST set;
    Fill(set, Grid(3, 3, 3));
    const std::vector<Vec3> input = Capture_Points(set);
    ASSERT_TRUE(set.QuickHullBest().ok);
    ASSERT_TRUE(Validate_Hull(set, input).ok);
    // A point the run never saw lies outside.
    std::vector<Vec3> more = input;
    more.push_back({1, 1, 2.5f});
    EXPECT_FALSE(Validate_Hull(set, more).ok);
    // A face whose neighbour link is wrong.
    CON_FACE_LIST_VEC* f = set.hull.next;
    std::swap(f->nbr[0], f->nbr[1]);
    EXPECT_FALSE(Validate_Hull(set, input).ok);
    std::swap(f->nbr[0], f->nbr[1]);
    // A face turned inside out.
    std::swap(f->v[1], f->v[2]);
    EXPECT_FALSE(Validate_Hull(set, input).ok);
    std::swap(f->v[1], f->v[2]);
    // An extra point that is no corner.
    Add(set, 1, 1, 1);
    EXPECT_FALSE(Validate_Hull(set, input).ok);
}

}  // namespace
}  // namespace orvex
