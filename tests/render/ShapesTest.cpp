// The shapes the drawing builds without GL: principal-axes box corners and the axis arrows.
#include <gtest/gtest.h>

#include <cmath>

#include "render/AxisArrows.h"
#include "render/Boxes.h"

using namespace orvex;

namespace {
float Length(const Vec3& v) {
    return std::sqrt(Dot(v, v));
}
}  // namespace

TEST(OrientedBox, CornersFollowTheirPattern) {
    const Vec3 e[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    const float extent[6] = {-1, 2, -3, 4, -5, 6};
    Vec3 k[8];
    Oriented_Box_Corners({10, 20, 30}, e, extent, k);
    const Vec3 expected[8] = {{9, 17, 25}, {12, 17, 25}, {12, 24, 25}, {9, 24, 25},
                              {9, 17, 36}, {12, 17, 36}, {12, 24, 36}, {9, 24, 36}};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(k[i], expected[i]) << "corner " << i;
    }
}

TEST(OrientedBox, TurnedAxesSpanTheExtents) {
    const float s = std::sqrt(0.5f);
    const Vec3 e[3] = {{s, s, 0}, {-s, s, 0}, {0, 0, 1}};
    const float extent[6] = {0, 4, -1, 1, 2, 3};
    Vec3 k[8];
    Oriented_Box_Corners({0, 0, 0}, e, extent, k);
    // Edges k0-k1, k0-k3, k0-k4 run along the axes with the lengths of the extents.
    EXPECT_NEAR(Length(k[1] - k[0]), 4.0f, 1e-5f);
    EXPECT_NEAR(Length(k[3] - k[0]), 2.0f, 1e-5f);
    EXPECT_NEAR(Length(k[4] - k[0]), 1.0f, 1e-5f);
    EXPECT_NEAR(Dot(k[1] - k[0], e[1]), 0.0f, 1e-5f);
    // Corner k + 4 lies over corner k.
    for (int i = 0; i < 4; ++i) {
        const Vec3 d = k[i + 4] - k[i];
        EXPECT_NEAR(d.x, 0.0f, 1e-6f);
        EXPECT_NEAR(d.y, 0.0f, 1e-6f);
        EXPECT_NEAR(d.z, 1.0f, 1e-6f);
    }
}

class AxisArrowsTest : public testing::TestWithParam<bool> {};

TEST_P(AxisArrowsTest, BallHasRadiusFour) {
    const AxisArrows& a = Axis_Arrows(GetParam());
    ASSERT_FALSE(a.ball.empty());
    ASSERT_EQ(a.ball.size() % 3, 0u);
    for (const AxisVertex& v : a.ball) EXPECT_NEAR(Length(v.position), 4.0f, 1e-4f);
}

TEST_P(AxisArrowsTest, ArrowsRunAlongTheirAxes) {
    const AxisArrows& a = Axis_Arrows(GetParam());
    for (int axis = 0; axis < 3; ++axis) {
        SCOPED_TRACE(axis);
        const auto& tris = a.arrow[axis];
        ASSERT_FALSE(tris.empty());
        ASSERT_EQ(tris.size() % 3, 0u);
        float lo = 1e9f, hi = -1e9f, widest = 0;
        for (const AxisVertex& v : tris) {
            const float along = v.position[axis];
            Vec3 radial = v.position;
            radial[axis] = 0;
            const float r = Length(radial);
            lo = std::min(lo, along), hi = std::max(hi, along), widest = std::max(widest, r);
            // Shaft of radius 1 up to 40, cone narrowing from 4 at 40 to 0 at 56.
            if (along < 40.0f - 1e-4f) {
                EXPECT_NEAR(r, 1.0f, 1e-4f);
            } else if (along > 40.0f + 1e-4f) {
                EXPECT_NEAR(r, 4.0f * (56.0f - along) / 16.0f, 1e-4f);
            }
        }
        EXPECT_NEAR(lo, 0.0f, 1e-5f);
        EXPECT_NEAR(hi, 56.0f, 1e-5f);
        EXPECT_NEAR(widest, 4.0f, 1e-4f);
    }
}

TEST_P(AxisArrowsTest, TrianglesFaceOutwardWithUnitNormals) {
    const AxisArrows& a = Axis_Arrows(GetParam());
    const std::vector<AxisVertex>* parts[4] = {&a.ball, &a.arrow[0], &a.arrow[1], &a.arrow[2]};
    for (const auto* part : parts) {
        for (std::size_t i = 0; i < part->size(); i += 3) {
            const Vec3 A = (*part)[i].position, B = (*part)[i + 1].position, C = (*part)[i + 2].position;
            const Vec3 n = Cross(B - A, C - A);
            ASSERT_GT(Length(n), 0.0f) << "degenerate triangle " << i / 3;
            for (int j = 0; j < 3; ++j) {
                const Vec3 vn = (*part)[i + j].normal;
                EXPECT_NEAR(Length(vn), 1.0f, 1e-5f);
                // Corner normals lean the same way as the winding: counter-clockwise from outside.
                EXPECT_GT(Dot(vn, n), 0.0f) << "triangle " << i / 3;
            }
        }
    }
    // Seen from outside: the ball's normals point away from its centre.
    for (const AxisVertex& v : a.ball) EXPECT_GT(Dot(v.normal, v.position), 0.0f);
}

TEST(AxisArrows, FlatIsCoarserThanSmooth) {
    EXPECT_LT(Axis_Arrows(true).ball.size(), Axis_Arrows(false).ball.size());
    EXPECT_LT(Axis_Arrows(true).arrow[0].size(), Axis_Arrows(false).arrow[0].size());
    // Flat corners of a triangle share one normal.
    const auto& t = Axis_Arrows(true).arrow[2];
    for (std::size_t i = 0; i < t.size(); i += 3) {
        EXPECT_EQ(t[i].normal, t[i + 1].normal);
        EXPECT_EQ(t[i].normal, t[i + 2].normal);
    }
}

INSTANTIATE_TEST_SUITE_P(Tessellations, AxisArrowsTest, testing::Values(true, false),
                         [](const testing::TestParamInfo<bool>& info) {
                             return info.param ? "Flat" : "Smooth";
                         });
