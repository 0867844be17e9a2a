// Read_STL on any bytes, with the load pipeline. Promises: the mesh's arrays match its counts and
// every index names a vertex; the faces are the file's finite facets in order (all of them, or
// none when the file is refused), merged as the tree defines it; an empty mesh comes with a
// failed status; a file refused as no binary STL loads nothing and says so; a binary file's count
// is never trusted beyond the records present.

#include <algorithm>
#include <limits>
#include <span>

#include "fuzz/MeshChecks.h"
#include "mesh/StlAscii.h"
#include "mesh/StlReader.h"

namespace orvex::fuzz {

namespace {

Bytes Binary(const std::vector<StlFacet>& facets, std::uint32_t declared,
             const std::string& header = "seed") {
    Bytes bytes(kStlPreambleBytes, 0);
    std::memcpy(bytes.data(), header.data(), std::min(header.size(), kStlHeaderBytes));
    std::memcpy(bytes.data() + kStlHeaderBytes, &declared, 4);
    for (const StlFacet& facet : facets) {
        unsigned char record[kStlRecordBytes];
        Stl_Put_Record(record, facet);
        Append(bytes, record, sizeof record);
    }
    return bytes;
}
Bytes Binary(const std::vector<StlFacet>& facets) {
    return Binary(facets, std::uint32_t(facets.size()));
}

std::vector<StlFacet> Tetrahedron(float scale, Vec3 at) {
    const Vec3 p[4] = {{0, 0, 0}, {scale, 0, 0}, {0, scale, 0}, {0, 0, scale}};
    const int f[4][3] = {{0, 2, 1}, {0, 1, 3}, {0, 3, 2}, {1, 2, 3}};
    std::vector<StlFacet> facets;
    for (const auto& t : f) facets.push_back({{}, {p[t[0]] + at, p[t[1]] + at, p[t[2]] + at}});
    return facets;
}

}  // namespace

void Make_Seeds(const std::string& dir) {
    const float inf = std::numeric_limits<float>::infinity();
    Write_Seed(dir, "tetrahedron", Binary(Tetrahedron(1, {})));
    Write_Seed(dir, "far-tetrahedron", Binary(Tetrahedron(1e-4f, {150000, -4e6f, 3})));
    Write_Seed(dir, "huge-coordinates", Binary(Tetrahedron(3e38f, {-1e38f, 0, 0})));
    Write_Seed(dir, "denormals", Binary(Tetrahedron(1e-40f, {})));
    Write_Seed(dir, "truncated", Binary(Tetrahedron(1, {}), 9));
    Write_Seed(dir, "count-zero", Binary(Tetrahedron(1, {}), 0));
    Write_Seed(dir, "count-short", Binary(Tetrahedron(1, {}), 2));
    std::vector<StlFacet> near = {{{}, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}},
                                  {{}, {{0.0005f, 0.0005f, 0.0005f}, {1.0006f, 0, 0}, {0, 1, 0.0004f}}}};
    Write_Seed(dir, "near-corners", Binary(near));
    std::vector<StlFacet> bad = Tetrahedron(2, {1, 1, 1});
    bad[1].corner[2].y = inf;
    bad[2].corner[0].x = std::numeric_limits<float>::quiet_NaN();
    Write_Seed(dir, "non-finite", Binary(bad));
    std::vector<StlFacet> flat = {{{}, {{1, 1, 1}, {1, 1, 1}, {1, 1, 1}}},
                                  {{}, {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}}}};
    Write_Seed(dir, "degenerate", Binary(flat));
    Bytes trailing = Binary(Tetrahedron(1, {}));
    Append(trailing, std::string("trailing bytes"));
    Write_Seed(dir, "trailing", trailing);
    Write_Seed(dir, "solid-header", Binary(Tetrahedron(1, {}), 4, "solid binary file"));
    Write_Seed(dir, "empty", Bytes{});
    Write_Seed(dir, "text-renamed",
               std::string("These are notes, not an STL file.\nSecond line of notes here\n"
                           "and a third, long enough for the header and a few facets of "
                           "garbage 0123456789 abcdefghijklmnopqrstuvwxyz\n"));
    Write_Seed(
        dir, "text",
        std::string("solid t\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 1 0 0\nvertex 0 1 0\n"
                    "endloop\nendfacet\nendsolid t\n"));
}

}  // namespace orvex::fuzz

using namespace orvex;
using namespace orvex::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const unsigned char> bytes(data, size);
    UniOb mesh;
    StlReadReport report;
    StlReadOptions options;
    options.report = &report;
    const Status status = Read_STL_Memory(mesh, bytes, "fuzz.stl", options);
    Check_Mesh_Read(mesh, status);
    FUZZ_CHECK(status.ok == (report.fault == StlFault::None), "status and fault disagree: %s",
               status.message.c_str());
    if (report.fault == StlFault::NotBinaryStl) {
        FUZZ_CHECK(mesh.IsEmpty(), "a refused file loaded %u faces", mesh.Face_Count);
        FUZZ_CHECK(status.message.find(kStlNotBinaryText) != std::string::npos, "'%s'",
                   status.message.c_str());
    }

    // The facets the file holds, as the reader should have seen them.
    std::vector<StlFacet> facets;
    if (report.ascii) {
        Parse_Stl_Ascii(bytes, "fuzz.stl", facets);
    } else if (size >= kStlPreambleBytes) {
        const std::uint64_t declared = Stl_Read_Count(data);
        const std::uint64_t present = (size - kStlPreambleBytes) / kStlRecordBytes;
        FUZZ_CHECK(report.facetsDeclared == declared, "declared %llu, reported %llu",
                   (unsigned long long)declared, (unsigned long long)report.facetsDeclared);
        FUZZ_CHECK(report.facetsRead <= present, "read %llu facets of %llu present",
                   (unsigned long long)report.facetsRead, (unsigned long long)present);
        const std::uint64_t count = std::min(declared, present);
        for (std::uint64_t k = 0; k < count; ++k) {
            StlFacet facet;
            Stl_Read_Record(data + kStlPreambleBytes + k * kStlRecordBytes, facet);
            facets.push_back(facet);
        }
    }
    std::vector<StlFacet> finite;
    for (const StlFacet& facet : facets)
        if (Finite_Corners(facet)) finite.push_back(facet);
    if (!mesh.IsEmpty()) {
        FUZZ_CHECK(!report.tooManyVertices, "too many vertices from %zu bytes", size);
        Check_Mesh_Merge(mesh, finite, std::max(Coincidence_Tolerance, 0.0f));
    }
    return 0;
}
