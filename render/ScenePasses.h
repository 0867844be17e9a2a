#pragma once
// The passes Draw_Objects runs, one function each, in the order it calls them. Each pass walks the
// objects it draws in list order; objects of later subsystems join a pass at the marked step.

#include "geometry/Vec3.h"
#include "render/SceneDraw.h"

namespace orvex {

class UniOb;

// Lit solids: flat or smooth, plain, textured or vertex-coloured, then the point set's hull in its
// colour; blended when `blended`.
void Solid_Pass(const DrawContext& ctx, const Vec3& v, bool blended);
// Every mesh coloured by the chosen spectrum mode.
void Spectrum_Pass(const DrawContext& ctx, const Vec3& v);
// Faces (the hull's too) painted in the background colour, then their outlines moved toward the viewer.
void Hidden_Line_Pass(const DrawContext& ctx, const Vec3& v);
// Every face outline, the hull's in the point set's colour, nothing hidden.
void Plain_Wire_Pass(const DrawContext& ctx);
// Every vertex and every point of the two point sets as a point of the chosen width.
void Point_Pass(const DrawContext& ctx);
// Axis-aligned boxes of every mesh and of the point set in the box colour.
void Bounding_Box_Pass(const DrawContext& ctx);
// The scene bounds in red.
void Master_Box_Pass(const DrawContext& ctx);
// Centroid and principal-axes box of every mesh in its colour, then the point set's box in its colour.
void Oriented_Box_Pass(const DrawContext& ctx);

// Outline of every face, moved by 2 w v toward the viewer, at line width w; line width 1 afterwards.
void Draw_Mesh_Edges(const UniOb& mesh, const Vec3& v, int w);

}  // namespace orvex
