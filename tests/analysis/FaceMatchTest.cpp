// Pairing, matching and training against templates, and the verification bins.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "analysis/CandidateRegions.h"
#include "analysis/FaceBatch.h"
#include "analysis/FacePairing.h"
#include "analysis/MatchTemplate.h"
#include "analysis/NormalizeFacePose.h"
#include "analysis/TrainTemplate.h"
#include "mesh/FaceSynth.h"
#include "mesh/LoadPipeline.h"
#include "tests/support/TestMeshes.h"

namespace orvex {
namespace {

// A coarse grid over the usual face: the plain loops stay quick under the sanitizers.
void Normalised_Face(UniOb& mesh, FaceSynthParams params) {
    params.Grid = 81;
    params.Spacing = 1.5f;
    Make_Face(mesh, params);
    Run_Load_Pipeline(mesh);
    FindCandidateRegions(mesh);
    ASSERT_TRUE(Normalize_Face(mesh, FaceEyes{}).ok);
}

TEST(FaceMatch, GridPairingEqualsAllPairsWithTiesToTheHigherTemplate) {
    std::mt19937 random(11);
    std::uniform_real_distribution<float> coord(-60.0f, 60.0f);
    std::uniform_int_distribution<int> pick(0, 2);
    // Few distinct curvatures and normals, so equal scores are common.
    const float curvatures[3] = {-0.02f, 0.0f, 0.01f};
    const Vec3 normals[3] = {{0, 0, 1}, {0, 0.6f, 0.8f}, {0.6f, 0, 0.8f}};
    auto record = [&] {
        const Vec3 n = normals[pick(random)];
        return Record10{coord(random),
                        coord(random),
                        0,
                        n.x,
                        n.y,
                        n.z,
                        curvatures[pick(random)],
                        curvatures[pick(random)],
                        1,
                        0};
    };
    std::vector<Record10> features(3000), templates(2000);
    for (Record10& r : features) r = record();
    for (Record10& r : templates) r = record();
    // Duplicates, unusable numbers, far records and a candidate exactly 10 away.
    templates[4][6] = 0.5f;  // a curvature no other record has: only 4 and 5 score 3 for feature 0
    templates[5] = templates[4];
    templates[6][0] = std::numeric_limits<float>::quiet_NaN();
    templates[7][1] = std::numeric_limits<float>::infinity();
    templates[8][6] = std::numeric_limits<float>::quiet_NaN();
    templates[9] = {1e30f, -1e30f, 0, 0, 0, 1, 0, 0, 1, 0};
    features[0] = templates[4];
    features[1][0] = std::numeric_limits<float>::quiet_NaN();
    features[2] = {3e9f, 0, 0, 0, 0, 1, 0, 0, 1, 0};

    std::vector<FacePair> fast, plain;
    Pair_Features(features, templates, fast);
    Pair_Features_All_Pairs(features, templates, plain);
    ASSERT_GT(plain.size(), 2500u);
    EXPECT_EQ(fast, plain);
    ASSERT_EQ(fast[0].feature, 0u);
    EXPECT_EQ(fast[0].templ, 5u);  // equal to record 4 too: the higher index
    EXPECT_NE(fast[1].feature, 1u);

    const std::vector<Record10> one = {{0, 0, 0, 0, 0, 1, 0, 0, 1, 0}};
    const std::vector<Record10> near = {{10, 0, 0, 0, 0, 1, 0, 0, 1, 0},
                                        {9.99f, -9.99f, 0, 0, 0, -1, 5, 5, 1, 0}};
    Pair_Features(one, near, fast);
    ASSERT_EQ(fast.size(), 1u);
    EXPECT_EQ(fast[0].templ, 1u);  // |dx| = 10 is no candidate, however well it scores
}

// A template from one face, matched against the same face resampled on a shifted grid in another
// pose; a face with a deeper nose lies farther from it.
TEST(FaceMatch, ResampledFaceMatchesCloselyADeeperNoseLess) {
    UniOb source;
    Normalised_Face(source, FaceSynthParams{});
    FaceSynthParams moved;
    moved.Shift_X = 0.37f;
    moved.Shift_Y = 0.61f;
    moved.Pose.Rotate[0] = 0.2f;
    moved.Pose.Rotate[2] = -0.4f;
    moved.Pose.Translate[1] = 30.0f;
    FaceSynthParams deeper = moved;
    deeper.Nose_Depth = 26.0f;

    float errors[2];
    int k = 0;
    for (const FaceSynthParams& params : {moved, deeper}) {
        UniOb mesh, twin;
        Normalised_Face(mesh, params);
        Normalised_Face(twin, params);
        mesh.AllocTemplates(unsigned(source.Feature_Records.size()));
        mesh.Template_Records = source.Feature_Records;
        twin.AllocTemplates(unsigned(source.Feature_Records.size()));
        twin.Template_Records = source.Feature_Records;
        errors[k] = MatchTemplate(mesh);
        if (k++ == 0) {
            EXPECT_EQ(MatchTemplate(twin, FaceSearch::AllPairs), errors[0]);
            EXPECT_EQ(mesh.Template_Records, twin.Template_Records);
        }
    }
    EXPECT_GT(errors[0], 0.0f);
    EXPECT_LT(errors[0], 0.2f);
    EXPECT_GT(errors[1], 2 * errors[0]);

    UniOb empty;
    EXPECT_EQ(MatchTemplate(empty), -1.0f);
    source.FreeTemplates();
    EXPECT_EQ(MatchTemplate(source), -1.0f);  // no template point on any face
}

// On a flat strip with nothing to pair, each pass moves a template depth a tenth of the way to the
// surface when it lies within 1 of it; a point on a vertex or an edge is in no face.
TEST(FaceMatch, TrainingShrinksEachSmallDepthDifferenceByATenthAPass) {
    UniOb mesh;
    test::Make_Grid(mesh, 20);
    for (Vec3& p : mesh.Vertex_Pos) p = p - Vec3{10, 10, 0};
    test::Finish_Mesh(mesh);
    mesh.Feature_Scale = 5.0f;
    mesh.AllocTemplates(5);
    mesh.Template_Records = {
        {0.3f, 0.2f, 0.5f}, {1.3f, 1.2f, 2.0f}, {-2.7f, 3.4f, -0.8f}, {1, 1, 0.5f}, {0.5f, 0, 0.5f}};
    float expected[5] = {0.5f, 2.0f, -0.8f, 0.5f, 0.5f};
    for (int pass = 0; pass < 3; ++pass) {
        EXPECT_EQ(TrainTemplate(mesh), 0.0f);
        for (int i : {0, 2}) expected[i] = 0.9f * expected[i] + 0.1f * 0.0f;
        for (int i = 0; i < 5; ++i) EXPECT_FLOAT_EQ(mesh.Template_Records[i][2], expected[i]) << i;
    }
    EXPECT_FALSE(Face_Holds_Point({0, 0, 0}, {1, 0, 0}, {0, 1, 0}, 0, 0));
    EXPECT_FALSE(Face_Holds_Point({0, 0, 0}, {1, 0, 0}, {0, 1, 0}, 0.5f, 0));
    EXPECT_TRUE(Face_Holds_Point({0, 0, 0}, {1, 0, 0}, {0, 1, 0}, 0.25f, 0.25f));
}

// Two pairs cannot fix a rotation: the template stays where it is. And no table limit: every one of
// 20,000 features finds its twin.
TEST(FaceMatch, FewerThanThreePairsMoveNothingAndManyPairsAllCount) {
    UniOb mesh;
    test::Make_Grid(mesh, 20);
    for (Vec3& p : mesh.Vertex_Pos) p = p - Vec3{10, 10, 0};
    test::Finish_Mesh(mesh);
    mesh.Feature_Scale = 5.0f;
    mesh.AllocFeatures(2);
    mesh.Feature_Records = {{0.3f, 0.2f, 0, 0, 0, 1}, {-1.3f, 2.2f, 0, 0, 0, 1}};
    mesh.AllocTemplates(2);
    mesh.Template_Records = {{2.3f, 0.2f, 0.5f, 0, 0, 1}, {0.7f, 2.2f, 0.5f, 0, 0, 1}};
    const std::vector<Record10> before = mesh.Template_Records;
    EXPECT_FLOAT_EQ(MatchTemplate(mesh), 0.5f);
    EXPECT_EQ(mesh.Template_Records, before);
    const std::vector<Vec3> positions = mesh.Vertex_Pos;
    TrainTemplate(mesh);
    EXPECT_EQ(mesh.Vertex_Pos, positions);

    std::vector<Record10> many(20000);
    for (std::size_t i = 0; i < many.size(); ++i)
        many[i] = {float(i % 200) * 25, float(i / 200) * 25, 0, 0, 0, 1};
    std::vector<FacePair> pairs;
    Pair_Features(many, many, pairs);
    ASSERT_EQ(pairs.size(), many.size());
    EXPECT_EQ(pairs.back(), (FacePair{19999u, 19999u}));
}

TEST(FaceMatch, TrainingThroughGridsEqualsThePlainLoops) {
    UniOb source;
    Normalised_Face(source, FaceSynthParams{});
    FaceSynthParams moved;
    moved.Shift_X = 0.5f;
    moved.Pose.Rotate[1] = 0.3f;
    UniOb mesh, twin;
    Normalised_Face(mesh, moved);
    Normalised_Face(twin, moved);
    for (UniOb* m : {&mesh, &twin}) {
        m->AllocTemplates(unsigned(source.Feature_Records.size()));
        m->Template_Records = source.Feature_Records;
    }
    TrainTemplate(mesh);
    TrainTemplate(twin, FaceSearch::AllPairs);
    EXPECT_EQ(mesh.Template_Records, twin.Template_Records);
    EXPECT_EQ(mesh.Vertex_Pos, twin.Vertex_Pos);
    EXPECT_NE(mesh.Template_Records, source.Feature_Records);  // some depths moved
}

TEST(FaceMatch, VerificationBinsDecideInFloatingPoint) {
    EXPECT_EQ(Face_Error_Bin(0.0f), 0);
    EXPECT_EQ(Face_Error_Bin(0.37f), 3);
    EXPECT_EQ(Face_Error_Bin(2.95f), 29);
    EXPECT_EQ(Face_Error_Bin(3.0f), 30);
    EXPECT_EQ(Face_Error_Bin(-1.0f), 30);
    EXPECT_EQ(Face_Error_Bin(1e30f), 30);
    EXPECT_EQ(Face_Error_Bin(std::numeric_limits<float>::quiet_NaN()), 30);
    EXPECT_EQ(Face_Error_Bin(std::numeric_limits<float>::infinity()), 30);
}

}  // namespace
}  // namespace orvex
