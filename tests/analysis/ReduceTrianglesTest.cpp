// Triangle reduction on closed, open and irregular meshes whose outcome is known by hand.

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <map>
#include <new>
#include <random>
#include <tuple>
#include <vector>

#include "analysis/ReduceTriangles.h"
#include "geometry/Random.h"
#include "mesh/ClosedManifold.h"
#include "mesh/Topology.h"
#include "tests/support/TestMeshes.h"

namespace orvex {
namespace {

using test::Finish_Mesh;

void Fill(UniOb& mesh, const std::vector<Vec3>& points, const std::vector<FaceIndex>& faces) {
    mesh.AllocFaces(static_cast<unsigned>(faces.size()));
    mesh.AllocVertices(static_cast<unsigned>(points.size()));
    mesh.AllocCurvature(static_cast<unsigned>(points.size()));
    for (std::size_t i = 0; i < points.size(); ++i) mesh.Vertex_Pos[i] = points[i];
    for (std::size_t f = 0; f < faces.size(); ++f) mesh.Face_Index[f] = faces[f];
    Finish_Mesh(mesh);
}

// Cube [0, side]^3 whose six sides are n x n grids sharing their edge vertices, outward faces.
// With a seed, the vertices inside each side move within it and the quads split along either
// diagonal at random.
void Make_Subdivided_Box(UniOb& mesh, int n, float side, unsigned seed = 0) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> jitter(-0.2f, 0.2f);  // keeps every quad convex
    std::map<std::tuple<int, int, int>, int> index;
    std::vector<Vec3> points;
    auto vertex = [&](int i, int j, int k) {
        auto [it, added] = index.try_emplace({i, j, k}, int(points.size()));
        if (added) {
            float c[3] = {float(i), float(j), float(k)};
            // Coordinates strictly inside (0, n) move; the one fixed at 0 or n keeps the side.
            if (seed)
                for (float& x : c)
                    if (x > 0 && x < n) x += jitter(random);
            points.push_back({side * c[0] / n, side * c[1] / n, side * c[2] / n});
        }
        return it->second;
    };
    std::vector<FaceIndex> faces;
    for (int axis = 0; axis < 3; ++axis) {
        for (int high = 0; high < 2; ++high) {
            for (int a = 0; a < n; ++a) {
                for (int b = 0; b < n; ++b) {
                    auto at = [&](int u, int v) {
                        int c[3];
                        c[axis] = high * n;
                        c[(axis + 1) % 3] = u;
                        c[(axis + 2) % 3] = v;
                        return vertex(c[0], c[1], c[2]);
                    };
                    // (u, v, axis) is right-handed, so u-then-v turns towards +axis.
                    const int p00 = at(a, b), p10 = at(a + 1, b), p11 = at(a + 1, b + 1), p01 = at(a, b + 1);
                    const bool other = seed && random() % 2;
                    FaceIndex t1 = other ? FaceIndex{p00, p10, p01} : FaceIndex{p00, p10, p11};
                    FaceIndex t2 = other ? FaceIndex{p10, p11, p01} : FaceIndex{p00, p11, p01};
                    if (!high) std::swap(t1[1], t1[2]), std::swap(t2[1], t2[2]);
                    faces.push_back(t1);
                    faces.push_back(t2);
                }
            }
        }
    }
    Fill(mesh, points, faces);
}

double Volume_Of(UniOb& mesh) {
    Compute_Volume(mesh);
    return mesh.Volume;
}

// Every face of a box about `centre` faces away from it.
bool All_Outward(const UniOb& mesh, Vec3 centre) {
    for (unsigned f = 0; f < mesh.Face_Count; ++f) {
        const FaceIndex& t = mesh.Face_Index[f];
        const Vec3 m = (mesh.Vertex_Pos[t[0]] + mesh.Vertex_Pos[t[1]] + mesh.Vertex_Pos[t[2]]) * (1.0f / 3);
        if (Dot(mesh.Face_Normal[f], m - centre) <= 0) return false;
    }
    return true;
}

bool Same_Mesh(const UniOb& a, const UniOb& b) {
    return a.Vertex_Count == b.Vertex_Count && a.Face_Count == b.Face_Count && a.Vertex_Pos == b.Vertex_Pos &&
           a.Face_Index == b.Face_Index;
}

TEST(ReduceTriangles, SubdividedBoxLosesVerticesAndStaysAClosedBoxOfTheSameVolume) {
    UniOb mesh;
    Make_Subdivided_Box(mesh, 8, 10.0f);
    const unsigned before = mesh.Vertex_Count;
    ASSERT_TRUE(Check_Closed_Manifold(mesh).IsClosedManifold());
    Random_Reset_All();

    const ReduceResult result = ReduceTriangles(mesh, 1.0f);

    EXPECT_TRUE(result.ran);
    EXPECT_EQ(result.verticesBefore, before);
    EXPECT_GT(result.phase1Removed, 0u);
    EXPECT_EQ(mesh.Vertex_Count, before - result.phase1Removed - result.phase2Removed);
    EXPECT_LT(mesh.Vertex_Count, before * 3 / 4);
    EXPECT_EQ(mesh.Face_Count, 2 * mesh.Vertex_Count - 4);  // closed, genus 0
    const ClosedManifoldCheck check = Check_Closed_Manifold(mesh);
    EXPECT_TRUE(check.IsClosedManifold()) << Closed_Manifold_Text(check);
    EXPECT_EQ(check.euler, 2);
    EXPECT_EQ(check.unusedVertices, 0u);
    EXPECT_NEAR(Volume_Of(mesh), 1000.0, 1e-3);
    EXPECT_TRUE(All_Outward(mesh, {5, 5, 5}));
    // Derived data rebuilt for the new vertices.
    ASSERT_EQ(mesh.Curvature_Max.size(), mesh.Vertex_Count);
    ASSERT_EQ(mesh.Vertex_Ring.start.size(), mesh.Vertex_Count + 1);
    EXPECT_EQ(mesh.Box_Min, (Vec3{0, 0, 0}));
    EXPECT_EQ(mesh.Box_Max, (Vec3{10, 10, 10}));
    for (unsigned v = 0; v < mesh.Vertex_Count; ++v) EXPECT_EQ(mesh.Vertex_Label[v], 0);
}

TEST(ReduceTriangles, IrregularFlatSidesStayClosedManifoldWithTheSameVolume) {
    for (unsigned seed = 1; seed <= 6; ++seed) {
        UniOb mesh;
        Make_Subdivided_Box(mesh, 14, 10.0f, seed);
        ASSERT_TRUE(Check_Closed_Manifold(mesh).IsClosedManifold());
        ASSERT_TRUE(All_Outward(mesh, {5, 5, 5}));
        const unsigned before = mesh.Vertex_Count;
        const ReduceResult result = ReduceTriangles(mesh, 1.0f);
        EXPECT_GT(result.phase1Removed, before / 4) << seed;
        const ClosedManifoldCheck check = Check_Closed_Manifold(mesh);
        EXPECT_TRUE(check.IsClosedManifold()) << seed << ": " << Closed_Manifold_Text(check);
        EXPECT_EQ(check.euler, 2);
        EXPECT_NEAR(Volume_Of(mesh), 1000.0, 1e-3);
        EXPECT_TRUE(All_Outward(mesh, {5, 5, 5})) << seed;
    }
}

TEST(ReduceTriangles, RerunsAfterAGeneratorResetAgree) {
    UniOb a, b;
    Make_Subdivided_Box(a, 12, 10.0f);
    Make_Subdivided_Box(b, 12, 10.0f);
    Random_Reset_All();
    ReduceTriangles(a, 1.0f);
    Random_Reset_All();
    ReduceTriangles(b, 1.0f);
    EXPECT_TRUE(Same_Mesh(a, b));
}

TEST(ReduceTriangles, TextureCoordinatesAndColoursFollowTheirVertices) {
    UniOb mesh;
    Make_Subdivided_Box(mesh, 6, 10.0f);
    auto colour = [](const Vec3& p) { return int(std::lround(p.x * 7 + p.y * 131 + p.z * 1031)); };
    for (unsigned v = 0; v < mesh.Vertex_Count; ++v) {
        const Vec3& p = mesh.Vertex_Pos[v];
        mesh.Tex_Coord[v] = {p.x + p.z, p.y};
        mesh.Vertex_Color[v] = colour(p);
    }
    ReduceTriangles(mesh, 1.0f);
    ASSERT_EQ(mesh.Tex_Coord.size(), mesh.Vertex_Count);
    ASSERT_EQ(mesh.Vertex_Color.size(), mesh.Vertex_Count);
    for (unsigned v = 0; v < mesh.Vertex_Count; ++v) {
        const Vec3& p = mesh.Vertex_Pos[v];
        EXPECT_EQ(mesh.Tex_Coord[v], (TexCoord{p.x + p.z, p.y})) << v;
        EXPECT_EQ(mesh.Vertex_Color[v], colour(p)) << v;
    }
}

TEST(ReduceTriangles, CoarseSphereStaysAndAThresholdAbove15ChangesNothing) {
    UniOb mesh, copy;
    test::Make_Sphere(mesh, 1.0f, 2);
    test::Make_Sphere(copy, 1.0f, 2);
    EXPECT_TRUE(ReduceTriangles(mesh, 1.0f).ran);
    EXPECT_TRUE(Same_Mesh(mesh, copy));

    UniOb box, boxCopy;
    Make_Subdivided_Box(box, 4, 10.0f);
    Make_Subdivided_Box(boxCopy, 4, 10.0f);
    for (const float threshold : {16.0f, NAN, INFINITY}) {
        const ReduceResult result = ReduceTriangles(box, threshold);
        EXPECT_FALSE(result.ran);
        EXPECT_TRUE(Same_Mesh(box, boxCopy));
    }
    UniOb empty;
    EXPECT_FALSE(ReduceTriangles(empty, 1.0f).ran);
}

TEST(ReduceTriangles, ConvexityBoundIsAbsoluteSoATinyBoxCollapsesNothing) {
    UniOb mesh;
    Make_Subdivided_Box(mesh, 8, 0.05f);
    const ReduceResult result = ReduceTriangles(mesh, 1.0f);
    EXPECT_TRUE(result.ran);
    EXPECT_EQ(result.phase1Removed, 0u);
    EXPECT_TRUE(Check_Closed_Manifold(mesh).IsClosedManifold());
}

TEST(ReduceTriangles, LowOpenTentBecomesOneFaceFacingTheSameWay) {
    // Base triangle of circumradius 10 (inradius 5), apex 1 above its centre: faces about 11
    // degrees off the apex normal, too steep for phase 1 at 1 degree, flat enough for phase 2.
    std::vector<Vec3> p = {{0, 0, 1}};
    for (int k = 0; k < 3; ++k) {
        const double a = 2 * M_PI * k / 3;
        p.push_back({float(10 * std::cos(a)), float(10 * std::sin(a)), 0});
    }
    UniOb mesh;
    Fill(mesh, p, {{0, 1, 2}, {0, 2, 3}, {0, 3, 1}});
    const ReduceResult result = ReduceTriangles(mesh, 1.0f);
    EXPECT_EQ(result.phase1Removed, 0u);
    EXPECT_EQ(result.phase2Removed, 1u);
    ASSERT_EQ(mesh.Face_Count, 1u);
    ASSERT_EQ(mesh.Vertex_Count, 3u);
    EXPECT_NEAR(mesh.Face_Normal[0].z, 1.0f, 1e-6f);
    for (const Vec3& q : mesh.Vertex_Pos) EXPECT_EQ(q.z, 0.0f);
}

// Flat square rim, one sheet fanned from a centre vertex on top and two triangles below, both
// in the same plane: collapsing the centre onto a corner would give the diagonal four faces.
TEST(ReduceTriangles, ThinPillowsStayManifold) {
    {
        UniOb mesh;
        Fill(mesh, {{5, 5, 0}, {0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 0}},
             {{0, 1, 2}, {0, 2, 3}, {0, 3, 4}, {0, 4, 1}, {1, 3, 2}, {1, 4, 3}});
        ASSERT_TRUE(Check_Closed_Manifold(mesh).IsClosedManifold());
        ReduceTriangles(mesh, 1.0f);
        const ClosedManifoldCheck check = Check_Closed_Manifold(mesh);
        EXPECT_TRUE(check.IsClosedManifold()) << Closed_Manifold_Text(check);
    }
    {
        // Two 6 x 6 grids sharing their rim, the lower one's inside 0.001 below and its squares
        // split along the other diagonal, so no face is on the rim alone twice.
        const int n = 6;
        std::vector<Vec3> p;
        std::vector<int> top((n + 1) * (n + 1)), bottom((n + 1) * (n + 1));
        for (int j = 0; j <= n; ++j)
            for (int i = 0; i <= n; ++i) {
                const bool rim = i == 0 || j == 0 || i == n || j == n;
                top[i + (n + 1) * j] = int(p.size());
                p.push_back({float(i), float(j), 0});
                if (rim) {
                    bottom[i + (n + 1) * j] = top[i + (n + 1) * j];
                } else {
                    bottom[i + (n + 1) * j] = int(p.size());
                    p.push_back({float(i), float(j), -0.001f});
                }
            }
        std::vector<FaceIndex> faces;
        for (int j = 0; j < n; ++j)
            for (int i = 0; i < n; ++i) {
                const int a = i + (n + 1) * j, b = a + 1, c = a + n + 2, d = a + n + 1;
                faces.push_back({top[a], top[b], top[c]});
                faces.push_back({top[a], top[c], top[d]});
                faces.push_back({bottom[a], bottom[d], bottom[b]});
                faces.push_back({bottom[b], bottom[d], bottom[c]});
            }
        UniOb mesh;
        Fill(mesh, p, faces);
        ASSERT_TRUE(Check_Closed_Manifold(mesh).IsClosedManifold());
        const ReduceResult result = ReduceTriangles(mesh, 1.0f);
        EXPECT_GT(result.phase1Removed, 0u);
        const ClosedManifoldCheck check = Check_Closed_Manifold(mesh);
        EXPECT_TRUE(check.IsClosedManifold()) << Closed_Manifold_Text(check);
    }
}

Vec3 On_Circle(double degrees, double r = 10) {
    const double a = degrees * M_PI / 180;
    return {float(r * std::cos(a)), float(r * std::sin(a)), 0};
}

// A flat top fan of m faces around a centre over a cone below. The ring walk only checks its
// length between scans: with the top faces listed in ring order the first scan appends the
// first neighbour a second time and the centre stays; listed backwards, each scan appends one
// and the centre is collapsed. Small and large fans take different walks to the same ring.
TEST(ReduceTriangles, RingWalkLengthIsCheckedBetweenScans) {
    for (const int m : {8, 40}) {
        for (const bool backwards : {false, true}) {
            std::vector<Vec3> p = {{0, 0, 0}, {0, 0, -1}};
            for (int k = 0; k < m; ++k) p.push_back(On_Circle(360.0 * k / m));
            std::vector<FaceIndex> faces;
            for (int i = 0; i < m; ++i) {
                const int k = backwards ? m - 1 - i : i;
                faces.push_back({0, 2 + k, 2 + (k + 1) % m});
            }
            for (int k = 0; k < m; ++k) faces.push_back({1, 2 + (k + 1) % m, 2 + k});
            UniOb mesh;
            Fill(mesh, p, faces);
            ASSERT_TRUE(Check_Closed_Manifold(mesh).IsClosedManifold());
            const ReduceResult result = ReduceTriangles(mesh, 1.0f);
            EXPECT_EQ(result.phase1Removed, backwards ? 1u : 0u) << m;
            EXPECT_EQ(result.phase2Removed, 0u);
            EXPECT_TRUE(Check_Closed_Manifold(mesh).IsClosedManifold());
            EXPECT_EQ(mesh.Face_Count, backwards ? 2u * m - 2 : 2u * m);
        }
    }
}

// Vertices whose face lists pass the index-sum test without being one closed fan stay.
TEST(ReduceTriangles, VerticesThatAreNotOneFanAreKept) {
    {
        // Two flat hexagonal fans meeting only at their centre.
        std::vector<Vec3> p = {{0, 0, 0}};
        std::vector<FaceIndex> faces;
        for (int fan = 0; fan < 2; ++fan) {
            const int base = int(p.size());
            for (int k = 0; k < 6; ++k) p.push_back(On_Circle(60 * k + 30 * fan, 10 + fan));
            for (int k = 0; k < 6; ++k) faces.push_back({0, base + k, base + (k + 1) % 6});
        }
        // Interleave the fans in the face list.
        std::vector<FaceIndex> mixed;
        for (int k = 0; k < 6; ++k) mixed.push_back(faces[k]), mixed.push_back(faces[6 + k]);
        UniOb mesh, copy;
        Fill(mesh, p, mixed);
        Fill(copy, p, mixed);
        EXPECT_EQ(ReduceTriangles(mesh, 1.0f).phase1Removed, 0u);
        EXPECT_TRUE(Same_Mesh(mesh, copy));
    }
    // Three faces whose index sums cancel: (0,1,2), (0,3,5), (0,4,1) has no ring at all, and in
    // (0,1,2), (0,2,3), (0,5,3) the third face does not close the fan.
    const std::vector<Vec3> p = {{0, 0, 0},      On_Circle(0),   On_Circle(60),
                                 On_Circle(120), On_Circle(300), On_Circle(180)};
    // Vertex 2 lies nearer, so phase 1 aims at it along the smallest face.
    const std::vector<Vec3> p2 = {{0, 0, 0},      On_Circle(0),   On_Circle(60, 6),
                                  On_Circle(120), On_Circle(200), On_Circle(80)};
    for (const auto& [points, faces] :
         {std::pair{p, std::vector<FaceIndex>{{0, 1, 2}, {0, 3, 5}, {0, 4, 1}}},
          std::pair{p2, std::vector<FaceIndex>{{0, 1, 2}, {0, 2, 3}, {0, 5, 3}}}}) {
        UniOb mesh, copy;
        Fill(mesh, points, faces);
        Fill(copy, points, faces);
        for (unsigned f = 0; f < mesh.Face_Count; ++f) ASSERT_GT(mesh.Face_Normal[f].z, 0.99f);
        const ReduceResult result = ReduceTriangles(mesh, 1.0f);
        EXPECT_EQ(result.phase1Removed + result.phase2Removed, 0u);
        EXPECT_TRUE(Same_Mesh(mesh, copy));
    }
}

}  // namespace
}  // namespace orvex

