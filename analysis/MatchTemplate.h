#pragma once
// MatchTemplate: how far a normalised face lies from its template. Up to three rounds of pairing
// and rigid fitting move the template onto the features (while the fit's residual exceeds 1; fewer
// than three pairs end the rounds), then every face of the central strip (first corner within
// |x| <= w, -9w <= y <= 11w) measures the depth difference to the first template point of the
// narrower strip (|x| < 0.5w, -8w < y < 10w) lying strictly inside its x-y projection.
// Only the template moves, and only in memory.

#include "analysis/FacePairing.h"
#include "geometry/Matrix4.h"
#include "mesh/UniOb.h"

namespace orvex {

// The mean depth difference, or -1 when no point was measured (an empty mesh among others).
float MatchTemplate(UniOb& mesh, FaceSearch search = FaceSearch::Grid);

// Up to three rounds: pair the features with the template, fit the moving records (the
// template's, or the features') rigidly onto the others and move them, while the residual exceeds
// 1 and at least three pairs are found. The moves accumulate in *total when given.
void Fit_Records(UniOb& mesh, FaceSearch search, bool moveTemplate, Matrix4* total = nullptr);

// The x-y projection of triangle (A, B, C) holds P strictly: each of the three side products is
// at least 1e-5, so a point on a vertex or an edge is in no face.
bool Face_Holds_Point(const Vec3& A, const Vec3& B, const Vec3& C, float px, float py);

// The depth of the plane through A with normal n above (px, py).
float Face_Plane_Depth(const Vec3& A, const Vec3& n, float px, float py);

}  // namespace orvex
