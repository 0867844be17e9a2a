#pragma once
// The per-cell marching-cubes triangulation (the published procedure with the standard tables of
// MarchingCubeTables.h). The volume's writer, CT_3D::WriteMarchingCubeSTL, runs it on every cell
// that has both inside and outside corners.
// Every edge is interpolated from its corner nearer the cell origin (edges 2, 3, 6 and 7 from their
// second corner): the four cells that share an edge then compute the same bits for its vertex, so
// the surface they write is closed in exact arithmetic on the file's floats, not just nearly.

#include <cmath>

#include "geometry/Vec3.h"

namespace orvex {

struct McTriangle {
    Vec3 p[3];
};

// The point of the edge a-b at value iso (epsilon 0.00001): a when iso is at a, b when at b, a when
// the values agree, else the linear interpolation.
inline Vec3 InterpolateEdge(float iso, const Vec3& a, const Vec3& b, float va, float vb) {
    constexpr float kEpsilon = 0.00001f;
    if (std::fabs(iso - va) < kEpsilon) return a;
    if (std::fabs(iso - vb) < kEpsilon) return b;
    if (std::fabs(va - vb) < kEpsilon) return a;
    const float mu = (iso - va) / (vb - va);
    return {a.x + mu * (b.x - a.x), a.y + mu * (b.y - a.y), a.z + mu * (b.z - a.z)};
}

// Triangulates one cell: corners outside when value < iso. Returns 0 to 5 triangles, in table order.
int Polygonise(const Vec3 positions[8], const float values[8], float iso, McTriangle triangles[5]);

}  // namespace orvex
