// Normals, one-ring lists, boundary labels, box, volume, area and centroid on meshes known by hand.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <new>
#include <random>
#include <thread>
#include <vector>

#include "mesh/ThreadRanges.h"
#include "mesh/Topology.h"
#include "tests/support/TestMeshes.h"

namespace orvex {
namespace {

using test::Finish_Mesh;

std::vector<int> RingOf(const UniOb& mesh, int v) {
    return {mesh.Vertex_Ring.Begin(v), mesh.Vertex_Ring.End(v)};
}

void FromFaces(UniOb& mesh, unsigned vertexCount, const std::vector<FaceIndex>& faces) {
    mesh.AllocFaces(static_cast<unsigned>(faces.size()));
    mesh.AllocVertices(vertexCount);
    for (unsigned v = 0; v < vertexCount; ++v)
        mesh.Vertex_Pos[v] = {float(v), float(v * v % 7), float(v % 3)};
    std::copy(faces.begin(), faces.end(), mesh.Face_Index.begin());
}

// The boundary test walked as linked lists would walk it, deletion by deletion.
std::vector<int> ReferenceLabels(const UniOb& mesh) {
    const unsigned V = mesh.Vertex_Count;
    std::vector<std::vector<int>> lists(V);
    for (const FaceIndex& f : mesh.Face_Index)
        for (int j = 0; j < 3; ++j) lists[f[j]].insert(lists[f[j]].begin(), f[(j + 1) % 3]);
    const std::vector<std::vector<int>> ring = lists;
    for (unsigned v = 0; v < V; ++v) {
        std::vector<int>& own = lists[v];
        for (std::size_t i = 0; i < own.size();) {
            const int w = own[i];
            if (w == int(v)) {
                own.erase(own.begin() + i);
                continue;
            }
            auto partner = std::find(lists[w].begin(), lists[w].end(), int(v));
            if (partner != lists[w].end()) {
                lists[w].erase(partner);
                own.erase(own.begin() + i);
            } else {
                ++i;
            }
        }
    }
    std::vector<int> label(V);
    for (unsigned v = 0; v < V; ++v) label[v] = lists[v].empty() ? 0 : -2;
    for (unsigned v = 0; v < V; ++v)
        if (label[v] == -2)
            for (int w : ring[v])
                if (label[w] != -2) label[w] = -1;
    return label;
}

int CountLabel(const UniOb& mesh, int value) {
    return int(std::count(mesh.Vertex_Label.begin(), mesh.Vertex_Label.end(), value));
}

// ---- closed meshes ----

TEST(ClosedMeshes, TetrahedronAnywhereHasExactVolumeAndCentroid) {
    for (Vec3 origin : {Vec3{0, 0, 0}, Vec3{100, -50, 30}, Vec3{-2000, 1500, 4000}}) {
        SCOPED_TRACE(origin.x);
        UniOb mesh;
        test::Make_Tetrahedron(mesh, origin, 3.0f);
        Finish_Mesh(mesh);
        for (unsigned v = 0; v < 4; ++v) {
            EXPECT_EQ(mesh.Vertex_Label[v], 0);
            EXPECT_EQ(mesh.Vertex_Ring.Size(v), 3u);
        }
        EXPECT_NEAR(mesh.Volume, 27.0 / 6.0, 1e-5 * 27.0 / 6.0);
        EXPECT_NEAR(mesh.Area, 3 * 4.5 + std::sqrt(3.0) / 4 * 18, 1e-4);
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(mesh.Volume_Centroid[k], origin[k] + 0.75f, 1e-3) << k;
    }
}

TEST(ClosedMeshes, RingListsHoldTheFollowingCornerMostRecentFaceFirst) {
    UniOb mesh;
    test::Make_Tetrahedron(mesh);  // faces (0 2 1) (0 1 3) (0 3 2) (1 2 3)
    Finish_Mesh(mesh);
    EXPECT_EQ(RingOf(mesh, 0), (std::vector<int>{3, 1, 2}));
    EXPECT_EQ(RingOf(mesh, 1), (std::vector<int>{2, 3, 0}));
    EXPECT_EQ(RingOf(mesh, 2), (std::vector<int>{3, 0, 1}));
    EXPECT_EQ(RingOf(mesh, 3), (std::vector<int>{1, 2, 0}));
}

TEST(ClosedMeshes, CubeStatistics) {
    UniOb mesh;
    test::Make_Cube(mesh);
    Finish_Mesh(mesh);
    EXPECT_EQ(mesh.Face_Count, 12u);
    EXPECT_EQ(mesh.Vertex_Count, 8u);
    EXPECT_FLOAT_EQ(mesh.Area, 24.0f);
    EXPECT_FLOAT_EQ(mesh.Volume, 8.0f);
    EXPECT_EQ(CountLabel(mesh, 0), 8);
    for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR(mesh.Volume_Centroid[k], 0.0f, 1e-6);
        EXPECT_EQ(mesh.Box_Min[k], -1.0f);
        EXPECT_EQ(mesh.Box_Max[k], 1.0f);
    }
}

TEST(ClosedMeshes, VertexNormalsWeighFacesByTheirCornerAngleOrNot) {
    UniOb mesh;
    test::Make_Tetrahedron(mesh);
    Finish_Mesh(mesh);
    // Vertex 1 = (1, 0, 0): faces -z and -y with 45 degree corners, the slanted face with 60.
    const float s = 1.0f / std::sqrt(3.0f);
    const float q = 3.14159265f / 4, t = 3.14159265f / 3;
    Vec3 weighted{t * s, t * s - q, t * s - q};
    Vec3_Normalize(weighted);
    Vec3 plain{s, s - 1, s - 1};
    Vec3_Normalize(plain);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(mesh.Vertex_Normal[1][k], weighted[k], 1e-6) << k;
    Compute_Vertex_Normals(mesh, false);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(mesh.Vertex_Normal[1][k], plain[k], 1e-6) << k;
}

TEST(ClosedMeshes, LargeMeshHasTheSameBitsOverThreadsAsInOneSweep) {
    // The main thread splits the per-face work over threads and sums in face order; a worker
    // thread does all of it in one sweep.
    UniOb split, whole;
    for (UniOb* mesh : {&split, &whole}) {
        test::Make_Sphere(*mesh, 10.0f, 7, Vec3{3, -2, 1});
        std::mt19937 random(5);
        std::uniform_real_distribution<float> jitter(-0.02f, 0.02f);
        for (Vec3& p : mesh->Vertex_Pos) p += Vec3{jitter(random), jitter(random), jitter(random)};
    }
    ASSERT_GE(split.Face_Count, 65536u);
    auto measure = [](UniOb& mesh) {
        Compute_Face_Normals(mesh);
        Compute_Vertex_Normals(mesh, true);
        Compute_Volume(mesh);
    };
    measure(split);
    std::thread worker([&] { measure(whole); });
    worker.join();
    auto same = [](const std::vector<Vec3>& a, const std::vector<Vec3>& b) {
        return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(Vec3)) == 0;
    };
    EXPECT_TRUE(same(split.Face_Normal, whole.Face_Normal));
    EXPECT_TRUE(same(split.Vertex_Normal, whole.Vertex_Normal));
    EXPECT_EQ(split.Volume, whole.Volume);
    EXPECT_EQ(split.Area, whole.Area);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(split.Volume_Centroid[k], whole.Volume_Centroid[k]) << k;
    Compute_Vertex_Normals(split, false);
    std::thread plain([&] { Compute_Vertex_Normals(whole, false); });
    plain.join();
    EXPECT_TRUE(same(split.Vertex_Normal, whole.Vertex_Normal));
}

