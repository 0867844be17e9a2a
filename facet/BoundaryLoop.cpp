#include "facet/BoundaryLoop.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <numeric>

#include "geometry/AtomicFile.h"
#include "geometry/Vec3.h"

namespace orvex {

void BOUNDARY_LOOP::Resize(unsigned n) {
    Release();
    Points.assign(n, LoopPoint{});
}

void BOUNDARY_LOOP::Release() {
    Points = {};
}

void BOUNDARY_LOOP::CopyRange(const BOUNDARY_LOOP& source, unsigned start, unsigned end) {
    const unsigned n = source.Point_Count();
    if (n < 2) return;  // every index clamps to the same one
    start = std::min(start, n - 2);
    end = std::min(end, n - 2);
    if (start == end) return;
    std::vector<LoopPoint> points;
    if (start < end) {
        points.assign(source.Points.begin() + start, source.Points.begin() + end + 1);
    } else {
        // Over the closing point, which repeats point 0.
        const unsigned count = end + (n - 1) - start + 1;
        points.reserve(count);
        for (unsigned i = 0; i < count; ++i) points.push_back(source.Points[(start + i) % (n - 1)]);
    }
    Points = std::move(points);
}

namespace {

void Normalize_Normal(LoopPoint& p) {
    Vec3 n{p[3], p[4], p[5]};
    Vec3_Normalize(n);
    p[3] = n.x;
    p[4] = n.y;
    p[5] = n.z;
}

}  // namespace

Status BOUNDARY_LOOP::Refine(unsigned limit) {
    const std::size_t n = Points.size();
    if (n == 0) return Status::Ok();
    if (2 * n - 1 > limit)
        return Status::Error("Refine: " + std::to_string(n) + " points would become " +
                             std::to_string(2 * n - 1) + ", more than " + std::to_string(limit) +
                             "; the range is left as it is");
    std::vector<LoopPoint> refined;
    refined.reserve(2 * n - 1);
    for (std::size_t i = 0; i < n; ++i) {
        refined.push_back(Points[i]);
        if (i + 1 == n) break;
        LoopPoint mid;
        for (int k = 0; k < 6; ++k) mid[k] = (Points[i][k] + Points[i + 1][k]) * 0.5f;
        Normalize_Normal(mid);
        refined.push_back(mid);
    }
    Points = std::move(refined);
    return Status::Ok();
}

void BOUNDARY_LOOP::Smooth(int iterations) {
    const std::size_t n = Points.size();
    if (n == 0) return;
    std::vector<LoopPoint> previous;
    for (int it = 0; it < iterations; ++it) {
        previous = Points;
        for (std::size_t i = 1; i + 1 < n; ++i)
            for (int k = 0; k < 6; ++k)
                Points[i][k] = (2.5f * previous[i][k] + previous[i - 1][k] + previous[i + 1][k]) / 4.5f;
        for (LoopPoint& p : Points) Normalize_Normal(p);
    }
}

Status BOUNDARY_LOOP::WriteLoopLOP(const std::string& name) const {
    const std::string path = name + ".lop";
    if (Points.empty()) return Status::Error(path + ": nothing written, the range is empty");
    AtomicFile file;
    if (Status s = file.Open(path); !s) return s;
    for (std::size_t i = 0; i + 1 < Points.size(); ++i) {
        for (const LoopPoint* p : {&Points[i], &Points[i + 1]}) {
            file.Printf("%f,%f,%f", double((*p)[0]), double((*p)[1]), double((*p)[2]));
            file.Printf(",%f,%f,%f\n", double((*p)[3]), double((*p)[4]), double((*p)[5]));
        }
    }
    return file.Commit();
}

double BOUNDARY_LOOP::Length() const {
    double length = 0.0;
    for (std::size_t i = 0; i + 1 < Points.size(); ++i) {
        const double dx = double(Points[i + 1][0]) - Points[i][0];
        const double dy = double(Points[i + 1][1]) - Points[i][1];
        const double dz = double(Points[i + 1][2]) - Points[i][2];
        length += std::sqrt(dx * dx + dy * dy + dz * dz);
    }
    return length;
}

namespace {

// A face's edge filed under its lower vertex: the higher vertex, with the top bit set when the
// face runs from high to low. Four bytes an edge keep the scratch small next to the mesh.
constexpr std::uint32_t kDescending = 0x80000000u;

struct RimEdge {
    std::uint32_t from, to;
    std::uint32_t face;  // the latest face using it, found only where a walk must choose
};

// Rim edges: undirected edges with exactly one use by one face. Self edges of degenerate faces
// count for nothing; an edge of two faces (either winding) or more is no rim.
std::vector<RimEdge> Find_Rim_Edges(const UniOb& mesh) {
    const std::uint32_t V = mesh.Vertex_Count;
    // start[v] ends as the first entry of v: counted up, then filled from the back.
    std::unique_ptr<std::uint32_t[]> start(new std::uint32_t[std::size_t(V) + 1]());
    for (const FaceIndex& f : mesh.Face_Index)
        for (int k = 0; k < 3; ++k) {
            const int a = f[k], b = f[k == 2 ? 0 : k + 1];
            if (a != b) ++start[std::min(a, b)];
        }
    std::uint64_t total = 0;
    for (std::uint32_t v = 0; v <= V; ++v) {
        total += start[v];
        start[v] = std::uint32_t(total);
    }
    std::unique_ptr<std::uint32_t[]> edges(new std::uint32_t[total]);
    for (const FaceIndex& f : mesh.Face_Index)
        for (int k = 0; k < 3; ++k) {
            const int a = f[k], b = f[k == 2 ? 0 : k + 1];
            if (a < b)
                edges[--start[a]] = std::uint32_t(b);
            else if (b < a)
                edges[--start[b]] = std::uint32_t(a) | kDescending;
        }
    std::vector<RimEdge> rim;
    auto take = [&](std::uint32_t lo, std::uint32_t e) {
        const std::uint32_t hi = e & ~kDescending;
        if (e & kDescending)
            rim.push_back({hi, lo, 0});
        else
            rim.push_back({lo, hi, 0});
    };
    for (std::uint32_t v = 0; v < V; ++v) {
        std::uint32_t* begin = edges.get() + start[v];
        std::uint32_t* end = edges.get() + start[v + 1];
        if (end - begin <= 12) {
            for (std::uint32_t* e = begin; e != end; ++e) {
                const std::uint32_t hi = *e & ~kDescending;
                int uses = 0;
                for (std::uint32_t* g = begin; g != end && uses < 2; ++g) uses += (*g & ~kDescending) == hi;
                if (uses == 1) take(v, *e);
            }
        } else {
            std::sort(begin, end, [](std::uint32_t p, std::uint32_t q) {
                return (p & ~kDescending) < (q & ~kDescending);
            });
            for (std::uint32_t* e = begin; e != end;) {
                std::uint32_t* g = e + 1;
                while (g != end && (*g & ~kDescending) == (*e & ~kDescending)) ++g;
                if (g - e == 1) take(v, *e);
                e = g;
            }
        }
    }
    return rim;
}

std::uint32_t Find(std::vector<std::uint32_t>& parent, std::uint32_t v) {
    while (parent[v] != v) {
        parent[v] = parent[parent[v]];
        v = parent[v];
    }
    return v;
}

// Where a vertex starts several rim edges, the walk takes the one of the latest face (the first
// entry of a list built by head insertion in face order): one more pass over the faces finds them.
void Find_Latest_Faces(const UniOb& mesh, std::vector<RimEdge>& edges, std::size_t begin, std::size_t end) {
    std::sort(edges.begin() + begin, edges.begin() + end, [](const RimEdge& p, const RimEdge& q) {
        return p.from != q.from ? p.from < q.from : p.to < q.to;
    });
    auto less = [](const RimEdge& e, std::pair<std::uint32_t, std::uint32_t> k) {
        return e.from != k.first ? e.from < k.first : e.to < k.second;
    };
    for (std::uint32_t face = 0; face < mesh.Face_Count; ++face) {
        const FaceIndex& f = mesh.Face_Index[face];
        for (int k = 0; k < 3; ++k) {
            const std::pair<std::uint32_t, std::uint32_t> key{std::uint32_t(f[k]),
                                                              std::uint32_t(f[k == 2 ? 0 : k + 1])};
            const auto it = std::lower_bound(edges.begin() + begin, edges.begin() + end, key, less);
            if (it != edges.begin() + end && it->from == key.first && it->to == key.second) it->face = face;
        }
    }
}

}  // namespace

BoundaryReport DetectBoundary(UniOb& mesh, BOUNDARY_LOOP& loop) {
    BoundaryReport report;
    mesh.Boundary_Chain = {};
    loop.Release();
    if (mesh.IsEmpty()) return report;
    std::vector<RimEdge> rim = Find_Rim_Edges(mesh);
    report.rimEdges = unsigned(rim.size());
    if (rim.empty()) return report;

    // Rim vertices numbered densely, so the rest costs by rim size, not mesh size.
    std::vector<std::uint32_t> vertices;
    vertices.reserve(2 * rim.size());
    for (const RimEdge& e : rim) {
        vertices.push_back(e.from);
        vertices.push_back(e.to);
    }
    std::sort(vertices.begin(), vertices.end());
    vertices.erase(std::unique(vertices.begin(), vertices.end()), vertices.end());
    auto local = [&](std::uint32_t v) {
        return std::uint32_t(std::lower_bound(vertices.begin(), vertices.end(), v) - vertices.begin());
    };
    for (RimEdge& e : rim) {
        e.from = local(e.from);
        e.to = local(e.to);
    }
    const std::uint32_t R = std::uint32_t(vertices.size());

    std::vector<std::uint32_t> parent(R);
    std::iota(parent.begin(), parent.end(), 0u);
    for (const RimEdge& e : rim) parent[Find(parent, e.from)] = Find(parent, e.to);
    for (std::uint32_t v = 0; v < R; ++v) report.rims += Find(parent, v) == v ? 1 : 0;

    // Out-lists by start vertex; where there are several, the latest face first.
    std::sort(rim.begin(), rim.end(), [](const RimEdge& p, const RimEdge& q) { return p.from < q.from; });
    std::vector<std::uint32_t> outStart(std::size_t(R) + 1, 0);
    for (const RimEdge& e : rim) ++outStart[e.from + 1];
    std::partial_sum(outStart.begin(), outStart.end(), outStart.begin());
    std::vector<RimEdge> several;
    for (std::uint32_t v = 0; v < R; ++v)
        for (std::uint32_t i = outStart[v]; outStart[v + 1] - outStart[v] > 1 && i < outStart[v + 1]; ++i)
            several.push_back({vertices[v], vertices[rim[i].to], 0});
    if (!several.empty()) {
        Find_Latest_Faces(mesh, several, 0, several.size());
        for (RimEdge& e : rim) {
            if (outStart[e.from + 1] - outStart[e.from] < 2) continue;
            const RimEdge key{vertices[e.from], vertices[e.to], 0};
            e.face =
                std::lower_bound(several.begin(), several.end(), key, [](const RimEdge& p, const RimEdge& q) {
                    return p.from != q.from ? p.from < q.from : p.to < q.to;
                })->face;
        }
        for (std::uint32_t v = 0; v < R; ++v)
            std::sort(rim.begin() + outStart[v], rim.begin() + outStart[v + 1],
                      [](const RimEdge& p, const RimEdge& q) { return p.face > q.face; });
    }

    // Walk from the lowest rim vertex; a vertex's list is gone once the walk leaves it.
    std::vector<std::uint8_t> gone(R, 0);
    auto has_list = [&](std::uint32_t v) { return !gone[v] && outStart[v] < outStart[v + 1]; };
    std::uint32_t s = 0;
    while (!has_list(s)) ++s;
    std::vector<int> targets;
    std::uint32_t t = rim[outStart[s]].to;
    gone[s] = 1;
    targets.push_back(int(vertices[t]));
    while (has_list(t)) {
        gone[t] = 1;
        t = rim[outStart[t]].to;
        targets.push_back(int(vertices[t]));
    }
    report.closed = t == s;
    mesh.Boundary_Chain.assign(targets.rbegin(), targets.rend());
    // A walk that ended elsewhere keeps its start at the back, so every step stays a rim edge.
    if (!report.closed) mesh.Boundary_Chain.push_back(int(vertices[s]));
    report.chainLength = unsigned(mesh.Boundary_Chain.size());

    loop.Resize(report.chainLength + 1);
    for (unsigned k = 0; k <= report.chainLength; ++k) {
        const int v = mesh.Boundary_Chain[k == report.chainLength ? 0 : k];
        const Vec3& p = mesh.Vertex_Pos[v];
        const Vec3& n = mesh.Vertex_Normal[v];
        loop.Points[k] = {p.x, p.y, p.z, n.x, n.y, n.z};
    }
    return report;
}

}  // namespace orvex
