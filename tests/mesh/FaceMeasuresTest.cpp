// The wide per-face measures against the scalar routines they stand in for, bit for bit, on
// triangles from the common case to every way off it.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "geometry/Vec3.h"
#include "mesh/FaceMeasures.h"
#include "mesh/Topology.h"

namespace orvex {
namespace {

double Signed_Sixth(const Vec3& A, const Vec3& B, const Vec3& C, const Vec3& n) {
    const double bc[3] = {double(B.y) * C.z - double(B.z) * C.y, double(B.z) * C.x - double(B.x) * C.z,
                          double(B.x) * C.y - double(B.y) * C.x};
    double triple = A.x * bc[0] + A.y * bc[1] + A.z * bc[2];
    if (triple < 0) triple = -triple;  // a negative zero stays, as in Compute_Volume
    const double facing = double(A.x) * n.x + double(A.y) * n.y + double(A.z) * n.z;
    return facing >= 0 ? triple / 6.0 : -(triple / 6.0);
}

bool Same(const void* a, const void* b, std::size_t bytes) {
    return std::memcmp(a, b, bytes) == 0;
}

// Triangles of every kind, at scales from 1e-20 to 1e19, each with its corners in a rotated order.
void Make_Triangles(UniOb& mesh, unsigned faces, std::uint64_t seed) {
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    auto point = [&] { return Vec3{u(rng), u(rng), u(rng)}; };
    mesh.Vertex_Count = 3 * faces;
    mesh.Face_Count = faces;
    mesh.Vertex_Pos.resize(3 * faces);
    mesh.Face_Index.resize(faces);
    mesh.Face_Normal.resize(faces);
    for (unsigned f = 0; f < faces; ++f) {
        Vec3 A = point(), B = point(), C = point();
        switch (rng() % 12) {
            case 1:
                C = A + (B - A) * u(rng);
                break;  // collinear
            case 2:
                C = A + point() * 1e-7f;
                break;  // needle
            case 3:
                B = A;
                break;  // two corners in one
            case 4:
                C = B + point() * 1e-4f;
                break;  // nearly a needle
            case 5:
                A.x = NAN;
                break;
            case 6:
                B.y = INFINITY;
                break;
            case 7:
                C = A + (B - A) * 0.5f + Vec3{0, 0, 1e-6f};
                break;  // all but flat
            case 8: {   // small, far from the origin
                const Vec3 o = point() * 1000.0f;
                A = A * 0.01f + o, B = B * 0.01f + o, C = C * 0.01f + o;
                break;
            }
            default:
                break;
        }
        const float scale = f % 7 == 0 ? 1e19f : std::pow(10.0f, float(int(f % 40) - 20));
        mesh.Vertex_Pos[3 * f] = A * scale;
        mesh.Vertex_Pos[3 * f + 1] = B * scale;
        mesh.Vertex_Pos[3 * f + 2] = C * scale;
        const int r = int(f % 3);
        mesh.Face_Index[f] = {int(3 * f + r), int(3 * f + (r + 1) % 3), int(3 * f + (r + 2) % 3)};
    }
}

TEST(FaceMeasures, WideLanesGiveTheBitsOfTheScalarRoutines) {
    UniOb mesh;
    const unsigned F = 120003;  // not a multiple of the lane count
    Make_Triangles(mesh, F, 7);
    std::vector<float> areas(F), angles(3 * F), weights(F, -1.0f);
    std::vector<double> tetra(F), triple(F, -1.0);
    // Ranges that start and end off the lane grid, as the thread ranges do.
    Face_Measures(mesh, 0, 5, areas.data(), angles.data(), tetra.data());
    Face_Measures(mesh, 5, F, areas.data(), angles.data(), tetra.data());
    Triple_Products(mesh, 1, F, triple.data());
    Weight_Areas(mesh, 3, F, weights.data());
    EXPECT_EQ(triple[0], -1.0);
    EXPECT_EQ(weights[2], -1.0f);

    int mismatches = 0;
    for (unsigned f = 0; f < F && mismatches < 5; ++f) {
        const FaceIndex& t = mesh.Face_Index[f];
        const Vec3 &A = mesh.Vertex_Pos[t[0]], &B = mesh.Vertex_Pos[t[1]], &C = mesh.Vertex_Pos[t[2]];
        Vec3 normal;
        const float area = Facet_Normal_Area(normal, A, B, C);
        float angle[3];
        Triangle_Angles(A, B, C, angle);
        const double sixth = Signed_Sixth(A, B, C, normal);
        const double product = A.x * (double(B.y) * C.z - double(B.z) * C.y) +
                               A.y * (double(B.z) * C.x - double(B.x) * C.z) +
                               A.z * (double(B.x) * C.y - double(B.y) * C.x);
        const double ux = double(B.x) - A.x, uy = double(B.y) - A.y, uz = double(B.z) - A.z;
        const double vx = double(C.x) - A.x, vy = double(C.y) - A.y, vz = double(C.z) - A.z;
        const double nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
        const float weight = float(0.5 * std::sqrt(nx * nx + ny * ny + nz * nz));

        const bool same = Same(&normal, &mesh.Face_Normal[f], sizeof normal) && Same(&area, &areas[f], 4) &&
                          Same(angle, &angles[3 * f], sizeof angle) && Same(&sixth, &tetra[f], 8) &&
                          (f < 1 || Same(&product, &triple[f], 8)) &&
                          (f < 3 || Same(&weight, &weights[f], 4));
        if (!same) {
            ++mismatches;
            ADD_FAILURE() << "face " << f << " (" << A.x << ", " << A.y << ", " << A.z << ") (" << B.x << ", "
                          << B.y << ", " << B.z << ") (" << C.x << ", " << C.y << ", " << C.z << ")";
        }
    }
}

// The read's second thread measures facets from their corners as read: the same bits as the sweep
// over the merged mesh, which takes over the faces it measured.
TEST(FaceMeasures, CornersAsReadGiveTheBitsOfTheMeshSweep) {
    UniOb mesh;
    const unsigned F = 40001;
    Make_Triangles(mesh, F, 11);
    std::vector<float> areas(F), angles(3 * F);
    std::vector<double> tetra(F);
    Face_Measures(mesh, 0, F, areas.data(), angles.data(), tetra.data());

    std::vector<Vec3> corners(3 * std::size_t(F)), normals(F);
    for (unsigned f = 0; f < F; ++f)
        for (int c = 0; c < 3; ++c) corners[3 * f + c] = mesh.Vertex_Pos[mesh.Face_Index[f][c]];
    std::vector<float> areas2(F), angles2(3 * F);
    std::vector<double> tetra2(F);
    Corner_Measures(corners.data(), 3, normals.data(), areas2.data(), angles2.data(), tetra2.data());
    Corner_Measures(corners.data() + 9, F - 3, normals.data() + 3, areas2.data() + 3, angles2.data() + 9,
                    tetra2.data() + 3);
    EXPECT_TRUE(Same(normals.data(), mesh.Face_Normal.data(), F * sizeof(Vec3)));
    EXPECT_TRUE(Same(areas2.data(), areas.data(), F * sizeof(float)));
    EXPECT_TRUE(Same(angles2.data(), angles.data(), 3 * F * sizeof(float)));
    EXPECT_TRUE(Same(tetra2.data(), tetra.data(), F * sizeof(double)));
}

TEST(FaceMeasures, VertexRangesGiveTheNormalsOfOneSweep) {
    // Faces in no vertex order, some with a corner twice, a vertex in none, and pairs of faces
    // whose normals cancel: each range must add its vertices' terms in face order as one sweep does.
    std::mt19937_64 rng(11);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    UniOb mesh;
    const unsigned V = 1000, F = 5000;
    mesh.Vertex_Count = V;
    mesh.Face_Count = F;
    mesh.Vertex_Pos.resize(V);
    mesh.Vertex_Normal.resize(V);
    mesh.Face_Index.resize(F);
    mesh.Face_Normal.resize(F);
    std::vector<float> angles(3 * F);
    for (unsigned f = 0; f < F; ++f) {
        const int a = int(rng() % (V - 1)), b = f % 9 == 0 ? a : int(rng() % (V - 1)),
                  c = int(rng() % (V - 1));
        mesh.Face_Index[f] = {a, b, c};
        Vec3 n{u(rng), u(rng), u(rng)};
        Vec3_Normalize(n);
        mesh.Face_Normal[f] = n;
        for (int j = 0; j < 3; ++j) angles[3 * f + j] = 1.0f + u(rng);
        if (f % 50 == 1) {  // the face before, turned round, with the same angles
            mesh.Face_Index[f] = mesh.Face_Index[f - 1];
            mesh.Face_Normal[f] = Vec3{} - mesh.Face_Normal[f - 1];
            for (int j = 0; j < 3; ++j) angles[3 * f + j] = angles[3 * (f - 1) + j];
        }
    }
    Vertex_Normals_From_Angles(mesh, angles.data());
    const std::vector<Vec3> sweep = mesh.Vertex_Normal;
    for (Vec3& n : mesh.Vertex_Normal) n = Vec3{7, 7, 7};
    Vertex_Normals_Of_Range(mesh, angles.data(), 0, 1);
    Vertex_Normals_Of_Range(mesh, angles.data(), 1, 333);
    Vertex_Normals_Of_Range(mesh, angles.data(), 333, 998);
    Vertex_Normals_Of_Range(mesh, angles.data(), 998, V);
    EXPECT_TRUE(Same(sweep.data(), mesh.Vertex_Normal.data(), V * sizeof(Vec3)));
    EXPECT_EQ(mesh.Vertex_Normal[V - 1], Vec3{});  // in no face
}

}  // namespace
}  // namespace orvex
