#pragma once
// A 3-vector in double for the sums and products that float would round away (hull seeds and
// checks), with just the operations they need.

#include <cmath>

namespace orvex {

struct Vec3d {
    double x = 0, y = 0, z = 0;
};

inline Vec3d Minus(const Vec3d& a, const Vec3d& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline Vec3d Cross(const Vec3d& a, const Vec3d& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double Dot(const Vec3d& a, const Vec3d& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline double Length(const Vec3d& a) {
    return std::sqrt(Dot(a, a));
}

}  // namespace orvex
