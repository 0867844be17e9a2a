#include "geometry/Matrix4.h"

#include <cmath>

namespace orvex {

namespace {
constexpr double kPi = 3.14159265358979323846;

// R[r][c] of the rotation by theta about the unit axis u, in float as every caller stores it.
void Rotation_Rows(const Vec3& u, float theta, float R[3][3]) {
    const float c = std::cos(theta), s = std::sin(theta);
    const float x = u.x, y = u.y, z = u.z, t = 1.0f - c;
    R[0][0] = x * x + (1.0f - x * x) * c;
    R[0][1] = x * y * t - z * s;
    R[0][2] = x * z * t + y * s;
    R[1][0] = x * y * t + z * s;
    R[1][1] = y * y + (1.0f - y * y) * c;
    R[1][2] = y * z * t - x * s;
    R[2][0] = x * z * t - y * s;
    R[2][1] = y * z * t + x * s;
    R[2][2] = z * z + (1.0f - z * z) * c;
}

void Product(const Matrix4& A, const Matrix4& B, Matrix4& out) {
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            double sum = 0.0;
            for (int k = 0; k < 4; ++k) sum += double(A[4 * r + k]) * B[4 * k + c];
            out[4 * r + c] = float(sum);
        }
    }
}
}  // namespace

void Mat4_Identity(Matrix4& M) {
    M.fill(0.0f);
    M[0] = M[5] = M[10] = M[15] = 1.0f;
}

void Mat4_Zero(Matrix4& M) {
    M.fill(0.0f);
}

void Mat4_Scale(Matrix4& M, float s) {
    M.fill(0.0f);
    M[0] = M[5] = M[10] = s;
    M[15] = 1.0f;
}

void Mat4_Copy(const float values[16], Matrix4& M) {
    for (int i = 0; i < 16; ++i) M[i] = values[i];
}

void Mat4_PreMultiply(const Matrix4& A, Matrix4& B) {
    Matrix4 t;
    Product(A, B, t);
    B = t;
}

void Mat4_PostMultiply(Matrix4& A, const Matrix4& B) {
    Matrix4 t;
    Product(A, B, t);
    A = t;
}

void Mat4_TransformPoint(const Matrix4& M, Vec3& p) {
    Vec3 q;
    for (int r = 0; r < 3; ++r)
        q[r] = float(double(M[4 * r]) * p.x + double(M[4 * r + 1]) * p.y + double(M[4 * r + 2]) * p.z +
                     M[4 * r + 3]);
    p = q;
}

void Mat4_TransformVector(const Matrix4& M, Vec3& v) {
    Vec3 q;
    for (int r = 0; r < 3; ++r)
        q[r] = float(double(M[4 * r]) * v.x + double(M[4 * r + 1]) * v.y + double(M[4 * r + 2]) * v.z);
    v = q;
}

void Mat4_Transpose(const Matrix4& M, Matrix4& out) {
    Matrix4 t;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) t[r + 4 * c] = M[4 * r + c];
    out = t;
}

void Mat4_Rotation(const Vec3& u, float theta, Matrix4& M) {
    float R[3][3];
    Rotation_Rows(u, theta, R);
    Mat4_Identity(M);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) M[4 * r + c] = R[r][c];
}

void Mat4_RotationT(const Vec3& u, float theta, Matrix4& M) {
    float R[3][3];
    Rotation_Rows(u, theta, R);
    Mat4_Identity(M);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) M[r + 4 * c] = R[r][c];
}

void Mat3_Rotation(const Vec3& u, float theta, float R9[9]) {
    float R[3][3];
    Rotation_Rows(u, theta, R);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) R9[3 * r + c] = R[r][c];
}

void Mat4_AxisRotationDeg(Matrix4& M, int axis, float degrees) {
    if (axis < 1 || axis > 3) return;
    const float theta = float(degrees * kPi / 180.0);
    const float c = std::cos(theta), s = std::sin(theta);
    M.fill(0.0f);
    M[15] = 1.0f;
    switch (axis) {
        case 1:
            M[0] = 1.0f;
            M[5] = c, M[6] = s, M[9] = -s, M[10] = c;
            break;
        case 2:
            M[5] = 1.0f;
            M[0] = c, M[2] = -s, M[8] = s, M[10] = c;
            break;
        default:
            M[10] = 1.0f;
            M[0] = c, M[1] = s, M[4] = -s, M[5] = c;
            break;
    }
}

void Mat4_Translation(Matrix4& M, const Vec3& v, float s) {
    Mat4_Identity(M);
    M[12] = s * v.x;
    M[13] = s * v.y;
    M[14] = s * v.z;
}

void Mat4_AlignToZ(Matrix4& M, const Vec3& n) {
    Mat4_Identity(M);
    const double k = std::sqrt(double(n.x) * n.x + double(n.y) * n.y);
    // A direction off the unit sphere with nothing in x and y would divide by k = 0 below.
    if (n.z > 0.99999 || (k == 0.0 && n.z >= 0.0f)) return;
    if (n.z < -0.99999 || k == 0.0) {
        M[5] = M[10] = -1.0f;
        return;
    }
    // Rotation about the horizontal axis (g, h, 0) perpendicular to n, by the angle between n and z.
    const double g = n.y / k, h = -n.x / k, f = n.z;
    M[0] = float(f + g * g * (1.0 - f));
    M[1] = float((1.0 - f) * g * h);
    M[2] = float(k * h);
    M[4] = float((1.0 - f) * g * h);
    M[5] = float(f + (1.0 - f) * h * h);
    M[6] = float(-k * g);
    M[8] = float(-k * h);
    M[9] = float(k * g);
    M[10] = float(f);
}

}  // namespace orvex
