#pragma once
// PickEyeRegion: the candidate region of a face scan nearest to the vertex whose texture
// coordinate lies closest to (u, v), the eye the user pointed at in the picture.

#include "mesh/UniOb.h"

namespace orvex {

// The vertex: smallest distance in texture space, coordinates within 1e-5 of (u, v) passed over,
// the first of equal distances kept, the scan ending at a distance below 0.001. The region: the
// Region_List record whose centre lies nearest that vertex's position, the first of equal ones.
// Stores it in `eye` and returns true; with no vertex or no region `eye` keeps its value and the
// result is false.
bool PickEyeRegion(const UniOb& mesh, float u, float v, VEC_LIST*& eye);

}  // namespace orvex
