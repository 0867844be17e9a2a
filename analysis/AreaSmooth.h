#pragma once
// One area-weighted averaging pass: every vertex moves to the weighted mean of itself (weight
// factor x its area) and its ring (weight 1 - factor x the ring's areas), all from the old
// positions. Vertices on or next to an open boundary (negative label) stay, and so does a vertex
// whose weights sum to zero or to a non-finite number. Normals, box and volume are not
// recomputed. Builds the rings first when the mesh has none. Nothing happens on an empty mesh.

#include "mesh/UniOb.h"

namespace orvex {

void AreaSmooth(UniOb& mesh, float factor);

// The pass behind AreaSmooth and FairSmooth. New p(v) = (b sum A(u) p(u) + a A(v) p(v)) /
// (a A(v) + b W(v)) over the ring entries u, from the old positions, with a = self_weight[v]
// (factor when self_weight is null) and b = 1 - a. A(v) is a third of the incident face areas
// (1 without area weighting), W(v) the sum of A over the ring. Negative labels, b = 0, a zero or
// non-finite denominator and a non-finite result leave the vertex where it is.
void Smooth_Pass(UniOb& mesh, bool area_weighting, float factor, const float* self_weight);

}  // namespace orvex
