// Allocation, release and list handling of the mesh record.

#include <gtest/gtest.h>

#include "mesh/Topology.h"
#include "mesh/UniOb.h"
#include "tests/support/TestMeshes.h"

namespace orvex {
namespace {

TEST(MeshRecord, AllocVerticesReleasesRingsCurvatureAndChainOfTheOldVertices) {
    UniOb mesh;
    test::Make_Grid(mesh, 2);
    test::Finish_Mesh(mesh);
    mesh.Boundary_Chain = {0, 1, 2};
    ASSERT_TRUE(mesh.Vertex_Ring.IsBuilt());
    ASSERT_TRUE(mesh.HasCurvature());
    ASSERT_EQ(mesh.Vertex_Label[0], -2);

    mesh.AllocVertices(5);
    EXPECT_EQ(mesh.Vertex_Count, 5u);
    EXPECT_FALSE(mesh.Vertex_Ring.IsBuilt());
    EXPECT_FALSE(mesh.HasCurvature());
    EXPECT_TRUE(mesh.Boundary_Chain.empty());
    EXPECT_EQ(mesh.Vertex_Label, std::vector<int>(5, 0));
    EXPECT_EQ(mesh.Vertex_Pos.size(), 5u);
    EXPECT_EQ(mesh.Vertex_Normal.size(), 5u);
    EXPECT_EQ(mesh.Tex_Coord.size(), 5u);
    EXPECT_EQ(mesh.Vertex_Color.size(), 5u);
    EXPECT_EQ(mesh.Face_Count, 8u);  // faces are independent of vertices
}

TEST(MeshRecord, FreeingTwiceAndOnAnEmptyMeshIsSafe) {
    UniOb mesh;
    mesh.FreeVertices();
    mesh.FreeFaces();
    mesh.FreeRing();
    mesh.FreeCurvature();
    mesh.FreeFeatures();
    mesh.FreeTemplates();
    test::Make_Cube(mesh);
    mesh.FreeVertices();
    mesh.FreeVertices();
    mesh.FreeFaces();
    mesh.FreeFaces();
    EXPECT_EQ(mesh.Vertex_Count, 0u);
    EXPECT_EQ(mesh.Face_Count, 0u);
    EXPECT_TRUE(mesh.Vertex_Pos.empty());
}

TEST(MeshRecord, FeaturesAndTemplatesAreIndependent) {
    UniOb mesh;
    mesh.AllocFeatures(3);
    mesh.Feature_Records[2][9] = 4.5f;
    mesh.AllocTemplates(6);
    EXPECT_EQ(mesh.Feature_Count, 3u);
    EXPECT_EQ(mesh.Feature_Records[2][9], 4.5f);
    mesh.Template_Records[5][0] = 1.5f;
    mesh.AllocFeatures(2);
    EXPECT_EQ(mesh.Template_Count, 6u);
    EXPECT_EQ(mesh.Template_Records[5][0], 1.5f);
    mesh.FreeTemplates();
    EXPECT_EQ(mesh.Template_Count, 0u);
    EXPECT_TRUE(mesh.Template_Records.empty());
}

TEST(MeshRecord, DestroyReleasesOwnedRecordLists) {
    // Run under the sanitizer build, a leak here fails the test run.
    auto* mesh = new UniOb;
    test::Make_Cube(*mesh);
    for (int i = 0; i < 3; ++i) {
        auto* node = new VEC_LIST(7);
        node->next = mesh->Region_List;
        mesh->Region_List = node;
        auto* mark = new VEC_LIST(3);
        mark->next = mesh->Profile_Marks;
        mesh->Profile_Marks = mark;
    }
    mesh->Left_Eye = mesh->Region_List;
    mesh->Feature_Vertices = {1, 2};
    delete mesh;
}

TEST(MeshList, PushFrontOntoAnEmptyListGivesTheMeshAlone) {
    UniOb* head = nullptr;
    auto* mesh = new UniOb;
    head = Push_Front(head, mesh);
    EXPECT_EQ(head, mesh);
    EXPECT_EQ(head->next, nullptr);
    Free_Mesh_List(head);
    EXPECT_EQ(head, nullptr);
}

TEST(MeshList, FreeingAVeryLongListDoesNotRecurse) {
    UniOb* head = nullptr;
    for (int i = 0; i < 100000; ++i) head = Push_Front(head, new UniOb);
    Free_Mesh_List(head);
    EXPECT_EQ(head, nullptr);
    Free_Mesh_List(head);
}

}  // namespace
}  // namespace orvex
