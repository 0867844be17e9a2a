// Feature and template files: exact text, round trips, SIZE blocks, faults and the locale.

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <fstream>
#include <sstream>
#include <string>

#include "analysis/ReadTemplate.h"
#include "analysis/WriteFeatures.h"
#include "analysis/WriteTemplate.h"
#include "tests/support/ScratchFolder.h"

namespace orvex {
namespace {

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void Spit(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// A one-triangle mesh with two template records (values exact in six decimals).
void Small_Mesh(UniOb& mesh) {
    mesh.AllocVertices(3);
    mesh.Vertex_Pos = {{-50, 2.5f, 0.125f}, {1, 0, 0}, {0, 1, 0}};
    mesh.Vertex_Normal = {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}};
    mesh.AllocCurvature(3);
    mesh.Curvature_Max = {-0.015625f, 0, 0};
    mesh.Curvature_Min = {-0.03125f, 0, 0};
    mesh.AllocFaces(1);
    mesh.Face_Index = {{0, 1, 2}};
    mesh.AllocTemplates(2);
    mesh.Template_Records[0] = {1, -2.5f, 3.25f, 0, 0, 1, -0.5f, 0.25f, 0.75f, 0};
    mesh.Template_Records[1] = {-1000.5f, 0, 0, 1, 0, 0, 0, 0, 1, 0};
}

const char* const kTemplateText =
    "SIZE\t2\n"
    "1.000000\t-2.500000\t3.250000\t0.000000\t0.000000\t1.000000\t-0.500000\t0.250000\t0.750000\n"
    "-1000.500000\t0.000000\t0.000000\t1.000000\t0.000000\t0.000000\t0.000000\t0.000000\t1.000000\n";

TEST(FaceTemplateFiles, WritesTheLayoutAndReadsItBack) {
    test::ScratchFolder folder;
    UniOb mesh;
    Small_Mesh(mesh);
    const std::string path = folder.File("reg.txt");
    ASSERT_TRUE(WriteTemplate(mesh, path).ok);
    EXPECT_EQ(Slurp(path), kTemplateText);

    UniOb other;
    ASSERT_TRUE(ReadTemplate(other, path).ok);
    ASSERT_EQ(other.Template_Count, 2u);
    for (int r = 0; r < 2; ++r)
        for (int k = 0; k < 9; ++k) EXPECT_EQ(other.Template_Records[r][k], mesh.Template_Records[r][k]);

    // Features: the vertex data of each feature vertex, and the weight exp(-|0.02 x|).
    mesh.Feature_Vertices = {0};
    ASSERT_TRUE(WriteFeatures(mesh, folder.File("f.txt")).ok);
    char weight[32];
    std::snprintf(weight, sizeof weight, "%f", double(std::exp(-std::fabs(0.02f * -50.0f))));
    EXPECT_EQ(Slurp(folder.File("f.txt")),
              std::string("SIZE\t1\n-50.000000\t2.500000\t0.125000\t0.000000\t0.000000\t"
                          "1.000000\t-0.015625\t-0.031250\t") +
                  weight + "\n");

    // A feature outside the mesh is left out of the records and of SIZE.
    const std::string one = Slurp(folder.File("f.txt"));
    mesh.Feature_Vertices = {-1, 0, int(mesh.Vertex_Count)};
    ASSERT_TRUE(WriteFeatures(mesh, folder.File("f.txt")).ok);
    EXPECT_EQ(Slurp(folder.File("f.txt")), one);
}

TEST(FaceTemplateFiles, TheLastSizeBlockInAnyCaseCounts) {
    UniOb mesh;
    ASSERT_TRUE(ReadTemplate_Text(mesh,
                                  "noise SIZE 1 1 2 3 4 5 6 7 8 9\nmore words\n"
                                  "size\t2\n1 1 1 1 1 1 1 1 1\n2 2 2 2 2 2 2 2 0x1p1\n",
                                  "t.txt")
                    .ok);
    ASSERT_EQ(mesh.Template_Count, 2u);
    EXPECT_EQ(mesh.Template_Records[1][8], 2.0f);

    // No SIZE at all keeps what is there.
    ASSERT_TRUE(ReadTemplate_Text(mesh, "nothing here 1 2 3", "t.txt").ok);
    EXPECT_EQ(mesh.Template_Count, 2u);
}

TEST(FaceTemplateFiles, AFaultyFileKeepsTheOldTemplateAndNamesTheRecord) {
    UniOb mesh;
    mesh.AllocTemplates(1);
    mesh.Template_Records[0][0] = 42.0f;
    const struct {
        const char* text;
        const char* says;
    } cases[] = {
        {"SIZE -3", "no record count"},
        {"SIZE 4000000000 1 2 3", "more records than the file holds"},
        {"SIZE x", "not a number"},
        {"SIZE +-0", "not a number"},
        {"SIZE", "ends after SIZE"},
        {"SIZE 2\n1 2 3 4 5 6 7 8 9\n10 20 30 40 50 60 70 80", "record 2 of 2 ends early"},
        {"SIZE 2\n1 2 3 4 5 6 7 8 9\n1 2 3 4,5 6 7 8 9 10",
         "record 2 of 2, value 4: \"4,5\" is not a number"},
        {"SIZE 1 1 2 3 4 5 6 7 8 9 SIZE 1 1 2", "more records than the file holds"},
    };
    for (const auto& c : cases) {
        const Status status = ReadTemplate_Text(mesh, c.text, "reg.txt");
        EXPECT_FALSE(status.ok) << c.text;
        EXPECT_NE(status.message.find(c.says), std::string::npos) << status.message;
        EXPECT_NE(status.message.find("reg.txt"), std::string::npos) << status.message;
        ASSERT_EQ(mesh.Template_Count, 1u);
        EXPECT_EQ(mesh.Template_Records[0][0], 42.0f);
    }
    EXPECT_FALSE(ReadTemplate(mesh, "/nonexistent/reg.txt").ok);
    EXPECT_EQ(mesh.Template_Count, 1u);
}

TEST(FaceTemplateFiles, WritesReportFailureAndNothingToWrite) {
    test::ScratchFolder folder;
    UniOb mesh;
    Small_Mesh(mesh);
    Status status = WriteTemplate(mesh, folder.File("missing/reg.txt"));
    EXPECT_FALSE(status.ok);
    EXPECT_NE(status.message.find("missing"), std::string::npos);
    EXPECT_FALSE(WriteFeatures(mesh, folder.File("missing/f.txt")).ok);

    // An existing file survives a failed write whole.
    const std::string path = folder.File("reg.txt");
    Spit(path, "SIZE\t0\n");
    mesh.FreeTemplates();
    status = WriteTemplate(mesh, path);
    EXPECT_FALSE(status.ok);
    EXPECT_NE(status.message.find("no template records"), std::string::npos);
    EXPECT_EQ(Slurp(path), "SIZE\t0\n");
}

TEST(FaceTemplateFiles, TheDecimalPointStaysAPointUnderAGermanLocale) {
    const char* german = nullptr;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE"})
        if (std::setlocale(LC_ALL, name)) {
            german = name;
            break;
        }
    if (!german) GTEST_SKIP() << "no de_DE locale installed (locale -a)";
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.1f", 0.5);
    test::ScratchFolder folder;
    UniOb mesh;
    Small_Mesh(mesh);
    const std::string path = folder.File("reg.txt");
    const bool written = WriteTemplate(mesh, path).ok;
    UniOb other;
    const bool read = ReadTemplate(other, path).ok;
    std::setlocale(LC_ALL, "C");
    EXPECT_STREQ(probe, "0,5");  // the locale was really in force
    ASSERT_TRUE(written && read);
    EXPECT_EQ(Slurp(path), kTemplateText);
    ASSERT_EQ(other.Template_Count, 2u);
    EXPECT_EQ(other.Template_Records[0][2], 3.25f);
}

}  // namespace
}  // namespace orvex
