#pragma once
// BOUNDARY_LOOP: a polyline of points with unit normals (x, y, z, nx, ny, nz), the rim of a mesh
// as DetectBoundary finds it (last point repeats the first) or a stretch chosen from it.
// DetectBoundary finds the rim edges of a mesh (edges used by exactly one face) and walks one rim.

#include <array>
#include <string>
#include <vector>

#include "geometry/Status.h"
#include "mesh/UniOb.h"

namespace orvex {

using LoopPoint = std::array<float, 6>;

// Refine refuses to grow a loop beyond this many points.
constexpr unsigned Loop_Point_Limit = 1u << 24;

class BOUNDARY_LOOP {
public:
    unsigned Point_Count() const { return unsigned(Points.size()); }
    bool IsEmpty() const { return Points.empty(); }

    // Release, then n points of zeros.
    void Resize(unsigned n);
    void Release();
    // This loop := a stretch of source, indices clamped to n - 2 (n = source's count); start > end
    // wraps over the closing point. Nothing changes when the source is empty or start and end
    // clamp to the same index.
    void CopyRange(const BOUNDARY_LOOP& source, unsigned start, unsigned end);
    // n points become 2n - 1: a midpoint (its normal made unit) between each pair. Refused, with
    // the loop unchanged, when the result would exceed `limit` points.
    Status Refine(unsigned limit = Loop_Point_Limit);
    // Inner points become (2.5 p[i] + p[i-1] + p[i+1]) / 4.5, `iterations` times; then every
    // normal is made unit. The ends stay.
    void Smooth(int iterations);
    // Two records per consecutive pair to name + ".lop"; an empty loop writes no
    // file and says so (not ok).
    Status WriteLoopLOP(const std::string& name) const;
    // Sum of the distances between consecutive points.
    double Length() const;

    std::vector<LoopPoint> Points;
};

struct BoundaryReport {
    unsigned rimEdges = 0;     // edges used by exactly one face
    unsigned rims = 0;         // connected groups of rim edges
    unsigned chainLength = 0;  // vertices in Boundary_Chain
    bool closed = false;       // the walk came back to where it started
};

// Fills `loop` from the rim through the lowest-index rim vertex: that vertex, then the rim
// vertices against the direction of their edges, then the first again (chain length + 1 points,
// position and vertex normal). The walk stops at a vertex with no rim edge left; when that is not
// where it began, the chain starts there and ends with the start (the closing step of the loop
// is then no rim edge). The chain
// replaces mesh.Boundary_Chain. Vertex_Ring and Vertex_Label are left as they are. A mesh without
// rim edges leaves the loop and the chain empty.
BoundaryReport DetectBoundary(UniOb& mesh, BOUNDARY_LOOP& loop);

}  // namespace orvex
