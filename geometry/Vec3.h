#pragma once
// Vec3 and the per-element vector and triangle operations. Every mesh pass calls these once per
// vertex or face, so none of them allocates. The thresholds are part of the results: meshes,
// curvature and hulls depend on them bit for bit. Triangle measures are taken in double.

namespace orvex {

struct Vec3 {
    float x = 0.0f, y = 0.0f, z = 0.0f;

    float& operator[](int i) { return (&x)[i]; }
    float operator[](int i) const { return (&x)[i]; }
    float* data() { return &x; }
    const float* data() const { return &x; }
};

inline Vec3 operator+(const Vec3& a, const Vec3& b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline Vec3 operator-(const Vec3& a, const Vec3& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline Vec3 operator*(const Vec3& a, float s) {
    return {a.x * s, a.y * s, a.z * s};
}
inline Vec3 operator*(float s, const Vec3& a) {
    return {a.x * s, a.y * s, a.z * s};
}
inline Vec3& operator+=(Vec3& a, const Vec3& b) {
    a.x += b.x;
    a.y += b.y;
    a.z += b.z;
    return a;
}
inline Vec3& operator-=(Vec3& a, const Vec3& b) {
    a.x -= b.x;
    a.y -= b.y;
    a.z -= b.z;
    return a;
}
inline bool operator==(const Vec3& a, const Vec3& b) {
    return a.x == b.x && a.y == b.y && a.z == b.z;
}
inline float Dot(const Vec3& a, const Vec3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline Vec3 Cross(const Vec3& a, const Vec3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// Divided by |v| x 1.000000000001, however small; the zero vector stays zero.
void Vec3_Normalize(Vec3& v);
// Unit normal of (B - A) x (C - A) (divided by its length x 1.00000001), or (0, 0, 0) for a
// degenerate triangle: one whose largest corner angle has a sine below 1e-6 (coincident or
// collinear corners). Judged against the triangle's own edges, so scale does not matter.
void Facet_Normal(Vec3& out, const Vec3& A, const Vec3& B, const Vec3& C);
// Never below 1e-12, so callers may divide by it.
float Point_Distance(const Vec3& A, const Vec3& B);
// Half |(B - A) x (C - A)|, or 0 for a triangle Facet_Normal calls degenerate.
float Triangle_Area(const Vec3& A, const Vec3& B, const Vec3& C);
// Facet_Normal into out and Triangle_Area returned, from one cross product.
float Facet_Normal_Area(Vec3& out, const Vec3& A, const Vec3& B, const Vec3& C);
// Interior angles at A, B, C; three times 1.0471976 when an edge is shorter than 1e-8.
void Triangle_Angles(const Vec3& A, const Vec3& B, const Vec3& C, float out[3]);
float Safe_Acos(double x);
float Line_Distance_Half(const Vec3& P, const Vec3& A, const Vec3& B);
void Perpendicular_XY(Vec3& out, const Vec3& n);
void Tangent_Frame(const Vec3& n, Vec3& t1, Vec3& t2);
bool Near_Within(const Vec3& A, const Vec3& B, float t);
bool Near_Strict(const Vec3& A, const Vec3& B, float t);
bool Near_Fixed(const Vec3& A, const Vec3& B);

}  // namespace orvex
