#pragma once
// The convex hull of a point set and its principal-axes box as GL primitives: faces, face outlines,
// outlines moved toward the viewer, and the oriented box. Like the mesh primitives these set no
// colour of their own; the scene passes choose it. A set without hull faces draws no hull.

#include "geometry/Vec3.h"
#include "pointset/PointList.h"

namespace orvex {

// One GL_TRIANGLES batch: per hull face its unit normal, then its three corners.
void Draw_Hull_Faces(const POINT_LIST& set);
// Every hull face as a closed loop of its corners, at line width w; line width 1 afterwards.
void Draw_Hull_Loops(const POINT_LIST& set, int w);
// Every hull face as a closed loop at line width w with each corner moved by 1.41 w v, so that the
// outline lies in front of the faces it surrounds; line width 1 afterwards.
void Draw_Hull_Edges(const POINT_LIST& set, const Vec3& v, int w);
// The oriented box of centroid, boxAxes and boxExtent at the current line width; nothing for an
// empty set.
void Draw_Point_Set_Oriented_Box(const POINT_LIST& set);

}  // namespace orvex
