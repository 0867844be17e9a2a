// The OBJ reader: indices of every form, groups and objects merged, materials not needed, bad
// faces dropped and counted, texture coordinates on their vertices, long lines; a file read in
// pieces side by side gives what one reading gives.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "mesh/ObjReader.h"
#include "tests/support/ScratchFolder.h"

namespace orvex {
namespace {

using namespace std::string_literals;
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
    std::string text = "#";
    text.append(1 << 20, 'x');
    text += "\nv 0 0 0\nv 1 0 0\nv 0 1 0\ng ";
    text.append(1 << 20, 'g');
    text += "\nf";
    for (int k = 0; k < 100000; ++k) text += k % 2 ? " 2" : " 3";
    text += "\n";
    ASSERT_TRUE(Read(mesh, "v 0 0 0\nv 1 0 0\nv 0 1 0\n" + text + "f 1 2 3\n").ok == true ||
                mesh.Face_Count > 0);
    EXPECT_EQ(mesh.Face_Count, 99998u + 1u);
}

// Faces, positions (bit for bit), texture coordinates, status and report of two readings.
void Expect_Same_Reading(const UniOb& a, const Status& sa, const MeshFileReport& ra, const UniOb& b,
                         const Status& sb, const MeshFileReport& rb, const std::string& what) {
    SCOPED_TRACE(what);
    EXPECT_EQ(sa.ok, sb.ok);
    EXPECT_EQ(sa.message, sb.message);
    EXPECT_EQ(ra.facesDeclared, rb.facesDeclared);
    EXPECT_EQ(ra.facesDropped, rb.facesDropped);
    EXPECT_EQ(ra.verticesDeclared, rb.verticesDeclared);
    EXPECT_EQ(ra.notes, rb.notes);
    EXPECT_EQ(a.Face_Index, b.Face_Index);
    ASSERT_EQ(a.Vertex_Pos.size(), b.Vertex_Pos.size());
    EXPECT_EQ(0, std::memcmp(a.Vertex_Pos.data(), b.Vertex_Pos.data(), a.Vertex_Pos.size() * sizeof(Vec3)));
    EXPECT_EQ(a.Tex_Coord, b.Tex_Coord);
}

// Read whole, then in pieces of every count up to eight: the same.
void Expect_Same_In_Pieces(const std::string& text) {
    const std::vector<unsigned char> bytes(text.begin(), text.end());
    UniOb whole;
    MeshFileReport wholeReport;
    MeshFileOptions options;
    options.runPipeline = false;
    options.report = &wholeReport;
    const Status wholeStatus = obj_detail::Read_OBJ_Pieces(whole, bytes, "t.obj", 1, options);
    for (unsigned pieces = 2; pieces <= 8; ++pieces) {
        UniOb mesh;
        MeshFileReport report;
        options.report = &report;
        const Status status = obj_detail::Read_OBJ_Pieces(mesh, bytes, "t.obj", pieces, options);
        Expect_Same_Reading(whole, wholeStatus, wholeReport, mesh, status, report,
                            std::to_string(pieces) + " pieces");
    }
}

TEST(ObjReader, LineEndsAndOddLinesKeepTheirPlaceInTheFile) {
    // Lines ending in "\r", "\r\n" and "\n"; a '\0' ends what is read of its line; "3/" and "+4" are
    // read as tinyobjloader reads them; the last line has no end.
    const std::string text =
        "v 0 0 0\rv 1 0 0\r\nv 0 1\0 9\n\tv  0 0 1 \nf 1 2 3/\ng x\nf 1 2 +4\nv 2 2 2\nf -5 -4 -1"s;
    UniOb mesh;
    MeshFileReport report;
    ASSERT_TRUE(Read(mesh, text, &report));
    const std::vector<FaceIndex> faces = {{0, 1, 2}, {0, 1, 3}, {0, 1, 4}};
    EXPECT_EQ(mesh.Face_Index, faces);
    ASSERT_EQ(mesh.Vertex_Count, 5u);
    EXPECT_EQ(mesh.Vertex_Pos[2], (Vec3{0, 1, 0}));
    EXPECT_EQ(mesh.Vertex_Pos[4], (Vec3{2, 2, 2}));
    Expect_Same_In_Pieces(text);
}

// Objects of three vertices named from their end, every corner with a vt from the file's start;
// a forward reference now and then, a non-finite vertex, a conflicting vt and a missing material
// file at the end. Large enough to be read in pieces side by side.
std::string Many_Objects(int objects) {
    std::string text = "vt 0.25 0.5\nvt 0.5 0.25\nvt 0.75 1\n";
    for (int i = 0; i < objects; ++i) {
        text += "o part" + std::to_string(i) + "\n";
        for (int k = 0; k < 3; ++k)
            text += "v " +
                    (i == objects / 2 && k == 1 ? std::string("1e999") : std::to_string(i * 0.001 + k)) +
                    " " + std::to_string(k * 0.5) + " " + std::to_string(-i) + "\n";
        text += "f -3/1 -2/2 -1/3\n";
        if (i % 1000 == 999) text += "f 1 2 " + std::to_string(3 * i + 4) + "\n";
    }
    return text + "f 1/2 2/2 3/2\nmtllib missing.mtl\n";
}

TEST(ObjReader, APieceAtATimeReadsAsOneReading) {
    const int objects = 30000;
    const std::string text = Many_Objects(objects);
    ASSERT_GT(text.size(), std::size_t(2) << 20) << "large enough for pieces side by side";
    UniOb mesh;
    MeshFileReport report;
    const Status status = Read(mesh, text, &report);
    EXPECT_FALSE(status);
    EXPECT_EQ(report.facesDeclared, std::uint64_t(objects + objects / 1000 + 1));
    EXPECT_EQ(report.facesDropped, std::uint64_t(objects / 1000 + 1));
    ASSERT_EQ(mesh.Face_Count, std::uint64_t(objects));
    ASSERT_EQ(mesh.Vertex_Count, std::uint64_t(3 * objects - 1));
    // After the non-finite vertex the vertices move down by one.
    EXPECT_EQ(mesh.Face_Index[objects - 2], (FaceIndex{3 * objects - 4, 3 * objects - 3, 3 * objects - 2}));
    EXPECT_EQ(mesh.Face_Index[objects - 1], (FaceIndex{0, 1, 2}));
    EXPECT_EQ(mesh.Tex_Coord[3 * objects - 2], (TexCoord{0.75f, 1.0f}));
    ASSERT_EQ(report.notes.size(), 2u);
    EXPECT_NE(report.notes[0].find("'missing.mtl' not found"), std::string::npos) << report.notes[0];
    EXPECT_NE(report.notes[1].find("2 corners"), std::string::npos) << report.notes[1];

    UniOb one;
    MeshFileReport oneReport;
    MeshFileOptions options;
    options.report = &oneReport;
    const std::vector<unsigned char> bytes(text.begin(), text.end());
    const Status oneStatus = obj_detail::Read_OBJ_Pieces(one, bytes, "t.obj", 1, options);
    Expect_Same_Reading(one, oneStatus, oneReport, mesh, status, report, "one piece against the default");
}

class CancelAtOnce : public Progress {
public:
    void Report(double, const std::string&) override {}
    bool IsCancelRequested() const override { return true; }
};

// The reader's number parser against tinyobjloader's, bit for bit, on what writers print and on
// every form it hands back to the original.
TEST(ObjReader, NumbersAreTinyobjloadersToTheBit) {
    std::mt19937_64 random(3);
    std::vector<std::string> tokens = {"0",
                                       "-0",
                                       "+0",
                                       "5.",
                                       "-.5",
                                       ".25",
                                       "+",
                                       "-",
                                       "",
                                       ".",
                                       "1e5",
                                       "2.5E-3",
                                       "1.2.3",
                                       "7x",
                                       "1.5e",
                                       "00012.000400",
                                       "-3.1415926535897932384626",
                                       std::string(45, '9'),
                                       "0." + std::string(45, '3'),
                                       "1e400",
                                       "1.0e-400"};
    for (int i = 0; i < 60000; ++i) {
        std::string t;
        if (random() % 3 == 0) t += "+-"[random() % 2];
        for (int k = int(random() % 12); k > 0; --k) t += char('0' + random() % 10);
        if (random() % 4 != 0) {
            t += '.';
            for (int k = int(random() % 44); k > 0; --k) t += char('0' + random() % 10);
        }
        if (random() % 50 == 0) t += "e-" + std::to_string(random() % 40);
        tokens.push_back(t);
        char shortest[32];
        const float f = std::ldexp(float(random() % 16777216), int(random() % 60) - 40);
        std::snprintf(shortest, sizeof shortest, "%.9g", double(f));
        tokens.emplace_back(shortest);
    }
    int mismatches = 0;
    for (const std::string& t : tokens) {
        double ours = 42.0, theirs = 42.0;
        const bool okOurs = obj_detail::Obj_Real(t.data(), t.data() + t.size(), &ours);
        const bool okTheirs = obj_detail::Tinyobj_Real(t.data(), t.data() + t.size(), &theirs);
        if ((okOurs != okTheirs || std::memcmp(&ours, &theirs, sizeof ours) != 0) && ++mismatches < 5)
            ADD_FAILURE() << "'" << t << "': " << ours << " against " << theirs;
    }
}

TEST(ObjReader, CancelledReadLeavesTheMeshEmpty) {
    std::string text = "v 0 0 0\nv 1 0 0\nv 0 1 0\n";
    for (int k = 0; k < 300000; ++k) text += "f 1 2 3\n";
    const std::vector<unsigned char> bytes(text.begin(), text.end());
    UniOb mesh;
    CancelAtOnce progress;
    MeshFileOptions options;
    options.progress = &progress;
    const Status status = Read_OBJ(mesh, bytes, "t.obj", options);
    EXPECT_FALSE(status);
    EXPECT_NE(status.message.find("reading cancelled"), std::string::npos) << status.message;
    EXPECT_TRUE(mesh.IsEmpty());
}

}  // namespace
}  // namespace orvex