TEST(ClosedMeshes, InwardMeshHasNegativeVolumeAndKeepsTheRawCentroidSums) {
    UniOb mesh;
    test::Make_Box(mesh, {2, 2, 2}, {1, 2, 3});
    test::Reverse_Orientation(mesh);
    EXPECT_FLOAT_EQ(mesh.Volume, -8.0f);
    // Raw sums of h (A + B + C): minus four times volume times centre.
    EXPECT_NEAR(mesh.Volume_Centroid.x, -32.0f, 1e-4);
    EXPECT_NEAR(mesh.Volume_Centroid.y, -64.0f, 1e-4);
    EXPECT_NEAR(mesh.Volume_Centroid.z, -96.0f, 1e-4);
}

TEST(ClosedMeshes, HighDegreeVerticesCloseUp) {
    // A double cone of 5000 sides: two apexes of degree 5000, every edge shared once each way.
    const int n = 5000;
    std::vector<FaceIndex> faces;
    for (int i = 0; i < n; ++i) {
        const int a = i, b = (i + 1) % n;
        faces.push_back({n, a, b});
        faces.push_back({n + 1, b, a});
    }
    UniOb mesh;
    FromFaces(mesh, n + 2, faces);
    Build_Rings(mesh);
    EXPECT_EQ(CountLabel(mesh, 0), n + 2);
    EXPECT_EQ(mesh.Vertex_Ring.Size(n), unsigned(n));

    faces.pop_back();
    FromFaces(mesh, n + 2, faces);
    Build_Rings(mesh);
    EXPECT_EQ(mesh.Vertex_Label[n + 1], -2);
    EXPECT_EQ(mesh.Vertex_Label[0], -2);
    EXPECT_EQ(mesh.Vertex_Label[n - 1], -2);
    EXPECT_EQ(mesh.Vertex_Label[n], -1);
    EXPECT_EQ(CountLabel(mesh, -2), 3);
    EXPECT_EQ(ReferenceLabels(mesh), mesh.Vertex_Label);
}

