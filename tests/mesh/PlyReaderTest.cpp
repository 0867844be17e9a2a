// The PLY reader: the three encodings, fans, colours and texture coordinates, skipped elements and
// properties, hostile headers and bodies, the merge option, and the writers' round trips.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "mesh/MeshWriters.h"
#include "mesh/ObjReader.h"
#include "mesh/PlyReader.h"
#include "mesh/PlyWriter.h"
#include "mesh/StlReader.h"
#include "tests/support/ScratchFolder.h"
#include "tests/support/TestMeshes.h"

namespace orvex {
namespace {

using test::Make_Sphere;
using test::ScratchFolder;

using Bytes = std::vector<unsigned char>;

// A cube of side 2 as 8 vertices and 6 outward quads.
const float kCube[8][3] = {{0, 0, 0}, {2, 0, 0}, {2, 2, 0}, {0, 2, 0},
                           {0, 0, 2}, {2, 0, 2}, {2, 2, 2}, {0, 2, 2}};
const int kQuads[6][4] = {{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 1, 5, 4}, {1, 2, 6, 5}, {2, 3, 7, 6}, {3, 0, 4, 7}};

// Appends v in the byte order asked for.
template <class T>
void Put(Bytes& out, T v, bool big) {
    unsigned char b[sizeof(T)];
    std::memcpy(b, &v, sizeof(T));
    if (big)
        for (std::size_t i = 0; i < sizeof(T) / 2; ++i) std::swap(b[i], b[sizeof(T) - 1 - i]);
    out.insert(out.end(), b, b + sizeof(T));
}

Bytes Text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

const char kCubeHeader[] =
    "element vertex 8\nproperty float x\nproperty float y\nproperty float z\n"
    "element face 6\nproperty list uchar int vertex_indices\nend_header\n";

Bytes Cube_Ply(const std::string& format) {
    Bytes out = Text("ply\nformat " + format + " 1.0\ncomment a cube\n" + kCubeHeader);
    if (format == "ascii") {
        std::string body;
        for (const auto& p : kCube)
            body += std::to_string(p[0]) + " " + std::to_string(p[1]) + " " + std::to_string(p[2]) + "\n";
        for (const auto& q : kQuads)
            body += "4 " + std::to_string(q[0]) + " " + std::to_string(q[1]) + " " + std::to_string(q[2]) +
                    " " + std::to_string(q[3]) + "\n";
        Bytes b = Text(body);
        out.insert(out.end(), b.begin(), b.end());
        return out;
    }
    const bool big = format == "binary_big_endian";
    for (const auto& p : kCube)
        for (float c : p) Put(out, c, big);
    for (const auto& q : kQuads) {
        out.push_back(4);
        for (int i : q) Put(out, std::int32_t(i), big);
    }
    return out;
}

Status Read(UniOb& mesh, const Bytes& bytes, MeshFileReport* report = nullptr, float merge = -1.0f) {
    MeshFileOptions options;
    options.report = report;
    options.mergeTolerance = merge;
    return Read_PLY(mesh, bytes, "test.ply", options);
}

TEST(PlyReader, EveryEncodingGivesTheSameCube) {
    UniOb reference;
    MeshFileReport report;
    ASSERT_TRUE(Read(reference, Cube_Ply("ascii"), &report)) << "ascii";
    EXPECT_EQ(report.format, "PLY ascii");
    EXPECT_EQ(reference.Vertex_Count, 8u);
    EXPECT_EQ(reference.Face_Count, 12u);
    EXPECT_FLOAT_EQ(reference.Area, 24.0f);
    EXPECT_FLOAT_EQ(reference.Volume, 8.0f);
    EXPECT_FALSE(report.colors);
    EXPECT_FALSE(report.texCoords);
    for (const char* format : {"binary_little_endian", "binary_big_endian"}) {
        UniOb mesh;
        ASSERT_TRUE(Read(mesh, Cube_Ply(format), &report)) << format;
        EXPECT_EQ(mesh.Vertex_Pos, reference.Vertex_Pos) << format;
        EXPECT_EQ(mesh.Face_Index, reference.Face_Index) << format;
        EXPECT_FLOAT_EQ(mesh.Volume, 8.0f) << format;
        EXPECT_TRUE(mesh.HasCurvature()) << "the load pipeline ran";
    }
}

TEST(PlyReader, PolygonsBecomeFansFromTheirFirstCorner) {
    const Bytes bytes = Text(
        "ply\nformat ascii 1.0\nelement vertex 5\nproperty float x\nproperty float y\nproperty float z\n"
        "element face 2\nproperty list uchar uint vertex_index\nend_header\n"
        "0 0 0\n1 0 0\n2 1 0\n1 2 0\n0 1 0\n4 0 1 2 3\n5 0 1 2 3 4\n");
    UniOb mesh;
    ASSERT_TRUE(Read(mesh, bytes));
    const std::vector<FaceIndex> expected = {{0, 1, 2}, {0, 2, 3}, {0, 1, 2}, {0, 2, 3}, {0, 3, 4}};
    EXPECT_EQ(mesh.Face_Index, expected);
}

TEST(PlyReader, ColoursAndTextureCoordinatesLandOnTheirVertices) {
    // Bytes as they are, and floats scaled to bytes; u, v under either name pair.
    const Bytes bytes = Text(
        "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\nproperty float z\n"
        "property uchar red\nproperty uchar green\nproperty uchar blue\nproperty uchar alpha\n"
        "property float s\nproperty float t\n"
        "element face 1\nproperty list uchar int vertex_indices\nend_header\n"
        "0 0 0 255 0 0 9 0.25 0.5\n1 0 0 0 128 0 9 0.75 0.5\n0 1 0 1 2 3 9 1 0\n3 0 1 2\n");
    UniOb mesh;
    MeshFileReport report;
    ASSERT_TRUE(Read(mesh, bytes, &report));
    EXPECT_TRUE(report.colors);
    EXPECT_TRUE(report.texCoords);
    EXPECT_EQ(mesh.Vertex_Color, (std::vector<int>{0x0000FF, 0x008000, 0x030201}));
    EXPECT_EQ(mesh.Tex_Coord, (std::vector<TexCoord>{{0.25f, 0.5f}, {0.75f, 0.5f}, {1.0f, 0.0f}}));

    Bytes floats = Text(
        "ply\nformat binary_little_endian 1.0\nelement vertex 3\nproperty float x\nproperty float y\n"
        "property float z\nproperty float red\nproperty float green\nproperty float blue\n"
        "element face 1\nproperty list uchar int vertex_indices\nend_header\n");
    const float rows[3][6] = {{0, 0, 0, 1, 0, 0}, {1, 0, 0, 0, 1, 0}, {0, 1, 0, 0, 0, 0.5f}};
    for (const auto& row : rows)
        for (float f : row) Put(floats, f, false);
    floats.push_back(3);
    for (int i : {0, 1, 2}) Put(floats, std::int32_t(i), false);
    ASSERT_TRUE(Read(mesh, floats, &report));
    EXPECT_EQ(mesh.Vertex_Color, (std::vector<int>{0x0000FF, 0x00FF00, 0x800000}));
}

TEST(PlyReader, OtherElementsAndPropertiesAreSkippedByTheirSizes) {
    // Normals, a double, a list on the vertex, an edge element before the faces, a face property
    // after the indices and a trailing element: the cube must come through unchanged.
    for (bool binary : {false, true}) {
        Bytes bytes = Text(std::string("ply\nformat ") + (binary ? "binary_little_endian" : "ascii") +
                           " 1.0\nobj_info scanner\nelement vertex 8\nproperty double confidence\n"
                           "property float x\nproperty float y\nproperty float z\nproperty float nx\n"
                           "property float ny\nproperty float nz\nproperty list uchar short extra\n"
                           "element edge 2\nproperty int vertex1\nproperty int vertex2\n"
                           "element face 6\nproperty list uchar int vertex_indices\nproperty uchar flags\n"
                           "element material 1\nproperty ushort shine\nend_header\n");
        std::string text;
        for (const auto& p : kCube) {
            if (binary) {
                Put(bytes, 0.5, false);
                for (float c : p) Put(bytes, c, false);
                for (float n : {0.0f, 0.0f, 1.0f}) Put(bytes, n, false);
                bytes.push_back(2);
                Put(bytes, std::int16_t(7), false);
                Put(bytes, std::int16_t(8), false);
            } else {
                text += "0.5 " + std::to_string(p[0]) + " " + std::to_string(p[1]) + " " +
                        std::to_string(p[2]) + " 0 0 1 2 7 8\n";
            }
        }
        for (int e = 0; e < 2; ++e) {
            if (binary) {
                Put(bytes, std::int32_t(0), false);
                Put(bytes, std::int32_t(99), false);
            } else {
                text += "0 99\n";
            }
        }
        for (const auto& q : kQuads) {
            if (binary) {
                bytes.push_back(4);
                for (int i : q) Put(bytes, std::int32_t(i), false);
                bytes.push_back(1);
            } else {
                text += "4 " + std::to_string(q[0]) + " " + std::to_string(q[1]) + " " +
                        std::to_string(q[2]) + " " + std::to_string(q[3]) + " 1\n";
            }
        }
        if (binary) {
            Put(bytes, std::uint16_t(5), false);
        } else {
            text += "5\n";
        }
        const Bytes body = Text(text);
        bytes.insert(bytes.end(), body.begin(), body.end());
        UniOb mesh, reference;
        MeshFileReport report;
        ASSERT_TRUE(Read(mesh, bytes, &report)) << binary;
        ASSERT_TRUE(Read(reference, Cube_Ply("ascii")));
        EXPECT_EQ(mesh.Vertex_Pos, reference.Vertex_Pos) << binary;
        EXPECT_EQ(mesh.Face_Index, reference.Face_Index) << binary;
        ASSERT_EQ(report.notes.size(), 1u);
        EXPECT_EQ(report.notes[0], "skipped elements: edge material");
    }
}

TEST(PlyReader, BadFacesAreDroppedAndCounted) {
    // An index past the vertices, a negative one, two corners, an empty list, and a vertex with a
    // NaN coordinate (its face goes with it, the vertex too); one good triangle stays.
    const Bytes bytes = Text(
        "ply\nformat ascii 1.0\nelement vertex 5\nproperty float x\nproperty float y\nproperty float z\n"
        "element face 6\nproperty list uchar int vertex_indices\nend_header\n"
        "0 0 0\n1 0 0\n0 1 0\nnan 0 0\n1 1 0\n"
        "3 0 1 5\n3 0 -1 2\n2 0 1\n0\n3 1 3 4\n3 0 1 2\n");
    UniOb mesh;
    MeshFileReport report;
    const Status status = Read(mesh, bytes, &report);
    EXPECT_FALSE(status);
    EXPECT_NE(status.message.find("5 of 6 faces dropped"), std::string::npos) << status.message;
    EXPECT_NE(status.message.find("1 vertices with NaN"), std::string::npos) << status.message;
    EXPECT_EQ(report.facesDropped, 5u);
    EXPECT_EQ(mesh.Face_Count, 1u);
    EXPECT_EQ(mesh.Vertex_Count, 4u);
    EXPECT_EQ(mesh.Face_Index[0], (FaceIndex{0, 1, 2}));
    EXPECT_FALSE(std::isnan(mesh.Box_Min.x));
}

TEST(PlyReader, HostileHeadersAreRefusedWithTheLine) {
    struct Case {
        const char* text;
        const char* says;
    };
    const Case cases[] = {
        {"PLY\n", "not a PLY file"},
        {"ply\nformat binary_middle_endian 1.0\nend_header\n",
         "line 2: unknown format 'binary_middle_endian'"},
        {"ply\nformat ascii 1.0\nelement vertex 1\nproperty float128 x\nend_header\n",
         "line 4: unknown property type"},
        {"ply\nformat ascii 1.0\nproperty float x\nend_header\n", "line 3: property before any element"},
        {"ply\nformat ascii 1.0\nelement vertex 1\nproperty float x\n", "no end_header"},
        {"ply\nformat ascii 1.0\nelement vertex -1\nend_header\n", "line 3: '-1' is no element count"},
        {"ply\nformat ascii 1.0\nelement vertex 1\nproperty float x\nproperty float y\nend_header\n0 0\n",
         "line 3: the vertex element has no x, y and z"},
        {"ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\nproperty float z\n"
         "end_header\n0 0 0\n1 0 0\n0 1 0\n",
         "no faces"},
    };
    for (const Case& c : cases) {
        UniOb mesh;
        const Status status = Read(mesh, Text(c.text));
        EXPECT_FALSE(status) << c.text;
        EXPECT_NE(status.message.find(c.says), std::string::npos) << status.message;
        EXPECT_TRUE(mesh.IsEmpty());
    }
}

TEST(PlyReader, TornAndLyingBodiesStopCleanly) {
    // Truncated binary faces: the complete ones stay, the offset is named.
    Bytes torn = Cube_Ply("binary_little_endian");
    torn.resize(torn.size() - 30);
    UniOb mesh;
    MeshFileReport report;
    Status status = Read(mesh, torn, &report);
    EXPECT_FALSE(status);
    EXPECT_NE(status.message.find("truncated at byte offset"), std::string::npos) << status.message;
    EXPECT_NE(status.message.find("has 4 of 6 records"), std::string::npos) << status.message;
    EXPECT_EQ(mesh.Face_Count, 8u);
    EXPECT_TRUE(report.damaged);

    // Counts of billions over a few bytes: nothing of that size is allocated, the read stops.
    const Bytes lying = Text(
        "ply\nformat binary_little_endian 1.0\nelement vertex 400000000\nproperty float x\nproperty float y\n"
        "property float z\nelement face 4000000000\nproperty list uint int vertex_indices\nend_header\n"
        "0123456789ab");
    status = Read(mesh, lying);
    EXPECT_FALSE(status);
    EXPECT_NE(status.message.find("truncated at byte offset"), std::string::npos) << status.message;
    EXPECT_TRUE(mesh.IsEmpty());

    // A face list count past the data.
    Bytes count = Text(
        "ply\nformat binary_little_endian 1.0\nelement vertex 3\nproperty float x\nproperty float y\n"
        "property float z\nelement face 1\nproperty list uint int vertex_indices\nend_header\n");
    for (int i = 0; i < 9; ++i) Put(count, float(i == 3 || i == 7), false);
    Put(count, std::uint32_t(0xFFFFFFF0u), false);
    Put(count, std::int32_t(0), false);
    status = Read(mesh, count);
    EXPECT_FALSE(status);
    EXPECT_NE(status.message.find("truncated at byte offset"), std::string::npos) << status.message;

    // ASCII: a word where a number belongs names the line.
    status = Read(mesh, Text("ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\n"
                             "property float z\nelement face 1\nproperty list uchar int vertex_indices\n"
                             "end_header\n0 0 0\n1 0 0\n0 one 0\n3 0 1 2\n"));
    EXPECT_FALSE(status);
    EXPECT_NE(status.message.find("line 12: 'one' is not a number"), std::string::npos) << status.message;

    // Billions of records of nothing, before the faces, cost nothing.
    ASSERT_TRUE(Read(
        mesh, Text("ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\n"
                   "property float z\nelement nothing 18000000000000000000\nelement face 1\n"
                   "property list uchar int vertex_indices\nend_header\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n")));
    EXPECT_EQ(mesh.Face_Count, 1u);

    // A list count written as a huge float is named as it stands.
    status = Read(mesh, Text("ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\n"
                             "property float z\nelement face 1\nproperty list uchar int vertex_indices\n"
                             "end_header\n0 0 0\n1 0 0\n0 1 0\n1e40 0 1 2\n"));
    EXPECT_FALSE(status);
    EXPECT_NE(status.message.find("line 13: a list count of 1000000000000000"), std::string::npos)
        << status.message;

    // A big-endian body labelled little-endian: garbage indices are dropped, nothing crashes.
    Bytes swapped = Cube_Ply("binary_big_endian");
    const std::string big = "binary_big_endian", little = "binary_little_endian";
    std::string asText(swapped.begin(), swapped.end());
    asText.replace(asText.find(big), big.size(), little);
    status = Read(mesh, Text(asText), &report);
    EXPECT_FALSE(status);
    EXPECT_EQ(report.facesDropped, 6u);
}

TEST(PlyReader, VerticesStayAsGivenUnlessAMergeIsAsked) {
    // Two triangles sharing an edge, the shared corners written twice.
    const Bytes bytes = Text(
        "ply\nformat ascii 1.0\nelement vertex 6\nproperty float x\nproperty float y\nproperty float z\n"
        "element face 2\nproperty list uchar int vertex_indices\nend_header\n"
        "0 0 0\n1 0 0\n0 1 0\n1 0 0\n1 1 0\n0 1.0001 0\n3 0 1 2\n3 3 4 5\n");
    UniOb mesh;
    MeshFileReport report;
    ASSERT_TRUE(Read(mesh, bytes, &report));
    EXPECT_EQ(mesh.Vertex_Count, 6u);
    ASSERT_TRUE(Read(mesh, bytes, &report, 0.0f));
    EXPECT_EQ(mesh.Vertex_Count, 5u);
    EXPECT_EQ(report.verticesMerged, 1u);
    ASSERT_TRUE(Read(mesh, bytes, &report, 0.001f));
    EXPECT_EQ(mesh.Vertex_Count, 4u);
    EXPECT_EQ(mesh.Face_Index[1], (FaceIndex{1, 3, 2}));
}

TEST(PlyReader, RoundTripsThroughEveryFormatKeepFacesAndPositions) {
    ScratchFolder folder("ply_round");
    UniOb sphere;
    Make_Sphere(sphere, 3.7f, 3, Vec3{0.1f, -2.3f, 1e-3f});
    ASSERT_TRUE(Write_STL(&sphere, folder.File("a.stl")));
    UniOb stl;
    ASSERT_TRUE(Read_STL(stl, folder.File("a.stl")));
    ASSERT_TRUE(Write_PLY(&stl, folder.File("b.ply")));
    UniOb ply;
    ASSERT_TRUE(Read_PLY_File(ply, folder.File("b.ply")));
    ASSERT_TRUE(Write_OBJ(&ply, folder.File("c.obj")));
    UniOb obj;
    ASSERT_TRUE(Read_OBJ_File(obj, folder.File("c.obj")));
    ASSERT_TRUE(Write_PLY(&obj, folder.File("d.ply"), PlyEncoding::Ascii));
    UniOb ascii;
    ASSERT_TRUE(Read_PLY_File(ascii, folder.File("d.ply")));
    ASSERT_TRUE(Write_STL(&ascii, folder.File("e.stl")));
    UniOb back;
    ASSERT_TRUE(Read_STL(back, folder.File("e.stl")));
    for (const UniOb* m : {&ply, &obj, &ascii, &back}) {
        EXPECT_EQ(m->Vertex_Pos, stl.Vertex_Pos);
        EXPECT_EQ(m->Face_Index, stl.Face_Index);
    }

    // Colours and texture coordinates survive PLY; texture coordinates survive OBJ.
    for (unsigned v = 0; v < stl.Vertex_Count; ++v) {
        stl.Vertex_Color[v] = int(v * 0x010203u & 0xFFFFFF);
        stl.Tex_Coord[v] = {float(v) / 7.0f, 1.0f / float(v + 3)};
    }
    for (PlyEncoding encoding : {PlyEncoding::BinaryLittleEndian, PlyEncoding::Ascii}) {
        ASSERT_TRUE(Write_PLY(&stl, folder.File("f.ply"), encoding));
        ASSERT_TRUE(Read_PLY_File(ply, folder.File("f.ply")));
        EXPECT_EQ(ply.Vertex_Color, stl.Vertex_Color);
        EXPECT_EQ(ply.Tex_Coord, stl.Tex_Coord);
    }
    ASSERT_TRUE(Write_OBJ(&stl, folder.File("g.obj")));
    ASSERT_TRUE(Read_OBJ_File(obj, folder.File("g.obj")));
    EXPECT_EQ(obj.Tex_Coord, stl.Tex_Coord);
    EXPECT_EQ(obj.Face_Index, stl.Face_Index);

    // Nothing to write: no file, and a message.
    UniOb empty;
    EXPECT_FALSE(Write_PLY(&empty, folder.File("h.ply")));
    EXPECT_FALSE(Write_OBJ(nullptr, folder.File("h.obj")));
    EXPECT_FALSE(std::filesystem::exists(folder.File("h.ply")));
}

}  // namespace
}  // namespace orvex
