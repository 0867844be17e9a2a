// The PLY reader: the three encodings, fans, colours and texture coordinates, skipped elements and
// properties, hostile headers and bodies, the merge option, and the writers' round trips.

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "geometry/NumberScanner.h"
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
    // A sign after the plus is no number either, as strtod has it.
    for (const char* token : {"+-5", "++5", "+-0.5"}) {
        status = Read(mesh, Text(std::string("ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\n"
                                             "property float y\nproperty float z\nelement face 1\nproperty "
                                             "list uchar int vertex_indices\nend_header\n0 0 0\n1 0 0\n0 ") +
                                 token + " 0\n3 0 1 2\n"));
        EXPECT_FALSE(status) << token;
        EXPECT_NE(status.message.find(std::string("line 12: '") + token + "' is not a number"),
                  std::string::npos)
            << status.message;
    }

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

// A large ASCII body in many spellings of numbers: records as lines of tokens, so a test can write
// them one record a line or spread over lines.
struct TextMesh {
    std::vector<std::vector<std::string>> vertices;  // x y z red green blue u v flags
    std::vector<std::vector<std::string>> faces;     // count and indices
    std::vector<std::vector<std::string>> edges;     // a b

    // The last value of every record on a line of its own when `spread`.
    Bytes Ply(bool spread) const {
        std::string out = "ply\nformat ascii 1.0\nelement vertex " + std::to_string(vertices.size()) +
                          "\nproperty double x\nproperty float y\nproperty float z\nproperty uchar red\n"
                          "property uchar green\nproperty uchar blue\nproperty float u\nproperty float v\n"
                          "property int flags\nelement face " +
                          std::to_string(faces.size()) +
                          "\nproperty list uchar int vertex_indices\nelement edge " +
                          std::to_string(edges.size()) + "\nproperty int a\nproperty int b\nend_header\n";
        std::size_t lines = 0;
        for (const auto* records : {&vertices, &faces, &edges})
            for (const std::vector<std::string>& record : *records) {
                for (std::size_t i = 0; i < record.size(); ++i) {
                    if (i > 0) out += spread && i + 1 == record.size() ? "\n" : (i % 3 ? " " : " \t ");
                    out += record[i];
                }
                out += ++lines % 5 ? "\n" : " \r\n";
            }
        return Text(out);
    }
};

// Numbers as files spell them: short and long decimals, exponents, a '+', no digits before or
// after the point, minus zero, more digits than a double holds, powers past the quick route.
std::string Spelled_Number(std::mt19937& random) {
    std::uniform_real_distribution<double> value(-1500.0, 1500.0);
    char text[64];
    const double v = value(random);
    switch (random() % 12) {
        case 0:
            std::snprintf(text, sizeof text, "%.17g", v);
            break;
        case 1:
            std::snprintf(text, sizeof text, "%.6f", v);
            break;
        case 2:
            std::snprintf(text, sizeof text, "%.4e", v);
            break;
        case 3:
            std::snprintf(text, sizeof text, "+%.5G", std::fabs(v) * 1e-9);
            break;
        case 4:
            std::snprintf(text, sizeof text, "%d", int(v));
            break;
        case 5:
            std::snprintf(text, sizeof text, ".%u", unsigned(random() % 100000));
            break;
        case 6:
            std::snprintf(text, sizeof text, "%d.", int(v));
            break;
        case 7:
            return random() % 2 ? "-0" : "-0.0e5";
        case 8:
            std::snprintf(text, sizeof text, "%.0f%06u.%07u", std::fabs(v) * 1e12,
                          unsigned(random() % 1000000), unsigned(random() % 10000000));
            break;
        case 9:
            std::snprintf(text, sizeof text, "0.0000000000000000000000%u", unsigned(random()));
            break;
        case 10:
            std::snprintf(text, sizeof text, "%.3e", v * 1e27);
            break;
        default:
            std::snprintf(text, sizeof text, "%.9g", v);
            break;
    }
    return text;
}

