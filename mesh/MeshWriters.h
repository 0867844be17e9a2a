#pragma once
// The mesh writers: binary STL of a whole mesh list, two-way STL splits (by a direction, by
// visibility from a point), the per-face text table, the C-source dump and the histogram report.
// Text uses "%f" and "%d". Every file goes through AtomicFile: a failed write leaves no partial
// file and says so. An empty mesh (or a list without faces) writes nothing and returns a failed
// status saying that nothing was written.

#include <string>

#include "geometry/Status.h"
#include "geometry/Vec3.h"
#include "mesh/UniOb.h"

namespace orvex {

// Every face of head and of each mesh after it, in list and face order. Empty meshes are skipped.
Status Write_STL(const UniOb* head, const std::string& name);

// name + ".upper.stl": faces with Face_Normal . d > -1e-8; name + ".lower.stl": the others.
Status Write_STL_Upper_Lower(const UniOb& mesh, const std::string& name, const Vec3& d);
// name + ".visble.stl": faces whose front looks toward e (n . e - n . A >= -1e-8, A the first
// corner); name + ".invisble.stl": the others.
Status Write_STL_Visible(const UniOb& mesh, const std::string& name, const Vec3& e);

// One line per face: id, centre, area, normal.
Status Write_Face_Array(const UniOb& mesh, const std::string& name);
// car_vertex, car_face and car_face_normal as C array definitions.
Status Write_C_Arrays(const UniOb& mesh, const std::string& name);
// Edge lengths, face areas and |k|/(|k| + 1) of k = Curvature_Max x Curvature_Min, each in 200
// equal-width bins (the curvature table lists bins 0 to 198): "mean\tfraction" per occupied bin.
Status Write_Histograms(const UniOb& mesh, const std::string& name);

}  // namespace orvex
