// The shapes of the facet drawing, built without GL: arrows and the boundary ribbon.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "facet/BoundaryLoop.h"
#include "render/FacetDraw.h"

using namespace orvex;

namespace {
float Length(const Vec3& v) {
    return std::sqrt(Dot(v, v));
}
}  // namespace

TEST(ArrowShapeTest, LineConeAndTipFollowTheArrowInEveryDirection) {
    const Vec3 from{1, 2, 3};
    for (const Vec3 d : {Vec3{0, 0, 16}, Vec3{0, 0, -16}, Vec3{16, 0, 0}, Vec3{0, -32, 0}, Vec3{3, -4, 12},
                         Vec3{-1e-3f, 2e-3f, -5e-3f}}) {
        SCOPED_TRACE(testing::Message() << d.x << " " << d.y << " " << d.z);
        const Vec3 to = from + d;
        ArrowShape shape;
        ASSERT_TRUE(Arrow_Shape(from, to, shape));
        const float L = Length(d), tol = 1e-4f * std::max(1.0f, L);
        EXPECT_EQ(shape.Line[0], from);
        EXPECT_NEAR(Length(shape.Line[1] - (from + d * 0.65f)), 0.0f, tol);
        const Vec3 centre = from + d * 0.6f;
        Vec3 axis = d;
        Vec3_Normalize(axis);
        for (int k = 0; k < 6; ++k) {
            EXPECT_EQ(shape.Triangles[3 * k + 2], to);
            const Vec3 corner = shape.Triangles[3 * k];
            // On the hexagon: L/16 from the axis point at 60 %, square to the axis, 60 degrees apart.
            EXPECT_NEAR(Length(corner - centre), L / 16.0f, tol);
            EXPECT_NEAR(Dot(corner - centre, axis), 0.0f, tol);
            EXPECT_EQ(shape.Triangles[3 * k + 1], shape.Triangles[3 * ((k + 1) % 6)]);
            EXPECT_NEAR(Length(shape.Triangles[3 * k + 1] - corner), L / 16.0f, tol);
        }
    }
}

TEST(ArrowShapeTest, ZeroLengthOrBrokenArrowsHaveNoShape) {
    ArrowShape shape;
    EXPECT_FALSE(Arrow_Shape({1, 1, 1}, {1, 1, 1}, shape));
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_FALSE(Arrow_Shape({0, 0, 0}, {nan, 0, 0}, shape));
    EXPECT_FALSE(Arrow_Shape({0, 0, 0}, {std::numeric_limits<float>::infinity(), 0, 0}, shape));
}

TEST(RibbonTest, EachPairOfPointsIsAClosedOutlineAlongTheNormals) {
    BOUNDARY_LOOP loop;
    loop.Points = {{0, 0, 0, 0, 0, 1}, {10, 0, 0, 0, 1, 0}, {20, 0, 0, 0, 0, 1}};
    std::vector<Vec3> lines;
    Ribbon_Lines(loop, 10.0f, lines);
    ASSERT_EQ(lines.size(), 16u);
    const Vec3 first[8] = {{0, 0, 10},   {0, 0, -10}, {0, 0, -10}, {10, -10, 0},
                           {10, -10, 0}, {10, 10, 0}, {10, 10, 0}, {0, 0, 10}};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(lines[i], first[i]) << i;
    EXPECT_EQ(lines[8], (Vec3{10, 10, 0}));
    loop.Points.resize(1);
    Ribbon_Lines(loop, 10.0f, lines);
    EXPECT_TRUE(lines.empty());
}
