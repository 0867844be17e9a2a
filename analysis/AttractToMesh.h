#pragma once
// Pulls the first mesh towards the second along its vertex normals. For every vertex a of
// `first` with normal n, the candidates are the vertices b of `second` with |b.z - a.z| <= 100,
// |b.y - a.y| <= 400, |b.x - a.x| <= 400 and (b - a).n > 0; with k of them, a moves along n to
// the plane through (10 a + sum b) / (k + 10). Then one AreaSmooth(first, 0.1). Normals and
// curvature are not recomputed. Nothing happens when either mesh is empty.

#include <cstdint>

#include "mesh/UniOb.h"

namespace orvex {

// Returns the number of candidate tests made (vertices of `second` inside each z window), for
// the benchmark. `first` and `second` may be the same mesh: the candidates are its old positions.
std::uint64_t AttractToMesh(UniOb& first, const UniOb& second);

}  // namespace orvex
