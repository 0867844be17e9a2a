// Vector, triangle and scalar helpers: the thresholds are part of the results.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "geometry/Statistics.h"
#include "geometry/Vec3.h"

using namespace orvex;

TEST(Vec3Ops, MeasuresOfARightTriangle) {
    const Vec3 A{0, 0, 0}, B{3, 0, 0}, C{0, 4, 0};
    Vec3 n;
    Facet_Normal(n, A, B, C);
    EXPECT_NEAR(n.z, 1.0f, 1e-6);
    EXPECT_FLOAT_EQ(Triangle_Area(A, B, C), 6.0f);
    EXPECT_FLOAT_EQ(Point_Distance(B, C), 5.0f);
    float angles[3];
    Triangle_Angles(A, B, C, angles);
    EXPECT_NEAR(angles[0], std::numbers::pi / 2, 1e-6);
    EXPECT_NEAR(angles[1], std::atan2(4.0, 3.0), 1e-6);
    EXPECT_NEAR(angles[0] + angles[1] + angles[2], std::numbers::pi, 1e-6);
}

TEST(Vec3Ops, NearWithinAcceptsTheToleranceNearStrictRejectsIt) {
    const Vec3 O{0, 0, 0}, D{0.0005f, 0.0005f, -0.0005f};  // differences exactly 0.0005 on every axis
    EXPECT_TRUE(Near_Within(O, D, 0.0005f));
    EXPECT_FALSE(Near_Strict(O, D, 0.0005f));
    EXPECT_TRUE(Near_Strict(O, {0.0004f, 0.0004f, 0.0004f}, 0.0005f));
    EXPECT_FALSE(Near_Within(O, {0, 0, 0.00051f}, 0.0005f));
    EXPECT_TRUE(Near_Fixed(O, {0.00001f, 0, 0}));
    EXPECT_FALSE(Near_Fixed(O, {0.00002f, 0, 0}));
}

TEST(Vec3Degenerate, FacetNormalOfCollapsedAndSliverTriangles) {
    Vec3 n{9, 9, 9};
    const Vec3 P{1, 1, 1};
    Facet_Normal(n, P, P, P);
    EXPECT_EQ(n, (Vec3{0, 0, 0}));
    // |cross|^2 = 0.81e-12, just below 1e-12: the raw cross product comes back, not a unit normal.
    Facet_Normal(n, {0, 0, 0}, {1e-3f, 0, 0}, {0, 9e-4f, 0});
    EXPECT_NEAR(n.z, 9e-7f, 1e-12);
}

TEST(Vec3Degenerate, DistanceAreaAndAnglesOfCollapsedCorners) {
    const Vec3 P{1, 2, 3};
    EXPECT_EQ(Point_Distance(P, P), 1e-12f);
    EXPECT_EQ(Triangle_Area(P, P, {4, 5, 6}), 0.0f);
    EXPECT_EQ(Triangle_Area({0, 0, 0}, {1, 1, 1}, {2, 2, 2}), 0.0f);
    float angles[3] = {0, 0, 0};
    Triangle_Angles(P, P, {4, 5, 6}, angles);
    for (float a : angles) EXPECT_EQ(a, 1.0471976f);
}

TEST(Statistics, MeanStdAndTheConstantArray) {
    const float v[] = {2, 4, 4, 4, 5, 5, 7, 9};
    float mean = 0, std = 0;
    Mean_Std(v, 8, mean, std);
    EXPECT_FLOAT_EQ(mean, 5.0f);
    EXPECT_FLOAT_EQ(std, 2.0f);  // population deviation
    EXPECT_FLOAT_EQ(Value_Range(v, 8), 7.0f);

    const float flat[] = {3, 3, 3};
    std = 42;
    Mean_Std(flat, 3, mean, std);
    EXPECT_EQ(mean, 3.0f);
    EXPECT_EQ(std, 42.0f);  // kept: callers divide by it
}

TEST(Statistics, ShapeIndexOfCapsCupsSaddlesAndRidges) {
    EXPECT_EQ(Shape_Index(1, 1), 0.0f);
    EXPECT_EQ(Shape_Index(-1, -1), 1.0f);
    EXPECT_EQ(Shape_Index(1, -1), 0.5f);
    EXPECT_EQ(Shape_Index(0, 0), 0.5f);
    EXPECT_NEAR(Shape_Index(1, 0), 0.25f, 1e-7);  // 0.5 - atan(1)/pi
    EXPECT_NEAR(Shape_Index(0, -1), 0.75f, 1e-7);
}
