// Eye regions and pose normalisation of a synthetic face scan.

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "analysis/CandidateRegions.h"
#include "analysis/NormalizeFacePose.h"
#include "analysis/PickEyeRegion.h"
#include "mesh/FaceSynth.h"
#include "mesh/LoadPipeline.h"

namespace orvex {
namespace {

void Prepared_Face(UniOb& mesh, const FaceSynthParams& params = {}) {
    Make_Face(mesh, params);
    Run_Load_Pipeline(mesh);
    FindCandidateRegions(mesh);
}

Vec3 Centre(const VEC_LIST* record) {
    return {record->values[0], record->values[1], record->values[2]};
}

int Length(const VEC_LIST* list) {
    int n = 0;
    for (; list; list = list->next) ++n;
    return n;
}

VEC_LIST* Region(UniOb& mesh, Vec3 centre, Vec3 normal) {
    auto* record = new VEC_LIST(7);
    const float values[7] = {centre.x, centre.y, centre.z, normal.x, normal.y, normal.z, 1.0f};
    std::copy(values, values + 7, record->values);
    record->next = mesh.Region_List;
    mesh.Region_List = record;
    return record;
}

TEST(FacePipeline, EachEyePicksItsPitAndThePoseLandsOnTheNose) {
    UniOb mesh;
    Prepared_Face(mesh);
    ASSERT_EQ(Length(mesh.Region_List), 2);
    Vec3 leftPit, rightPit;
    Face_Eye_Centres(FaceSynthParams{}, leftPit, rightPit);

    VEC_LIST *left = nullptr, *right = nullptr;
    ASSERT_TRUE(PickEyeRegion(mesh, kFaceLeftEyeU, kFaceLeftEyeV, left));
    ASSERT_TRUE(PickEyeRegion(mesh, kFaceRightEyeU, kFaceRightEyeV, right));
    ASSERT_NE(left, right);
    EXPECT_NEAR(Centre(left).x, leftPit.x, 2.0f);
    EXPECT_NEAR(Centre(right).x, rightPit.x, 2.0f);
    EXPECT_NEAR(Centre(left).y, 0.0f, 2.0f);
    const Vec3 d = Centre(left) - Centre(right);
    const float w = std::sqrt(Dot(d, d)) / 4;

    mesh.Left_Eye = left;
    mesh.Right_Eye = right;
    ASSERT_TRUE(NormalizeFacePose(mesh, left, right).ok);
    EXPECT_EQ(mesh.Left_Eye, nullptr);  // the eye records are gone with the regions
    EXPECT_EQ(mesh.Right_Eye, nullptr);
    EXPECT_FLOAT_EQ(mesh.Feature_Scale, w);

    // Tip first, on the profile plane below the bridge; the bridge at the origin.
    ASSERT_EQ(Length(mesh.Region_List), 2);
    const VEC_LIST* tip = mesh.Region_List;
    const VEC_LIST* bridge = tip->next;
    EXPECT_NEAR(tip->values[0], 0.0f, 1e-3f);
    EXPECT_LT(tip->values[1], -w);
    EXPECT_GT(tip->values[2], 0.0f);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(bridge->values[k], 0.0f);
    EXPECT_NEAR(bridge->values[5], 1.0f, 0.1f);  // the bridge looks along +z

    // Features: from the windows, highest vertex first, one record each with its weight.
    ASSERT_GT(mesh.Feature_Vertices.size(), 1000u);
    ASSERT_EQ(mesh.Feature_Records.size(), mesh.Feature_Vertices.size());
    for (std::size_t k = 0; k < mesh.Feature_Vertices.size(); ++k) {
        const int v = mesh.Feature_Vertices[k];
        if (k > 0) {
            ASSERT_LT(v, mesh.Feature_Vertices[k - 1]);
        }
        const Vec3& p = mesh.Vertex_Pos[v];
        ASSERT_TRUE(In_Feature_Window(p.x, p.y, w));
        ASSERT_GE(std::fabs(mesh.Curvature_Max[v]), 1e-6f);
        ASSERT_EQ(mesh.Feature_Records[k][0], p.x);
        ASSERT_EQ(mesh.Feature_Records[k][6], mesh.Curvature_Max[v]);
        ASSERT_FLOAT_EQ(mesh.Feature_Records[k][8], std::exp(-std::fabs(p.x) / 30.0f));
    }
    // The profile marks: the four sides of the frame, then crossings of the plane x = 0.
    ASSERT_GT(Length(mesh.Profile_Marks), 8);
    const VEC_LIST* mark = mesh.Profile_Marks;
    EXPECT_EQ(Centre(mark), (Vec3{0, 100, 100}));
    EXPECT_EQ(Centre(mark->next), (Vec3{0, 100, -100}));
    for (int k = 0; k < 8; ++k) mark = mark->next;
    EXPECT_EQ(mark->values[0], 0.0f);
}

TEST(FacePipeline, TwoPosesOfOneFaceNormaliseAlike) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> angle(-0.4f, 0.4f), shift(-50.0f, 50.0f);
    UniOb faces[2];
    for (UniOb& mesh : faces) {
        FaceSynthParams params;
        for (int k = 0; k < 3; ++k) {
            params.Pose.Rotate[k] = angle(random);
            params.Pose.Translate[k] = shift(random);
        }
        Prepared_Face(mesh, params);
        ASSERT_TRUE(Normalize_Face(mesh, FaceEyes{}).ok);
    }
    EXPECT_NEAR(faces[0].Feature_Scale, faces[1].Feature_Scale, 1e-3f);
    for (int k = 0; k < 6; ++k)
        EXPECT_NEAR(faces[0].Region_List->values[k], faces[1].Region_List->values[k], 2e-3f);
    // The same vertices, moved the same way.
    const float n0 = float(faces[0].Feature_Vertices.size()), n1 = float(faces[1].Feature_Vertices.size());
    EXPECT_NEAR(n0, n1, 0.01f * n0);
    float worst = 0.0f;
    for (unsigned v = 0; v < faces[0].Vertex_Count; ++v) {
        const Vec3 d = faces[0].Vertex_Pos[v] - faces[1].Vertex_Pos[v];
        worst = std::max(worst, std::sqrt(Dot(d, d)));
    }
    EXPECT_LT(worst, 0.01f);
}

TEST(FacePipeline, FeatureWindowsAreHalfOpen) {
    const float w = 16.0f;
    EXPECT_TRUE(In_Feature_Window(5.9f * w, 9 * w, w));   // y = 9w: the top window
    EXPECT_FALSE(In_Feature_Window(0.0f, 10 * w, w));     // y = 10w: none
    EXPECT_TRUE(In_Feature_Window(0.4f * w, 5 * w, w));   // the nose ridge
    EXPECT_FALSE(In_Feature_Window(0.5f * w, 5 * w, w));  // |x| = 0.5w is outside it
    EXPECT_TRUE(In_Feature_Window(4.9f * w, -8 * w, w));
    EXPECT_FALSE(In_Feature_Window(0.0f, -8.01f * w, w));
    EXPECT_TRUE(In_Feature_Window(5.9f * w, 3 * w, w));
    EXPECT_TRUE(In_Feature_Window(2.9f * w, -3 * w, w));
    EXPECT_FALSE(In_Feature_Window(3.0f * w, 0.0f, w));
}

// Every stop leaves the mesh where it was.
TEST(FacePipeline, StopsWithAReasonBeforeAnythingMoves) {
    UniOb mesh;
    Make_Face(mesh, FaceSynthParams{});
    Run_Load_Pipeline(mesh);
    const std::vector<Vec3> before = mesh.Vertex_Pos;

    Status status = Normalize_Face(mesh, FaceEyes{});  // no candidate regions yet
    EXPECT_FALSE(status.ok);
    EXPECT_NE(status.message.find("region"), std::string::npos);

    VEC_LIST* only = Region(mesh, {32, 0, 0}, {0, 0, 1});
    status = Normalize_Face(mesh, FaceEyes{});
    EXPECT_FALSE(status.ok);
    EXPECT_NE(status.message.find("same region"), std::string::npos);
    EXPECT_EQ(mesh.Left_Eye, only);

    VEC_LIST* twin = Region(mesh, {32, 0, 0}, {0, 0, 1});
    status = NormalizeFacePose(mesh, only, twin);
    EXPECT_FALSE(status.ok);
    EXPECT_NE(status.message.find("zero eye distance"), std::string::npos);

    VEC_LIST* a = Region(mesh, {32, 0, 0}, {1, 0, 0});
    VEC_LIST* b = Region(mesh, {-32, 0, 0}, {1, 0, 0});
    status = NormalizeFacePose(mesh, a, b);
    EXPECT_FALSE(status.ok);
    EXPECT_NE(status.message.find("axis"), std::string::npos);

    VEC_LIST* c = Region(mesh, {1032, 0, 0}, {0, 0, 1});
    VEC_LIST* d = Region(mesh, {968, 0, 0}, {0, 0, 1});
    status = NormalizeFacePose(mesh, c, d);
    EXPECT_FALSE(status.ok);
    EXPECT_NE(status.message.find("bridge"), std::string::npos);

    EXPECT_EQ(mesh.Vertex_Pos, before);
    EXPECT_EQ(Length(mesh.Region_List), 6);
    EXPECT_TRUE(mesh.Feature_Vertices.empty());

    UniOb empty;
    VEC_LIST* kept = only;
    EXPECT_FALSE(PickEyeRegion(empty, 0.5f, 0.5f, kept));
    EXPECT_EQ(kept, only);
    EXPECT_FALSE(NormalizeFacePose(empty, a, b).ok);
}

// No vertex in the tip box leaves vertex 0 as the tip; at the eyes' midpoint it has no direction
// to turn from, and the turn is skipped instead of dividing by zero.
TEST(FacePipeline, TipOnTheZAxisSkipsTheTurn) {
    UniOb mesh;
    mesh.AllocVertices(4);
    mesh.Vertex_Pos = {{0, 0, 0}, {0.5f, -0.5f, 0}, {0.5f, 0.5f, 0}, {-0.5f, 0.5f, 0}};
    mesh.AllocFaces(2);
    mesh.Face_Index = {{0, 1, 2}, {0, 2, 3}};
    Run_Load_Pipeline(mesh);
    VEC_LIST* right = Region(mesh, {-2, 0, 0}, {0, 0, 1});
    VEC_LIST* left = Region(mesh, {2, 0, 0}, {0, 0, 1});
    ASSERT_TRUE(NormalizeFacePose(mesh, left, right).ok);
    for (const Vec3& p : mesh.Vertex_Pos)
        ASSERT_TRUE(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z));
    EXPECT_EQ(mesh.Vertex_Pos[2], (Vec3{0.5f, 0.5f, 0}));
}

}  // namespace
}  // namespace orvex
