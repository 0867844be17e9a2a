#pragma once
// Synthetic binary STL spheres for benchmarks and tests: a latitude-longitude sphere written the
// way scanners write, row after row, or with its facets shuffled. Shared corners carry identical
// bits, so a reader that merges them gets exactly Sphere_Vertex_Count vertices as long as the
// tolerance stays below the closest pair (radius 1000 keeps that true up to tens of millions of
// facets with the default tolerance).

#include <cstdint>
#include <string>
#include <vector>

#include "geometry/Status.h"

namespace orvex {

enum class FacetOrder { Rows, Shuffled };

struct SphereShape {
    unsigned bands = 2;     // latitude bands, pole to pole; at least 2
    unsigned segments = 3;  // longitude segments; at least 3
    double radius = 1000.0;
    FacetOrder order = FacetOrder::Rows;
    std::uint64_t seed = 1;  // for the shuffle
};

// The sphere with about `triangles` facets (exactly, when triangles/2 factors nicely).
SphereShape Sphere_For_Triangles(std::uint64_t triangles, FacetOrder order = FacetOrder::Rows,
                                 double radius = 1000.0);
std::uint64_t Sphere_Facet_Count(const SphereShape& shape);
std::uint64_t Sphere_Vertex_Count(const SphereShape& shape);

// The whole file in memory (small spheres, tests) or streamed to disk (through AtomicFile).
std::vector<unsigned char> Make_Sphere_Stl(const SphereShape& shape);
Status Write_Sphere_Stl(const std::string& path, const SphereShape& shape);

}  // namespace orvex
