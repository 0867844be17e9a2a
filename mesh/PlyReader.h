#pragma once
// Read_PLY: a PLY mesh, ASCII or binary of either byte order, into a mesh, then the load pipeline.
//
// Vertex x, y, z in any scalar type; red, green, blue (alpha ignored) into Vertex_Color (bytes as
// they are, floats times 255, 16-bit values scaled down); u, v (or s, t, texture_u, texture_v)
// into Tex_Coord; normals are recomputed, so nx, ny, nz are skipped with every other property and
// element, each by its declared size. Faces are the list vertex_indices (or vertex_index) of the
// element "face", any count and index type; polygons are split into fans from their first corner.
//
// Nothing read from the file is trusted: element counts are checked against the bytes that
// follow the header before anything is allocated; a polygon with fewer than 3 corners or an index
// outside the vertices is dropped and counted, as is every face of a vertex with a NaN or infinite
// coordinate (the vertex goes too); a truncated or malformed body stops the read with a message
// naming the byte offset (binary) or line (ASCII), the mesh keeping what was complete. A file
// without faces is refused ("no faces").

#include <span>
#include <string>

#include "geometry/Status.h"
#include "mesh/PlyObjCommon.h"
#include "mesh/UniOb.h"

namespace orvex {

// `name` stands for the file in messages.
Status Read_PLY(UniOb& mesh, std::span<const unsigned char> bytes, const std::string& name,
                const MeshFileOptions& options = {});
Status Read_PLY_File(UniOb& mesh, const std::string& path, const MeshFileOptions& options = {});

}  // namespace orvex
