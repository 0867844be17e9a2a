// Spectrum colours of vertices and face corners.

#include <gtest/gtest.h>

#include <vector>

#include "analysis/CandidateRegions.h"
#include "analysis/Spectrum.h"
#include "tests/support/TestMeshes.h"

namespace orvex {
namespace {

std::vector<float> Corners(const UniOb& mesh, int mode, float intensity = 100.0f) {
    std::vector<float> out;
    Spectrum_Corner_Colors(mesh, mode, intensity, out);
    return out;
}

void ExpectAllCorners(const std::vector<float>& colours, float r, float g, float b) {
    ASSERT_EQ(colours.size() % 3, 0u);
    for (std::size_t i = 0; i < colours.size(); i += 3) {
        ASSERT_EQ(colours[i], r) << i / 3;
        ASSERT_EQ(colours[i + 1], g) << i / 3;
        ASSERT_EQ(colours[i + 2], b) << i / 3;
    }
}

TEST(Spectrum, FlatPatchIsPureGreenInTheCurvatureModes) {
    UniOb mesh;
    test::Make_Grid(mesh, 5);
    test::Finish_Mesh(mesh);
    for (int mode = 0; mode <= 3; ++mode) {
        SCOPED_TRACE(mode);
        const auto colours = Corners(mesh, mode);
        EXPECT_EQ(colours.size(), 9u * mesh.Face_Count);
        ExpectAllCorners(colours, 0, 1, 0);
    }
    ExpectAllCorners(Corners(mesh, int(SpectrumMode::Zyr)), 1, 1, 0);   // shape index 0.5
    ExpectAllCorners(Corners(mesh, int(SpectrumMode::Temp)), 0, 0, 1);  // z = 0 degrees
}

TEST(Spectrum, RegionModeIsWhiteAfterLoadingAndPaletteAfterRegions) {
    UniOb mesh;
    test::Make_Grid(mesh, 60);
    for (Vec3& p : mesh.Vertex_Pos) {
        const float r2 = (p.x - 30) * (p.x - 30) + (p.y - 30) * (p.y - 30);
        if (r2 < 49) p.z = (r2 - 49) / 50.0f;
    }
    test::Finish_Mesh(mesh);
    ExpectAllCorners(Corners(mesh, int(SpectrumMode::Region)), 1, 1, 1);

    FindCandidateRegions(mesh);
    const auto colours = Corners(mesh, int(SpectrumMode::Region));
    int red = 0;
    for (unsigned f = 0; f < mesh.Face_Count; ++f) {
        for (int j = 0; j < 3; ++j) {
            const float* c = &colours[9 * f + 3 * j];
            const bool inRegion = mesh.Vertex_Label[mesh.Face_Index[f][j]] == 1;
            EXPECT_EQ(c[0], 1.0f);
            EXPECT_EQ(c[1], inRegion ? 0.0f : 1.0f);
            red += inRegion;
        }
    }
    EXPECT_GT(red, 0);
}

TEST(Spectrum, OutOfDomainCornerRepeatsTheCornerBeforeIt) {
    UniOb mesh;
    test::Make_Sphere(mesh, 1.0f, 1);
    test::Finish_Mesh(mesh);
    const int odd = mesh.Face_Index[3][1];
    mesh.Curvature_Max[odd] = 2e6f;
    const auto colours = Corners(mesh, int(SpectrumMode::Master));
    for (unsigned f = 0; f < mesh.Face_Count; ++f) {
        for (int j = 0; j < 3; ++j) {
            if (mesh.Face_Index[f][j] != odd) continue;
            const std::size_t at = 9 * f + 3 * j;
            ASSERT_GT(at, 0u);
            for (int c = 0; c < 3; ++c) EXPECT_EQ(colours[at + c], colours[at - 3 + c]) << f << " " << j;
        }
    }
}

TEST(Spectrum, LeadingOutOfDomainCornerIsWhite) {
    UniOb mesh;
    test::Make_Grid(mesh, 2);
    test::Finish_Mesh(mesh);
    for (Vec3& p : mesh.Vertex_Pos) p.z = 500.0f;  // beyond the angle ramp everywhere
    ExpectAllCorners(Corners(mesh, int(SpectrumMode::Temp)), 1, 1, 1);
}

TEST(Spectrum, UnknownModesColourLikeGaussian) {
    UniOb mesh;
    test::Make_Sphere(mesh, 2.0f, 1);
    test::Finish_Mesh(mesh);
    for (int mode : {-1, 7, 42}) EXPECT_EQ(Corners(mesh, mode, 3.0f), Corners(mesh, 3, 3.0f)) << mode;
}

TEST(Spectrum, EmptyMeshGivesNoCorners) {
    UniOb mesh;
    mesh.AllocVertices(3);
    std::vector<float> out(5, 1.0f);
    Spectrum_Corner_Colors(mesh, 0, 100.0f, out);
    EXPECT_TRUE(out.empty());
}

}  // namespace
}  // namespace orvex
