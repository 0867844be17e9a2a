#pragma once
// Small meshes built in code, with measures known by hand. Each builder fills an empty UniOb
// (vertices and faces only, counter-clockwise seen from outside); Finish_Mesh then derives the rest
// in the order a reader does.

#include "geometry/Vec3.h"
#include "mesh/UniOb.h"

namespace orvex::test {

// Corners o, o + s x, o + s y, o + s z; volume s^3/6, centroid o + s (1/4, 1/4, 1/4).
void Make_Tetrahedron(UniOb& mesh, Vec3 origin = {}, float size = 1.0f);

// Axis-aligned box of 8 corners and 12 faces, centred at `centre`. Opposite faces are split
// along crossing diagonals, so the face centroids are mirror symmetric about the centre.
void Make_Box(UniOb& mesh, Vec3 size, Vec3 centre = {});
// Cube of side 2 centred at the origin: area 24, volume 8.
void Make_Cube(UniOb& mesh);

// One face (0, 0, 0), (1, 0, 0), (0, 1, 0).
void Make_Triangle(UniOb& mesh);
// Unit square in z = 0 from two faces, normals +z.
void Make_Square(UniOb& mesh);
// n x n squares of side `spacing` in z = 0, normals +z: (n + 1)^2 vertices, index i + (n + 1) j
// for the vertex at (i, j). Each square is split along its (i, j)-(i + 1, j + 1) diagonal.
void Make_Grid(UniOb& mesh, int n, float spacing = 1.0f);
// Icosahedron subdivided `levels` times and pushed onto the sphere of radius R: 10 x 4^levels + 2
// vertices, 20 x 4^levels faces.
void Make_Sphere(UniOb& mesh, float R, int levels, Vec3 centre = {});

// Face normals, weighted vertex normals, rings and labels, curvature, box, volume.
void Finish_Mesh(UniOb& mesh);
// Swaps the last two corners of every face, then runs Finish_Mesh again.
void Reverse_Orientation(UniOb& mesh);

}  // namespace orvex::test