// ---- scale: the same shape measures the same however small or far ----

TEST(ScaledMeshes, SphereOfAMillimetreHasTheMeasuresOfAScaledSphere) {
    UniOb unit, tiny;
    test::Make_Sphere(unit, 1.0f, 3);
    test::Make_Sphere(tiny, 1e-3f, 3);
    Finish_Mesh(unit);
    Finish_Mesh(tiny);
    EXPECT_NEAR(tiny.Area / unit.Area, 1e-6, 1e-12);
    EXPECT_NEAR(tiny.Volume / unit.Volume, 1e-9, 1e-15);
    for (unsigned f = 0; f < tiny.Face_Count; ++f)
        for (int k = 0; k < 3; ++k) ASSERT_NEAR(tiny.Face_Normal[f][k], unit.Face_Normal[f][k], 1e-5) << f;
    for (unsigned v = 0; v < tiny.Vertex_Count; ++v)
        for (int k = 0; k < 3; ++k)
            ASSERT_NEAR(tiny.Vertex_Normal[v][k], unit.Vertex_Normal[v][k], 1e-5) << v;
}

TEST(ScaledMeshes, TetrahedronNearTheFloatLimitHasAPositiveVolume) {
    // Its edges and normals overflow in float; the enclosed volume still fits one.
    UniOb mesh;
    mesh.AllocFaces(4);
    mesh.AllocVertices(4);
    mesh.Vertex_Pos = {{0, 0, 0}, {2.5e38f, 0, 0}, {0, 2.5e38f, 0}, {0, 0, 2e-38f}};
    mesh.Face_Index = {{0, 2, 1}, {0, 1, 3}, {0, 3, 2}, {1, 2, 3}};
    Finish_Mesh(mesh);
    const double volume = 2.5e38 * 2.5e38 * 2e-38 / 6;
    EXPECT_NEAR(mesh.Volume / volume, 1.0, 1e-5);
    EXPECT_NEAR(mesh.Volume_Centroid.x / 6.25e37, 1.0, 1e-5);
    EXPECT_NEAR(mesh.Volume_Centroid.y / 6.25e37, 1.0, 1e-5);
    EXPECT_NEAR(mesh.Volume_Centroid.z / 5e-39, 1.0, 1e-5);
    EXPECT_NEAR(mesh.Face_Normal[0].z, -1.0f, 1e-6);
    EXPECT_NEAR(mesh.Face_Normal[3].z, 1.0f, 1e-6);

    // Corner angles too overflow in float there: the vertex normals still come out unit.
    UniOb far;
    test::Make_Tetrahedron(far, {3e38f, 3e38f, 3e38f}, 1e32f);
    Finish_Mesh(far);
    EXPECT_NEAR(far.Vertex_Normal[0].x, -1 / std::sqrt(3.0f), 1e-6);
    for (const Vec3& n : far.Vertex_Normal) EXPECT_NEAR(Dot(n, n), 1.0f, 1e-6);
}

