#pragma once
// Box outlines: the axis-aligned box of a mesh or of the scene, and a box given by its eight
// corners (the principal-axes box). Corners 0-3 run around one face, 4-7 around the opposite face
// in the same order, corner k + 4 joined to corner k.

#include "geometry/Vec3.h"

namespace orvex {

// The corners of the box with origin o, axes e[0..2] and extents [a0, a1], [b0, b1], [c0, c1]
// (extent = a0, a1, b0, b1, c0, c1): k0 = o + a0 e0 + b0 e1 + c0 e2, k1 (a1, b0, c0), k2 (a1, b1, c0),
// k3 (a0, b1, c0), then k4..k7 the same at c1.
void Oriented_Box_Corners(const Vec3& o, const Vec3 e[3], const float extent[6], Vec3 corners[8]);

// The twelve edges at line width `width` (two rectangles at min.z and max.z and the four uprights);
// line width 1 afterwards.
void DrawBoxAxisAligned(const Vec3& min, const Vec3& max, int width);
// The twelve edges of a box given by its corners, at the current line width.
void DrawBoxCorners(const Vec3 corners[8]);

}  // namespace orvex
