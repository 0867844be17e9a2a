#pragma once
// Whether a triangle mesh is a closed, consistently oriented 2-manifold, in counts: edges of one
// face (boundary), edges of more than two faces, edges whose two faces run them the same way,
// faces repeating an earlier face's corner set, faces with a repeated corner, and V - E + F over
// the vertices the faces use.

#include <cstdint>
#include <string>

#include "mesh/UniOb.h"

namespace orvex {

struct ClosedManifoldCheck {
    std::uint64_t vertices = 0;  // vertices used by some face
    std::uint64_t unusedVertices = 0;
    std::uint64_t edges = 0;  // distinct undirected edges between different corners
    std::uint64_t faces = 0;
    std::uint64_t boundaryEdges = 0;     // edges of exactly one face
    std::uint64_t nonManifoldEdges = 0;  // edges of more than two faces
    std::uint64_t misorientedEdges = 0;  // edges of two faces that both run them the same way
    std::uint64_t repeatedFaces = 0;     // same three corners as an earlier face, either winding
    std::uint64_t degenerateFaces = 0;   // two corners the same index
    std::int64_t euler = 0;              // vertices - edges + faces

    bool IsClosed() const { return boundaryEdges == 0; }
    bool IsManifold() const { return nonManifoldEdges == 0 && repeatedFaces == 0 && degenerateFaces == 0; }
    bool IsClosedManifold() const { return IsClosed() && IsManifold() && misorientedEdges == 0; }
};

// An empty mesh gives all zeros (and counts as closed and manifold).
ClosedManifoldCheck Check_Closed_Manifold(const UniOb& mesh);

// One line for reports: "closed manifold, V - E + F = 2" or what is wrong, in counts.
std::string Closed_Manifold_Text(const ClosedManifoldCheck& check);

}  // namespace orvex
