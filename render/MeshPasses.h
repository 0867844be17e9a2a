#pragma once
// The geometry of one UniOb as GL primitives: faces (flat, smooth, textured, vertex-coloured,
// spectrum-coloured), face outlines and vertices. These set no colour, width or matrix of their own
// (except the per-corner colours the data carries); the scene passes do that around them.
//
// Two ways to send the same primitives exist: client vertex arrays (the default, fast on big meshes)
// and immediate mode (the reference picture, kept for comparison and benchmarks). Both leave the
// same current colour and normal behind as immediate mode would. A mesh that is empty, or whose
// arrays are shorter than its counts say, draws nothing.

#include "mesh/UniOb.h"

namespace orvex {

enum class MeshSubmission { VertexArrays, Immediate };

// Module-wide; set from the GUI thread between frames.
void Set_Mesh_Submission(MeshSubmission mode);
MeshSubmission Mesh_Submission();

// True when the mesh has vertices and faces and its position, normal and index arrays hold them.
bool Mesh_Drawable(const UniOb& mesh);

// One GL_TRIANGLES batch: per face its Face_Normal, then its three corners.
void Draw_Mesh_Flat_Faces(const UniOb& mesh);
// One GL_TRIANGLES batch: per corner its Vertex_Normal, then its position.
void Draw_Mesh_Smooth_Faces(const UniOb& mesh);
// Faces only, without normals: for faces painted in one colour with lighting off.
void Draw_Mesh_Plain_Faces(const UniOb& mesh);
// Per face Face_Normal and texture coordinates (0, 0), (1, 0), (0, 1) for its corners in order.
// The caller binds the texture and enables texturing.
void Draw_Mesh_Texture_Faces(const UniOb& mesh);
// Per corner the colour of its Vertex_Color, its Vertex_Normal and its position. A mesh without
// vertex colours draws its smooth faces in the current colour.
void Draw_Mesh_Vertex_Color_Faces(const UniOb& mesh);
// Per corner the spectrum colour of `mode` (a corner outside the ramp repeats the colour before it,
// white at the start), its Vertex_Normal and its position.
void DrawSpectrum(const UniOb& mesh, int mode, float intensity);
// Every face as a closed loop of its three corners.
void Draw_Mesh_Face_Loops(const UniOb& mesh);
// Every vertex as a point.
void Draw_Mesh_Points(const UniOb& mesh);

}  // namespace orvex