namespace orvex {
namespace {

// Every allocation of a reduction can fail: the run then reports it and leaves the mesh exactly as
// it was, or it succeeds with the result of an undisturbed run.
std::atomic<long> allocationsLeft{-1};  // below 0: no limit

}  // namespace
}  // namespace orvex

// The replacements pair malloc with free themselves; the compiler's pairing check cannot see that.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
    if (orvex::allocationsLeft.load() >= 0 && orvex::allocationsLeft.fetch_sub(1) == 0)
        throw std::bad_alloc();
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return operator new(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
    return operator new(size, tag);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}

namespace orvex {
namespace {

struct Snapshot {
    std::vector<Vec3> pos, vertexNormal, faceNormal;
    std::vector<FaceIndex> faces;
    std::vector<float> kMax, kMin;
    std::vector<int> labels;
    Vec3 boxMin, boxMax;
    explicit Snapshot(const UniOb& m)
        : pos(m.Vertex_Pos),
          vertexNormal(m.Vertex_Normal),
          faceNormal(m.Face_Normal),
          faces(m.Face_Index),
          kMax(m.Curvature_Max),
          kMin(m.Curvature_Min),
          labels(m.Vertex_Label),
          boxMin(m.Box_Min),
          boxMax(m.Box_Max) {}
    bool operator==(const Snapshot&) const = default;
};

TEST(ReduceTriangles, RunningOutOfMemoryAnywhereLeavesTheMeshAsItWas) {
    UniOb reference;
    Make_Subdivided_Box(reference, 6, 10.0f, 3);
    Random_Reset_All();
    ReduceTriangles(reference, 1.0f);
    const Snapshot reduced(reference);

    int failures = 0;
    for (long k = 0; k < 100000; ++k) {
        UniOb mesh;
        Make_Subdivided_Box(mesh, 6, 10.0f, 3);
        const Snapshot before(mesh);
        Random_Reset_All();
        allocationsLeft = k;
        const ReduceResult result = ReduceTriangles(mesh, 1.0f);
        allocationsLeft = -1;
        if (!result.outOfMemory) {
            EXPECT_TRUE(Snapshot(mesh) == reduced);
            break;
        }
        ++failures;
        ASSERT_TRUE(Snapshot(mesh) == before) << "allocation " << k;
        EXPECT_EQ(mesh.Vertex_Count, before.pos.size());
        EXPECT_EQ(mesh.Face_Count, before.faces.size());
    }
    EXPECT_GT(failures, 10);  // the run allocates along the way, and each failure point was met
}

}  // namespace
}  // namespace orvex
