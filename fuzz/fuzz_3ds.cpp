// Read_3DS on any bytes.
// Promises: no hang and no read outside the bytes; the status is ok exactly when the mesh is not
// empty, and a failure names the file; a loaded mesh is sound (indices inside, finite positions,
// derived arrays sized), has at most 65535 vertices and faces, alpha 1, colours 0, texture
// coordinates 0 unless the file's were taken, no volume or area; a walk that stopped early or
// dropped faces says so in the message; every position is a float triple found in the bytes.

#include <unordered_set>

#include "fuzz/FuzzSupport.h"
#include "fuzz/MeshChecks.h"
#include "mesh/FaceSynth.h"
#include "mesh/Reader3ds.h"

namespace orvex::fuzz {

void Make_Seeds(const std::string& dir) {
    FaceSynthParams params;
    params.Grid = 5;
    params.Spacing = 30.0f;
    UniOb face, small;
    Make_Face(face, params);
    params.Grid = 3;
    Make_Face(small, params);
    TdsWriteOptions options;
    Write_Seed(dir, "one.3ds", Tds_Bytes({&face}, options));
    options.Tex_Coords = true;
    options.Foreign_Chunk = true;
    Write_Seed(dir, "mapped.3ds", Tds_Bytes({&small, &face}, options));
    options.Name = "a name of twenty bytes or more";
    Write_Seed(dir, "long-name.3ds", Tds_Bytes({&face, &small}, options));
    small.Face_Index[1] = {0, 1, 60000};
    options.Name = "x";
    Write_Seed(dir, "dropped.3ds", Tds_Bytes({&small}, options));
}

}  // namespace orvex::fuzz

using namespace orvex;
using namespace orvex::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    UniOb mesh;
    Read3dsReport report;
    const Status status = Read_3DS(mesh, std::span<const unsigned char>(data, size), "fuzz.3ds", &report);
    Check_Mesh_Shape(mesh, true);
    FUZZ_CHECK(bool(status) == !mesh.IsEmpty(), "status %d with %u faces", int(bool(status)),
               mesh.Face_Count);
    if (!status) {
        FUZZ_CHECK(status.message.find("fuzz.3ds") != std::string::npos,
                   "the failure does not name the file: %s", status.message.c_str());
        return 0;
    }
    FUZZ_CHECK(mesh.Vertex_Count <= 65535 && mesh.Face_Count <= 65535, "%u vertices, %u faces",
               mesh.Vertex_Count, mesh.Face_Count);
    FUZZ_CHECK(mesh.Color_RGBA[3] == 1.0f, "alpha %g", double(mesh.Color_RGBA[3]));
    FUZZ_CHECK(mesh.Volume == 0.0f && mesh.Area == 0.0f && mesh.Load_Time == 0, "a measure was computed");
    FUZZ_CHECK(report.Face_Lists >= 1 && report.Vertex_Lists >= 1,
               "a mesh from %llu vertex and %llu face lists",
               static_cast<unsigned long long>(report.Vertex_Lists),
               static_cast<unsigned long long>(report.Face_Lists));
    for (unsigned v = 0; v < mesh.Vertex_Count; ++v) {
        FUZZ_CHECK(mesh.Vertex_Color[v] == 0, "vertex %u has a colour", v);
        if (!report.Tex_Coords)
            FUZZ_CHECK(mesh.Tex_Coord[v][0] == 0.0f && mesh.Tex_Coord[v][1] == 0.0f,
                       "vertex %u has texture coordinates the file did not give", v);
    }
    if (report.Stopped || report.Faces_Dropped)
        FUZZ_CHECK(status.message.find("fuzz.3ds") != std::string::npos, "what went wrong is not said: '%s'",
                   status.message.c_str());
    // Every position lies in the bytes as it was written: a vertex list is read, never made up.
    std::unordered_set<std::string> triples;
    for (std::size_t at = 0; at + 12 <= size; ++at)
        triples.emplace(reinterpret_cast<const char*>(data + at), 12);
    for (unsigned v = 0; v < mesh.Vertex_Count; ++v)
        FUZZ_CHECK(
            triples.count(std::string(reinterpret_cast<const char*>(mesh.Vertex_Pos[v].data()), 12)) == 1,
            "vertex %u is not in the file", v);
    return 0;
}
