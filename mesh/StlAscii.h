#pragma once
// The text flavour of STL: "solid name", then per facet "facet normal nx ny nz", "outer loop",
// three "vertex x y z", "endloop", "endfacet", and "endsolid name". Keywords are matched without
// regard to case; several solids may follow one another. A number is the float strtof gives for
// the whole token in the C locale (decimal numerals, "inf" and "nan"; not hexadecimal ones):
// beyond the float range it is infinite, so its facet is later left out, below it 0 or a denormal.

#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "geometry/Progress.h"
#include "geometry/Status.h"
#include "mesh/StlFormat.h"

namespace orvex {

// Appends the facets of `text` to `facets`. At the first malformed token it stops, keeps the
// complete facets before it and returns a status naming the line; `name` prefixes messages.
Status Parse_Stl_Ascii(std::span<const unsigned char> text, const std::string& name,
                       std::vector<StlFacet>& facets, Progress* progress = nullptr);

}  // namespace orvex
