// Structure-from-motion files: points, cameras, their poses and what a damaged file leaves.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>

#include "sfm/SFMData.h"
#include "tests/support/ScratchFolder.h"

namespace orvex {
namespace {

void Write_Text(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string Camera_Line(const std::string& name, const std::string& k, const std::string& e,
                        float scale = 1) {
    return "#CAMERA " + name + " scale " + std::to_string(scale) + " K " + k + " E " + e + "\n";
}

const std::string kK = "1000 0 500 0 1000 500 0 0 1";
const std::string kShifted = "1 0 0 5 0 1 0 6 0 0 1 7";

// One camera and two points, read into data; the test fails on a bad status.
void Read_Small(const test::ScratchFolder& folder, SFMData& data) {
    const std::string path = folder.File("small.sfm");
    Write_Text(path, "#POINT 2\n1 2 3 255 0 51\n4 5 6 0 255 0\n" + Camera_Line("a.jpg", kK, kShifted) +
                         "#LABEL 1\n");
    ASSERT_TRUE(data.Read(path)) << data.Read(path).message;
}

TEST(Sfm, KermitReconstructionHasItsPointsCamerasAndLabels) {
    const std::string path = std::string(ORVEX_SHARED_DATA_DIR) + "/sfm_kermit_bundler.sfm";
    if (!std::filesystem::exists(path)) GTEST_SKIP() << "no " << path;
    SFMData data;
    const Status status = data.Read(path);
    ASSERT_TRUE(status) << status.message;
    EXPECT_EQ(data.pointCount, 631);
    EXPECT_EQ(data.cameraCount, 9);
    EXPECT_EQ(data.labelled, 1);
    EXPECT_FLOAT_EQ(data.Point(0)[0], -0.473837f);
    EXPECT_FLOAT_EQ(data.Point(0)[3], 100.0f / 255.0f);
    EXPECT_EQ(data.names[0], "kermit000.jpg");
    EXPECT_EQ(data.names[8], "kermit010.jpg");
    EXPECT_FLOAT_EQ(data.scales[0], 0.53f);
    EXPECT_FLOAT_EQ(data.K(0)[0], 684.5815061f);
    // The camera stood in front of the model, not at the origin.
    const Vec3 centre = Camera_Centre(data, 0);
    EXPECT_NEAR(centre.x, -0.3281f, 1e-4f);
    EXPECT_NEAR(centre.y, -1.1958f, 1e-4f);
    EXPECT_NEAR(centre.z, 0.4751f, 1e-4f);
    for (int c = 0; c < data.cameraCount; ++c) {
        ASSERT_TRUE(Camera_Has_Pyramid(data, c)) << c;
        // The pose undoes the extrinsics: the centre maps to the camera's origin.
        Vec3 p = Camera_Centre(data, c);
        const float* e = data.E(c);
        for (int r = 0; r < 3; ++r)
            EXPECT_NEAR(e[4 * r] * p.x + e[4 * r + 1] * p.y + e[4 * r + 2] * p.z + e[4 * r + 3], 0.0f, 1e-5f);
    }
    Vec3 min, max;
    ASSERT_TRUE(Sfm_Bounds(data, min, max));
    EXPECT_LE(min.y, -1.1958f);
}

TEST(Sfm, PoseIsTheInverseOfTheExtrinsicsAndGlGetsItTransposed) {
    test::ScratchFolder folder;
    SFMData data;
    Read_Small(folder, data);
    const float want[12] = {1, 0, 0, -5, 0, 1, 0, -6, 0, 0, 1, -7};
    for (int i = 0; i < 12; ++i) EXPECT_FLOAT_EQ(data.poses[0][std::size_t(i)], want[i]) << i;
    EXPECT_FLOAT_EQ(data.poses[0][15], 1.0f);
    const Vec3 centre = Camera_Centre(data, 0);
    EXPECT_EQ(centre.x, -5.0f);
    EXPECT_EQ(centre.y, -6.0f);
    EXPECT_EQ(centre.z, -7.0f);
    Matrix4 gl;
    Camera_GL_Matrix(data, 0, gl);
    EXPECT_EQ(gl[12], -5.0f);
    EXPECT_EQ(gl[13], -6.0f);
    EXPECT_EQ(gl[14], -7.0f);
    EXPECT_EQ(gl[3], 0.0f);
    EXPECT_EQ(data.pointCount, 2);
    EXPECT_FLOAT_EQ(data.Point(0)[5], 0.2f);
    EXPECT_EQ(data.labelled, 1);
}

TEST(Sfm, PyramidCornersFollowTheIntrinsicsScaleAndRotation) {
    test::ScratchFolder folder;
    const std::string path = folder.File("turned.sfm");
    // R turns x onto y; t = (1, 0, 0): the centre is -R^T t = (0, 1, 0).
    Write_Text(path, Camera_Line("turned", kK, "0 -1 0 1 1 0 0 0 0 0 1 0", 2) +
                         Camera_Line("flat", "0 0 500 0 1000 500 0 0 1", kShifted) +
                         Camera_Line("nowhere", kK, "0 0 0 0 0 0 0 0 0 0 0 0"));
    SFMData data;
    const Status status = data.Read(path);
    EXPECT_FALSE(status);
    EXPECT_NE(status.message.find("camera 3 \"nowhere\""), std::string::npos) << status.message;
    ASSERT_EQ(data.cameraCount, 3);

    const auto local = Pyramid_Corners(data, 0);
    EXPECT_FLOAT_EQ(local[0].x, 0.5f);
    EXPECT_FLOAT_EQ(local[0].y, 0.5f);
    EXPECT_FLOAT_EQ(local[3].x, -0.5f);
    EXPECT_FLOAT_EQ(local[3].y, -0.5f);
    EXPECT_FLOAT_EQ(local[3].z, 1.0f);
    const Vec3 centre = Camera_Centre(data, 0);
    EXPECT_NEAR(centre.x, 0.0f, 1e-6f);
    EXPECT_NEAR(centre.y, 1.0f, 1e-6f);
    // Camera (1, 1, 2) after the scale of 2; the world point is R^T ((1, 1, 2) - t).
    const auto world = Pyramid_World_Corners(data, 0);
    EXPECT_NEAR(world[0].x, 1.0f, 1e-6f);
    EXPECT_NEAR(world[0].y, 0.0f, 1e-6f);
    EXPECT_NEAR(world[0].z, 2.0f, 1e-6f);

    // k0 = 0 keeps the centre only; singular extrinsics draw nothing and stay out of the bounds.
    EXPECT_TRUE(Camera_Drawable(data, 1));
    EXPECT_FALSE(Camera_Has_Pyramid(data, 1));
    EXPECT_FALSE(Camera_Drawable(data, 2));
    EXPECT_FALSE(Camera_Has_Pyramid(data, 2));
    Vec3 min, max;
    ASSERT_TRUE(Sfm_Bounds(data, min, max));
    EXPECT_EQ(min.x, -5.0f);
    EXPECT_NEAR(max.y, 1.0f, 1e-6f);
    EXPECT_EQ(max.z, 0.0f);
}

TEST(Sfm, KeywordsIgnoreCaseAndOtherTokensArePassedOver) {
    test::ScratchFolder folder;
    const std::string path = folder.File("lower.sfm");
    Write_Text(path, "made by hand\n#point 1\n0.5 0 0 0 0 0\nnote #Label 1 end\n");
    SFMData data;
    ASSERT_TRUE(data.Read(path));
    EXPECT_EQ(data.pointCount, 1);
    EXPECT_EQ(data.cameraCount, 0);
    EXPECT_EQ(data.labelled, 1);
    EXPECT_TRUE(data.poses.empty());

    // A later point block replaces the earlier one.
    Write_Text(path, "#POINT 2 1 1 1 0 0 0 2 2 2 0 0 0 #POINT 1 3 3 3 0 0 0");
    ASSERT_TRUE(data.Read(path));
    ASSERT_EQ(data.pointCount, 1);
    EXPECT_EQ(data.Point(0)[0], 3.0f);
    EXPECT_EQ(data.labelled, 0);
}

TEST(Sfm, DamagedFilesKeepWhatWasReadAndNameTheLine) {
    test::ScratchFolder folder;
    const std::string path = folder.File("bad.sfm");
    SFMData data;
    SfmReadReport report;

    // Ends inside the second point record.
    Write_Text(path, "#POINT 3\n0 0 0 1 1 1\n1 1 1 2 2\n");
    Status status = data.Read(path, &report);
    EXPECT_FALSE(status);
    EXPECT_EQ(data.pointCount, 1);
    EXPECT_EQ(data.points.size(), 6u);
    EXPECT_EQ(report.badLine, 3u);
    EXPECT_NE(status.message.find("line 3"), std::string::npos) << status.message;

    // A malformed number inside a camera: the points before it stay, the camera does not.
    Write_Text(path, "#POINT 1\n0 0 0 1 1 1\n#CAMERA c s 1 K 1 0 0 0 1 0 0 0 1 E 1 0 0 0\n0 1 x 0 0 0 1 0\n");
    status = data.Read(path, &report);
    EXPECT_FALSE(status);
    EXPECT_EQ(data.pointCount, 1);
    EXPECT_EQ(data.cameraCount, 0);
    EXPECT_EQ(report.badLine, 4u);
    EXPECT_NE(status.message.find("\"x\""), std::string::npos) << status.message;

    // A colour beyond 32 bits, and an infinite coordinate, are malformed too.
    Write_Text(path, "#POINT 2\n0 0 0 1 1 1\n0 0 0 1 1 99999999999\n");
    EXPECT_FALSE(data.Read(path));
    EXPECT_EQ(data.pointCount, 1);
    Write_Text(path, "#POINT 2\n0 0 0 1 1 1\n1e60 0 0 1 1 1\n");
    EXPECT_FALSE(data.Read(path));
    EXPECT_EQ(data.pointCount, 1);
}

TEST(Sfm, HostileCountsAllocateNothingTheFileCannotHold) {
    test::ScratchFolder folder;
    const std::string path = folder.File("hostile.sfm");
    SFMData data;
    Read_Small(folder, data);

    // Negative: the file is refused and the old data stay.
    Write_Text(path, "#POINT -5\n1 2 3 4 5 6\n");
    Status status = data.Read(path);
    EXPECT_FALSE(status);
    EXPECT_NE(status.message.find("negative"), std::string::npos) << status.message;
    EXPECT_EQ(data.pointCount, 2);
    EXPECT_EQ(data.cameraCount, 1);

    // Two billion points in a line of text: what is there is read, nothing more is reserved.
    Write_Text(path, "#POINT 2000000000\n1 2 3 4 5 6\n");
    SfmReadReport report;
    status = data.Read(path, &report);
    EXPECT_FALSE(status);
    EXPECT_EQ(report.declaredPoints, 2000000000);
    EXPECT_EQ(data.pointCount, 1);
    EXPECT_LE(data.points.capacity(), 18u);  // the 30-byte file holds at most two records
    EXPECT_EQ(data.cameraCount, 0);
}

TEST(Sfm, LongTokensAndNamesAreCut) {
    test::ScratchFolder folder;
    const std::string path = folder.File("long.sfm");
    const std::string name(40, 'n');
    // A keyword with a long tail is no keyword; a token longer than the reading block is passed over.
    Write_Text(path, "#POINT" + std::string(300, 'x') + " 7 " + std::string(3u << 20, 'y') + " " +
                         Camera_Line(name, kK, kShifted));
    SFMData data;
    const Status status = data.Read(path);
    ASSERT_TRUE(status) << status.message;
    EXPECT_EQ(data.pointCount, 0);
    ASSERT_EQ(data.cameraCount, 1);
    EXPECT_EQ(data.names[0], std::string(31, 'n'));
}

TEST(Sfm, NothingUsableLeavesTheDataAsTheyWere) {
    test::ScratchFolder folder;
    SFMData data;
    Read_Small(folder, data);
    const std::string empty = folder.File("empty.sfm");
    Write_Text(empty, "nothing to see\n");
    for (const std::string& path : {folder.File("missing.sfm"), empty, folder.File("")}) {
        const Status status = data.Read(path);
        EXPECT_FALSE(status) << path;
        EXPECT_FALSE(status.message.empty());
        EXPECT_EQ(data.pointCount, 2);
        EXPECT_EQ(data.cameraCount, 1);
        EXPECT_EQ(data.names[0], "a.jpg");
    }
    // "#POINT 0" with no camera yields nothing either.
    Write_Text(empty, "#POINT 0\n#LABEL 0\n");
    EXPECT_FALSE(data.Read(empty));
    EXPECT_EQ(data.pointCount, 2);
    EXPECT_EQ(data.labelled, 1);
}

TEST(Sfm, OurSampleReads) {
    const std::string path = std::string(ORVEX_SAMPLES_DIR) + "/ring.sfm";
    SFMData data;
    const Status status = data.Read(path);
    ASSERT_TRUE(status) << status.message;
    EXPECT_GT(data.pointCount, 0);
    EXPECT_GT(data.cameraCount, 0);
    for (int c = 0; c < data.cameraCount; ++c) EXPECT_TRUE(Camera_Has_Pyramid(data, c));
}

}  // namespace
}  // namespace orvex
