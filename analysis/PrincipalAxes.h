#pragma once
// The principal-axes box of a mesh: axes are the eigenvectors of the area-weighted scatter of the
// face centroids (Principal_Axes[k] the k-th in increasing eigenvalue order), extents the
// smallest and largest projection of every vertex, measured from Volume_Centroid, on each axis.
// The axes follow the mesh's shape only, so moving the mesh does not turn them.

#include "mesh/UniOb.h"

namespace orvex {

// Fills Principal_Axes and Axes_Extent; reads Volume_Centroid as it stands.
void PrincipalAxesBox(UniOb& mesh);

}  // namespace orvex
