#pragma once
// Principal curvature per vertex by a local quadric fit over the one-ring. The values follow the
// fitted height h = a x^2 + 2b xy + c y^2 (h measured against the normal), so a sphere of radius
// R with outward normals gives about 1/(2R) for both; reversing the orientation flips the sign.
// Vertices on or next to a boundary (negative label) and vertices whose fit is singular get 0.

#include <atomic>

#include "geometry/Progress.h"
#include "mesh/UniOb.h"

namespace orvex {

// Rebuilds Vertex_Ring and Vertex_Label (Build_Rings), then fills Curvature_Max and
// Curvature_Min, allocating them when missing. Expects valid Vertex_Normal.
void ComputeCurvature(UniOb& mesh, Progress* progress = nullptr);
// The same from the Vertex_Ring and Vertex_Label already built.
void Fit_Curvature(UniOb& mesh, Progress* progress = nullptr);
// Fit_Curvature's work shared out: each thread calling this with the same counter (from 0) fits
// blocks of vertices until none is left. Curvature_Max and Curvature_Min must be allocated.
void Fit_Curvature_Blocks(UniOb& mesh, std::atomic<unsigned>& nextBlock, Progress* progress);
// The fit of vertices [begin, end) alone, for callers that share the vertices out themselves.
void Fit_Curvature_Range(UniOb& mesh, unsigned begin, unsigned end);

}  // namespace orvex
