// Quadric-fit curvature on surfaces whose curvature is known.

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "analysis/Curvature.h"
#include "geometry/LinearAlgebra.h"
#include "mesh/Topology.h"
#include "tests/support/TestMeshes.h"

namespace orvex {
namespace {

using test::Finish_Mesh;

// Open cylinder of radius R about the z axis, `around` segments by `along` rows of height h.
void Make_Cylinder(UniOb& mesh, float R, int around, int along, float h) {
    const int V = around * (along + 1);
    mesh.AllocFaces(2 * around * along);
    mesh.AllocVertices(V);
    for (int j = 0; j <= along; ++j) {
        for (int i = 0; i < around; ++i) {
            const double a = 2 * M_PI * i / around;
            mesh.Vertex_Pos[i + around * j] = {float(R * std::cos(a)), float(R * std::sin(a)), j * h};
        }
    }
    int f = 0;
    for (int j = 0; j < along; ++j) {
        for (int i = 0; i < around; ++i) {
            const int a = i + around * j, b = (i + 1) % around + around * j;
            mesh.Face_Index[f++] = {a, b, b + around};
            mesh.Face_Index[f++] = {a, b + around, a + around};
        }
    }
}

TEST(QuadricCurvature, SphereGivesHalfTheInverseRadius) {
    // Also a sphere of a millimetre in metres: its faces are far below 1e-6 square units.
    for (const float R : {10.0f, 1e-3f}) {
        UniOb mesh;
        test::Make_Sphere(mesh, R, 4, Vec3{3, -2, 7} * (R / 10));
        Finish_Mesh(mesh);
        // The fit has no linear terms, so the uneven rings of the icosphere bias it by up to 2.5 %.
        for (unsigned v = 0; v < mesh.Vertex_Count; ++v) {
            ASSERT_NEAR(mesh.Curvature_Max[v], 1 / (2 * R), 0.03 / (2 * R)) << R << " " << v;
            ASSERT_NEAR(mesh.Curvature_Min[v], 1 / (2 * R), 0.03 / (2 * R)) << R << " " << v;
            ASSERT_GE(mesh.Curvature_Max[v], mesh.Curvature_Min[v]);
        }
    }
}

TEST(QuadricCurvature, ReversedSphereFlipsSignAndSwapsTheTwoValues) {
    const float R = 4.0f;
    UniOb mesh;
    test::Make_Sphere(mesh, R, 3);
    Finish_Mesh(mesh);
    const std::vector<float> kMax = mesh.Curvature_Max, kMin = mesh.Curvature_Min;
    test::Reverse_Orientation(mesh);
    for (unsigned v = 0; v < mesh.Vertex_Count; ++v) {
        ASSERT_NEAR(mesh.Curvature_Max[v], -kMin[v], 1e-3 * kMax[v]) << v;
        ASSERT_NEAR(mesh.Curvature_Min[v], -kMax[v], 1e-3 * kMax[v]) << v;
        ASSERT_LT(mesh.Curvature_Max[v], 0.0f);
    }
}

TEST(QuadricCurvature, CylinderBendsAcrossButNotAlong) {
    const float R = 5.0f;
    UniOb mesh;
    Make_Cylinder(mesh, R, 64, 12, 0.5f);
    Finish_Mesh(mesh);
    for (int j = 2; j <= 10; ++j) {
        for (int i = 0; i < 64; ++i) {
            const int v = i + 64 * j;
            ASSERT_EQ(mesh.Vertex_Label[v], 0);
            ASSERT_NEAR(mesh.Curvature_Max[v], 1 / (2 * R), 0.02 / (2 * R)) << v;
            ASSERT_NEAR(mesh.Curvature_Min[v], 0.0f, 1e-3 / R) << v;
        }
    }
}

TEST(QuadricCurvature, FlatPatchIsZeroInsideAndOnTheRim) {
    UniOb mesh;
    test::Make_Grid(mesh, 6, 0.3f);
    // Tilt the patch out of the coordinate planes.
    for (Vec3& p : mesh.Vertex_Pos) p = {p.x, 0.6f * p.y, 0.8f * p.y + 0.5f * p.x + 2};
    Finish_Mesh(mesh);
    for (unsigned v = 0; v < mesh.Vertex_Count; ++v) {
        EXPECT_NEAR(mesh.Curvature_Max[v], 0.0f, 1e-5) << v;
        EXPECT_NEAR(mesh.Curvature_Min[v], 0.0f, 1e-5) << v;
    }
}

TEST(QuadricCurvature, VerticesOnOrNextToTheRimShowZero) {
    UniOb mesh;
    test::Make_Sphere(mesh, 3.0f, 3);
    mesh.Face_Count -= 5;  // open a hole
    mesh.Face_Index.resize(mesh.Face_Count);
    mesh.Face_Normal.resize(mesh.Face_Count);
    Finish_Mesh(mesh);
    int rim = 0;
    for (unsigned v = 0; v < mesh.Vertex_Count; ++v) {
        if (mesh.Vertex_Label[v] < 0) {
            ++rim;
            EXPECT_EQ(mesh.Curvature_Max[v], 0.0f);
            EXPECT_EQ(mesh.Curvature_Min[v], 0.0f);
        } else {
            EXPECT_GT(mesh.Curvature_Max[v], 0.1f);
        }
    }
    EXPECT_GT(rim, 5);
}

TEST(QuadricCurvature, RecomputingWipesRegionNumbersAndAllocatesWhatIsMissing) {
    UniOb mesh;
    test::Make_Sphere(mesh, 1.0f, 1);
    Finish_Mesh(mesh);
    mesh.Vertex_Label[3] = 4;
    mesh.FreeCurvature();
    ComputeCurvature(mesh);
    EXPECT_EQ(mesh.Vertex_Label[3], 0);
    ASSERT_EQ(mesh.Curvature_Max.size(), mesh.Vertex_Count);
    EXPECT_GT(mesh.Curvature_Max[3], 0.0f);
}

// The fit solves its 3 x 3 system with its own unrolled elimination: it must give what the general
// Gauss_Solve gives, bit for bit, whichever rows the pivoting picks (noise varies them) and on
// the singular and cancelling systems of flat and one-sided rings.
TEST(QuadricCurvature, FitEqualsTheGeneralSolverBitForBit) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> jitter(-0.05f, 0.05f);
    for (int shape = 0; shape < 6; ++shape) {
        UniOb m;
        if (shape % 3 == 0) test::Make_Sphere(m, 3.0f, 3);
        if (shape % 3 == 1) Make_Cylinder(m, 2.0f, 24, 6, 0.5f);
        if (shape % 3 == 2) test::Make_Grid(m, 12);
        if (shape >= 3)  // the exact shapes first: symmetric rings cancel and tie in the pivoting
            for (Vec3& p : m.Vertex_Pos)
                p += Vec3{jitter(random), jitter(random), shape == 5 ? 0.0f : jitter(random)};
        Finish_Mesh(m);
        ComputeCurvature(m);
        for (unsigned v = 0; v < m.Vertex_Count; ++v) {
            float expectMax = 0.0f, expectMin = 0.0f;
            if (m.Vertex_Label[v] >= 0) {
                const Vec3 n = m.Vertex_Normal[v], p = m.Vertex_Pos[v];
                Vec3 e1, e2;
                Tangent_Frame(n, e1, e2);
                float sys[12] = {};
                for (const int* u = m.Vertex_Ring.Begin(v); u != m.Vertex_Ring.End(v); ++u) {
                    const Vec3 d = m.Vertex_Pos[*u] - p;
                    const float x = Dot(d, e1), y = Dot(d, e2), h = -Dot(d, n);
                    const float q[3] = {x * x, 2.0f * x * y, y * y};
                    for (int r = 0; r < 3; ++r) {
                        for (int c = r; c < 3; ++c) sys[4 * r + c] += q[r] * q[c];
                        sys[4 * r + 3] += q[r] * h;
                    }
                }
                sys[4] = sys[1], sys[8] = sys[2], sys[9] = sys[6];
                if (Gauss_Solve(3, sys)) {
                    const float a = sys[3], b = sys[7], c = sys[11];
                    const float disc = (a + c) * (a + c) - 4.0f * (a * c - b * b);
                    const float s = disc > 1e-8f ? std::sqrt(disc) : 0.0f;
                    expectMax = ((a + c) + s) * 0.5f, expectMin = ((a + c) - s) * 0.5f;
                    if (!std::isfinite(expectMax) || !std::isfinite(expectMin)) expectMax = expectMin = 0.0f;
                }
            }
            ASSERT_EQ(m.Curvature_Max[v], expectMax) << shape << " " << v;
            ASSERT_EQ(m.Curvature_Min[v], expectMin) << shape << " " << v;
        }
    }
}

// ---- degenerate inputs ----

TEST(DegenerateCurvature, SingularFitsGiveZero) {
    // Two sheets glued back to back: closed, but every ring has only two entries.
    UniOb mesh;
    mesh.AllocFaces(2);
    mesh.AllocVertices(4);
    mesh.Vertex_Pos = {{0, 0, 0}, {1, 0, 0.2f}, {0, 1, 0.3f}, {5, 5, 5}};
    mesh.Face_Index = {{0, 1, 2}, {0, 2, 1}};
    Compute_Face_Normals(mesh);
    Compute_Vertex_Normals(mesh, true);
    ComputeCurvature(mesh);
    for (unsigned v = 0; v < 4; ++v) {
        EXPECT_EQ(mesh.Vertex_Label[v], 0);
        EXPECT_EQ(mesh.Curvature_Max[v], 0.0f) << v;
        EXPECT_EQ(mesh.Curvature_Min[v], 0.0f) << v;
    }
}

TEST(DegenerateCurvature, EmptyMeshIsLeftAlone) {
    UniOb mesh;
    mesh.AllocVertices(3);
    ComputeCurvature(mesh);
    EXPECT_FALSE(mesh.HasCurvature());
    EXPECT_FALSE(mesh.Vertex_Ring.IsBuilt());
}

}  // namespace
}  // namespace orvex
