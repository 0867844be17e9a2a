#pragma once
// Derived data of a mesh: face and vertex normals, one-ring lists with boundary labels, bounding
// box, and enclosed volume, area and centroid. Each routine does nothing on an empty mesh and
// trusts the mesh invariant that every face index is below Vertex_Count.
// Load order: face normals, weighted vertex normals, rings, curvature, box, volume.

#include "mesh/UniOb.h"

namespace orvex {

// Face_Normal[f] := unit normal of (B - A) x (C - A) from the corners in index order.
void Compute_Face_Normals(UniOb& mesh);

// Sum of incident face normals, each weighted by the corner angle when `weighted`, then made unit;
// a vertex in no face, or whose face normals cancel (|sum|^2 <= 1e-12), gets (0, 0, 0).
void Compute_Vertex_Normals(UniOb& mesh, bool weighted);

// Compute_Vertex_Normals(mesh, true) from the corner angles Triangle_Angles gives every face,
// taken beforehand: three a face, in face order.
void Vertex_Normals_From_Angles(UniOb& mesh, const float* angles);
// Its two halves: the weighted sums in face order, then making vertices [begin, end) unit (any
// split of the vertices gives the same normals).
void Sum_Vertex_Normals(UniOb& mesh, const float* angles);
void Normalize_Vertex_Normals(UniOb& mesh, unsigned begin, unsigned end);

// A face's tetrahedron with the origin, |A . (B x C)| / 6, signed by its stored normal n. Triple
// products in double: a mesh far from the origin adds large tetrahedra of both signs, and in float
// the cancellation would swamp the enclosed volume.
inline double Signed_Tetra(const Vec3& A, const Vec3& B, const Vec3& C, const Vec3& n) {
    const double bc[3] = {double(B.y) * C.z - double(B.z) * C.y, double(B.z) * C.x - double(B.x) * C.z,
                          double(B.x) * C.y - double(B.y) * C.x};
    double triple = A.x * bc[0] + A.y * bc[1] + A.z * bc[2];
    if (triple < 0) triple = -triple;
    const double a6 = triple / 6.0;
    const double facing = double(A.x) * n.x + double(A.y) * n.y + double(A.z) * n.z;
    return facing >= 0 ? a6 : -a6;
}

// One sweep over faces [begin, end) for the load: Face_Normal as Compute_Face_Normals gives it,
// and into the tables (indexed by face) the area and signed tetrahedron Compute_Volume takes and
// the three corner angles Triangle_Angles gives. Ranges may run side by side.
void Face_Terms(UniOb& mesh, unsigned begin, unsigned end, float* areas, double* tetra, float* angles);
// The same for one face given by its corners.
void Corner_Terms(const Vec3& A, const Vec3& B, const Vec3& C, Vec3& normal, float& area, double& tetra,
                  float* angles);

// Rebuilds Vertex_Ring (per vertex one entry per incident face: the corner after it, most recent
// face first) and Vertex_Label: -2 for a vertex that starts a directed edge with no opposite
// partner (boundary, non-manifold or inconsistently oriented), -1 for a ring neighbour of one,
// 0 otherwise. One v->w cancels one w->v; self edges of degenerate faces count for nothing.
void Build_Rings(UniOb& mesh);

void Compute_Box(UniOb& mesh);

// Volume (signed by the face normals), Area and Volume_Centroid. The centroid is divided by
// 4 x Volume only when Volume > 0; otherwise it holds the raw weighted sums.
void Compute_Volume(UniOb& mesh);
// The same from each face's signed tetrahedron and area, already at hand: summed in face order,
// so the bits are those of Compute_Volume.
void Volume_From_Terms(UniOb& mesh, const double* tetra, const float* areas);

}  // namespace orvex
