#pragma once
// Cutting a facet object along a curve: a ribbon of cutter triangles standing on the curve (each
// point moved 10 units along its normal to both sides) meets every facet it crosses; the cut
// points of a facet are ordered into two polygons, one on each side of the cut, which are
// triangulated again. The facets the curve winds around positively then move to a second object.

#include <cstddef>

#include "facet/BoundaryLoop.h"
#include "facet/TriOb.h"
#include "facet/Triangulate.h"
#include "geometry/VecList.h"

namespace orvex {

// Octree node of WeldDirections: a point and the sum of the directions found there.
struct OCT_SET {
    OCT_SET* Child[8] = {};
    float Record[6] = {};
};

// Where the cutter R meets facet F: two 4-float records (x, y, z, key) go to the head of F's
// Segments (the later point first). Both planes must be computed.
bool IntersectFacet(TRI_FACET& F, const TRI_FACET& R);

// Stable ascending sort by values[key]; never recursive, so a list of any length sorts.
void SortByKey(VEC_LIST*& list, int key);

// Cut records of the sentinel that agree within 1e-5 on each axis get the same direction, the
// normalised sum of theirs (grouped by an octree in list order). `fromPath` off walks every
// insertion from the root (the same tree, in time growing with its depth).
void WeldDirections(TRI_FACET& sentinel, bool fromPath = true);

// Orders a facet's cut points into two closed polygons counter-clockwise about its normal,
// Segments and Cut_Path, one on each side of the cut; both are emptied when the cut does not
// split the facet (its points collapse to one, or it enters and leaves at one corner).
void BuildCutPolygons(TRI_FACET& F);

// The `pieces` facets right after a split facet are all counter-clockwise about its normal and
// their areas add up to its own (relative 1e-4).
bool Split_Fits(const TRI_FACET& facet, std::size_t pieces);

struct CutOptions {
    // Each cutter meets only the facets near it (still in list order): the result is the same.
    bool spatialFilter = true;
};

struct CutReport {
    std::size_t cutters = 0;      // cutter triangles made
    std::size_t tests = 0;        // facet-cutter pairs tested
    std::size_t hits = 0;         // pairs that met
    std::size_t weldRecords = 0;  // records in the sentinel
    std::size_t cutFacets = 0;    // facets with cut records
    std::size_t split = 0;        // facets replaced by their pieces
    std::size_t made = 0;         // pieces made
    std::size_t notSplit = 0;     // cut, but the cut did not divide them (collapsed or one corner)
    std::size_t keptWhole = 0;    // pieces failed the check (orientation or area): facet kept
    RingReport ring;
    double msIntersect = 0.0, msWeld = 0.0, msSplit = 0.0;
};

// Cuts every facet of T that the ribbon on curve L crosses and replaces it by its pieces. A split
// facet whose pieces are not all counter-clockwise about its normal or whose areas do not add up
// to its own (relative 1e-4) keeps its place whole instead.
void CutAlongCurve(TriOb& T, const BOUNDARY_LOOP& L, CutReport* report = nullptr,
                   const CutOptions& options = {});

struct ClassifyOptions {
    unsigned threads = 0;  // 0: as many as the machine has
    bool planarShortcut = true;
};

struct ClassifyReport {
    std::size_t moved = 0;
    std::size_t shortcut = 0;  // facets decided by the planar winding shortcut
    std::size_t full = 0;      // facets summed stretch by stretch
};

// The winding sum of the curve about point c: the signed angles of the stretches seen from c,
// each signed by the curve normals. Positive means c lies inside.
double Winding_Sum(const BOUNDARY_LOOP& curve, double cx, double cy, double cz);

// Empties `to` (new random colour) and moves into it every facet of `from` whose centroid has a
// positive winding sum, each inserted right after the sentinel.
void ClassifyByCurve(TriOb& from, const BOUNDARY_LOOP& curve, TriOb& to, ClassifyReport* report = nullptr,
                     const ClassifyOptions& options = {});

}  // namespace orvex
