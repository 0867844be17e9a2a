#pragma once
// The promises of a mesh that a reader filled, checked against the facets the file holds.

#include <vector>

#include "fuzz/FuzzSupport.h"
#include "geometry/Status.h"
#include "mesh/StlFormat.h"
#include "mesh/UniOb.h"

namespace orvex::fuzz {

inline bool Finite_Corners(const StlFacet& facet) {
    for (const Vec3& c : facet.corner)
        if (!std::isfinite(c.x) || !std::isfinite(c.y) || !std::isfinite(c.z)) return false;
    return true;
}

// Array sizes agree with the counts, and every index names a vertex.
inline void Check_Mesh_Shape(const UniOb& mesh, bool pipelineRan) {
    const std::size_t V = mesh.Vertex_Count;
    const std::size_t F = mesh.Face_Count;
    FUZZ_CHECK(mesh.Face_Index.size() == F, "%zu face index triples for %zu faces", mesh.Face_Index.size(),
               F);
    FUZZ_CHECK(mesh.Face_Normal.size() == F, "%zu face normals for %zu faces", mesh.Face_Normal.size(), F);
    FUZZ_CHECK(mesh.Vertex_Pos.size() == V, "%zu positions for %zu vertices", mesh.Vertex_Pos.size(), V);
    FUZZ_CHECK((F == 0) == (V == 0), "%zu faces but %zu vertices", F, V);
    for (std::size_t k = 0; k < F; ++k)
        for (int s = 0; s < 3; ++s)
            FUZZ_CHECK(mesh.Face_Index[k][s] >= 0 && std::size_t(mesh.Face_Index[k][s]) < V,
                       "face %zu corner %d: index %d of %zu vertices", k, s, mesh.Face_Index[k][s], V);
    for (std::size_t v = 0; v < V; ++v) {
        const Vec3& p = mesh.Vertex_Pos[v];
        FUZZ_CHECK(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z), "vertex %zu not finite",
                   v);
    }
    if (!pipelineRan || V == 0) return;
    FUZZ_CHECK(mesh.Vertex_Normal.size() == V, "%zu vertex normals for %zu vertices",
               mesh.Vertex_Normal.size(), V);
    FUZZ_CHECK(mesh.Vertex_Label.size() == V, "%zu labels for %zu vertices", mesh.Vertex_Label.size(), V);
    FUZZ_CHECK(mesh.Curvature_Max.size() == V && mesh.Curvature_Min.size() == V,
               "curvature arrays of %zu, %zu for %zu", mesh.Curvature_Max.size(), mesh.Curvature_Min.size(),
               V);
    const VertexRing& ring = mesh.Vertex_Ring;
    if (ring.IsBuilt()) {
        FUZZ_CHECK(ring.start.size() == V + 1, "ring offsets %zu for %zu vertices", ring.start.size(), V);
        FUZZ_CHECK(ring.start[0] == 0 && ring.start[V] == ring.entries.size(),
                   "ring offsets do not span the entries");
        for (std::size_t v = 0; v < V; ++v)
            FUZZ_CHECK(ring.start[v] <= ring.start[v + 1], "ring offsets fall");
        for (int e : ring.entries)
            FUZZ_CHECK(e >= 0 && std::size_t(e) < V, "ring entry %d of %zu vertices", e, V);
    }
}

// The faces are the finite facets in file order; indices are dense in order of first appearance,
// a new vertex is its corner bit for bit, and a repeat lies within the tolerance of its vertex.
inline void Check_Mesh_Merge(const UniOb& mesh, const std::vector<StlFacet>& finite, float tolerance) {
    FUZZ_CHECK(mesh.Face_Count == finite.size(), "%u faces from %zu finite facets", mesh.Face_Count,
               finite.size());
    unsigned next = 0;
    for (std::size_t k = 0; k < finite.size(); ++k) {
        for (int s = 0; s < 3; ++s) {
            const Vec3& corner = finite[k].corner[s];
            const int index = mesh.Face_Index[k][s];
            const Vec3& vertex = mesh.Vertex_Pos[index];
            if (unsigned(index) == next) {
                FUZZ_CHECK(Same_Bits(vertex.x, corner.x) && Same_Bits(vertex.y, corner.y) &&
                               Same_Bits(vertex.z, corner.z),
                           "new vertex %d is not its corner", index);
                ++next;
            } else {
                FUZZ_CHECK(unsigned(index) < next, "face %zu corner %d: index %d skips ahead of %u", k, s,
                           index, next);
                FUZZ_CHECK(Near_Within(vertex, corner, tolerance),
                           "face %zu corner %d merged into far vertex %d", k, s, index);
            }
        }
    }
    FUZZ_CHECK(next == mesh.Vertex_Count, "%u vertices, %u used", mesh.Vertex_Count, next);
}

// What every mesh reader promises: a sound mesh after the pipeline, a failed status when nothing
// was read, and a message with every failure.
inline void Check_Mesh_Read(const UniOb& mesh, const Status& status) {
    Check_Mesh_Shape(mesh, true);
    if (mesh.IsEmpty()) FUZZ_CHECK(!status.ok, "an empty mesh with an ok status");
    FUZZ_CHECK(status.ok || !status.message.empty(), "a failure without a message");
}

}  // namespace orvex::fuzz
