// Read_PLY on any bytes, with the load pipeline. Promises: the mesh's arrays match its counts and
// every index names a finite vertex; colours and texture coordinates have one entry per vertex;
// an empty mesh comes with a failed status and every failure says why; faces kept and dropped
// never exceed the declared count; nothing allocates beyond a small multiple of the input (the
// fuzzer's memory limit catches that).

#include <span>

#include "fuzz/FuzzSupport.h"
#include "fuzz/MeshChecks.h"
#include "mesh/PlyReader.h"

namespace orvex::fuzz {

namespace {

const char kHeader[] =
    "element vertex 4\nproperty float x\nproperty float y\nproperty float z\n"
    "element face 4\nproperty list uchar int vertex_indices\nend_header\n";

Bytes Binary_Tetrahedron(bool big) {
    Bytes bytes;
    Append(bytes, std::string("ply\nformat ") + (big ? "binary_big_endian" : "binary_little_endian") +
                      " 1.0\n" + kHeader);
    auto put = [&bytes, big](const void* p, std::size_t n) {
        unsigned char b[8];
        std::memcpy(b, p, n);
        if (big)
            for (std::size_t i = 0; i < n / 2; ++i) std::swap(b[i], b[n - 1 - i]);
        Append(bytes, b, n);
    };
    const float xyz[4][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    for (const auto& p : xyz)
        for (float c : p) put(&c, 4);
    const int faces[4][3] = {{0, 2, 1}, {0, 1, 3}, {0, 3, 2}, {1, 2, 3}};
    for (const auto& f : faces) {
        bytes.push_back(3);
        for (int i : f) put(&i, 4);
    }
    return bytes;
}

}  // namespace

void Make_Seeds(const std::string& dir) {
    Write_Seed(dir, "ascii",
               std::string("ply\nformat ascii 1.0\n") + kHeader +
                   "0 0 0\n1 0 0\n0 1 0\n0 0 1\n3 0 2 1\n3 0 1 3\n3 0 3 2\n3 1 2 3\n");
    Write_Seed(dir, "little", Binary_Tetrahedron(false));
    Write_Seed(dir, "big", Binary_Tetrahedron(true));
    Write_Seed(
        dir, "colours-uv-quads",
        std::string("ply\nformat ascii 1.0\ncomment x\nelement vertex 4\nproperty double x\n"
                    "property double y\nproperty double z\nproperty uchar red\nproperty uchar green\n"
                    "property uchar blue\nproperty float u\nproperty float v\nelement edge 1\n"
                    "property int a\nproperty int b\nelement face 2\nproperty list uchar uint vertex_index\n"
                    "property float quality\nend_header\n0 0 0 255 0 0 0 0\n1 0 0 0 255 0 1 0\n"
                    "1 1 0 0 0 255 1 1\n0 1 0 9 9 9 0 1\n0 1\n4 0 1 2 3 0.5\n5 0 1 2 3 9 1\n"));
    Write_Seed(dir, "bad-indices",
               std::string("ply\nformat ascii 1.0\n") + kHeader +
                   "0 0 0\nnan 0 0\n0 1 0\n0 0 1e40\n3 0 2 9\n0\n3 -1 1 2\n3 1 2 3\n");
    Bytes torn = Binary_Tetrahedron(false);
    torn.resize(torn.size() - 7);
    Write_Seed(dir, "torn", torn);
    Write_Seed(
        dir, "lying-counts",
        std::string("ply\nformat binary_little_endian 1.0\nelement vertex 300000000\nproperty float x\n"
                    "property float y\nproperty float z\nelement face 900000000\n"
                    "property list uint uint vertex_indices\nend_header\n0123456789abcdef"));
    Write_Seed(
        dir, "short-types",
        std::string("ply\nformat binary_little_endian 1.0\nelement vertex 3\nproperty char x\n"
                    "property short y\nproperty ushort z\nelement face 1\n"
                    "property list ushort uchar vertex_indices\nend_header\n") +
            std::string("\x01\x02\x00\x03\x00\x04\x05\x00\x06\x00\x07\x08\x00\x09\x00\x03\x00\x00\x01\x02",
                        20));
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
    const Status status = Read_PLY(mesh, std::span<const unsigned char>(data, size), "fuzz.ply", options);
    Check_Mesh_Read(mesh, status);
    FUZZ_CHECK(mesh.Vertex_Color.size() == mesh.Vertex_Count && mesh.Tex_Coord.size() == mesh.Vertex_Count,
               "%zu colours, %zu texture coordinates for %u vertices", mesh.Vertex_Color.size(),
               mesh.Tex_Coord.size(), mesh.Vertex_Count);
    FUZZ_CHECK(report.facesRead + report.facesDropped <= report.facesDeclared,
               "%llu + %llu faces of %llu declared", (unsigned long long)report.facesRead,
               (unsigned long long)report.facesDropped, (unsigned long long)report.facesDeclared);
    FUZZ_CHECK(mesh.Vertex_Count <= report.verticesDeclared, "%u vertices of %llu declared",
               mesh.Vertex_Count, (unsigned long long)report.verticesDeclared);
    if (report.facesDropped || report.verticesNonFinite) FUZZ_CHECK(!status.ok, "drops without a message");
    return 0;
}
