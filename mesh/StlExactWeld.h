#pragma once
// The yardstick for the STL reader's speed: map the file and weld corners whose coordinates are
// bit-identical with one open-addressing table, nothing more (no tolerance, no tree, no checks
// beyond the file size). Benchmarks run it next to Read_STL on the same files.

#include <string>
#include <vector>

#include "geometry/Status.h"
#include "geometry/Vec3.h"
#include "mesh/UniOb.h"

namespace orvex {

Status Exact_Weld_Stl(const std::string& path, std::vector<Vec3>& vertices, std::vector<FaceIndex>& faces);

}  // namespace orvex
