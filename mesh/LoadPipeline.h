#pragma once
// The derived data every mesh reader ends with: face normals from the corners, angle-weighted
// vertex normals, one-ring lists and boundary labels, curvature, bounding box, volume, area and
// centroid; then Volume_Initial := Volume. Does nothing on an empty mesh.

#include "geometry/Progress.h"
#include "mesh/UniOb.h"

namespace orvex {

void Run_Load_Pipeline(UniOb& mesh, Progress* progress = nullptr);

}  // namespace orvex
