#pragma once
// Per-face measures for the load and the smoothing passes, four faces at a time where the processor
// has AVX2, with the same bits as the scalar routines of the mesh measures: both take them for
// millions of faces, and no result may depend on the processor.

#include <cstddef>

#include "mesh/UniOb.h"

namespace orvex {

// For the faces [begin, end): Face_Normal[f] as Facet_Normal, areas[f] as Triangle_Area, the
// corner angles angles[3f..3f+2] as Triangle_Angles, and tetra[f] the tetrahedron to the origin
// signed by that new normal, the term Compute_Volume sums.
void Face_Measures(UniOb& mesh, std::size_t begin, std::size_t end, float* areas, float* angles,
                   double* tetra);

// The same for `count` faces given by their corners, corners[3f..3f+2] for face f, as Corner_Terms
// takes them: normals[f], areas[f], angles[3f..3f+2] and tetra[f].
void Corner_Measures(const Vec3* corners, std::size_t count, Vec3* normals, float* areas, float* angles,
                     double* tetra);

// triple[f] for [begin, end): A . (B x C) with the cross product in double, six times the signed
// tetrahedron to the origin.
void Triple_Products(const UniOb& mesh, std::size_t begin, std::size_t end, double* triple);

// areas[f] for [begin, end): half the length of (B - A) x (C - A) taken in double, the smoothing
// weight (no degenerate-angle test).
void Weight_Areas(const UniOb& mesh, std::size_t begin, std::size_t end, float* areas);

// Vertex_Normal[v] for v in [begin, end) as Vertex_Normals_From_Angles leaves it: the sum of
// angle x face normal over the faces of v in face order, then made unit. Every range scans all
// faces and writes only its own vertices, so ranges may run side by side with the same bits.
void Vertex_Normals_Of_Range(UniOb& mesh, const float* angles, unsigned begin, unsigned end);

// Below this many faces one sweep beats ranges of vertices that each scan every face.
constexpr unsigned kRangeScanFaces = 1u << 18;

}  // namespace orvex
