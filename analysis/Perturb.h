#pragma once
// Random noise: each coordinate of each vertex, vertex by vertex, x then y then z, gets an
// independent Random_Uniform(-amplitude, amplitude). Repeatable after Random_Reset_All.
// Normals and measures are not recomputed. Nothing happens on an empty mesh or with an amplitude
// that is not a finite number.

#include "mesh/UniOb.h"

namespace orvex {

void Perturb(UniOb& mesh, float amplitude);

}  // namespace orvex
