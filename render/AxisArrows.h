#pragma once
// The triangles of the axis symbol, built once without GL: a ball of radius 4 at the origin and,
// along +x, +y and +z, a shaft of radius 1 from 0 to 40 and a cone of base radius 4 from 40 to 56,
// closed at its base. Triangles run counter-clockwise seen from outside. The flat tessellation is
// coarse with one normal per face; the smooth one is finer with surface normals at the corners.

#include <vector>

#include "geometry/Vec3.h"

namespace orvex {

constexpr float kAxisBallRadius = 4.0f;
constexpr float kAxisShaftRadius = 1.0f;
constexpr float kAxisShaftLength = 40.0f;
constexpr float kAxisConeRadius = 4.0f;
constexpr float kAxisTipLength = 56.0f;

struct AxisVertex {
    Vec3 normal;
    Vec3 position;
};

struct AxisArrows {
    std::vector<AxisVertex> ball;      // 3 vertices per triangle
    std::vector<AxisVertex> arrow[3];  // along +x, +y, +z
};

const AxisArrows& Axis_Arrows(bool flat);

}  // namespace orvex
