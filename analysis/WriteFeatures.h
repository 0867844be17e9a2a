#pragma once
// WriteFeatures: the feature vertices of a normalised face as a template file: "SIZE\t<count>\n",
// then per feature vertex, in list order, x, y, z, normal x, y, z, Curvature_Max, Curvature_Min,
// each "%f\t", and the weight exp(-|0.02 x|) "%f\n". Numbers use the C decimal point whatever the
// locale. Written atomically; a failure leaves the old file and is reported.

#include <string>

#include "geometry/Status.h"
#include "mesh/UniOb.h"

namespace orvex {

Status WriteFeatures(const UniOb& mesh, const std::string& path);

// "%f" of the C locale: six decimals, "-" for negatives, "nan", "inf".
void Append_Fixed6(std::string& out, float value);

}  // namespace orvex
