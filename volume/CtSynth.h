#pragma once
// Volumes made in code, for the benchmark, orvex and the tests: each fills a cube of n samples per
// side and sets the threshold its surface is meant to be extracted at.
//   sphere: value 2048 + 100 (radius - distance to the volume's centre), threshold 2048;
//   gyroid: 32768 + 20000 g / 1.5 with g = sin x cos y + sin y cos z + sin z cos x at 2 pi / period
//           per sample, threshold 32768;
//   noise:  independent uniform 16-bit samples from a fixed seed, threshold 32768.
// Values are rounded and clamped to 0 .. 65535. Write_CT_File stores a volume as a .ct file (the
// inverse of CT_3D::ReadCT), so that made volumes can be opened like scans.

#include <cstdint>
#include <string>

#include "geometry/Status.h"
#include "volume/CtVolume.h"

namespace orvex {

Status Make_Sphere_Volume(CT_3D& volume, int n, float radius);
Status Make_Gyroid_Volume(CT_3D& volume, int n, float period);
Status Make_Noise_Volume(CT_3D& volume, int n, std::uint64_t seed = 1);

Status Write_CT_File(const CT_3D& volume, const std::string& path);

}  // namespace orvex
