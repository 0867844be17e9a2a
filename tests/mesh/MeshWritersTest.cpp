// The writers: exact layouts and texts, splits, the STL round trip through the reader, empty
// meshes, and failed writes that must leave no file behind.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "mesh/LoadPipeline.h"
#include "mesh/MeshWriters.h"
#include "mesh/StlFormat.h"
#include "mesh/StlReader.h"
#include "tests/support/ScratchFolder.h"
#include "tests/support/TestMeshes.h"

namespace orvex {
namespace {

namespace fs = std::filesystem;

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::uint32_t Stl_Count(const std::string& bytes) {
    return bytes.size() >= kStlPreambleBytes
               ? Stl_Read_Count(reinterpret_cast<const unsigned char*>(bytes.data()))
               : 0;
}

StlFacet Record(const std::string& bytes, std::size_t k) {
    StlFacet facet;
    Stl_Read_Record(
        reinterpret_cast<const unsigned char*>(bytes.data()) + kStlPreambleBytes + k * kStlRecordBytes,
        facet);
    return facet;
}

class Writers : public ::testing::Test {
protected:
    std::string In(const char* name) const { return (folder / name).string(); }
    test::ScratchFolder scratch_{"orvex_writers"};
    fs::path folder = scratch_.Path();
};

TEST_F(Writers, StlOfAListHoldsEveryMeshWithItsOwnVertices) {
    UniOb cube, tetra;
    test::Make_Cube(cube);
    test::Make_Tetrahedron(tetra, {10, 20, 30}, 2.0f);
    test::Finish_Mesh(cube);
    test::Finish_Mesh(tetra);
    UniOb* head = Push_Front(&tetra, &cube);
    ASSERT_TRUE(Write_STL(head, In("list.stl")));
    cube.next = nullptr;

    const std::string bytes = Slurp(In("list.stl"));
    ASSERT_EQ(bytes.size(), kStlPreambleBytes + 16 * kStlRecordBytes);
    EXPECT_EQ(bytes.substr(0, 16), std::string("STLEXP Object01\0", 16));
    EXPECT_EQ(bytes.substr(16, 64), std::string(64, '\0'));
    EXPECT_EQ(Stl_Count(bytes), 16u);
    for (int k = 0; k < 16; ++k) {
        const UniOb& mesh = k < 12 ? cube : tetra;
        const int f = k < 12 ? k : k - 12;
        const StlFacet facet = Record(bytes, k);
        EXPECT_EQ(facet.normal, mesh.Face_Normal[f]);
        for (int c = 0; c < 3; ++c) EXPECT_EQ(facet.corner[c], mesh.Vertex_Pos[mesh.Face_Index[f][c]]);
        EXPECT_EQ(bytes[kStlPreambleBytes + k * kStlRecordBytes + 48], '\0');
        EXPECT_EQ(bytes[kStlPreambleBytes + k * kStlRecordBytes + 49], '\0');
    }
}

TEST_F(Writers, StlRoundTripKeepsVerticesAndFaces) {
    UniOb sphere, back;
    test::Make_Sphere(sphere, 3.0f, 3, {1, 2, 3});
    test::Finish_Mesh(sphere);
    ASSERT_TRUE(Write_STL(&sphere, In("sphere.stl")));
    ASSERT_TRUE(Read_STL(back, In("sphere.stl")));
    EXPECT_EQ(back.Vertex_Count, sphere.Vertex_Count);
    ASSERT_EQ(back.Face_Count, sphere.Face_Count);
    for (unsigned f = 0; f < sphere.Face_Count; ++f)
        for (int c = 0; c < 3; ++c)
            ASSERT_EQ(back.Vertex_Pos[back.Face_Index[f][c]], sphere.Vertex_Pos[sphere.Face_Index[f][c]]);
    EXPECT_NEAR(back.Volume, sphere.Volume, 1e-5f * sphere.Volume);
}

TEST_F(Writers, CubeSplitsTenUpAndTwoDown) {
    UniOb cube;
    test::Make_Cube(cube);
    test::Finish_Mesh(cube);
    const std::string base = In("cube.stl");
    ASSERT_TRUE(Write_STL_Upper_Lower(cube, base, {0, 0, 1}));
    const std::string upper = Slurp(base + ".upper.stl"), lower = Slurp(base + ".lower.stl");
    EXPECT_EQ(Stl_Count(upper), 10u);
    EXPECT_EQ(upper.size(), kStlPreambleBytes + 10 * kStlRecordBytes);
    EXPECT_EQ(Stl_Count(lower), 2u);
    for (int k = 0; k < 2; ++k) EXPECT_EQ(Record(lower, k).normal, (Vec3{0, 0, -1}));
}

TEST_F(Writers, VisibleFromAnEyeAboveTheCube) {
    UniOb cube;
    test::Make_Cube(cube);
    test::Finish_Mesh(cube);
    const std::string base = In("cube.stl");
    ASSERT_TRUE(Write_STL_Visible(cube, base, {0, 0, 10}));
    EXPECT_EQ(Stl_Count(Slurp(base + ".visble.stl")), 2u);
    EXPECT_EQ(Stl_Count(Slurp(base + ".invisble.stl")), 10u);
    // From the centre every face turns its back; an eye in a face's plane sees that face.
    ASSERT_TRUE(Write_STL_Visible(cube, base, {0, 0, 0}));
    EXPECT_EQ(Stl_Count(Slurp(base + ".visble.stl")), 0u);
    ASSERT_TRUE(Write_STL_Visible(cube, base, {0, 0, 1}));
    EXPECT_EQ(Stl_Count(Slurp(base + ".visble.stl")), 2u);
}

TEST_F(Writers, CArraysOfOneFaceHaveNoTrailingCommas) {
    UniOb triangle;
    test::Make_Triangle(triangle);
    test::Finish_Mesh(triangle);
    ASSERT_TRUE(Write_C_Arrays(triangle, In("c.txt")));
    EXPECT_EQ(Slurp(In("c.txt")),
              "float car_vertex[3][3]={\n"
              "{0.000000,0.000000,0.000000},\n"
              "{1.000000,0.000000,0.000000},\n"
              "{0.000000,1.000000,0.000000}\n};\n"
              "int car_face[1][3]={\n"
              "{0,1,2}\n};\n"
              "float car_face_normal[1][3]={\n"
              "{0.000000,0.000000,1.000000}\n};\n");
}

TEST_F(Writers, CArraysHaveTheTextOfPrintf) {
    // Halfway cases (0.0078125 is exact in binary), signs, zeros, large and tiny values, and
    // non-numbers: every number must read as "%f" and "%d" write it.
    const std::vector<float> awkward = {0.0078125f,
                                        -0.0078125f,
                                        1.0078125f,
                                        2.5e-7f,
                                        -0.0f,
                                        0.0f,
                                        123456.789f,
                                        -3.4e38f,
                                        1e-30f,
                                        0.1f,
                                        999999.9f,
                                        std::numeric_limits<float>::quiet_NaN(),
                                        -std::numeric_limits<float>::quiet_NaN(),
                                        std::numeric_limits<float>::infinity()};
    UniOb mesh;
    test::Make_Sphere(mesh, 3.0f, 2);
    test::Finish_Mesh(mesh);
    std::mt19937 random(7);
    std::uniform_real_distribution<float> spread(-2000.0f, 2000.0f);
    for (unsigned v = 0; v < mesh.Vertex_Count; ++v)
        mesh.Vertex_Pos[v] = {spread(random), spread(random), spread(random)};
    for (std::size_t i = 0; i < awkward.size(); ++i)
        mesh.Vertex_Pos[i] = {awkward[i], -awkward[i], awkward[i] * 3};
    for (std::size_t i = 0; i < awkward.size(); ++i) mesh.Face_Normal[i].y = awkward[i];
    ASSERT_TRUE(Write_C_Arrays(mesh, In("c.txt")));

    std::string expected;
    char line[256];
    auto add = [&](const char* format, auto... values) {
        std::snprintf(line, sizeof line, format, values...);
        expected += line;
    };
    const unsigned V = mesh.Vertex_Count, F = mesh.Face_Count;
    add("float car_vertex[%u][3]={\n", V);
    for (unsigned v = 0; v < V; ++v) {
        const Vec3& p = mesh.Vertex_Pos[v];
        add("{%f,%f,%f%s", p.x, p.y, p.z, v + 1 < V ? "},\n" : "}\n};\n");
    }
    add("int car_face[%u][3]={\n", F);
    for (unsigned f = 0; f < F; ++f) {
        const FaceIndex& t = mesh.Face_Index[f];
        add("{%d,%d,%d%s", t[0], t[1], t[2], f + 1 < F ? "},\n" : "}\n};\n");
    }
    add("float car_face_normal[%u][3]={\n", F);
    for (unsigned f = 0; f < F; ++f) {
        const Vec3& n = mesh.Face_Normal[f];
        add("{%f,%f,%f%s", n.x, n.y, n.z, f + 1 < F ? "},\n" : "}\n};\n");
    }
    EXPECT_EQ(Slurp(In("c.txt")), expected);
}

TEST_F(Writers, FaceArrayLayout) {
    UniOb square;
    test::Make_Square(square);
    test::Finish_Mesh(square);
    ASSERT_TRUE(Write_Face_Array(square, In("faces.txt")));
    EXPECT_EQ(Slurp(In("faces.txt")),
              "ARRAY SET as [ID]x1  [Face_CenterVertex]x3 [Area]x1 [Normal]x3\n"
              "ARRAY_SIZE 2\n"
              "0\t0.666667\t0.333333\t0.000000\t0.500000\t0.000000\t0.000000\t1.000000\t\n"
              "1\t0.333333\t0.666667\t0.000000\t0.500000\t0.000000\t0.000000\t1.000000\t\n"
              "\nEnd of Array\n");
}

TEST_F(Writers, HistogramsOfEqualAreasWriteNoAreaLines) {
    UniOb square;
    test::Make_Square(square);
    test::Finish_Mesh(square);
    ASSERT_TRUE(Write_Histograms(square, In("h.txt")));
    const std::string text = Slurp(In("h.txt"));
    // Edges 1, 1, sqrt 2 (twice each): the ones fill bin 0 and the diagonals, equal to the maximum,
    // no bin. Both areas are the maximum; every vertex is on the rim, so every curvature is 0.
    EXPECT_EQ(text,
              "1.000000\t0.666667\n"
              "\n\n\n"
              "\n\n\n"
              "\n\n\n\n\n\n\n");
}

TEST_F(Writers, HistogramFractionsAddUpToTheBinnedShare) {
    UniOb sphere;
    test::Make_Sphere(sphere, 2.0f, 3);
    test::Finish_Mesh(sphere);
    ASSERT_TRUE(Write_Histograms(sphere, In("h.txt")));
    std::istringstream lines(Slurp(In("h.txt")));
    std::string line;
    double fractions = 0.0;
    int count = 0;
    while (std::getline(lines, line) && !line.empty()) {
        double mean, fraction;
        ASSERT_EQ(std::sscanf(line.c_str(), "%lf\t%lf", &mean, &fraction), 2) << line;
        EXPECT_GT(mean, 0.0);
        fractions += fraction;
        ++count;
    }
    EXPECT_LE(count, 200);
    // Only the edges equal to the longest fall outside every bin.
    EXPECT_GT(fractions, 0.9);
    EXPECT_LE(fractions, 1.0 + 1e-5);
}

// ---- Small scales: scans measured in metres ----

TEST_F(Writers, HorseInMetresHasItsAreaAndLitNormals) {
    const std::string path = std::string(ORVEX_SHARED_DATA_DIR) + "/mesh_horse.stl";
    if (!fs::exists(path)) GTEST_SKIP() << path << " is absent";
    UniOb horse;
    ASSERT_TRUE(Read_STL(horse, path));
    // Its faces are around 4e-7 square units each; the sum over the file's facets is 0.035891.
    EXPECT_NEAR(horse.Area, 0.03589, 1e-5);
    // Faces whose corners the 0.0005 tolerance merged have no normal; every other face is lit.
    unsigned unlitFaces = 0, unlitVertices = 0;
    for (unsigned f = 0; f < horse.Face_Count; ++f) {
        const FaceIndex& t = horse.Face_Index[f];
        const bool collapsed = t[0] == t[1] || t[1] == t[2] || t[2] == t[0];
        const Vec3& n = horse.Face_Normal[f];
        unlitFaces += collapsed ? Dot(n, n) != 0.0f : std::fabs(Dot(n, n) - 1.0f) > 1e-5f;
    }
    for (const Vec3& n : horse.Vertex_Normal) unlitVertices += std::fabs(Dot(n, n) - 1.0f) > 1e-5f;
    EXPECT_EQ(unlitFaces, 0u);
    EXPECT_EQ(unlitVertices, 0u);
}

TEST_F(Writers, TorusScaledDownKeepsItsShapeInTheFaceTable) {
    UniOb torus, tiny;
    ASSERT_TRUE(Read_STL(torus, std::string(ORVEX_SAMPLES_DIR) + "/torus.stl"));
    ASSERT_TRUE(Read_STL(tiny, std::string(ORVEX_SAMPLES_DIR) + "/torus.stl"));
    for (Vec3& p : tiny.Vertex_Pos) p = p * 1e-4f;  // radii 0.002 and 0.0006
    Run_Load_Pipeline(tiny);
    EXPECT_NEAR(tiny.Area / torus.Area, 1e-8, 1e-13);
    EXPECT_NEAR(tiny.Volume / torus.Volume, 1e-12, 1e-17);
    for (unsigned v = 0; v < tiny.Vertex_Count; ++v) {
        for (int k = 0; k < 3; ++k)
            ASSERT_NEAR(tiny.Vertex_Normal[v][k], torus.Vertex_Normal[v][k], 1e-5) << v;
        ASSERT_NEAR(tiny.Curvature_Max[v] * 1e-4f, torus.Curvature_Max[v],
                    1e-3 * std::fabs(torus.Curvature_Max[v]))
            << v;
    }
    // The table's normal columns are the unit normals, not zeros.
    ASSERT_TRUE(Write_Face_Array(tiny, In("faces.txt")));
    std::istringstream table(Slurp(In("faces.txt")));
    std::string line;
    std::getline(table, line);
    std::getline(table, line);
    for (unsigned f = 0; f < tiny.Face_Count; ++f) {
        ASSERT_TRUE(std::getline(table, line));
        float id, cx, cy, cz, area, nx, ny, nz;
        ASSERT_EQ(
            std::sscanf(line.c_str(), "%f %f %f %f %f %f %f %f", &id, &cx, &cy, &cz, &area, &nx, &ny, &nz),
            8);
        ASSERT_NEAR(nx * nx + ny * ny + nz * nz, 1.0f, 1e-5) << line;
    }
}

// ---- Nothing to write, nowhere to write ----

TEST_F(Writers, EmptyMeshWritesNoFile) {
    UniOb empty;
    const std::string base = In("empty.stl");
    for (const Status& status :
         {Write_STL(&empty, base), Write_STL(nullptr, base), Write_Face_Array(empty, base),
          Write_C_Arrays(empty, base), Write_Histograms(empty, base),
          Write_STL_Upper_Lower(empty, base, {0, 0, 1}), Write_STL_Visible(empty, base, {})}) {
        EXPECT_FALSE(status);
        EXPECT_NE(status.message.find("nothing written"), std::string::npos) << status.message;
    }
    EXPECT_TRUE(fs::is_empty(folder));
}

TEST_F(Writers, FullDiskIsReportedAndLeavesNothing) {
    UniOb sphere;
    test::Make_Sphere(sphere, 1.0f, 4);
    test::Finish_Mesh(sphere);
    if (fs::exists("/dev/full")) {
        EXPECT_FALSE(Write_STL(&sphere, "/dev/full"));
        EXPECT_FALSE(Write_C_Arrays(sphere, "/dev/full"));
        EXPECT_FALSE(Write_Histograms(sphere, "/dev/full"));
    }
    EXPECT_FALSE(Write_Face_Array(sphere, In("missing-folder/faces.txt")));
    EXPECT_FALSE(Write_STL_Upper_Lower(sphere, In("missing-folder/s.stl"), {0, 0, 1}));
    EXPECT_TRUE(fs::is_empty(folder));
}

TEST_F(Writers, FailedWriteKeepsTheOldFile) {
    UniOb sphere;
    test::Make_Sphere(sphere, 1.0f, 2);
    test::Finish_Mesh(sphere);
    const std::string path = In("keep.txt");
    std::ofstream(path) << "old";
    // Neither the folder nor the file may be written.
    fs::permissions(path, fs::perms::owner_read);
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
    const Status status = Write_C_Arrays(sphere, path);
    fs::permissions(folder, fs::perms::owner_all);
    if (::geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
    EXPECT_FALSE(status);
    EXPECT_EQ(Slurp(path), "old");
}

TEST_F(Writers, SplitThatFailsOnItsSecondFileReplacesNeither) {
    UniOb cube;
    test::Make_Cube(cube);
    test::Finish_Mesh(cube);
    const std::string base = In("part.stl");
    std::ofstream(base + ".upper.stl") << "old upper";
    // The second target fills the disk when flushed...
    if (fs::exists("/dev/full")) {
        fs::create_symlink("/dev/full", base + ".lower.stl");
        const Status full = Write_STL_Upper_Lower(cube, base, {0, 0, 1});
        EXPECT_FALSE(full);
        EXPECT_NE(full.message.find("part.stl.lower.stl"), std::string::npos) << full.message;
        EXPECT_EQ(Slurp(base + ".upper.stl").substr(0, 9), "old upper");
        fs::remove(base + ".lower.stl");
    }
    // ...or is a folder.
    fs::create_directory(base + ".lower.stl");
    EXPECT_FALSE(Write_STL_Upper_Lower(cube, base, {0, 0, 1}));
    EXPECT_EQ(Slurp(base + ".upper.stl").substr(0, 9), "old upper");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 2);  // no temporaries
}

}  // namespace
}  // namespace orvex
