// 4x4 products, transforms and the rotation builders, checked against their geometric meaning.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "geometry/Matrix4.h"

using namespace orvex;

namespace {
Vec3 Unit(Vec3 v) {
    return v * (1.0f / std::sqrt(Dot(v, v)));
}

Matrix4 Identity() {
    Matrix4 I;
    Mat4_Identity(I);
    return I;
}

void ExpectNear(const Matrix4& A, const Matrix4& B, float tol) {
    for (int e = 0; e < 16; ++e) EXPECT_NEAR(A[e], B[e], tol) << "element " << e;
}

// M^T M, which is the identity for a rotation.
Matrix4 GramOf(const Matrix4& M) {
    Matrix4 G;
    Mat4_Transpose(M, G);
    Mat4_PostMultiply(G, M);
    return G;
}
}  // namespace

TEST(Rotation, IsOrthonormalAndUndoneByTheOppositeAngle) {
    const Vec3 u = Unit({1, -2, 0.5f});
    Matrix4 R, back;
    Mat4_Rotation(u, 0.7f, R);
    ExpectNear(GramOf(R), Identity(), 1e-6f);
    Mat4_Rotation(u, -0.7f, back);
    Mat4_PreMultiply(back, R);  // R := R(-theta) R(theta)
    ExpectNear(R, Identity(), 1e-6f);

    Matrix4 quarter;  // counter-clockwise: x goes to y
    Mat4_Rotation({0, 0, 1}, std::numbers::pi_v<float> / 2, quarter);
    Vec3 x{1, 0, 0};
    Mat4_TransformVector(quarter, x);
    EXPECT_NEAR(x.y, 1.0f, 1e-7);
}

TEST(Rotation, ThreeStoragesOfTheSameRotationAgree) {
    const Vec3 u = Unit({0.3f, 0.4f, -0.8f});
    Matrix4 M, MT, MTt;
    float R3[9];
    Mat4_Rotation(u, 1.3f, M);
    Mat4_RotationT(u, 1.3f, MT);
    Mat3_Rotation(u, 1.3f, R3);
    Mat4_Transpose(MT, MTt);
    EXPECT_EQ(M, MTt);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) EXPECT_EQ(R3[3 * r + c], M[4 * r + c]);
    for (int e : {3, 7, 11, 12, 13, 14}) EXPECT_EQ(M[e], 0.0f);
}

TEST(Rotation, AngleZeroIsExactlyTheIdentity) {
    Matrix4 M;
    Mat4_Rotation(Unit({0.6f, 0.48f, 0.64f}), 0.0f, M);
    EXPECT_EQ(M, Identity());
}

TEST(AxisRotation, IsTheGeneralRotationStoredForGl) {
    const Vec3 axes[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    for (int axis = 1; axis <= 3; ++axis) {
        for (float degrees : {30.0f, -75.0f, 180.0f}) {
            Matrix4 A, R, Rt;
            Mat4_AxisRotationDeg(A, axis, degrees);
            Mat4_Rotation(axes[axis - 1], float(degrees * std::numbers::pi / 180.0), R);
            Mat4_Transpose(R, Rt);
            ExpectNear(A, Rt, 1e-7f);
        }
    }
    Matrix4 M;
    for (int e = 0; e < 16; ++e) M[e] = float(e);
    const Matrix4 before = M;
    Mat4_AxisRotationDeg(M, 4, 30);  // unknown axis: untouched
    EXPECT_EQ(M, before);
}

TEST(AlignToZ, CarriesTheDirectionOntoPlusZ) {
    for (Vec3 n : {Vec3{1, 0, 0}, Vec3{0, -1, 0}, Vec3{1, 2, 3}, Vec3{-1, 1, -4}, Vec3{0.01f, 0, 1},
                   Vec3{0, 0.006f, -1}, Vec3{0.004f, -0.003f, 1}}) {
        n = Unit(n);
        Matrix4 M;
        Mat4_AlignToZ(M, n);
        Vec3 m = n;
        Mat4_TransformVector(M, m);
        EXPECT_NEAR(m.x, 0.0f, 2e-6) << n.x << " " << n.y << " " << n.z;
        EXPECT_NEAR(m.y, 0.0f, 2e-6);
        EXPECT_NEAR(m.z, 1.0f, 2e-6);
        ExpectNear(GramOf(M), Identity(), 2e-6f);
    }
    // Within 1e-5 of a pole no rotation is built: identity, or the half turn about x.
    Matrix4 M, flip = Identity();
    Mat4_AlignToZ(M, Unit({0.001f, 0, 1}));
    EXPECT_EQ(M, Identity());
    Mat4_AlignToZ(M, Unit({0, 0.001f, -1}));
    flip[5] = flip[10] = -1;
    EXPECT_EQ(M, flip);
}
