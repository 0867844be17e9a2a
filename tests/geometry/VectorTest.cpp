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

TEST(Vec3Degenerate, CoincidentAndCollinearCornersHaveNoNormalAndNoArea) {
    const Vec3 P{1, 2, 3};
    // Collinear in float: exactly, and up to the rounding of a midpoint taken in float.
    const Vec3 A{0.1f, 0.2f, 0.3f}, C{0.7f, 1.1f, 1.9f};
    const Vec3 M = (A + C) * 0.5f;
    const Vec3 triangles[][3] = {{P, P, P}, {P, P, {4, 5, 6}}, {{0, 0, 0}, {1, 1, 1}, {2, 2, 2}},
                                 {A, M, C}, {M, C, A},         {A * 1e-30f, M * 1e-30f, C * 1e-30f}};
    for (const auto& t : triangles) {
        Vec3 n{9, 9, 9};
        Facet_Normal(n, t[0], t[1], t[2]);
        EXPECT_EQ(n, (Vec3{0, 0, 0}));
        EXPECT_EQ(Triangle_Area(t[0], t[1], t[2]), 0.0f);
    }
}

TEST(Vec3SmallScale, TinyTrianglesKeepTheirAreaAndUnitNormal) {
    // The right triangle 3-4-5 from 1e-3 down to 1e-30: the same shape gives the same answers.
    for (float scale : {1e-3f, 3e-4f, 1e-6f, 1e-12f, 1e-18f, 1e-30f}) {
        const Vec3 A{1 * scale, 2 * scale, 0}, B{4 * scale, 2 * scale, 0}, C{1 * scale, 6 * scale, 0};
        Vec3 n;
        Facet_Normal(n, A, B, C);
        EXPECT_NEAR(n.z, 1.0f, 1e-6) << scale;
        EXPECT_EQ(n.x, 0.0f);
        const double area = 6.0 * double(scale) * double(scale);
        if (area > 1e-37) {  // below, the area itself has no float
            EXPECT_NEAR(Triangle_Area(A, B, C) / area, 1.0, 1e-6) << scale;
        }
        if (scale > 1e-12) {  // below, the distance floor
            EXPECT_NEAR(Point_Distance(B, C) / (5.0 * scale), 1.0, 1e-6) << scale;
        }
    }
    // A thin but real sliver: the largest angle's sine is about 1e-4.
    Vec3 n;
    Facet_Normal(n, {0, 0, 0}, {1e-3f, 0, 0}, {5e-4f, 0, 5e-8f});
    EXPECT_NEAR(n.y, -1.0f, 1e-6);
    EXPECT_NEAR(Triangle_Area({0, 0, 0}, {1e-3f, 0, 0}, {5e-4f, 0, 5e-8f}), 2.5e-11, 1e-16);
}

TEST(Vec3SmallScale, NormalizeMakesAnyNonZeroVectorUnit) {
    for (float length : {1e-3f, 1e-6f, 1e-7f, 1e-20f, 1e-40f /* denormal */}) {
        Vec3 v{0, length, 0};
        Vec3_Normalize(v);
        EXPECT_NEAR(v.y, 1.0f, 1e-6) << length;
        Vec3 w{3 * length, 0, 4 * length};
        Vec3_Normalize(w);
        EXPECT_NEAR(w.x, 0.6f, 1e-6) << length;
        EXPECT_NEAR(w.z, 0.8f, 1e-6) << length;
    }
    Vec3 zero;
    Vec3_Normalize(zero);
    EXPECT_EQ(zero, (Vec3{0, 0, 0}));
}

TEST(Vec3LargeScale, TrianglesNearTheFloatLimitHaveFiniteUnitNormals) {
    // Edge vectors and cross products here overflow in float.
    const Vec3 A{-3e38f, -3e38f, 0}, B{3e38f, -3e38f, 0}, C{-3e38f, 3e38f, 1e38f};
    Vec3 n;
    Facet_Normal(n, A, B, C);
    EXPECT_NEAR(n.x, 0.0f, 1e-6);
    EXPECT_NEAR(n.y, -1.0f / std::sqrt(37.0f), 1e-6);
    EXPECT_NEAR(n.z, 6.0f / std::sqrt(37.0f), 1e-6);
    Vec3 big{3e38f, 3e38f, -3e38f};
    Vec3_Normalize(big);
    EXPECT_NEAR(big.x, 1.0f / std::sqrt(3.0f), 1e-6);
    EXPECT_TRUE(std::isinf(Triangle_Area(A, B, C)));  // the true area does not fit a float
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
