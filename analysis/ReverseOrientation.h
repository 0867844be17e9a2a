#pragma once
// Turns the mesh inside out: swaps the second and third index of every face. What follows from
// the orientation alone follows with it: face normals change sign (bit for bit what recomputing
// gives), vertex normals too (to rounding of the corner angles), principal curvatures change sign and swap,
// Volume, Volume_Initial and the centroid sums change sign (so restoring a reversed mesh keeps its volume),
// and the rings (the corner after each vertex) are rebuilt. Nothing happens on an empty mesh.

#include "mesh/UniOb.h"

namespace orvex {

void ReverseOrientation(UniOb& mesh);

}  // namespace orvex
