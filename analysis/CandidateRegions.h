#pragma once
// Candidate regions of a face scan: small concave patches (the inner eye corners) found from the
// curvature field. Candidates are interior vertices (label 0) whose two-ring mean of Curvature_Max
// lies in (-0.03, -0.01) with a two-ring deviation below 0.02; each ring-connected set of them
// gets a region number 1, 2, ... in Vertex_Label, and Region_List gets one 7-float record per
// region (centre, unit mean normal, vertex count), regions closer than 20 units merged.

#include <vector>

#include "geometry/Progress.h"
#include "mesh/UniOb.h"

namespace orvex {

// Mean and population deviation of both curvature arrays over a vertex's two-ring. A deviation
// is 0 when the values are almost constant (variance <= 1e-8).
struct RingStats {
    float meanMax = 0.0f;
    float meanMin = 0.0f;
    float stdMax = 0.0f;
    float stdMin = 0.0f;
};

// Reusable working storage for repeated two-ring queries on one mesh.
struct TwoRingScratch {
    std::vector<int> members;
    std::vector<unsigned> stamp;  // per vertex: the query number that last listed it
    unsigned query = 0;
    std::vector<float> valuesMax;
    std::vector<float> valuesMin;
};

// The two-ring is v, then every ring entry of v (repeats kept), then every entry of those
// entries' rings not listed yet. Needs Vertex_Ring and the curvature arrays; zeros otherwise.
RingStats TwoRingStats(const UniOb& mesh, int v);
RingStats TwoRingStats(const UniOb& mesh, int v, TwoRingScratch& scratch);

// Labels the regions and rebuilds Region_List (newest region number first, then merged). Region
// numbers of an earlier run are cleared to 0 first, so running it again gives the same regions.
// Computes the curvature first when the mesh has none. A cancel during the scan leaves the labels
// and Region_List as they were. Left_Eye and Right_Eye are reset with the old records.
void FindCandidateRegions(UniOb& mesh, Progress* progress = nullptr);

// Relabels from -> to every vertex reachable from `vertex` through ring entries labelled `from`
// (the start vertex too, if it is reached back). An explicit stack: region size is unbounded.
void FloodLabel(UniOb& mesh, int vertex, int from, int to);
void FloodLabel(UniOb& mesh, int vertex, int from, int to, std::vector<int>& stack);

}  // namespace orvex
