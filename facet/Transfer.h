#pragma once
// Transfer: the meshes become free facets, the facets are cut along a curve and those the curve
// winds around move to the second part. The window's command and `orvex cut` both run this; the
// caller then releases the meshes and the curve.

#include "facet/BoundaryLoop.h"
#include "facet/Cut.h"
#include "facet/TriOb.h"
#include "mesh/UniOb.h"

namespace orvex {

struct TransferOptions {
    CutOptions cut;
    ClassifyOptions classify;
};

struct TransferReport {
    std::size_t facets = 0;  // facets made from the meshes
    std::size_t part1 = 0, part2 = 0;
    double area1 = 0.0, area2 = 0.0;
    CutReport cut;
    ClassifyReport classify;
    double msFill = 0.0, msCut = 0.0, msClassify = 0.0, msTotal = 0.0;
};

// Fills part1 from the mesh chain starting at `meshes`, cuts it along `curve`, and moves the
// facets inside the curve to part2 (emptied first). No mesh or no curve: the corresponding step
// does nothing.
TransferReport Transfer(TriOb& part1, TriOb& part2, const UniOb* meshes, const BOUNDARY_LOOP& curve,
                        const TransferOptions& options = {});

// Sum of the facet areas, in double.
double Facet_Area(const TriOb& object);

}  // namespace orvex