TextMesh Random_Text_Mesh(std::size_t vertexCount, std::size_t faceCount, unsigned seed) {
    std::mt19937 random(seed);
    TextMesh mesh;
    for (std::size_t i = 0; i < vertexCount; ++i) {
        std::vector<std::string> record;
        for (int k = 0; k < 3; ++k) record.push_back(Spelled_Number(random));
        for (int k = 0; k < 3; ++k) record.push_back(std::to_string(random() % 256));
        record.push_back(Spelled_Number(random));
        record.push_back(std::to_string(double(random() % 1000) / 1000.0));
        record.push_back(std::to_string(int(random() % 2000) - 1000));
        mesh.vertices.push_back(record);
    }
    for (std::size_t i = 0; i < faceCount; ++i) {
        const unsigned corners = random() % 50 == 0 ? 2 + random() % 5 : 3;
        std::vector<std::string> record{std::to_string(corners)};
        for (unsigned k = 0; k < corners; ++k) {
            const unsigned pick = random() % 400;
            // Now and then an index past the vertices, a negative one, or a plus or minus zero.
            record.push_back(pick == 0   ? std::to_string(vertexCount + random() % 3)
                             : pick == 1 ? "-" + std::to_string(1 + random() % 5)
                             : pick == 2 ? (random() % 2 ? "-0" : "+0")
                                         : std::to_string(random() % vertexCount));
        }
        mesh.faces.push_back(record);
    }
    for (std::size_t i = 0; i < 1000; ++i)
        mesh.edges.push_back(
            {std::to_string(random() % vertexCount), std::to_string(random() % vertexCount)});
    return mesh;
}

template <class T>
bool Same_Bits(const std::vector<T>& a, const std::vector<T>& b) {
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0);
}

struct ReadResult {
    UniOb mesh;
    MeshFileReport report;
    Status status;
};

void Read_Text(ReadResult& out, const Bytes& bytes) {
    MeshFileOptions options;
    options.runPipeline = false;
    options.report = &out.report;
    out.status = Read_PLY(out.mesh, bytes, "test.ply", options);
}

TEST(PlyReader, PlainDecimalsGiveTheBitsFromCharsGives) {
    // The quick route either gives std::from_chars's double and end, or leaves the text to it.
    std::vector<std::string> texts = {"0",
                                      "-0",
                                      "1.",
                                      ".5",
                                      "-.25",
                                      "007",
                                      "1e22",
                                      "1e23",
                                      "9007199254740993",
                                      "123456789012345678",
                                      "1e-22",
                                      "4.9e-324",
                                      "0e99999",
                                      "1.5e",
                                      "1e+5",
                                      "2E-3",
                                      "12345678.87654321",
                                      "0.1",
                                      "3.14159265358979323846",
                                      "-"};
    std::mt19937 random(11);
    for (int i = 0; i < 20000; ++i) texts.push_back(Spelled_Number(random));
    for (int i = 0; i < 2000; ++i) {
        std::string digits;
        for (unsigned k = 1 + random() % 18; k > 0; --k) digits += char('0' + random() % 10);
        const std::size_t point = random() % (digits.size() + 1);
        std::string number(digits, 0, point);
        number += '.';
        number.append(digits, point, std::string::npos);
        if (random() % 3 == 0) {
            number += 'e';
            number += std::to_string(int(random() % 40) - 20);
        }
        texts.push_back(number);
    }
    int quick = 0;
    for (const std::string& text : texts) {
        // Padded and not: the word-at-a-time route and the tail route.
        std::string padded = text;
        padded += " 12345678";
        for (const std::string& buffer : {text, padded}) {
            const char* begin = buffer.data();
            const char* end = begin + buffer.size();
            double got = 0, expected = 0;
            const char* stop = Parse_Plain_Double(begin, end, got);
            if (!stop) continue;
            ++quick;
            const std::from_chars_result result = std::from_chars(begin, end, expected);
            ASSERT_EQ(result.ec, std::errc()) << text;
            EXPECT_EQ(stop, result.ptr) << text;
            EXPECT_EQ(std::memcmp(&got, &expected, sizeof got), 0)
                << text << ": " << got << " for " << expected;
        }
    }
    EXPECT_GT(quick, 20000);
}

