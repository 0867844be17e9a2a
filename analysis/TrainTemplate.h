#pragma once
// TrainTemplate: one training pass of the template on a normalised face. Up to three rounds of
// pairing and rigid fitting move the features onto the template (the moves accumulated and then
// applied to the mesh, whose normals and box follow); then every template point lying strictly
// inside the x-y projection of a face of the central strip (its first face in index order) takes
// a tenth of its depth difference to that face, when the difference is below 1.

#include "analysis/FacePairing.h"
#include "mesh/UniOb.h"

namespace orvex {

// Always 0.
float TrainTemplate(UniOb& mesh, FaceSearch search = FaceSearch::Grid);

}  // namespace orvex
