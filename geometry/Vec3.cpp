#include "geometry/Vec3.h"

#include <algorithm>
#include <cmath>

#include "geometry/FloatAcos.h"
#include "geometry/Vec3d.h"

namespace orvex {

namespace {
constexpr double kPi = 3.14159265358979323846;

// |v|^2 carried in double from the float components. Thresholds are compared in double too: as
// floats, 0.99999999 and 1.0 are the same number.
double Length_Squared(const Vec3& v) {
    return double(v.x) * v.x + double(v.y) * v.y + double(v.z) * v.z;
}

// B - A with the difference taken in double: coordinates near the float limit would overflow it
// in float.
Vec3d Edge_Double(const Vec3& A, const Vec3& B) {
    return Minus(Vec3d{B.x, B.y, B.z}, Vec3d{A.x, A.y, A.z});
}
double Length_Squared_Double(const Vec3& A, const Vec3& B) {
    const Vec3d e = Edge_Double(A, B);
    return Dot(e, e);
}

struct Cross_Product {
    Vec3 f;             // (B - A) x (C - A) in float, as every triangle measure has been taken
    double qf;          // |f|^2
    double x, y, z, q;  // the same product in double, and its squared length
    bool degenerate;
};

// The decision and the fallback are in double, so that neither a tiny triangle underflows nor one
// near the float limit overflows. A triangle is degenerate when its largest corner angle has a
// sine below 1e-6, i.e. its corners are collinear (or coincident) up to the rounding of float
// coordinates: judged against its own edges, so the same shape counts the same at any scale.
Cross_Product Triangle_Cross(const Vec3& A, const Vec3& B, const Vec3& C) {
    Cross_Product n;
    n.f = Cross(B - A, C - A);
    n.qf = Length_Squared(n.f);
    const double ab = Length_Squared_Double(A, B);
    const double ac = Length_Squared_Double(A, C);
    const double bc = Length_Squared_Double(B, C);
    // |n| = (product of the two shorter edges) x sine of the angle between them; the squares of
    // both sides are compared times the longest edge's square.
    const double longest = std::max({ab, ac, bc}), all = ab * ac * bc;
    // Most triangles: a float product in range and a sine far above both the cut-off and the
    // float rounding (about 1e-7) settle it without the double product.
    if (n.qf >= 1e-30 && n.qf <= 3e38 && n.qf * longest > 1e-8 * all) {
        n.x = n.f.x, n.y = n.f.y, n.z = n.f.z, n.q = n.qf;
        n.degenerate = false;
        return n;
    }
    const Vec3d d = Cross(Edge_Double(A, B), Edge_Double(A, C));
    n.x = d.x, n.y = d.y, n.z = d.z;
    n.q = Dot(d, d);
    n.degenerate = !(n.q * longest > 1e-12 * all);
    return n;
}

// Cosine of the corner angle at A, all in double.
double Cosine_Double(const Vec3& A, const Vec3& B, const Vec3& C) {
    const Vec3d u = Edge_Double(A, B), v = Edge_Double(A, C);
    return Dot(u, v) / Length(u) / Length(v);
}
}  // namespace

void Vec3_Normalize(Vec3& v) {
    // Only the zero vector has no direction: a tiny vector (a small-scale mesh) still has one.
    const double q = Length_Squared(v);
    if (q > 0.0) {
        const double l = std::sqrt(q) * 1.000000000001;
        v.x = float(v.x / l);
        v.y = float(v.y / l);
        v.z = float(v.z / l);
    }
}

void Facet_Normal(Vec3& out, const Vec3& A, const Vec3& B, const Vec3& C) {
    const Cross_Product n = Triangle_Cross(A, B, C);
    if (n.degenerate) {
        out = Vec3{};
    } else if (n.qf >= 1e-60 && n.qf <= 1e76) {  // the float product is finite and not underflowing
        const double l = std::sqrt(n.qf) * 1.00000001;
        out = {float(n.f.x / l), float(n.f.y / l), float(n.f.z / l)};
    } else {
        const double l = std::sqrt(n.q) * 1.00000001;
        out = {float(n.x / l), float(n.y / l), float(n.z / l)};
    }
}

float Point_Distance(const Vec3& A, const Vec3& B) {
    const float q = float(Length_Squared(A - B));
    if (q >= 1e-12) return std::sqrt(q);
    // Below 1e-6, or an underflow in float: the distance itself, but never below 1e-12.
    const double d = std::sqrt(Length_Squared_Double(A, B));
    return d >= 1e-12 ? float(d) : 1e-12f;
}

float Triangle_Area(const Vec3& A, const Vec3& B, const Vec3& C) {
    const Cross_Product n = Triangle_Cross(A, B, C);
    if (n.degenerate) return 0.0f;
    if (n.qf >= 1e-30 && n.qf <= 3e38) return std::sqrt(float(n.qf)) / 2.0f;  // a normal float
    return float(std::sqrt(n.q) / 2.0);
}

float Facet_Normal_Area(Vec3& out, const Vec3& A, const Vec3& B, const Vec3& C) {
    const Cross_Product n = Triangle_Cross(A, B, C);
    if (n.degenerate) {
        out = Vec3{};
        return 0.0f;
    }
    if (n.qf >= 1e-60 && n.qf <= 1e76) {
        const double l = std::sqrt(n.qf) * 1.00000001;
        out = {float(n.f.x / l), float(n.f.y / l), float(n.f.z / l)};
    } else {
        const double l = std::sqrt(n.q) * 1.00000001;
        out = {float(n.x / l), float(n.y / l), float(n.z / l)};
    }
    if (n.qf >= 1e-30 && n.qf <= 3e38) return std::sqrt(float(n.qf)) / 2.0f;
    return float(std::sqrt(n.q) / 2.0);
}

void Triangle_Angles(const Vec3& A, const Vec3& B, const Vec3& C, float out[3]) {
    float a = Point_Distance(A, B);
    float b = Point_Distance(B, C);
    float c = Point_Distance(C, A);
    if (a >= 1e-8 && b >= 1e-8 && c >= 1e-8) {
        const float dotA = Dot(C - A, B - A), dotB = Dot(C - B, A - B);
        if (std::isfinite(dotA) && std::isfinite(dotB) && std::isfinite(a + b + c)) {
            out[0] = Safe_Acos(double(dotA) / a / c);
            out[1] = Safe_Acos(double(dotB) / a / b);
        } else {  // near the float limit the products overflow in float
            out[0] = Safe_Acos(Cosine_Double(A, B, C));
            out[1] = Safe_Acos(Cosine_Double(B, C, A));
        }
        out[2] = float(kPi - out[0] - out[1]);
    } else {
        out[0] = out[1] = out[2] = 1.0471976f;
    }
}

float Safe_Acos(double x) {
    if (x >= 0.99999999999) return 0.0f;
    if (x <= -0.99999999999) return 3.1415927f;
    return Acos_To_Float(x);
}

float Line_Distance_Half(const Vec3& P, const Vec3& A, const Vec3& B) {
    Vec3 d = B - A;
    double L = std::sqrt(Length_Squared(d));
    if (L < 1e-8) return float(std::sqrt(Length_Squared(P - A)));
    return float(std::sqrt(Length_Squared(Cross(d, P - A))) / L / 2.0);
}

void Perpendicular_XY(Vec3& out, const Vec3& n) {
    // d = 0 only for a direction off the unit sphere along z; it takes the branch of its sign.
    double d = std::sqrt(double(n.x) * n.x + double(n.y) * n.y);
    if (n.z > 0.99999999 || (d == 0.0 && n.z >= 0.0f)) {
        out = {1.0f, 0.0f, 0.0f};
    } else if (n.z < -0.99999999 || d == 0.0) {
        out = {0.0f, 1.0f, 0.0f};
    } else {
        out = {float(-n.y / d), float(n.x / d), 0.0f};
    }
}

void Tangent_Frame(const Vec3& n, Vec3& t1, Vec3& t2) {
    t1 = Cross(n, Vec3{-n.y, n.z, -n.x});
    Vec3_Normalize(t1);
    t2 = Cross(n, t1);
    Vec3_Normalize(t2);
}

bool Near_Within(const Vec3& A, const Vec3& B, float t) {
    return std::fabs(A.x - B.x) <= t && std::fabs(A.y - B.y) <= t && std::fabs(A.z - B.z) <= t;
}

bool Near_Strict(const Vec3& A, const Vec3& B, float t) {
    return std::fabs(A.x - B.x) < t && std::fabs(A.y - B.y) < t && std::fabs(A.z - B.z) < t;
}

bool Near_Fixed(const Vec3& A, const Vec3& B) {
    return Near_Within(A, B, 0.00001f);
}

}  // namespace orvex
