#pragma once
// The exact sign of the orientation determinant for single-precision points. The hulls take every
// decision that shapes their topology (is a point above a face, does an apex see a face) from this
// sign whenever the double-precision estimate is too close to zero to be trusted; exact signs keep
// the hull convex, so the faces an apex sees always form one disc.

namespace orvex {

// Sign (-1, 0, 1) of ((b - a) x (c - a)) . (d - a), exact for any finite float coordinates:
// positive when d lies above the plane of a, b, c on the side its normal points to.
int Orient3d_Exact_Sign(const float* a, const float* b, const float* c, const float* d);

}  // namespace orvex
