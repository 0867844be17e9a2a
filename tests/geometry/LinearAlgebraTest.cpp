// Elimination, inverse, power iteration and the rigid fit against systems solved by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "geometry/LinearAlgebra.h"

using namespace orvex;

namespace {
void ExpectAllFinite(const float* v, int n) {
    for (int i = 0; i < n; ++i) EXPECT_TRUE(std::isfinite(v[i])) << "entry " << i;
}

// Not in one plane, with unequal spreads, so the fit is well posed.
const std::vector<Vec3> kCloud = {{1, 0, 0},     {0, 2, 0},     {0, 0, 3},       {1, 1, 1},
                                  {-1, 0.5f, 2}, {2, -1, 0.5f}, {-0.5f, -2, -1}, {0.3f, 0.7f, -2}};
}  // namespace

TEST(GaussSolve, SolvesAHandWorkedSystem) {
    // 2x + y - z = 8, -3x - y + 2z = -11, -2x + y + 2z = -3  ->  (2, 3, -1)
    float a[12] = {2, 1, -1, 8, -3, -1, 2, -11, -2, 1, 2, -3};
    ASSERT_TRUE(Gauss_Solve(3, a));
    EXPECT_NEAR(a[3], 2.0f, 1e-5);
    EXPECT_NEAR(a[7], 3.0f, 1e-5);
    EXPECT_NEAR(a[11], -1.0f, 1e-5);
}

TEST(GaussSolveDegenerate, SingularSystemsKeepTheEliminatedColumn) {
    // x + 2y = 3, 2x + 4y = 7: the rows swap and the second becomes 0 0 | 3 - 7/2.
    float a[6] = {1, 2, 3, 2, 4, 7};
    EXPECT_FALSE(Gauss_Solve(2, a));
    EXPECT_EQ(a[2], 7.0f);
    EXPECT_EQ(a[5], -0.5f);
    EXPECT_EQ(a[4], 0.0f);  // cancellation noise is cleared

    // x = 1e20 / 1e-30 overflows float: reported, not returned as infinity.
    float b[6] = {1e-30f, 0, 1e20f, 0, 1, 1};
    EXPECT_FALSE(Gauss_Solve(2, b));
    EXPECT_EQ(b[2], 1e20f);
    EXPECT_EQ(b[5], 1.0f);
}

TEST(MatInverse, InvertsHandWorkedMatrices) {
    const float A2[4] = {4, 7, 2, 6}, want2[4] = {0.6f, -0.7f, -0.2f, 0.4f};
    float inv2[4];
    ASSERT_TRUE(Mat_Inverse(A2, inv2, 2));
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(inv2[i], want2[i], 1e-6);

    const float A3[9] = {1, 2, 3, 0, 1, 4, 5, 6, 0}, want3[9] = {-24, 18, 5, 20, -15, -4, -5, 4, 1};
    float inv3[9];
    ASSERT_TRUE(Mat_Inverse(A3, inv3, 3));
    for (int i = 0; i < 9; ++i) EXPECT_NEAR(inv3[i], want3[i], 2e-4);
}

TEST(MatInverseDegenerate, SingularMatricesReportFailureWithFiniteOutput) {
    const float rankOne[4] = {1, 2, 2, 4}, zeroColumn[4] = {0, 0, 0, 1}, zero[4] = {};
    for (const float* A : {rankOne, zeroColumn, zero}) {
        float out[4];
        EXPECT_FALSE(Mat_Inverse(A, out, 2));
        ExpectAllFinite(out, 4);
    }
}

TEST(PowerIteration, FindsTheEigenvectorOfLargestMagnitude) {
    // Eigenvalues 2 - sqrt 2, 2, 2 + sqrt 2; the last has eigenvector (1, sqrt 2, 1) / 2.
    const float M[9] = {2, 1, 0, 1, 2, 1, 0, 1, 2};
    float p[3];
    ASSERT_TRUE(Power_Iteration(3, p, M, 1e-8f));
    EXPECT_NEAR(p[0], 0.5f, 1e-5);
    EXPECT_NEAR(p[1], std::sqrt(0.5f), 1e-5);
    EXPECT_NEAR(p[2], 0.5f, 1e-5);
}

TEST(PowerIterationDegenerate, OversizeIsRejectedAndZeroMatrixGivesNoNaN) {
    std::vector<float> M(4, 1.0f);  // never read
    float p[2] = {7, 7};
    EXPECT_FALSE(Power_Iteration(2000, p, M.data(), 1e-8f));
    EXPECT_EQ(p[0], 7.0f);
    const float Z[4] = {};
    EXPECT_FALSE(Power_Iteration(2, p, Z, 1e-8f));
    ExpectAllFinite(p, 2);
}

TEST(RigidFit, RecoversARotationAboutTheOrigin) {
    Vec3 axis{1, 2, -1};
    axis = axis * (1.0f / std::sqrt(Dot(axis, axis)));
    Matrix4 R, M;
    Mat4_Rotation(axis, 0.9f, R);
    std::vector<Vec3> P = kCloud;
    for (Vec3& p : P) Mat4_TransformVector(R, p);

    const float residual = Rigid_Fit(M, P.data(), kCloud.data(), kCloud.size());
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) EXPECT_NEAR(M[4 * r + c], R[4 * r + c], 1e-5) << r << "," << c;
        EXPECT_NEAR(M[4 * r + 3], 0.0f, 1e-5);
    }
    EXPECT_NEAR(residual, 0.0f, 1e-5);
}

TEST(RigidFit, TranslatedCopyReportsTheTranslationLengthAsResidual) {
    const Vec3 t{0.5f, -2, 3};
    std::vector<Vec3> P = kCloud;
    for (Vec3& p : P) p += t;
    Matrix4 M;
    const float residual = Rigid_Fit(M, P.data(), kCloud.data(), kCloud.size());
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) EXPECT_NEAR(M[4 * r + c], r == c ? 1.0f : 0.0f, 1e-5);
    EXPECT_NEAR(M[3], t.x, 1e-5);
    EXPECT_NEAR(M[7], t.y, 1e-5);
    EXPECT_NEAR(M[11], t.z, 1e-5);
    EXPECT_NEAR(residual, std::sqrt(Dot(t, t)), 1e-5);  // the residual leaves the translation out
}

TEST(RigidFitDegenerate, EmptyAndSinglePointSetsStayFinite) {
    Matrix4 M;
    EXPECT_EQ(Rigid_Fit(M, nullptr, nullptr, 0), 0.0f);
    const Vec3 P{1, 2, 3}, Q{0, 0, 1};
    Rigid_Fit(M, &P, &Q, 1);  // any rotation fits one pair: identity plus the offset
    EXPECT_EQ(M[0], 1.0f);
    EXPECT_EQ(M[11], 2.0f);
    ExpectAllFinite(M.data(), 16);
}
