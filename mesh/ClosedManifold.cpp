#include "mesh/ClosedManifold.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace orvex {

namespace {

// Buckets keyed by a vertex (counting sort), so the check stays linear on big meshes and
// allocates a few flat arrays only.
struct Buckets {
    std::vector<std::uint32_t> start;
    std::vector<std::uint64_t> items;
};

}  // namespace

ClosedManifoldCheck Check_Closed_Manifold(const UniOb& mesh) {
    ClosedManifoldCheck check;
    if (mesh.IsEmpty()) return check;
    const std::size_t V = mesh.Vertex_Count;
    const std::size_t F = std::min<std::size_t>(mesh.Face_Count, mesh.Face_Index.size());
    check.faces = F;

    auto valid = [V](int i) { return i >= 0 && static_cast<std::size_t>(i) < V; };

    // Edge buckets: each undirected edge (a < b) under a, item = b << 1 | (direction b->a).
    Buckets edges;
    edges.start.assign(V + 1, 0);
    std::vector<char> used(V, 0);
    for (std::size_t f = 0; f < F; ++f) {
        const FaceIndex& t = mesh.Face_Index[f];
        if (!valid(t[0]) || !valid(t[1]) || !valid(t[2])) {
            ++check.degenerateFaces;
            continue;
        }
        if (t[0] == t[1] || t[1] == t[2] || t[2] == t[0]) ++check.degenerateFaces;
        for (int c = 0; c < 3; ++c) {
            used[t[c]] = 1;
            const int a = t[c], b = t[(c + 1) % 3];
            if (a != b) ++edges.start[std::min(a, b) + 1];
        }
    }
    for (std::size_t v = 0; v < V; ++v) edges.start[v + 1] += edges.start[v];
    edges.items.resize(edges.start[V]);
    {
        std::vector<std::uint32_t> fill(edges.start.begin(), edges.start.end() - 1);
        for (std::size_t f = 0; f < F; ++f) {
            const FaceIndex& t = mesh.Face_Index[f];
            if (!valid(t[0]) || !valid(t[1]) || !valid(t[2])) continue;
            for (int c = 0; c < 3; ++c) {
                const int a = t[c], b = t[(c + 1) % 3];
                if (a == b) continue;
                const int lo = std::min(a, b), hi = std::max(a, b);
                edges.items[fill[lo]++] = (static_cast<std::uint64_t>(hi) << 1) | (a > b ? 1u : 0u);
            }
        }
    }
    for (std::size_t v = 0; v < V; ++v) {
        auto* begin = edges.items.data() + edges.start[v];
        auto* end = edges.items.data() + edges.start[v + 1];
        std::sort(begin, end);
        for (auto* p = begin; p != end;) {
            auto* q = p;
            while (q != end && (*q >> 1) == (*p >> 1)) ++q;
            const std::size_t n = static_cast<std::size_t>(q - p);
            ++check.edges;
            if (n == 1) {
                ++check.boundaryEdges;
            } else if (n > 2) {
                ++check.nonManifoldEdges;
            } else if ((p[0] & 1u) == (p[1] & 1u)) {
                ++check.misorientedEdges;
            }
            p = q;
        }
    }
    edges = {};

    // Face buckets under the smallest corner, item = (middle << 32 | largest); equal items repeat.
    Buckets faces;
    faces.start.assign(V + 1, 0);
    for (std::size_t f = 0; f < F; ++f) {
        const FaceIndex& t = mesh.Face_Index[f];
        if (!valid(t[0]) || !valid(t[1]) || !valid(t[2])) continue;
        ++faces.start[std::min({t[0], t[1], t[2]}) + 1];
    }
    for (std::size_t v = 0; v < V; ++v) faces.start[v + 1] += faces.start[v];
    faces.items.resize(faces.start[V]);
    {
        std::vector<std::uint32_t> fill(faces.start.begin(), faces.start.end() - 1);
        for (std::size_t f = 0; f < F; ++f) {
            FaceIndex t = mesh.Face_Index[f];
            if (!valid(t[0]) || !valid(t[1]) || !valid(t[2])) continue;
            std::sort(t.begin(), t.end());
            faces.items[fill[t[0]]++] =
                (static_cast<std::uint64_t>(t[1]) << 32) | static_cast<std::uint32_t>(t[2]);
        }
    }
    for (std::size_t v = 0; v < V; ++v) {
        auto* begin = faces.items.data() + faces.start[v];
        auto* end = faces.items.data() + faces.start[v + 1];
        std::sort(begin, end);
        for (auto* p = begin; p + 1 < end; ++p)
            if (p[0] == p[1]) ++check.repeatedFaces;
    }

    for (std::size_t v = 0; v < V; ++v) (used[v] ? check.vertices : check.unusedVertices) += 1;
    check.euler = static_cast<std::int64_t>(check.vertices) - static_cast<std::int64_t>(check.edges) +
                  static_cast<std::int64_t>(check.faces);
    return check;
}

std::string Closed_Manifold_Text(const ClosedManifoldCheck& check) {
    std::string text = check.IsClosedManifold() ? "closed manifold" : "not a closed manifold";
    auto add = [&text](std::uint64_t n, const char* what) {
        if (n) text += ", " + std::to_string(n) + what;
    };
    add(check.boundaryEdges, " boundary edges");
    add(check.nonManifoldEdges, " edges of over two faces");
    add(check.misorientedEdges, " edges against the orientation");
    add(check.repeatedFaces, " repeated faces");
    add(check.degenerateFaces, " degenerate faces");
    text += ", V - E + F = " + std::to_string(check.euler);
    return text;
}

}  // namespace orvex
