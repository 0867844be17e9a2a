// The closed-manifold check on meshes whose faults are known by hand.

#include <gtest/gtest.h>

#include "mesh/ClosedManifold.h"
#include "tests/support/TestMeshes.h"

namespace orvex {
namespace {

TEST(ClosedManifold, ClosedSolidsAreClosedManifoldsOfEulerTwo) {
    UniOb cube, sphere;
    test::Make_Cube(cube);
    test::Make_Sphere(sphere, 1.0f, 2);
    for (const UniOb* mesh : {&cube, &sphere}) {
        const ClosedManifoldCheck check = Check_Closed_Manifold(*mesh);
        EXPECT_TRUE(check.IsClosedManifold()) << Closed_Manifold_Text(check);
        EXPECT_EQ(check.vertices, mesh->Vertex_Count);
        EXPECT_EQ(check.edges, 3u * mesh->Face_Count / 2);
        EXPECT_EQ(check.euler, 2);
    }
    EXPECT_EQ(Closed_Manifold_Text(Check_Closed_Manifold(cube)), "closed manifold, V - E + F = 2");
}

TEST(ClosedManifold, OpenSheetHasItsRimAsBoundary) {
    UniOb grid;
    test::Make_Grid(grid, 3);
    const ClosedManifoldCheck check = Check_Closed_Manifold(grid);
    EXPECT_FALSE(check.IsClosed());
    EXPECT_TRUE(check.IsManifold());
    EXPECT_EQ(check.boundaryEdges, 12u);
    EXPECT_EQ(check.euler, 1);
    EXPECT_EQ(Closed_Manifold_Text(check), "not a closed manifold, 12 boundary edges, V - E + F = 1");
}

TEST(ClosedManifold, FlippedRepeatedDegenerateFacesAndUnusedVerticesAreCounted) {
    UniOb tet;
    test::Make_Tetrahedron(tet);
    std::swap(tet.Face_Index[3][1], tet.Face_Index[3][2]);
    ClosedManifoldCheck check = Check_Closed_Manifold(tet);
    EXPECT_TRUE(check.IsClosed());
    EXPECT_TRUE(check.IsManifold());
    EXPECT_EQ(check.misorientedEdges, 3u);
    EXPECT_FALSE(check.IsClosedManifold());

    // A cube with one face listed twice (once reversed): three edges of three faces.
    UniOb cube;
    test::Make_Cube(cube);
    const FaceIndex extra = {cube.Face_Index[0][0], cube.Face_Index[0][2], cube.Face_Index[0][1]};
    std::vector<FaceIndex> faces = cube.Face_Index;
    faces.push_back(extra);
    faces.push_back({0, 0, 7});  // 0-7 crosses the cube: no edge of it
    std::vector<Vec3> pos = cube.Vertex_Pos;
    cube.AllocFaces(static_cast<unsigned>(faces.size()));
    cube.Face_Index = faces;
    cube.AllocVertices(9);
    std::copy(pos.begin(), pos.end(), cube.Vertex_Pos.begin());
    check = Check_Closed_Manifold(cube);
    EXPECT_EQ(check.repeatedFaces, 1u);
    EXPECT_EQ(check.nonManifoldEdges, 3u);
    EXPECT_EQ(check.degenerateFaces, 1u);
    EXPECT_EQ(check.unusedVertices, 1u);
    EXPECT_FALSE(check.IsManifold());

    UniOb empty;
    EXPECT_TRUE(Check_Closed_Manifold(empty).IsClosedManifold());
}

}  // namespace
}  // namespace orvex
