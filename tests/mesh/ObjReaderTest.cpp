// The OBJ reader: indices of every form, groups and objects merged, materials not needed, bad
// faces dropped and counted, texture coordinates on their vertices, long lines.

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "mesh/ObjReader.h"
#include "tests/support/ScratchFolder.h"

namespace orvex {
namespace {

using test::ScratchFolder;

Status Read(UniOb& mesh, const std::string& text, MeshFileReport* report = nullptr,
            const std::string& name = "t.obj") {
    MeshFileOptions options;
    options.report = report;
    const std::vector<unsigned char> bytes(text.begin(), text.end());
    return Read_OBJ(mesh, bytes, name, options);
}

TEST(ObjReader, NegativeIndicesGroupsAndAMissingMaterialFile) {
    ScratchFolder folder("obj_groups");
    const std::string path = folder.File("two.obj");
    std::ofstream(path)
        << "# two objects\nmtllib nowhere.mtl\no first\ng left\nv 0 0 0\nv 1 0 0\nv 0 1 0\n"
           "usemtl skin\nf -3 -2 -1\no second\ng right top\nv 5 5 5\r\nv 6 5 5\nv 5 6 5\nv 5 5 6\n"
           "vn 0 0 1\nf 4//1 6//1 5//1\ns 1\nf -4 -3 -1\n";
    UniOb mesh;
    MeshFileReport report;
    MeshFileOptions options;
    options.report = &report;
    const Status status = Read_OBJ_File(mesh, path, options);
    ASSERT_TRUE(status) << status.message;
    EXPECT_EQ(report.format, "OBJ");
    EXPECT_EQ(mesh.Vertex_Count, 7u);
    const std::vector<FaceIndex> expected = {{0, 1, 2}, {3, 5, 4}, {3, 4, 6}};
    EXPECT_EQ(mesh.Face_Index, expected);
    ASSERT_EQ(report.notes.size(), 1u);
    EXPECT_NE(report.notes[0].find("'nowhere.mtl' not found"), std::string::npos) << report.notes[0];
    EXPECT_TRUE(mesh.HasCurvature()) << "the load pipeline ran";

    // With the material file present there is nothing to note.
    std::ofstream(folder.File("nowhere.mtl")) << "newmtl skin\nKd 1 0 0\n";
    ASSERT_TRUE(Read_OBJ_File(mesh, path, options));
    EXPECT_TRUE(report.notes.empty());
}

TEST(ObjReader, PolygonsBecomeFansAndTextureCoordinatesFollowTheirVertex) {
    UniOb mesh;
    MeshFileReport report;
    ASSERT_TRUE(Read(mesh,
                     "v 0 0 0\nv 2 0 0\nv 3 1 0\nv 2 2 0\nv 0 2 0\n"
                     "vt 0.1 0.2\nvt 0.3 0.4\nvt 0.5 0.6\nvt 0.7 0.8\nvt 0.9 1.0\n"
                     "f 1/5 2/4 3/3 4/2 5/1\n",
                     &report));
    const std::vector<FaceIndex> fan = {{0, 1, 2}, {0, 2, 3}, {0, 3, 4}};
    EXPECT_EQ(mesh.Face_Index, fan);
    EXPECT_TRUE(report.texCoords);
    const std::vector<TexCoord> uv = {{0.9f, 1.0f}, {0.7f, 0.8f}, {0.5f, 0.6f}, {0.3f, 0.4f}, {0.1f, 0.2f}};
    EXPECT_EQ(mesh.Tex_Coord, uv);

    // A second, different vt on the same vertex keeps the first and is noted.
    ASSERT_TRUE(Read(
        mesh, "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\nvt 0 0\nvt 1 1\nf 1/1 2/1 3/1\nf 2/2 4/2 3/2\n", &report));
    EXPECT_EQ(mesh.Tex_Coord[1], (TexCoord{0.0f, 0.0f}));
    EXPECT_EQ(mesh.Tex_Coord[3], (TexCoord{1.0f, 1.0f}));
    ASSERT_EQ(report.notes.size(), 1u);
    EXPECT_NE(report.notes[0].find("2 corners"), std::string::npos) << report.notes[0];
}

TEST(ObjReader, BadFacesAreDroppedAndCounted) {
    // Index 0, past the vertices, too far back, a vt past its list, two corners, a non-finite
    // vertex's face; one good face stays.
    UniOb mesh;
    MeshFileReport report;
    const Status status = Read(mesh,
                               "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1e999 0 0\nvt 0 0\n"
                               "f 0 1 2\nf 1 2 9\nf -9 1 2\nf 1/2 2/1 3/1\nf 1 2\nf 1 2 4\nf 1 2 3\n",
                               &report);
    EXPECT_FALSE(status);
    EXPECT_NE(status.message.find("6 of 7 faces dropped"), std::string::npos) << status.message;
    EXPECT_EQ(mesh.Face_Count, 1u);
    EXPECT_EQ(mesh.Vertex_Count, 3u);
    EXPECT_EQ(report.facesDropped, 6u);
}

TEST(ObjReader, NoFacesIsAnErrorAndLongLinesDoNotOverflow) {
    UniOb mesh;
    Status status = Read(mesh, "v 0 0 0\nv 1 0 0\nv 0 1 0\n");
    EXPECT_FALSE(status);
    EXPECT_NE(status.message.find("no faces"), std::string::npos) << status.message;
    EXPECT_TRUE(mesh.IsEmpty());
    status = Read(mesh, "");
    EXPECT_NE(status.message.find("no faces"), std::string::npos) << status.message;

    // A megabyte comment, a face line of 100000 corners (a fan of them), a group name of a megabyte.
    std::string text = "#" + std::string(1 << 20, 'x') + "\nv 0 0 0\nv 1 0 0\nv 0 1 0\ng " +
                       std::string(1 << 20, 'g') + "\nf";
    for (int k = 0; k < 100000; ++k) text += k % 2 ? " 2" : " 3";
    text += "\n";
    ASSERT_TRUE(Read(mesh, "v 0 0 0\nv 1 0 0\nv 0 1 0\n" + text + "f 1 2 3\n").ok == true ||
                mesh.Face_Count > 0);
    EXPECT_EQ(mesh.Face_Count, 99998u + 1u);
}

}  // namespace
}  // namespace orvex
