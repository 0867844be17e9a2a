#pragma once
// Triangle reduction in nearly flat regions. Phase 1 collapses a vertex onto its nearer neighbour
// in its smallest face when every incident face is within the threshold angle of the vertex
// normal and its ring is convex; phase 2 removes valence-3 vertices whose three faces are nearly
// parallel to the normal. Open-boundary vertices and vertices that are not one closed fan are
// never touched. The arrays are compacted once at the end and the derived data rebuilt: face and
// (unweighted) vertex normals, rings, labels, curvature and box; Volume is left as it was.
// Tex_Coord and Vertex_Color, when present, follow the vertices that stay.

#include "geometry/Progress.h"
#include "mesh/UniOb.h"

namespace orvex {

struct ReduceResult {
    bool ran = false;  // false: empty mesh, or a threshold above 15 degrees or not finite
    unsigned verticesBefore = 0;
    unsigned facesBefore = 0;
    unsigned phase1Removed = 0;  // vertices collapsed onto a neighbour
    unsigned phase2Removed = 0;  // valence-3 vertices removed
    bool cancelled = false;      // stopped between candidates; the mesh is still rebuilt and valid
    bool outOfMemory = false;    // memory ran out: nothing reduced, the mesh is exactly as it was
};

// thresholdDegrees: the largest angle between the vertex normal and an incident face normal for
// a collapse (the Mesh Formation "Reduce Threshold"). Candidates are drawn with Random_Below, so
// runs after Random_Reset_All repeat exactly.
ReduceResult ReduceTriangles(UniOb& mesh, float thresholdDegrees, Progress* progress = nullptr);

}  // namespace orvex
