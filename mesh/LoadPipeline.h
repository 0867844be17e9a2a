#pragma once
// The derived data every mesh reader ends with: face normals from the corners, angle-weighted
// vertex normals, one-ring lists and boundary labels, curvature, bounding box, volume, area and
// centroid; then Volume_Initial := Volume. Does nothing on an empty mesh.

#include <memory>
#include <vector>

#include "geometry/Progress.h"
#include "mesh/UniOb.h"

namespace orvex {

void Run_Load_Pipeline(UniOb& mesh, Progress* progress = nullptr);

// The per-face work of the pipeline, as Face_Terms leaves it, taken ahead by a reader (beside its
// reading, from the corners as read). Faces [0, done) hold their normal in Face_Normal and their
// terms in the tables, except the faces listed in `stale` (a corner merged into a vertex elsewhere).
struct LoadFaceTerms {
    std::unique_ptr<float[]> areas;
    std::unique_ptr<double[]> tetra;
    std::unique_ptr<float[]> angles;  // three a face
    unsigned done = 0;
    std::vector<unsigned> stale;

    // Tables for `faces` faces; false (and none) without the memory.
    bool Allocate(unsigned faces);
};

// The same results, taking over the faces `terms` already holds.
void Run_Load_Pipeline(UniOb& mesh, Progress* progress, LoadFaceTerms& terms);

}  // namespace orvex
