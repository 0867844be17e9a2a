#include "render/AxisArrows.h"

#include <cmath>

namespace orvex {

namespace {
constexpr double kPi = 3.14159265358979323846;

struct Tessellation {
    int ballSlices, ballStacks, arrowSides;
};
constexpr Tessellation kFlat{8, 6, 8};
constexpr Tessellation kSmooth{20, 14, 20};

Vec3 Unit(Vec3 v) {
    const float l = std::sqrt(Dot(v, v));
    return l > 0.0f ? v * (1.0f / l) : v;
}

class Builder {
public:
    Builder(std::vector<AxisVertex>& out, bool flat) : out_(out), flat_(flat) {}

    // Corners a, b, c counter-clockwise from outside with their surface normals; flat shading
    // replaces those with the face normal.
    void Triangle(Vec3 a, Vec3 na, Vec3 b, Vec3 nb, Vec3 c, Vec3 nc) {
        if (flat_) na = nb = nc = Unit(Cross(b - a, c - a));
        out_.push_back({na, a});
        out_.push_back({nb, b});
        out_.push_back({nc, c});
    }

private:
    std::vector<AxisVertex>& out_;
    bool flat_;
};

Vec3 Ring(double angle, float radius, float z) {
    return {float(radius * std::cos(angle)), float(radius * std::sin(angle)), z};
}

void Build_Ball(std::vector<AxisVertex>& out, bool flat, const Tessellation& t) {
    Builder b(out, flat);
    auto point = [&](int slice, int stack) {
        const double theta = 2.0 * kPi * slice / t.ballSlices;
        const double phi = kPi * stack / t.ballStacks - kPi / 2.0;  // -90 to 90 degrees
        return Vec3{float(std::cos(phi) * std::cos(theta)), float(std::cos(phi) * std::sin(theta)),
                    float(std::sin(phi))};
    };
    const float r = kAxisBallRadius;
    for (int j = 0; j < t.ballStacks; ++j)
        for (int i = 0; i < t.ballSlices; ++i) {
            const Vec3 p00 = point(i, j), p10 = point(i + 1, j), p01 = point(i, j + 1),
                       p11 = point(i + 1, j + 1);
            if (j > 0) b.Triangle(p00 * r, p00, p10 * r, p10, p11 * r, p11);
            if (j < t.ballStacks - 1) b.Triangle(p00 * r, p00, p11 * r, p11, p01 * r, p01);
        }
}

// Along +z; the caller turns it onto its axis.
void Build_Arrow_Z(std::vector<AxisVertex>& out, bool flat, const Tessellation& t) {
    Builder b(out, flat);
    const int n = t.arrowSides;
    const float h = kAxisTipLength - kAxisShaftLength;
    const Vec3 down{0, 0, -1}, tip{0, 0, kAxisTipLength};
    for (int i = 0; i < n; ++i) {
        const double a0 = 2.0 * kPi * i / n, a1 = 2.0 * kPi * (i + 1) / n, am = (a0 + a1) / 2.0;
        const Vec3 n0 = Ring(a0, 1, 0), n1 = Ring(a1, 1, 0);
        // Shaft side.
        const Vec3 s00 = Ring(a0, kAxisShaftRadius, 0), s10 = Ring(a1, kAxisShaftRadius, 0);
        const Vec3 s01 = Ring(a0, kAxisShaftRadius, kAxisShaftLength);
        const Vec3 s11 = Ring(a1, kAxisShaftRadius, kAxisShaftLength);
        b.Triangle(s00, n0, s10, n1, s11, n1);
        b.Triangle(s00, n0, s11, n1, s01, n0);
        // Cone base, facing back along the shaft.
        const Vec3 c0 = Ring(a0, kAxisConeRadius, kAxisShaftLength);
        const Vec3 c1 = Ring(a1, kAxisConeRadius, kAxisShaftLength);
        b.Triangle(Vec3{0, 0, kAxisShaftLength}, down, c1, down, c0, down);
        // Cone side: the surface normal leans toward the tip by radius / height.
        const Vec3 m0 = Unit(Vec3{n0.x * h, n0.y * h, kAxisConeRadius});
        const Vec3 m1 = Unit(Vec3{n1.x * h, n1.y * h, kAxisConeRadius});
        const Vec3 nm = Ring(am, 1, 0);
        const Vec3 mt = Unit(Vec3{nm.x * h, nm.y * h, kAxisConeRadius});
        b.Triangle(c0, m0, c1, m1, tip, mt);
    }
}

// Cyclic permutations of the coordinates are rotations, so orientation and normals survive.
Vec3 Onto_Axis(const Vec3& p, int axis) {
    if (axis == 0) return {p.z, p.x, p.y};
    if (axis == 1) return {p.y, p.z, p.x};
    return p;
}

AxisArrows Build(bool flat) {
    const Tessellation& t = flat ? kFlat : kSmooth;
    AxisArrows arrows;
    Build_Ball(arrows.ball, flat, t);
    std::vector<AxisVertex> alongZ;
    Build_Arrow_Z(alongZ, flat, t);
    for (int axis = 0; axis < 3; ++axis) {
        arrows.arrow[axis].reserve(alongZ.size());
        for (const AxisVertex& v : alongZ)
            arrows.arrow[axis].push_back({Onto_Axis(v.normal, axis), Onto_Axis(v.position, axis)});
    }
    return arrows;
}
}  // namespace

const AxisArrows& Axis_Arrows(bool flat) {
    static const AxisArrows kFlatArrows = Build(true);
    static const AxisArrows kSmoothArrows = Build(false);
    return flat ? kFlatArrows : kSmoothArrows;
}

}  // namespace orvex
