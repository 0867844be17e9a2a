#pragma once
// Re-triangulation of a cut facet: each of its two cut polygons (Segments, Cut_Path; counter-
// clockwise about the facet normal) is turned into the facet's plane frame and cut into triangles,
// a fan when convex, else by ear clipping. Where no ear qualifies the ring first sheds a collinear
// node, then cuts any convex node whose triangle holds no other node, and only then drops a node.

#include <cstddef>
#include <vector>

#include "facet/Poly2D.h"
#include "facet/TriFacet.h"

namespace orvex {

struct RingReport {
    unsigned collinearDropped = 0;  // nodes with |Turn| <= 1e-8 taken out when no ear qualified
    unsigned emptyEars = 0;         // convex nodes cut because their triangle held no other node
    unsigned nodesDropped = 0;      // nodes dropped without a triangle (area may be lost)
};

// Cuts a ring whose Turns are set into triangles, appended to `ears` in the order made. The edge
// grid and node index (for long rings) change the speed only, never the ears.
void Triangulate_Ring(Poly_2D& poly, std::vector<Ear>& ears, RingReport* report = nullptr,
                      bool edgeGrid = true);

// The triangles of both polygons become new facets right after `facet` in its list, each with the
// facet's Normal and its own Offset; their corners are the polygon points themselves. Nothing
// happens unless both lists hold records. Returns the number of facets made.
std::size_t TriangulateCut(TRI_FACET& facet, RingReport* report = nullptr);

}  // namespace orvex
