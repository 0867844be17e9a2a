// Read_OBJ on any bytes, with the load pipeline. Promises: the mesh's arrays match its counts and
// every index names a finite vertex; texture coordinates have one entry per vertex; an empty mesh
// comes with a failed status ("no faces" when the file names none) and every failure says why;
// drops are reported; long lines and odd index forms never overflow (ASan watches the parser,
// which is compiled in); cut into pieces at line ends the bytes read the same.

#include <cstring>
#include <span>

#include "fuzz/FuzzSupport.h"
#include "fuzz/MeshChecks.h"
#include "mesh/ObjReader.h"

namespace orvex::fuzz {

void Make_Seeds(const std::string& dir) {
    Write_Seed(dir, "tetrahedron",
               std::string("# t\nv 0 0 0\nv 1 0 0\nv 0 1 0\nv 0 0 1\nf 1 3 2\nf 1 2 4\nf 1 4 3\nf 2 3 4\n"));
    Write_Seed(
        dir, "forms",
        std::string("mtllib a.mtl b.mtl\no one\ng a b\nv 0 0 0 1\nv 1 0 0\nv 1 1 0\nv 0 1 0\nvt 0 0\n"
                    "vt 1 0 0\nvt 1 1\nvn 0 0 1\nusemtl m\ns off\nf 1/1/1 2/2/1 3/3/1 4/1/1\nf -4//-1 -3//1 "
                    "-2//1\nf 1/1 3/3 4/2\nl 1 2\np 3\n"));
    Write_Seed(dir, "bad",
               std::string("v 0 0 0\nv 1 0 0\nv 1e999 0 0\nvt 0 0\nf 0 1 2\nf 1 2 9\nf -9 1 2\n"
                           "f 1/5 2/1 3/1\nf 1 2\nf 1 2 3\nf 1/1/7 2 3\n"));
    Write_Seed(dir, "crlf", std::string("v 0 0 0\r\nv 1 0 0\r\nv 0 1 0\r\nf 1 2 3\r\n"));
    Write_Seed(dir, "no-faces", std::string("v 0 0 0\nv 1 0 0\n"));
    Write_Seed(dir, "long-line",
               "#" + std::string(70000, 'x') + "\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3" +
                   std::string(20000, ' ') + "3 2\n");
    Write_Seed(dir, "empty", Bytes{});
}

}  // namespace orvex::fuzz

using namespace orvex;
using namespace orvex::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    UniOb mesh;
    MeshFileReport report;
    MeshFileOptions options;
    options.report = &report;
    const Status status = Read_OBJ(mesh, std::span<const unsigned char>(data, size), "fuzz.obj", options);
    Check_Mesh_Read(mesh, status);
    if (report.facesDeclared == 0)
        FUZZ_CHECK(status.message.find("no faces") != std::string::npos, "'%s'", status.message.c_str());
    FUZZ_CHECK(mesh.Tex_Coord.size() == mesh.Vertex_Count, "%zu texture coordinates for %u vertices",
               mesh.Tex_Coord.size(), mesh.Vertex_Count);
    FUZZ_CHECK(report.facesRead + report.facesDropped == report.facesDeclared, "%llu + %llu faces of %llu",
               (unsigned long long)report.facesRead, (unsigned long long)report.facesDropped,
               (unsigned long long)report.facesDeclared);
    if (report.facesDropped) FUZZ_CHECK(!status.ok, "drops without a message");

    // Cut into pieces at line ends, as a large file is, the bytes read the same.
    if (size == 0) return 0;
    UniOb pieces;
    MeshFileReport piecesReport;
    options.report = &piecesReport;
    const Status piecesStatus = obj_detail::Read_OBJ_Pieces(
        pieces, std::span<const unsigned char>(data, size), "fuzz.obj", 2 + data[size - 1] % 7, options);
    FUZZ_CHECK(piecesStatus.message == status.message, "in pieces '%s', whole '%s'",
               piecesStatus.message.c_str(), status.message.c_str());
    FUZZ_CHECK(pieces.Face_Index == mesh.Face_Index && pieces.Tex_Coord == mesh.Tex_Coord &&
                   piecesReport.notes == report.notes,
               "in pieces the faces, texture coordinates or notes differ");
    FUZZ_CHECK(pieces.Vertex_Pos.size() == mesh.Vertex_Pos.size() &&
                   (mesh.Vertex_Pos.empty() || std::memcmp(pieces.Vertex_Pos.data(), mesh.Vertex_Pos.data(),
                                                           mesh.Vertex_Pos.size() * sizeof(Vec3)) == 0),
               "in pieces the positions differ");
    return 0;
}