TEST(ScaledMeshes, FacesFoldedBackOnEachOtherLeaveNoVertexNormal) {
    UniOb mesh;
    mesh.AllocFaces(2);
    mesh.AllocVertices(3);
    mesh.Vertex_Pos = {{0, 0, 0}, {1e-4f, 0, 2e-5f}, {0, 1e-4f, 3e-5f}};
    mesh.Face_Index = {{0, 1, 2}, {0, 2, 1}};
    Compute_Face_Normals(mesh);
    Compute_Vertex_Normals(mesh, true);
    for (unsigned v = 0; v < 3; ++v) EXPECT_EQ(mesh.Vertex_Normal[v], (Vec3{0, 0, 0})) << v;
    Compute_Vertex_Normals(mesh, false);
    for (unsigned v = 0; v < 3; ++v) EXPECT_EQ(mesh.Vertex_Normal[v], (Vec3{0, 0, 0})) << v;
}

// ---- open and irregular meshes ----

TEST(OpenMeshes, SingleTriangleIsAllBoundary) {
    UniOb mesh;
    test::Make_Triangle(mesh);
    Finish_Mesh(mesh);
    for (unsigned v = 0; v < 3; ++v) {
        EXPECT_EQ(mesh.Vertex_Label[v], -2);
        EXPECT_EQ(mesh.Vertex_Ring.Size(v), 1u);
    }
    EXPECT_EQ(RingOf(mesh, 0), std::vector<int>{1});
    EXPECT_FLOAT_EQ(mesh.Area, 0.5f);
}

TEST(OpenMeshes, SquareHasFourBoundaryCornersAndNoNeighbours) {
    UniOb mesh;
    test::Make_Square(mesh);
    Finish_Mesh(mesh);
    EXPECT_EQ(CountLabel(mesh, -2), 4);
    EXPECT_EQ(CountLabel(mesh, -1), 0);
    EXPECT_FLOAT_EQ(mesh.Area, 1.0f);
}

TEST(OpenMeshes, GridOfThreeByThreeHasTwelveBoundaryAndFourNeighbourVertices) {
    UniOb mesh;
    test::Make_Grid(mesh, 3);
    Finish_Mesh(mesh);
    EXPECT_EQ(mesh.Vertex_Count, 16u);
    for (int j = 0; j < 4; ++j) {
        for (int i = 0; i < 4; ++i) {
            const bool outer = i == 0 || j == 0 || i == 3 || j == 3;
            EXPECT_EQ(mesh.Vertex_Label[i + 4 * j], outer ? -2 : -1) << i << "," << j;
        }
    }
    EXPECT_FLOAT_EQ(mesh.Area, 9.0f);
}

TEST(OpenMeshes, InvertedFaceMarksTheVerticesOfItsEdges) {
    UniOb mesh;
    test::Make_Sphere(mesh, 1.0f, 1);
    std::swap(mesh.Face_Index[7][1], mesh.Face_Index[7][2]);
    Finish_Mesh(mesh);
    const FaceIndex f = mesh.Face_Index[7];
    for (int v : f) EXPECT_EQ(mesh.Vertex_Label[v], -2);
    EXPECT_EQ(CountLabel(mesh, -2), 3);
    EXPECT_EQ(ReferenceLabels(mesh), mesh.Vertex_Label);
}

TEST(OpenMeshes, BoxFindsExtremesAtAnyVertex) {
    UniOb mesh;
    FromFaces(mesh, 12, {{0, 1, 2}});
    for (unsigned v = 0; v < 12; ++v) mesh.Vertex_Pos[v] = {0, 0, 0};
    mesh.Vertex_Pos[1].x = -4;
    mesh.Vertex_Pos[4].y = 9;
    mesh.Vertex_Pos[7].z = -2;
    mesh.Vertex_Pos[10].x = 3;
    Compute_Box(mesh);
    EXPECT_EQ(mesh.Box_Min.x, -4);
    EXPECT_EQ(mesh.Box_Max.x, 3);
    EXPECT_EQ(mesh.Box_Max.y, 9);
    EXPECT_EQ(mesh.Box_Min.z, -2);
    EXPECT_EQ(mesh.Box_Max.z, 0);
}

// ---- degenerate inputs ----

TEST(DegenerateTopology, SelfEdgesOfCollapsedFacesCountForNothing) {
    UniOb mesh;
    // A tetrahedron plus a face collapsed onto an edge: (0 0 1) adds 0->0, 0->1 and 1->0.
    FromFaces(mesh, 4, {{0, 2, 1}, {0, 1, 3}, {0, 3, 2}, {1, 2, 3}, {0, 0, 1}});
    Compute_Face_Normals(mesh);
    EXPECT_EQ(mesh.Face_Normal[4], (Vec3{0, 0, 0}));
    Build_Rings(mesh);
    EXPECT_EQ(RingOf(mesh, 0), (std::vector<int>{1, 0, 3, 1, 2}));
    EXPECT_EQ(CountLabel(mesh, 0), 4);  // 0->1 and 1->0 of the collapsed face cancel each other
}

