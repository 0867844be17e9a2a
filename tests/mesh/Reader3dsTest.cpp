// Read_3DS: objects, list pairing, mapping coordinates, and every kind of damaged chunk, read from
// bytes written by the synthetic face's writer.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "mesh/FaceSynth.h"
#include "mesh/Reader3ds.h"

namespace orvex {
namespace {

using Bytes = std::vector<unsigned char>;

void Put16(Bytes& bytes, std::size_t at, unsigned value) {
    bytes[at] = static_cast<unsigned char>(value & 0xFF);
    bytes[at + 1] = static_cast<unsigned char>(value >> 8 & 0xFF);
}
void Put32(Bytes& bytes, std::size_t at, std::uint32_t value) {
    std::memcpy(bytes.data() + at, &value, 4);
}
std::uint32_t Get32(const Bytes& bytes, std::size_t at) {
    std::uint32_t value;
    std::memcpy(&value, bytes.data() + at, 4);
    return value;
}
unsigned Get16(const Bytes& bytes, std::size_t at) {
    return unsigned(bytes[at]) | unsigned(bytes[at + 1]) << 8;
}

// Offset of the first chunk with this id, found by walking the writer's layout: containers are
// entered, the name is passed, everything else is skipped.
std::size_t Find_Chunk(const Bytes& bytes, unsigned wanted, int skip = 0) {
    std::size_t at = 0;
    while (at + 6 <= bytes.size()) {
        const unsigned id = Get16(bytes, at);
        if (id == wanted && skip-- == 0) return at;
        if (id == 0x4D4D || id == 0x3D3D || id == 0x4100) {
            at += 6;
        } else if (id == 0x4000) {
            at += 6;
            while (bytes[at] != 0) ++at;
            ++at;
        } else {
            at += Get32(bytes, at + 2);
        }
    }
    ADD_FAILURE() << "no chunk " << wanted;
    return 0;
}

void Tetra(UniOb& mesh, float scale = 1.0f) {
    mesh.AllocVertices(4);
    mesh.AllocFaces(4);
    mesh.Vertex_Pos = {{0, 0, 0}, {scale, 0, 0}, {0, scale, 0}, {0, 0, scale}};
    mesh.Face_Index = {FaceIndex{0, 2, 1}, FaceIndex{0, 1, 3}, FaceIndex{0, 3, 2}, FaceIndex{1, 2, 3}};
    mesh.Tex_Coord = {{0.0f, 0.0f}, {1.0f, 0.0f}, {0.0f, 1.0f}, {0.5f, 0.5f}};
}

bool Mesh_Sound(const UniOb& mesh) {
    if (mesh.Face_Index.size() != mesh.Face_Count || mesh.Vertex_Pos.size() != mesh.Vertex_Count)
        return false;
    if ((mesh.Face_Count == 0) != (mesh.Vertex_Count == 0)) return false;
    for (const FaceIndex& face : mesh.Face_Index)
        for (int index : face)
            if (index < 0 || unsigned(index) >= mesh.Vertex_Count) return false;
    for (const Vec3& p : mesh.Vertex_Pos)
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) return false;
    return true;
}

TEST(Read3ds, FaceWithMappingCoordinatesAndAForeignChunkBetweenTheLists) {
    FaceSynthParams params;
    params.Grid = 31;
    params.Spacing = 4.0f;
    UniOb face;
    Make_Face(face, params);
    TdsWriteOptions options;
    options.Tex_Coords = true;
    options.Foreign_Chunk = true;
    UniOb mesh;
    Read3dsReport report;
    const Status status = Read_3DS(mesh, Tds_Bytes({&face}, options), "face.3ds", &report);
    ASSERT_TRUE(status.ok) << status.message;
    EXPECT_EQ(status.message, "");
    EXPECT_EQ(mesh.Vertex_Pos.size(), face.Vertex_Pos.size());
    for (unsigned v = 0; v < face.Vertex_Count; ++v) {
        EXPECT_EQ(mesh.Vertex_Pos[v].x, face.Vertex_Pos[v].x);
        EXPECT_EQ(mesh.Vertex_Pos[v].z, face.Vertex_Pos[v].z);
    }
    EXPECT_EQ(mesh.Face_Index, face.Face_Index);
    EXPECT_TRUE(report.Tex_Coords);
    EXPECT_EQ(mesh.Tex_Coord, face.Tex_Coord);
    EXPECT_EQ(mesh.Color_RGBA[3], 1.0f);
    EXPECT_EQ(mesh.Volume, 0.0f);
    EXPECT_EQ(mesh.Area, 0.0f);
    for (int colour : mesh.Vertex_Color) EXPECT_EQ(colour, 0);
    ASSERT_TRUE(mesh.HasCurvature());
    EXPECT_GT(mesh.Vertex_Normal[face.Vertex_Count / 2].z, 0.9f);
    EXPECT_LT(mesh.Box_Min.x, -50.0f);
    EXPECT_GT(mesh.Box_Max.x, 50.0f);

    // Without the mapping chunk the coordinates stay 0.
    ASSERT_TRUE(Read_3DS(mesh, Tds_Bytes({&face}), "plain.3ds", &report).ok);
    EXPECT_FALSE(report.Tex_Coords);
    EXPECT_EQ(mesh.Tex_Coord[5], (TexCoord{0.0f, 0.0f}));
}

TEST(Read3ds, TwoObjectsGiveTheSecondAndALaterBareVertexListChangesNothing) {
    UniOb first, second, bare;
    Tetra(first);
    FaceSynthParams params;
    params.Grid = 4;
    Make_Face(second, params);
    Tetra(bare, 5.0f);
    bare.AllocFaces(0);
    UniOb mesh;
    Read3dsReport report;
    ASSERT_TRUE(Read_3DS(mesh, Tds_Bytes({&first, &second}), "two.3ds", &report).ok);
    EXPECT_EQ(mesh.Vertex_Count, 16u);
    EXPECT_EQ(mesh.Face_Count, 18u);
    EXPECT_EQ(report.Face_Lists, 2u);

    // The third object's vertex list has an empty face list: the pair before stays.
    Bytes bytes = Tds_Bytes({&first, &second, &bare});
    ASSERT_TRUE(Read_3DS(mesh, bytes, "empty.3ds", &report).ok);
    EXPECT_EQ(report.Vertex_Lists, 3u);
    EXPECT_EQ(mesh.Vertex_Count, 16u);
    EXPECT_EQ(mesh.Face_Count, 18u);

    // The same with that face list dropped altogether.
    const std::size_t faces = Find_Chunk(bytes, 0x4120, 2);
    ASSERT_EQ(Get16(bytes, faces + 6), 0u);
    Put16(bytes, faces, 0x4F00);  // an unknown id: skipped
    const Status status = Read_3DS(mesh, bytes, "three.3ds", &report);
    ASSERT_TRUE(status.ok) << status.message;
    EXPECT_EQ(report.Vertex_Lists, 3u);
    EXPECT_EQ(mesh.Vertex_Count, 16u);
    EXPECT_EQ(mesh.Face_Count, 18u);
}

TEST(Read3ds, MappingCoordinatesOfAnotherCountAreSkipped) {
    UniOb tetra;
    Tetra(tetra);
    TdsWriteOptions options;
    options.Tex_Coords = true;
    Bytes bytes = Tds_Bytes({&tetra}, options);
    Put16(bytes, Find_Chunk(bytes, 0x4140) + 6, 3);
    UniOb mesh;
    Read3dsReport report;
    const Status status = Read_3DS(mesh, bytes, "map.3ds", &report);
    ASSERT_TRUE(status.ok) << status.message;
    EXPECT_FALSE(report.Tex_Coords);
    EXPECT_EQ(mesh.Face_Count, 4u);
    EXPECT_EQ(mesh.Tex_Coord[1], (TexCoord{0.0f, 0.0f}));
}

TEST(Read3ds, MappingCoordinatesAfterTheFaceListBelongToItsObject) {
    UniOb tetra, other;
    Tetra(tetra);
    Tetra(other, 2.0f);
    TdsWriteOptions options;
    options.Tex_Coords = true;
    Bytes bytes = Tds_Bytes({&tetra}, options);
    // Move the mapping chunk behind the face list, inside the same object.
    const std::size_t mapping = Find_Chunk(bytes, 0x4140);
    const Bytes chunk(bytes.begin() + std::ptrdiff_t(mapping),
                      bytes.begin() + std::ptrdiff_t(mapping + Get32(bytes, mapping + 2)));
    bytes.erase(bytes.begin() + std::ptrdiff_t(mapping),
                bytes.begin() + std::ptrdiff_t(mapping + chunk.size()));
    const std::size_t faces = Find_Chunk(bytes, 0x4120);
    bytes.insert(bytes.begin() + std::ptrdiff_t(faces + Get32(bytes, faces + 2)), chunk.begin(), chunk.end());
    UniOb mesh;
    Read3dsReport report;
    ASSERT_TRUE(Read_3DS(mesh, bytes, "late.3ds", &report).ok);
    EXPECT_TRUE(report.Tex_Coords);
    EXPECT_EQ(mesh.Tex_Coord, tetra.Tex_Coord);

    // A later object's vertex list with its own coordinates but no faces leaves the pair alone.
    other.AllocFaces(0);
    other.Tex_Coord = {{0.9f, 0.9f}, {0.9f, 0.9f}, {0.9f, 0.9f}, {0.9f, 0.9f}};
    bytes = Tds_Bytes({&tetra, &other}, options);
    ASSERT_TRUE(Read_3DS(mesh, bytes, "bare.3ds", &report).ok);
    EXPECT_EQ(mesh.Vertex_Pos[1].x, 1.0f);
    EXPECT_EQ(mesh.Tex_Coord, tetra.Tex_Coord);
}

TEST(Read3ds, FacesBeforeAnyVertexListOrPastItAreDroppedAndCounted) {
    UniOb tetra;
    Tetra(tetra);
    tetra.AllocFaces(3);
    tetra.Face_Index = {FaceIndex{0, 2, 1}, FaceIndex{0, 1, 4}, FaceIndex{65535, 1, 2}};
    // A face list outside any object, before the object's vertex list.
    Bytes bytes = Tds_Bytes({&tetra});
    const std::size_t object = Find_Chunk(bytes, 0x4000);
    const Bytes stray = {0x20, 0x41, 16, 0, 0, 0, 1, 0, 0, 0, 1, 0, 2, 0, 0, 0};
    bytes.insert(bytes.begin() + std::ptrdiff_t(object), stray.begin(), stray.end());
    Put32(bytes, 2, Get32(bytes, 2) + 16);
    Put32(bytes, Find_Chunk(bytes, 0x3D3D) + 2, Get32(bytes, Find_Chunk(bytes, 0x3D3D) + 2) + 16);
    UniOb mesh;
    Read3dsReport report;
    const Status status = Read_3DS(mesh, bytes, "drop.3ds", &report);
    ASSERT_TRUE(status.ok) << status.message;
    EXPECT_EQ(report.Faces_Dropped, 3u);
    EXPECT_EQ(mesh.Face_Count, 1u);
    EXPECT_NE(status.message.find("3 faces"), std::string::npos) << status.message;

    // Only faces before the vertex list: nothing usable.
    tetra.AllocFaces(0);
    bytes = Tds_Bytes({&tetra});
    bytes.insert(bytes.begin() + std::ptrdiff_t(Find_Chunk(bytes, 0x4000)), stray.begin(), stray.end());
    Put32(bytes, 2, Get32(bytes, 2) + 16);
    Put32(bytes, Find_Chunk(bytes, 0x3D3D) + 2, Get32(bytes, Find_Chunk(bytes, 0x3D3D) + 2) + 16);
    EXPECT_FALSE(Read_3DS(mesh, bytes, "none.3ds").ok);
    EXPECT_TRUE(mesh.IsEmpty());
}

TEST(Read3ds, LongNamesAreReadToTheirZeroByte) {
    UniOb tetra;
    Tetra(tetra);
    TdsWriteOptions options;
    // 20 bytes and more: the tail of the name must not be read as a chunk header.
    for (const char* name :
         {"abcdefghijklmnopqrs", "abcdefghijklmnopqrst", "MMMM==AA\x10\x41\x01\x01\x01\x01 long name here"}) {
        options.Name = name;
        UniOb mesh;
        const Status status = Read_3DS(mesh, Tds_Bytes({&tetra}, options), "name.3ds");
        ASSERT_TRUE(status.ok) << name << ": " << status.message;
        EXPECT_EQ(status.message, "");
        EXPECT_EQ(mesh.Face_Count, 4u);
    }
}

// Damaged chunks end the walk with a message and without a hang or a read outside; what was
// paired before stays.
TEST(Read3ds, DamagedChunksStopTheWalkWithAMessage) {
    UniOb first, second;
    Tetra(first);
    Tetra(second, 2.0f);
    const Bytes good = Tds_Bytes({&first, &second});
    const std::size_t secondObject = Find_Chunk(good, 0x4000, 1);
    const std::size_t secondVertices = Find_Chunk(good, 0x4110, 1);
    const std::size_t secondFaces = Find_Chunk(good, 0x4120, 1);
    struct Fault {
        const char* what;
        std::size_t at;
        std::uint32_t value;
        bool wide;
        const char* says;
    };
    const Fault faults[] = {
        {"length 0", secondObject + 2, 0, true, "length 0"},
        {"length 5", secondVertices + 2, 5, true, "length 5"},
        {"past the parent", secondVertices + 2, 0x100000, true, "past the end"},
        {"vertex list too long", secondVertices + 6, 5000, false, "vertex list"},
        {"face list too long", secondFaces + 6, 5000, false, "face list"},
    };
    for (const Fault& fault : faults) {
        Bytes bytes = good;
        if (fault.wide)
            Put32(bytes, fault.at, fault.value);
        else
            Put16(bytes, fault.at, fault.value);
        UniOb mesh;
        Read3dsReport report;
        const Status status = Read_3DS(mesh, bytes, "bad.3ds", &report);
        ASSERT_TRUE(status.ok) << fault.what << ": " << status.message;
        EXPECT_TRUE(report.Stopped) << fault.what;
        EXPECT_NE(status.message.find(fault.says), std::string::npos) << fault.what << ": " << status.message;
        EXPECT_EQ(mesh.Box_Max.x, 1.0f) << fault.what;  // the first object
    }
    // The walk ends at the damage: an object after it is not read either.
    {
        Bytes early = good;
        Put16(early, Find_Chunk(early, 0x4120) + 6, 5000);
        UniOb mesh;
        Read3dsReport report;
        Read_3DS(mesh, early, "early.3ds", &report);
        EXPECT_TRUE(report.Stopped);
        EXPECT_NE(mesh.Box_Max.x, 2.0f);
    }
    // A name with no zero byte in its chunk.
    Bytes bytes = good;
    const std::size_t name = Find_Chunk(bytes, 0x4000);
    Put32(bytes, name + 2, 8);
    std::memset(bytes.data() + name + 6, 'x', 2);
    UniOb mesh;
    const Status status = Read_3DS(mesh, bytes, "noname.3ds");
    EXPECT_NE(status.message.find("name"), std::string::npos) << status.message;
    EXPECT_TRUE(Mesh_Sound(mesh));
}

TEST(Read3ds, NonFiniteCoordinateRefusesTheFile) {
    UniOb first, second;
    Tetra(first);
    Tetra(second);
    second.Vertex_Pos[3].z = std::numeric_limits<float>::infinity();
    UniOb mesh;
    const Status status = Read_3DS(mesh, Tds_Bytes({&first, &second}), "inf.3ds");
    EXPECT_FALSE(status.ok);
    EXPECT_TRUE(mesh.IsEmpty());
    EXPECT_NE(status.message.find("vertex 3"), std::string::npos) << status.message;
}

TEST(Read3ds, TruncationsAndByteFlipsGiveASoundMeshOrARefusal) {
    UniOb first, second;
    Tetra(first);
    FaceSynthParams params;
    params.Grid = 4;
    Make_Face(second, params);
    TdsWriteOptions options;
    options.Tex_Coords = true;
    options.Foreign_Chunk = true;
    const Bytes good = Tds_Bytes({&first, &second}, options);
    UniOb mesh;
    for (std::size_t n = 0; n < good.size(); ++n) {
        const Status status =
            Read_3DS(mesh, Bytes(good.begin(), good.begin() + std::ptrdiff_t(n)), "cut.3ds");
        ASSERT_TRUE(Mesh_Sound(mesh)) << n;
        ASSERT_EQ(status.ok, !mesh.IsEmpty()) << n;
    }
    std::mt19937 random(3);
    for (int round = 0; round < 5000; ++round) {
        Bytes bytes = good;
        const int changes = 1 + int(random() % 4);
        for (int c = 0; c < changes; ++c)
            bytes[random() % bytes.size()] = static_cast<unsigned char>(random());
        const Status status = Read_3DS(mesh, bytes, "flip.3ds");
        ASSERT_TRUE(Mesh_Sound(mesh)) << round;
        ASSERT_EQ(status.ok, !mesh.IsEmpty()) << round;
    }
}

}  // namespace
}  // namespace orvex
