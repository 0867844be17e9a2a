#pragma once
// Read_OBJ: a Wavefront OBJ mesh into a mesh, then the load pipeline. The lines are parsed by
// tinyobjloader; the faces are checked and built here.
//
// v gives the vertices in file order, f the faces (v, v/vt, v//vn, v/vt/vn; negative indices count
// back from the latest), split into fans from their first corner; vt lands on the vertex of the
// corner that names it (the first one a vertex meets wins; later different ones are counted as
// notes). Objects and groups merge into one mesh; normals are recomputed; materials are not used,
// so a missing .mtl is a note. A face with an index of 0 or outside its list, or with fewer than
// three corners, is dropped and counted, as is every face of a vertex with a NaN or infinite
// coordinate. A file without faces is refused ("no faces").

#include <span>
#include <string>

#include "geometry/Status.h"
#include "mesh/PlyObjCommon.h"
#include "mesh/UniOb.h"

namespace orvex {

// `name` stands for the file in messages and gives the folder a mtllib is looked for in.
Status Read_OBJ(UniOb& mesh, std::span<const unsigned char> bytes, const std::string& name,
                const MeshFileOptions& options = {});
Status Read_OBJ_File(UniOb& mesh, const std::string& path, const MeshFileOptions& options = {});

namespace obj_detail {

// Read_OBJ with the bytes cut at line ends into up to `pieces` pieces however small, which a large
// file gets on its own: the result is the same as reading them whole. For tests and the fuzzer.
Status Read_OBJ_Pieces(UniOb& mesh, std::span<const unsigned char> bytes, const std::string& name,
                       unsigned pieces, const MeshFileOptions& options = {});

// tinyobjloader's tryParseDouble over [s, end): the reader's faster twin, and the original.
bool Obj_Real(const char* s, const char* end, double* result);
bool Tinyobj_Real(const char* s, const char* end, double* result);

}  // namespace obj_detail

}  // namespace orvex
