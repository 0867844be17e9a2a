#pragma once
// Draw_Fitted_Sphere: the sphere of the last fit as a grey GLU sphere (100 slices, 100 stacks) at
// its centre, lit or not as the calling pass left lighting: the opaque solid pass shows a shaded
// ball, the point pass a flat grey disc. Nothing for a radius of 0.01 or less (a fit that has not
// run, or failed) or one that is not finite.

namespace orvex {

class RMSSPHERE;

// Whether a sphere of this radius is drawn at all.
bool Fitted_Sphere_Shown(double radius);

void Draw_Fitted_Sphere(const RMSSPHERE& sphere);

}  // namespace orvex
