#pragma once
// Drawing of the facet family: arrows, the segment lists of facets (imported line segments and the
// cut records of a transfer), facet objects shaded or as wire, and the ribbon of a boundary loop.
// Long lists go out as client vertex arrays in chunks (immediate mode when the meshes use it);
// the picture is the same. Each routine leaves line width and point size at 1.

#include <vector>

#include "geometry/Vec3.h"

namespace orvex {

struct TRI_FACET;
class TriOb;
class BOUNDARY_LOOP;

// The arrow from `from` to `to` of length L: a line to 65 % of the way, then six triangles from
// the hexagon of radius L/16 around the axis at 60 % to the tip. An arrow of length 0 (or with a
// coordinate that is not finite) has no shape.
struct ArrowShape {
    Vec3 Line[2];
    Vec3 Triangles[18];  // six times: hexagon corner k, corner k + 1, tip
};
bool Arrow_Shape(const Vec3& from, const Vec3& to, ArrowShape& shape);
void DrawArrow(const Vec3& from, const Vec3& to);

// The facet's Segments records as line pairs (1-2, 3-4, ...) and points in `colour`, at line
// width `width` and point size width + 1. With a direction d every record is moved by
// 1.41 width d and, when `arrows`, gets an arrow from its moved point to point + 10 n (n its
// second vector, so records must hold six floats). Nothing for an empty list.
void DrawSegments(const TRI_FACET& facet, const Vec3* direction, int width, const float colour[3],
                  bool arrows);

// Every facet as a triangle with its Normal in the object's colour; then each facet's Segments as a
// red line strip of width 5.
void DrawShaded(const TriOb& object);

// Every facet as a closed loop in the object's colour at width w; the Segments of all facets as red
// points of size 5; then at width 3 each facet's Segments as a loop in (0.7, 0.1, 0.1) and its
// Cut_Path as a loop in (0.1, 0.7, 0.1).
void DrawWire(const TriOb& object, int width);

// For each consecutive pair of points a closed outline p[i] + a n[i], p[i] - a n[i],
// p[i+1] - a n[i+1], p[i+1] + a n[i+1], red, line width 4.
void DrawRibbon(const BOUNDARY_LOOP& loop, float halfWidth);
// The ribbon's outlines as line segments, eight points (four segments) a pair of loop points.
void Ribbon_Lines(const BOUNDARY_LOOP& loop, float halfWidth, std::vector<Vec3>& lines);

}  // namespace orvex
