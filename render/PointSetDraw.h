#pragma once
// Drawing of the point sets (Point_Set, Selected_Points) in the passes of a frame: the points, the
// axis-aligned box and the region spheres of the spectrum pass. The hull faces and edges and the
// oriented box are drawn with the hulls. A set without points draws nothing.

namespace orvex {

class POINT_LIST;

// Point pass: the set's colour, point size w, one GL_POINTS batch; a coloured set sends each point's
// own colour first. Point size 1 afterwards.
void Draw_Point_Set_Points(const POINT_LIST& set, int w);

// Box pass: the box of boundsMin, boundsMax at line width w in the current colour.
void Draw_Point_Set_Box(const POINT_LIST& set, int w);

// Spectrum pass, "Curvature Region" only: a grey sphere at each point, its shade and size by the
// point's height around z = 90 (a face scan's reference plane), drawn in the current lighting.
void Draw_Point_Set_Regions(const POINT_LIST& set);

}  // namespace orvex
