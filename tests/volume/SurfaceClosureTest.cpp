// The marching-cube surface as a whole: a sphere's area and enclosed volume against the formulas,
// and closed, consistently wound surfaces (every edge used twice, in opposite directions) on the
// sphere, the gyroid and on random volumes, where the ambiguous cells of the tables all occur.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "VolumeTestSupport.h"
#include "volume/CtSynth.h"

namespace orvex {
namespace {

using test::Parse_Stl;
using test::ScratchFolder;

test::StlFile Marching_Cubes(const CT_3D& volume, const ScratchFolder& folder) {
    const std::string path = folder.File("surface.stl");
    EXPECT_TRUE(volume.WriteMarchingCubeSTL(path));
    return Parse_Stl(path);
}

// Outside samples all round, so the surface cannot leave through the volume's sides.
void Clear_Border(CT_3D& volume) {
    for (int i = 0; i < volume.nx; ++i)
        for (int j = 0; j < volume.ny; ++j)
            for (int k = 0; k < volume.nz; ++k)
                if (i == 0 || j == 0 || k == 0 || i == volume.nx - 1 || j == volume.ny - 1 ||
                    k == volume.nz - 1)
                    volume.data[i][j][k] = 0;
}

TEST(MarchingCubeSurface, SphereAreaAndVolumeMatchTheFormulas) {
    ScratchFolder folder;
    CT_3D volume;
    const double r = 25.0;
    ASSERT_TRUE(Make_Sphere_Volume(volume, 64, float(r)));
    const test::StlFile stl = Marching_Cubes(volume, folder);
    ASSERT_EQ(stl.count, stl.recordsPresent);
    const double area = test::Area(stl.records);
    const double enclosed = test::Signed_Volume(stl.records);
    const double sphereArea = 4 * std::numbers::pi * r * r;
    const double sphereVolume = 4.0 / 3.0 * std::numbers::pi * r * r * r;
    EXPECT_NEAR(area / sphereArea, 1.0, 0.03) << area;
    EXPECT_NEAR(enclosed / sphereVolume, 1.0, 0.02) << enclosed;
}

TEST(MarchingCubeSurface, SphereWindsCounterClockwiseAsItsNormalsSay) {
    // Programs that trust the winding rather than the stored normal must see the same outside.
    ScratchFolder folder;
    CT_3D volume;
    ASSERT_TRUE(Make_Sphere_Volume(volume, 48, 17.3f));
    const test::StlFile stl = Marching_Cubes(volume, folder);
    ASSERT_GT(stl.records.size(), 1000u);
    EXPECT_GT(test::Signed_Volume(stl.records), 0.0);
    std::size_t checked = 0;
    for (const test::StlRecord& r : stl.records) {
        const Vec3 w = test::Winding_Normal(r);
        const double length = std::sqrt(double(Dot(w, w)));
        if (length == 0 || r.normal == Vec3{}) continue;  // collapsed where samples equal the threshold
        ++checked;
        // Same direction, not merely the same side: the stored normal is the winding's.
        ASSERT_GT(Dot(w, r.normal) / length, 0.9999) << checked;
        // And out of the sphere, whose centre is the volume's.
        const Vec3 centroid = (r.p[0] + r.p[1] + r.p[2]) * (1.0f / 3.0f);
        ASSERT_GT(Dot(r.normal, centroid - Vec3{23.5f, 23.5f, 23.5f}), 0.0f) << checked;
    }
    EXPECT_GT(checked, 1000u);
}

TEST(MarchingCubeSurface, SphereIsClosedAndConsistentlyWound) {
    ScratchFolder folder;
    for (float radius : {25.0f, 17.3f, 9.5f}) {
        CT_3D volume;
        ASSERT_TRUE(Make_Sphere_Volume(volume, 64, radius));
        const test::StlFile stl = Marching_Cubes(volume, folder);
        const test::EdgeReport edges = test::Edge_Pairing(stl.records);
        EXPECT_GT(edges.triangles, 1000u);
        EXPECT_EQ(edges.unpaired, 0u) << radius << ": " << test::Describe(edges);
        EXPECT_EQ(edges.repeated, 0u) << radius << ": " << test::Describe(edges);
    }
}

TEST(MarchingCubeSurface, GyroidIsClosedInsideTheVolume) {
    ScratchFolder folder;
    CT_3D volume;
    ASSERT_TRUE(Make_Gyroid_Volume(volume, 40, 16.0f));
    Clear_Border(volume);
    const test::EdgeReport edges = test::Edge_Pairing(Marching_Cubes(volume, folder).records);
    EXPECT_GT(edges.triangles, 10000u);
    EXPECT_EQ(edges.unpaired, 0u) << test::Describe(edges);
    EXPECT_EQ(edges.repeated, 0u) << test::Describe(edges);
}

TEST(MarchingCubeSurface, RandomVolumesAreClosedInEveryCellConfiguration) {
    // Even samples and an odd threshold: no sample sits on the iso value, so every surface vertex
    // lies strictly inside its edge and shared edges must pair up exactly.
    ScratchFolder folder;
    for (std::uint64_t seed = 1; seed <= 4; ++seed) {
        CT_3D volume;
        ASSERT_TRUE(Make_Noise_Volume(volume, 24, seed));
        for (int i = 0; i < 24; ++i)
            for (int j = 0; j < 24; ++j)
                for (int k = 0; k < 24; ++k) volume.data[i][j][k] &= 0xFFFE;
        Clear_Border(volume);
        volume.threshold = 32767;
        const test::EdgeReport edges = test::Edge_Pairing(Marching_Cubes(volume, folder).records);
        EXPECT_GT(edges.triangles, 20000u);
        EXPECT_EQ(edges.unpaired, 0u) << "seed " << seed << ": " << test::Describe(edges);
        EXPECT_EQ(edges.repeated, 0u) << "seed " << seed << ": " << test::Describe(edges);
    }
}

TEST(MarchingCubeSurface, SamplesOnTheThresholdPinchButLeaveNoOpenEdge) {
    // A sample equal to the iso value pulls the vertices of its edges onto itself: sheets may then
    // touch there (an edge used four times), but every directed edge still has its reverse.
    ScratchFolder folder;
    for (int levels : {3, 8}) {
        CT_3D volume;
        ASSERT_TRUE(Make_Noise_Volume(volume, 24, std::uint64_t(levels)));
        for (int i = 0; i < 24; ++i)
            for (int j = 0; j < 24; ++j)
                for (int k = 0; k < 24; ++k) {
                    std::uint16_t& s = volume.data[i][j][k];
                    s = std::uint16_t((s % levels) * 1000);
                }
        Clear_Border(volume);
        volume.threshold = 1000 * (levels / 2);
        const test::EdgeReport edges = test::Edge_Pairing(Marching_Cubes(volume, folder).records);
        EXPECT_GT(edges.triangles, 10000u);
        EXPECT_EQ(edges.unpaired, 0u) << levels << " levels: " << test::Describe(edges);
    }
}

}  // namespace
}  // namespace orvex
