// The principal-axes box on boxes whose axes are known.

#include <gtest/gtest.h>

#include <cmath>

#include "analysis/PrincipalAxes.h"
#include "geometry/Matrix4.h"
#include "tests/support/TestMeshes.h"

namespace orvex {
namespace {

// The coordinate axis (0, 1, 2) that `axis` lies along up to sign, or -1.
int AxisAlong(const Vec3& axis) {
    for (int k = 0; k < 3; ++k)
        if (std::abs(std::abs(axis[k]) - 1.0f) < 1e-5f) return k;
    return -1;
}

TEST(PrincipalAxes, BoxWithThreeSidesIsMeasuredAlongItsEdges) {
    const Vec3 size{6, 4, 2};
    for (Vec3 centre : {Vec3{0, 0, 0}, Vec3{100, -40, 7}}) {
        SCOPED_TRACE(centre.x);
        UniOb mesh;
        test::Make_Box(mesh, size, centre);
        test::Finish_Mesh(mesh);
        PrincipalAxesBox(mesh);
        bool seen[3] = {false, false, false};
        for (int k = 0; k < 3; ++k) {
            const int along = AxisAlong(mesh.Principal_Axes[k]);
            ASSERT_GE(along, 0) << k;
            seen[along] = true;
            EXPECT_NEAR(mesh.Axes_Extent[2 * k], -size[along] / 2, 1e-3);
            EXPECT_NEAR(mesh.Axes_Extent[2 * k + 1], size[along] / 2, 1e-3);
        }
        EXPECT_TRUE(seen[0] && seen[1] && seen[2]);
    }
}

TEST(PrincipalAxes, AxesTurnWithTheMeshAndNotWithItsPlace) {
    UniOb mesh;
    test::Make_Box(mesh, {5, 3, 1}, {20, 30, -10});
    Matrix4 R;
    Mat4_Rotation({0.48f, 0.6f, 0.64f}, 0.7f, R);
    for (Vec3& p : mesh.Vertex_Pos) Mat4_TransformVector(R, p);
    test::Finish_Mesh(mesh);
    PrincipalAxesBox(mesh);
    const Vec3 edges[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    const float sides[3] = {5, 3, 1};
    for (int k = 0; k < 3; ++k) {
        int matched = 0;
        for (int e = 0; e < 3; ++e) {
            Vec3 turned = edges[e];
            Mat4_TransformVector(R, turned);
            if (std::abs(std::abs(Dot(turned, mesh.Principal_Axes[k])) - 1.0f) < 1e-4f) {
                ++matched;
                EXPECT_NEAR(mesh.Axes_Extent[2 * k + 1] - mesh.Axes_Extent[2 * k], sides[e], 1e-3);
            }
        }
        EXPECT_EQ(matched, 1) << k;
    }
}

TEST(PrincipalAxes, EmptyMeshKeepsItsAxes) {
    UniOb mesh;
    mesh.AllocVertices(4);
    mesh.Axes_Extent[3] = 2.5f;
    PrincipalAxesBox(mesh);
    EXPECT_EQ(mesh.Axes_Extent[3], 2.5f);
    EXPECT_EQ(mesh.Principal_Axes[0], (Vec3{}));
}

TEST(PrincipalAxes, AllFacesCollapsedStillGivesFiniteAxes) {
    UniOb mesh;
    test::Make_Tetrahedron(mesh);
    for (Vec3& p : mesh.Vertex_Pos) p = {1, 2, 3};
    test::Finish_Mesh(mesh);
    PrincipalAxesBox(mesh);
    for (int k = 0; k < 3; ++k) {
        EXPECT_TRUE(std::isfinite(mesh.Principal_Axes[k].x));
        EXPECT_TRUE(std::isfinite(mesh.Axes_Extent[2 * k]));
    }
}

}  // namespace
}  // namespace orvex
