// Attraction of a mesh to a second one: the hand-computed landing height and the windowed,
// vectorised search against a plain scan.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "analysis/AreaSmooth.h"
#include "analysis/AttractToMesh.h"
#include "analysis/Perturb.h"
#include "geometry/Random.h"
#include "tests/support/TestMeshes.h"

namespace orvex {
namespace {

// Vertices only: the attraction reads no faces of the second mesh beyond its being non-empty.
void Make_Cloud(UniOb& mesh, const std::vector<Vec3>& points) {
    mesh.AllocVertices(unsigned(points.size()));
    mesh.AllocFaces(1);
    mesh.Face_Index[0] = {0, 0, 0};
    for (unsigned i = 0; i < points.size(); ++i) mesh.Vertex_Pos[i] = points[i];
}

TEST(AttractToMesh, FlatGridLandsAtTheWeightedHeight) {
    for (const int side : {1, 3, 7}) {
        // k candidates 10 above; points in the tangent plane and below are no candidates, nor
        // are points outside the window.
        std::vector<Vec3> points;
        for (int i = 0; i < side; ++i)
            for (int j = 0; j < side; ++j) points.push_back({10.0f * i - 20, 15.0f * j - 30, 10.0f});
        const int k = side * side;
        for (int i = 0; i < 5; ++i) {
            points.push_back({7.0f * i, 3.0f, 0.0f});
            points.push_back({-4.0f * i, 1.0f, -10.0f});
            points.push_back({0.0f, 0.0f, 150.0f + i});
            points.push_back({900.0f + i, 0.0f, 5.0f});
            points.push_back({0.0f, -500.0f - i, 5.0f});
        }
        UniOb target;
        Make_Cloud(target, points);

        UniOb grid;
        test::Make_Grid(grid, 4, 5.0f);
        test::Finish_Mesh(grid);
        const std::uint64_t tests = AttractToMesh(grid, target);
        EXPECT_GE(tests, std::uint64_t(grid.Vertex_Count) * (k + 10));  // the tangent plane and below
        const float expected = 10.0f * k / (k + 10);
        for (unsigned v = 0; v < grid.Vertex_Count; ++v) {
            ASSERT_NEAR(grid.Vertex_Pos[v].z, expected, 1e-5f) << side << " " << v;
            ASSERT_NEAR(grid.Vertex_Pos[v].x, 5.0f * (v % 5), 1e-5f) << v;
        }
    }
}

// The rule written out once per pair, in the same float arithmetic for the candidate test.
void Attract_Plainly(UniOb& first, const UniOb& second) {
    const std::vector<Vec3> old = second.Vertex_Pos;
    for (unsigned v = 0; v < first.Vertex_Count; ++v) {
        Vec3& a = first.Vertex_Pos[v];
        const Vec3 n = first.Vertex_Normal[v];
        int k = 0;
        double sum[3] = {0, 0, 0};
        for (unsigned u = 0; u < second.Vertex_Count; ++u) {
            const Vec3& b = old[u];
            const float dx = b.x - a.x, dy = b.y - a.y, dz = b.z - a.z;
            if (std::fabs(dz) > 100 || std::fabs(dy) > 400 || std::fabs(dx) > 400) continue;
            if (!(dx * n.x + dy * n.y + dz * n.z > 0)) continue;
            ++k, sum[0] += b.x, sum[1] += b.y, sum[2] += b.z;
        }
        if (k == 0) continue;
        double m[3];
        for (int j = 0; j < 3; ++j) m[j] = (10.0 * a[j] + sum[j]) / (k + 10);
        const double t = (m[0] - a.x) * n.x + (m[1] - a.y) * n.y + (m[2] - a.z) * n.z;
        a = {float(a.x + t * n.x), float(a.y + t * n.y), float(a.z + t * n.z)};
    }
    AreaSmooth(first, 0.1f);
}

TEST(AttractToMesh, WindowedSearchEqualsThePlainScan) {
    // Spheres larger than the window, so every window cuts them; one mesh attracted to itself.
    // 2562 x 10242 pairs are enough for the search to split over threads.
    UniOb a, b, plain, self, selfPlain;
    test::Make_Sphere(a, 500.0f, 4, Vec3{0, 0, 0});
    test::Make_Sphere(plain, 500.0f, 4, Vec3{0, 0, 0});
    test::Make_Sphere(b, 480.0f, 5, Vec3{30, -20, 5});
    Random_Reset_All();
    Perturb(b, 20.0f);
    for (UniOb* m : {&a, &plain}) test::Finish_Mesh(*m);
    AttractToMesh(a, b);
    Attract_Plainly(plain, b);
    UniOb still;
    test::Make_Sphere(still, 500.0f, 4, Vec3{0, 0, 0});
    unsigned moved = 0;
    for (unsigned v = 0; v < a.Vertex_Count; ++v) {
        ASSERT_NEAR(Point_Distance(a.Vertex_Pos[v], plain.Vertex_Pos[v]), 0.0f, 1e-3f) << v;
        moved += Point_Distance(a.Vertex_Pos[v], still.Vertex_Pos[v]) > 1.0f;
    }
    EXPECT_GT(moved, a.Vertex_Count / 2);

    test::Make_Sphere(self, 300.0f, 3);
    test::Make_Sphere(selfPlain, 300.0f, 3);
    for (UniOb* m : {&self, &selfPlain}) {
        Random_Reset_All();
        Perturb(*m, 10.0f);
        test::Finish_Mesh(*m);
    }
    AttractToMesh(self, self);
    Attract_Plainly(selfPlain, selfPlain);
    for (unsigned v = 0; v < self.Vertex_Count; ++v)
        ASSERT_NEAR(Point_Distance(self.Vertex_Pos[v], selfPlain.Vertex_Pos[v]), 0.0f, 1e-3f) << v;

    // Vertices that are not numbers are never candidates and do not upset the search.
    UniOb spoiled;
    test::Make_Sphere(spoiled, 480.0f, 5, Vec3{30, -20, 5});
    Random_Reset_All();
    Perturb(spoiled, 20.0f);
    spoiled.Vertex_Pos[5] = {NAN, 0, 0};
    spoiled.Vertex_Pos[9] = {0, 0, NAN};
    spoiled.Vertex_Pos[11] = {0, INFINITY, 0};
    b.Vertex_Pos[5] = b.Vertex_Pos[9] = b.Vertex_Pos[11] = {1e30f, 1e30f, 1e30f};
    UniOb c, d;
    test::Make_Sphere(c, 500.0f, 4);
    test::Make_Sphere(d, 500.0f, 4);
    test::Finish_Mesh(c);
    test::Finish_Mesh(d);
    AttractToMesh(c, spoiled);
    AttractToMesh(d, b);
    EXPECT_EQ(c.Vertex_Pos, d.Vertex_Pos);

    UniOb empty;
    EXPECT_EQ(AttractToMesh(a, empty), 0u);
    EXPECT_EQ(AttractToMesh(empty, a), 0u);
}

}  // namespace
}  // namespace orvex
