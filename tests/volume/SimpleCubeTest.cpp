// Simple cubes: the closed unit cube around a single inside sample, the face table's corners and
// windings, the exact count written first, border samples that never show, and degenerate volumes.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>

#include "VolumeTestSupport.h"

namespace orvex {
namespace {

using test::Parse_Stl;
using test::ScratchFolder;

void Single_Sample(CT_3D& volume, std::uint16_t centre) {
    test::Fill_Volume(volume, 3, 3, 3, 0, [centre](int i, int j, int k) {
        return i == 1 && j == 1 && k == 1 ? int(centre) : -1;
    });
}

TEST(SimpleCubeWriter, SingleSampleGivesAClosedUnitCube) {
    ScratchFolder folder;
    CT_3D volume;
    Single_Sample(volume, 4000);
    const std::string path = folder.File("cube.stl");
    ASSERT_TRUE(volume.WriteSimpleCubeSTL(path));
    const test::StlFile stl = Parse_Stl(path);
    ASSERT_TRUE(stl.valid);
    EXPECT_EQ(stl.header.substr(0, 16), std::string("STLEXP Object01\0", 16));
    ASSERT_EQ(stl.count, 12u);
    ASSERT_EQ(stl.recordsPresent, 12u);

    std::map<std::tuple<float, float, float>, int> normals;
    for (const test::StlRecord& r : stl.records) {
        EXPECT_EQ(r.attribute, 0);
        for (const Vec3& p : r.p)
            for (int a = 0; a < 3; ++a) EXPECT_TRUE(p[a] == 0.5f || p[a] == 1.5f) << p[a];
        // The stored normal is the unit normal of the winding and points out of the cube.
        const Vec3 w = test::Winding_Normal(r);
        EXPECT_EQ(w, r.normal);
        const Vec3 centroid = (r.p[0] + r.p[1] + r.p[2]) * (1.0f / 3.0f);
        EXPECT_GT(Dot(r.normal, centroid - Vec3{1, 1, 1}), 0.0f);
        ++normals[{r.normal.x, r.normal.y, r.normal.z}];
    }
    EXPECT_EQ(normals.size(), 6u);  // two triangles on each of the six faces
    for (const auto& [normal, count] : normals) EXPECT_EQ(count, 2);
    // In the face order +i, -i, +j, -j, +k, -k.
    const Vec3 order[6] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    for (int f = 0; f < 6; ++f) EXPECT_EQ(stl.records[2 * f].normal, order[f]);
    const test::EdgeReport edges = test::Edge_Pairing(stl.records);
    EXPECT_EQ(edges.unpaired, 0u) << test::Describe(edges);
    EXPECT_EQ(edges.repeated, 0u);
    EXPECT_DOUBLE_EQ(test::Area(stl.records), 6.0);
    EXPECT_DOUBLE_EQ(test::Signed_Volume(stl.records), 1.0);
}

TEST(SimpleCubeWriter, SampleEqualToThresholdIsInside) {
    ScratchFolder folder;
    CT_3D volume;
    Single_Sample(volume, 1200);
    const std::string path = folder.File("equal.stl");
    ASSERT_TRUE(volume.WriteSimpleCubeSTL(path));
    EXPECT_EQ(Parse_Stl(path).count, 12u);
    volume.threshold = 1201;
    ASSERT_TRUE(volume.WriteSimpleCubeSTL(path));
    EXPECT_EQ(Parse_Stl(path).count, 0u);
}

TEST(SimpleCubeWriter, BlockOfSamplesIsOneClosedBox) {
    // A 3 x 2 x 4 block of inside samples deep in the volume: only its outer faces are written.
    ScratchFolder folder;
    CT_3D volume;
    test::Fill_Volume(volume, 8, 8, 8, 100, [](int i, int j, int k) {
        return i >= 2 && i < 5 && j >= 3 && j < 5 && k >= 1 && k < 5 ? 3000 : -1;
    });
    const std::string path = folder.File("box.stl");
    ASSERT_TRUE(volume.WriteSimpleCubeSTL(path));
    const test::StlFile stl = Parse_Stl(path);
    // 2 (3x2 + 3x4 + 2x4) faces, two triangles each.
    ASSERT_EQ(stl.count, 2u * 2 * (6 + 12 + 8));
    ASSERT_EQ(stl.recordsPresent, stl.count);
    EXPECT_EQ(test::Edge_Pairing(stl.records).unpaired, 0u);
    EXPECT_DOUBLE_EQ(test::Area(stl.records), 2.0 * (6 + 12 + 8));
    EXPECT_NEAR(test::Signed_Volume(stl.records), 24.0, 1e-9);
}

TEST(SimpleCubeDegenerate, BorderSamplesNeverShow) {
    ScratchFolder folder;
    CT_3D volume;
    // Inside samples only on the border: nothing is visited.
    test::Fill_Volume(volume, 4, 4, 4, 0,
                      [](int i, int j, int k) { return i == 0 || j == 3 || k == 0 ? 5000 : -1; });
    const std::string path = folder.File("border.stl");
    ASSERT_TRUE(volume.WriteSimpleCubeSTL(path));
    EXPECT_EQ(Parse_Stl(path).count, 0u);
    EXPECT_EQ(std::filesystem::file_size(path), 84u);
}

TEST(SimpleCubeDegenerate, AllInsideThinAndEmptyVolumesWriteNoTriangles) {
    ScratchFolder folder;
    const std::string path = folder.File("none.stl");
    CT_3D volume;
    ASSERT_TRUE(volume.WriteSimpleCubeSTL(path));
    EXPECT_EQ(std::filesystem::file_size(path), 84u);
    test::Fill_Volume(volume, 6, 5, 4, 1200);
    ASSERT_TRUE(volume.WriteSimpleCubeSTL(path));
    EXPECT_EQ(Parse_Stl(path).count, 0u);
    EXPECT_EQ(std::filesystem::file_size(path), 84u);
    test::Fill_Volume(volume, 2, 9, 9, 5000);  // no interior samples along i
    ASSERT_TRUE(volume.WriteSimpleCubeSTL(path));
    EXPECT_EQ(Parse_Stl(path).count, 0u);
}

TEST(SimpleCubeDegenerate, FailedWriteLeavesTheOldFile) {
    ScratchFolder folder;
    CT_3D volume;
    Single_Sample(volume, 4000);
    const std::string path = folder.File("kept.stl");
    test::Write_Bytes(path, "old contents");
    EXPECT_FALSE(volume.WriteSimpleCubeSTL(folder.File("no/such/folder/x.stl")));
    EXPECT_FALSE(volume.WriteSimpleCubeSTL("/dev/full"));
    EXPECT_EQ(test::Slurp(path), "old contents");
    ASSERT_TRUE(volume.WriteSimpleCubeSTL(path));
    EXPECT_EQ(Parse_Stl(path).count, 12u);
}

}  // namespace
}  // namespace orvex
