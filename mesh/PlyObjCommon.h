#pragma once
// What the PLY and OBJ readers share: their options and report, the read wrappers, the optional
// vertex merge and the end of every read (the load pipeline, as for STL). Read_Mesh_File picks the
// reader by the file's extension (.stl, .ply, .obj, either case).
//
// Both readers keep the vertices as the file gives them, in file order; only a merge tolerance
// (>= 0) welds vertices within it, the first of each group keeping its colour and texture
// coordinate. A damaged file gives a failed status naming what was wrong and how much was
// dropped, with the mesh holding what was usable (empty when nothing was).

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "geometry/Progress.h"
#include "geometry/Status.h"
#include "mesh/FileBytes.h"
#include "mesh/UniOb.h"

namespace orvex {

struct MeshFileReport {
    std::string format;  // "PLY ascii", "PLY binary little-endian", "PLY binary big-endian", "OBJ", "STL"
    std::uint64_t verticesDeclared = 0;  // PLY header, or the v lines of an OBJ
    std::uint64_t facesDeclared = 0;     // polygons in the header or the f lines
    std::uint64_t facesRead = 0;         // polygons kept
    std::uint64_t facesDropped = 0;      // polygons left out (bad indices, too few corners, bad vertices)
    std::uint64_t verticesNonFinite = 0;
    std::uint64_t verticesMerged = 0;  // removed by the merge tolerance
    bool colors = false;
    bool texCoords = false;
    bool damaged = false;            // truncated or malformed body: the mesh holds what was read
    std::vector<std::string> notes;  // what was skipped without harm (other elements, a missing .mtl)
};

struct MeshFileOptions {
    bool runPipeline = true;
    float mergeTolerance = -1.0f;  // < 0 (or NaN): no merge
    Progress* progress = nullptr;
    MeshFileReport* report = nullptr;
};

// Whether the mesh carries per-vertex colours or texture coordinates worth writing: the arrays are
// always allocated, so only a value other than zero tells.
bool Has_Vertex_Colors(const UniOb& mesh);
bool Has_Tex_Coords(const UniOb& mesh);

// Welds vertices closer than tolerance on every axis (the STL merge rule, in vertex order) and
// renumbers the faces. Returns the number of vertices removed. Only positions, colours and texture
// coordinates are kept: run the load pipeline afterwards.
std::uint64_t Merge_Mesh_Vertices(UniOb& mesh, float tolerance);

// Reads .stl, .ply or .obj by the extension; anything else is refused with a message.
Status Read_Mesh_File(UniOb& mesh, const std::string& path, const MeshFileOptions& options = {});
// Whether Read_Mesh_File knows the extension (the STL reader's or ours).
bool Is_Ply_Name(const std::string& path);
bool Is_Obj_Name(const std::string& path);

namespace mesh_file_detail {

// Draws the mesh colour as the STL reader does and empties the mesh.
void Start_Mesh(UniOb& mesh);
// Installs vertices, colours, texture coordinates and triangles (all already checked), merges when
// asked, notes Load_Time from startMs and runs the pipeline when asked.
void Finish_Mesh(UniOb& mesh, std::vector<Vec3>& positions, std::vector<int>& colors,
                 std::vector<TexCoord>& texCoords, std::vector<FaceIndex>& faces,
                 const MeshFileOptions& options, MeshFileReport& report, int startMs);
// Removes the vertices marked bad (non-finite) and every triangle using one or an index at or past
// the vertices; the others keep their order. Returns the triangles removed.
std::uint64_t Remove_Bad_Vertices(const std::vector<unsigned char>& bad, std::vector<Vec3>& positions,
                                  std::vector<int>& colors, std::vector<TexCoord>& texCoords,
                                  std::vector<FaceIndex>& faces);
// "name: what" with the drop counts of the report appended; ok when nothing was wrong.
Status Make_Status(const std::string& name, std::vector<std::string> problems, const MeshFileReport& report);

// A reader's body: parses the bytes into a started mesh and fills the cleared report.
using MeshBodyReader = Status (*)(UniOb& mesh, std::span<const unsigned char> bytes, const std::string& name,
                                  const MeshFileOptions& options, MeshFileReport& report, int startMs);
// Starts the mesh, clears the report (the caller's or a local one) and reads the bytes.
Status Read_Mesh_Bytes(UniOb& mesh, std::span<const unsigned char> bytes, const std::string& name,
                       const MeshFileOptions& options, MeshBodyReader read);
// The same for a file; the file is released before the load pipeline runs.
Status Read_Mesh_Path(UniOb& mesh, const std::string& path, const MeshFileOptions& options,
                      MeshBodyReader read);

}  // namespace mesh_file_detail

}  // namespace orvex