TEST(DegenerateTopology, OppositeEdgesCancelOneForOne) {
    UniOb mesh;
    FromFaces(mesh, 3, {{0, 1, 2}, {0, 2, 1}});
    Build_Rings(mesh);
    EXPECT_EQ(CountLabel(mesh, 0), 3);
    FromFaces(mesh, 3, {{0, 1, 2}, {0, 2, 1}, {0, 1, 2}});
    Build_Rings(mesh);
    EXPECT_EQ(CountLabel(mesh, -2), 3);
}

TEST(DegenerateTopology, EmptyMeshIsLeftAlone) {
    UniOb mesh;
    mesh.AllocVertices(3);
    mesh.Vertex_Label[1] = 7;
    mesh.Volume = 5.0f;
    Compute_Face_Normals(mesh);
    Compute_Vertex_Normals(mesh, true);
    Build_Rings(mesh);
    Compute_Box(mesh);
    Compute_Volume(mesh);
    EXPECT_FALSE(mesh.Vertex_Ring.IsBuilt());
    EXPECT_EQ(mesh.Vertex_Label[1], 7);
    EXPECT_EQ(mesh.Volume, 5.0f);
}

TEST(DegenerateTopology, LabelsMatchTheListWalkOnRandomFaceSoups) {
    std::mt19937 random(12345);
    for (int trial = 0; trial < 300; ++trial) {
        const unsigned V = 3 + random() % 20;
        const unsigned F = 1 + random() % 40;
        std::uniform_int_distribution<int> pick(0, int(V) - 1);
        std::vector<FaceIndex> faces;
        for (unsigned f = 0; f < F; ++f) {
            // Many repeats and reversals of earlier faces, and now and then a collapsed one.
            if (!faces.empty() && random() % 3 == 0) {
                FaceIndex g = faces[random() % faces.size()];
                if (random() % 2) std::swap(g[1], g[2]);
                faces.push_back(g);
            } else {
                faces.push_back({pick(random), pick(random), pick(random)});
            }
        }
        UniOb mesh;
        FromFaces(mesh, V, faces);
        Build_Rings(mesh);
        ASSERT_EQ(ReferenceLabels(mesh), mesh.Vertex_Label) << "trial " << trial;
    }
}

TEST(DegenerateTopology, LabelsMatchTheListWalkWhereRingsAreShortAndLongInOneMesh) {
    // A few vertices under many faces: rings from a handful of entries to dozens, with repeated
    // neighbours, so short rings and long ones are judged in the same mesh.
    std::mt19937 random(777);
    for (int trial = 0; trial < 200; ++trial) {
        const unsigned V = 3 + random() % 6;
        const unsigned F = 8 + random() % 40;
        std::uniform_int_distribution<int> pick(0, int(V) - 1);
        std::vector<FaceIndex> faces;
        for (unsigned f = 0; f < F; ++f) {
            FaceIndex g{pick(random), pick(random), pick(random)};
            faces.push_back(g);
            if (random() % 2) faces.push_back({g[0], g[2], g[1]});  // mostly cancelled
        }
        UniOb mesh;
        FromFaces(mesh, V, faces);
        Build_Rings(mesh);
        ASSERT_EQ(ReferenceLabels(mesh), mesh.Vertex_Label) << "trial " << trial;
    }
}

// A range that throws, on a worker or on the caller's thread, reaches the caller as an
// exception after every range has ended: the program goes on.
TEST(RunRanges, AnExceptionFromAnyRangeReachesTheCaller) {
    const std::size_t count = std::size_t(1) << 17;
    if (Range_Threads(count) < 2) GTEST_SKIP() << "one thread here";
    for (const bool onWorker : {true, false}) {
        std::atomic<std::size_t> done{0};
        EXPECT_THROW(Run_Ranges(count,
                                [&](std::size_t begin, std::size_t end) {
                                    if ((begin > 0) == onWorker) throw std::bad_alloc();
                                    done += end - begin;
                                }),
                     std::bad_alloc);
        EXPECT_GT(done.load(), 0u);
    }
}

}  // namespace
}  // namespace orvex