TEST(PlyReader, LargeBodiesReadLineByLineGiveWhatTheRecordByRecordReadingGives) {
    // Bodies of several MB are read in two pieces when every record is one line; spreading each
    // record over two lines forces the reading record by record. Both must give the same bits.
    struct Case {
        std::size_t vertices, faces;
        bool nan;
    };
    for (const Case& c : {Case{40000, 40000, false}, Case{6000, 250000, false}, Case{40000, 40000, true}}) {
        SCOPED_TRACE(std::to_string(c.vertices) + " vertices, " + std::to_string(c.faces) + " faces");
        TextMesh text = Random_Text_Mesh(c.vertices, c.faces, unsigned(c.vertices + c.faces));
        if (c.nan) text.vertices[c.vertices - 7][1] = "nan";
        const Bytes lines = text.Ply(false);
        ASSERT_GT(lines.size(), std::size_t(4) << 20);
        ReadResult fast, spread;
        Read_Text(fast, lines);
        Read_Text(spread, text.Ply(true));
        EXPECT_EQ(fast.status.ok, spread.status.ok);
        EXPECT_EQ(fast.status.message, spread.status.message);
        EXPECT_FALSE(fast.status.ok) << "the bad faces are counted";
        EXPECT_EQ(fast.report.facesRead, spread.report.facesRead);
        EXPECT_EQ(fast.report.facesDropped, spread.report.facesDropped);
        EXPECT_EQ(fast.report.verticesNonFinite, c.nan ? 1u : 0u);
        EXPECT_EQ(fast.report.verticesNonFinite, spread.report.verticesNonFinite);
        EXPECT_GT(fast.report.facesDropped, 0u);
        EXPECT_FALSE(fast.report.damaged);
        EXPECT_TRUE(Same_Bits(fast.mesh.Vertex_Pos, spread.mesh.Vertex_Pos));
        EXPECT_TRUE(Same_Bits(fast.mesh.Vertex_Color, spread.mesh.Vertex_Color));
        EXPECT_TRUE(Same_Bits(fast.mesh.Tex_Coord, spread.mesh.Tex_Coord));
        EXPECT_TRUE(Same_Bits(fast.mesh.Face_Index, spread.mesh.Face_Index));
        ASSERT_EQ(fast.mesh.Vertex_Count, c.nan ? c.vertices - 1 : c.vertices);

        // Each coordinate is what the C library makes of its text, rounded to a float.
        if (!c.nan) {
            for (std::size_t v = 0; v < c.vertices; v += 97) {
                for (int k = 0; k < 3; ++k) {
                    const float expected =
                        float(std::strtod(text.vertices[v][std::size_t(k)].c_str(), nullptr));
                    const float got = (&fast.mesh.Vertex_Pos[v].x)[k];
                    EXPECT_EQ(std::memcmp(&expected, &got, sizeof got), 0)
                        << text.vertices[v][std::size_t(k)] << " read as " << got;
                }
            }
        }
    }
}

TEST(PlyReader, LargeBodiesStillNameTheLineOfTheirFault) {
    TextMesh text = Random_Text_Mesh(6000, 250000, 7);
    const std::size_t headerLines = 18;
    // A bad number in the last face, far into the second piece.
    text.faces.back()[2] = "12x";
    ReadResult result;
    Read_Text(result, text.Ply(false));
    EXPECT_FALSE(result.status);
    const std::size_t lastFaceLine = headerLines + text.vertices.size() + text.faces.size();
    EXPECT_NE(result.status.message.find("line " + std::to_string(lastFaceLine) + ": '12x' is not a number"),
              std::string::npos)
        << result.status.message;
    EXPECT_TRUE(result.report.damaged);
    EXPECT_EQ(result.report.facesRead + result.report.facesDropped, text.faces.size() - 1);

    // Torn in the middle of the last face line: the complete faces stay and the line is named.
    text.faces.back() = {"3", "0", "1", "2"};
    text.edges.clear();
    Bytes torn = text.Ply(false);
    torn.pop_back();
    while (torn.back() != '\n') torn.pop_back();
    for (char c : std::string("3 0 1")) torn.push_back(c);
    Read_Text(result, torn);
    EXPECT_FALSE(result.status);
    EXPECT_NE(result.status.message.find("line " + std::to_string(lastFaceLine) + ": the data ends early"),
              std::string::npos)
        << result.status.message;
    EXPECT_TRUE(result.report.damaged);
    EXPECT_GT(result.mesh.Face_Count, 200000u);
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
