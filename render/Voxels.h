#pragma once
// Draw_Voxels: the voxel list of the CT volume as unlit points of size 1, grey exp(-intensity),
// in list order, over everything drawn before them (no depth test, no blending). An empty list
// draws nothing. Depth testing is on again afterwards, and blending as it was.

namespace orvex {

class CT_3D;

void Draw_Voxels(const CT_3D& volume);

}  // namespace orvex
