#pragma once
// The hull validator: checks a point set's hull after a run against the points it was run on.
// A valid hull is closed (every edge used by exactly two faces in opposite directions, the
// neighbour links agreeing), has V - E + F = 2, lists exactly its corners as points, has no face
// without area, and leaves every input point at most a small relative tolerance above every face
// plane. Its volume can be compared with qhull's (qconvex FA) as an independent computation.
// The checks run in release builds too: they are what `orvex hull --validate` and the tests use.

#include <cstddef>
#include <string>
#include <vector>

#include "geometry/Status.h"
#include "geometry/Vec3.h"
#include "pointset/PointList.h"

namespace orvex {

struct HullCheckOptions {
    // Heights above a face plane are allowed up to this fraction of (box diagonal + largest
    // coordinate magnitude) of the input.
    double relativeTolerance = 1e-6;
    // Test every input point against every face instead of climbing to the face nearest to it.
    bool exhaustive = false;
};

struct HullCheckResult {
    std::size_t vertices = 0, edges = 0, faces = 0;
    double volume = 0.0;
    double worstHeight = 0.0;  // largest height of an input point above a face plane (<= 0 inside)
};

// The coordinates of every point, taken before a run (the run deletes the interior points).
std::vector<Vec3> Capture_Points(const POINT_LIST& set);

Status Validate_Hull(const POINT_LIST& set, const std::vector<Vec3>& input, HullCheckResult* result = nullptr,
                     const HullCheckOptions& options = {});

// The hull volume by qhull's qconvex ("FA"), run as a separate program on the same points.
struct QhullVolume {
    bool available = false;
    double volume = 0.0;
    std::string reason;  // why there is no volume: qconvex missing, or its own message
};
QhullVolume Qhull_Volume(const std::vector<Vec3>& points);

// Relative agreement of two volumes.
Status Compare_Volumes(double ours, double reference, double relativeTolerance = 1e-5);

}  // namespace orvex
