#pragma once
// Write_PLY and Write_OBJ: every non-empty mesh of a list (head first, as Write_STL) as one mesh,
// vertices numbered on from the meshes before. PLY carries the per-vertex colours as red, green,
// blue bytes when a mesh has any (a mesh without them gets its own colour) and u, v when a mesh has
// texture coordinates; OBJ carries v, f and, with texture coordinates, vt. Numbers are written in
// the shortest form that reads back to the same float, so files round-trip exactly. Every file goes
// through AtomicFile; a list without faces writes nothing and says so.

#include <string>

#include "geometry/Status.h"
#include "mesh/UniOb.h"

namespace orvex {

enum class PlyEncoding { BinaryLittleEndian, Ascii };

Status Write_PLY(const UniOb* head, const std::string& name,
                 PlyEncoding encoding = PlyEncoding::BinaryLittleEndian);
Status Write_OBJ(const UniOb* head, const std::string& name);

// Writes by the extension of name: .stl (Write_STL), .ply, .obj (either case).
Status Write_Mesh_File(const UniOb* head, const std::string& name);

}  // namespace orvex
