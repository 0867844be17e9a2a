#pragma once
// 4x4 matrices as sixteen floats, element e = 4r + c being row r, column c. The array goes to
// OpenGL unchanged, so GL sees element 4r + c as its column r, row c.

#include <array>

#include "geometry/Vec3.h"

namespace orvex {

using Matrix4 = std::array<float, 16>;

void Mat4_Identity(Matrix4& M);
void Mat4_Zero(Matrix4& M);
void Mat4_Scale(Matrix4& M, float s);
void Mat4_Copy(const float values[16], Matrix4& M);
// B := A x B; A and B may be the same matrix.
void Mat4_PreMultiply(const Matrix4& A, Matrix4& B);
// A := A x B; A and B may be the same matrix.
void Mat4_PostMultiply(Matrix4& A, const Matrix4& B);
void Mat4_TransformPoint(const Matrix4& M, Vec3& p);
void Mat4_TransformVector(const Matrix4& M, Vec3& v);
void Mat4_Transpose(const Matrix4& M, Matrix4& out);
void Mat4_Rotation(const Vec3& u, float theta, Matrix4& M);
void Mat4_RotationT(const Vec3& u, float theta, Matrix4& M);
void Mat3_Rotation(const Vec3& u, float theta, float R[9]);
// axis 1 = X, 2 = Y, 3 = Z; any other number leaves M untouched.
void Mat4_AxisRotationDeg(Matrix4& M, int axis, float degrees);
void Mat4_Translation(Matrix4& M, const Vec3& v, float s);
// The rotation carrying the unit direction n onto +z.
void Mat4_AlignToZ(Matrix4& M, const Vec3& n);

}  // namespace orvex
