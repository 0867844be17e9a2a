#pragma once
// Read_3DS: the mesh chunks of a 3D Studio file (little-endian chunks of a 16-bit id and a 32-bit
// length that counts the 6-byte header). 0x4D4D, 0x3D3D and 0x4100 are entered; 0x4000 is an
// object name (read to its zero byte) followed by its sub-chunks; 0x4110 is a vertex list (16-bit
// count, 3 floats each), 0x4120 a face list (16-bit count, three 16-bit indices and a flag word
// each), 0x4140 mapping coordinates (16-bit count, u and v floats) read into Tex_Coord when the
// count equals that of the vertex list before it; every other chunk is skipped by its length.
//
// A face list pairs with the vertex list before it; the mesh is the last such pair (a file with
// two objects gives the second; a later vertex list without faces does not replace it). Faces
// before any vertex list, or indexing past the vertex list, are dropped and counted. A chunk
// length below 6 or past its parent, a list longer than its chunk, a name without a zero byte in
// its chunk: the reader stops there, keeps what it paired and says what was wrong. A NaN or
// infinite coordinate refuses the file.
//
// The derived data (face normals, weighted vertex normals, rings, curvature, box) is computed
// once at the end; the mesh colour is drawn once per face list, alpha 1.0. Volume, Area and
// Load_Time stay 0; Vertex_Color is 0.

#include <cstdint>
#include <span>
#include <string>

#include "geometry/Status.h"
#include "mesh/UniOb.h"

namespace orvex {

struct Read3dsReport {
    std::uint64_t Vertex_Lists = 0;
    std::uint64_t Face_Lists = 0;
    std::uint64_t Faces_Dropped = 0;  // before any vertex list or indexing past it
    bool Tex_Coords = false;          // the mesh's texture coordinates came from the file
    bool Stopped = false;             // a damaged chunk ended the walk early
};

// Fills `mesh` (old vertices and faces released) from the bytes of a 3DS file; `name` stands for
// the file in messages. Failed with the mesh empty when nothing usable was found or the file was
// refused; ok with a message when something was dropped or the walk stopped early.
Status Read_3DS(UniOb& mesh, std::span<const unsigned char> bytes, const std::string& name,
                Read3dsReport* report = nullptr);
Status Read_3DS(UniOb& mesh, const std::string& path, Read3dsReport* report = nullptr);

}  // namespace orvex
