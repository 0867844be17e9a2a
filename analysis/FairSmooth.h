#pragma once
// Curvature-adaptive smoothing with volume restoration: one pass as AreaSmooth with the vertex's
// own weight chosen by the method, then the mesh is scaled about its centroid from before the pass
// until its volume is Volume_Initial again. Afterwards the box, face normals, weighted vertex
// normals and the volume are current.

#include "mesh/UniOb.h"

namespace orvex {

// The item indices of the Mesh Formation "Method" box; any other index (none selected: -1)
// smooths as Smooth_Constant.
enum SmoothMethod : int { Smooth_Constant = 0, Smooth_Gaussian = 1, Smooth_Gauss_Edge = 2 };

// Self weight: Smooth_Constant uses factor; Smooth_Gaussian exp(-|K|) with K the product of the
// stored principal curvatures (a mesh without curvature counts as flat, so nothing moves);
// Smooth_Gauss_Edge also keeps vertices with |K| < 1e-6 and a mean curvature sum below -2e-6.
// area_weighting off counts every vertex area as 1.
// Returns the number of restoration steps: at least 1 when the volumes allow it, at most 20;
// the loop stops at a relative error of 1e-10 or when a step no longer reduces it. Returns 0,
// keeping the smoothed shape unscaled, when Volume_Initial or the volume after the pass is zero,
// non-finite, or of the other sign. Nothing happens on an empty mesh.
int FairSmooth(UniOb& mesh, float factor, bool area_weighting, int method);

}  // namespace orvex
