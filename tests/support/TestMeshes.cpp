#include "tests/support/TestMeshes.h"

#include <cmath>
#include <cstdint>
#include <unordered_map>
#include <utility>
#include <vector>

#include "analysis/Curvature.h"
#include "mesh/Topology.h"

namespace orvex::test {

namespace {

void Fill(UniOb& mesh, const std::vector<Vec3>& points, const std::vector<FaceIndex>& faces) {
    mesh.AllocFaces(static_cast<unsigned>(faces.size()));
    mesh.AllocVertices(static_cast<unsigned>(points.size()));
    mesh.AllocCurvature(static_cast<unsigned>(points.size()));
    for (std::size_t i = 0; i < points.size(); ++i) mesh.Vertex_Pos[i] = points[i];
    for (std::size_t f = 0; f < faces.size(); ++f) mesh.Face_Index[f] = faces[f];
}

}  // namespace

void Make_Tetrahedron(UniOb& mesh, Vec3 o, float s) {
    Fill(mesh, {o, o + Vec3{s, 0, 0}, o + Vec3{0, s, 0}, o + Vec3{0, 0, s}},
         {{0, 2, 1}, {0, 1, 3}, {0, 3, 2}, {1, 2, 3}});
}

void Make_Box(UniOb& mesh, Vec3 size, Vec3 c) {
    const float hx = size.x / 2, hy = size.y / 2, hz = size.z / 2;
    std::vector<Vec3> p;
    // Corner index = 4 [x high] + 2 [y high] + [z high].
    for (int i = 0; i < 8; ++i)
        p.push_back(c + Vec3{(i & 4) ? hx : -hx, (i & 2) ? hy : -hy, (i & 1) ? hz : -hz});
    // Each quad is listed counter-clockwise from outside; low faces use diagonal 0-2, high faces 1-3.
    const int quads[6][4] = {{0, 1, 3, 2}, {4, 6, 7, 5}, {0, 4, 5, 1},
                             {2, 3, 7, 6}, {0, 2, 6, 4}, {1, 5, 7, 3}};
    std::vector<FaceIndex> faces;
    for (int q = 0; q < 6; ++q) {
        const int* k = quads[q];
        if (q % 2 == 0) {
            faces.push_back({k[0], k[1], k[2]});
            faces.push_back({k[0], k[2], k[3]});
        } else {
            faces.push_back({k[0], k[1], k[3]});
            faces.push_back({k[1], k[2], k[3]});
        }
    }
    Fill(mesh, p, faces);
}

void Make_Cube(UniOb& mesh) {
    Make_Box(mesh, {2, 2, 2});
}

void Make_Triangle(UniOb& mesh) {
    Fill(mesh, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
}

void Make_Square(UniOb& mesh) {
    Make_Grid(mesh, 1);
}

void Make_Grid(UniOb& mesh, int n, float spacing) {
    const int side = n + 1;
    std::vector<Vec3> p;
    p.reserve(std::size_t(side) * side);
    for (int j = 0; j < side; ++j)
        for (int i = 0; i < side; ++i) p.push_back({i * spacing, j * spacing, 0.0f});
    std::vector<FaceIndex> faces;
    faces.reserve(2 * std::size_t(n) * n);
    for (int j = 0; j < n; ++j) {
        for (int i = 0; i < n; ++i) {
            const int a = i + side * j, b = a + 1, c = a + side + 1, d = a + side;
            faces.push_back({a, b, c});
            faces.push_back({a, c, d});
        }
    }
    Fill(mesh, p, faces);
}

void Make_Sphere(UniOb& mesh, float R, int levels, Vec3 centre) {
    const double t = (1.0 + std::sqrt(5.0)) / 2.0;
    std::vector<std::array<double, 3>> p = {{-1, t, 0}, {1, t, 0}, {-1, -t, 0}, {1, -t, 0},
                                            {0, -1, t}, {0, 1, t}, {0, -1, -t}, {0, 1, -t},
                                            {t, 0, -1}, {t, 0, 1}, {-t, 0, -1}, {-t, 0, 1}};
    std::vector<FaceIndex> faces = {{0, 11, 5}, {0, 5, 1},  {0, 1, 7},   {0, 7, 10}, {0, 10, 11},
                                    {1, 5, 9},  {5, 11, 4}, {11, 10, 2}, {10, 7, 6}, {7, 1, 8},
                                    {3, 9, 4},  {3, 4, 2},  {3, 2, 6},   {3, 6, 8},  {3, 8, 9},
                                    {4, 9, 5},  {2, 4, 11}, {6, 2, 10},  {8, 6, 7},  {9, 8, 1}};
    auto unit = [](std::array<double, 3> v) {
        const double l = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
        return std::array<double, 3>{v[0] / l, v[1] / l, v[2] / l};
    };
    for (auto& v : p) v = unit(v);
    for (int level = 0; level < levels; ++level) {
        std::unordered_map<std::uint64_t, int> midpoint;
        auto mid = [&](int a, int b) {
            const std::uint64_t key = (std::uint64_t(std::min(a, b)) << 32) | std::uint32_t(std::max(a, b));
            auto [it, added] = midpoint.try_emplace(key, int(p.size()));
            if (added) p.push_back(unit({p[a][0] + p[b][0], p[a][1] + p[b][1], p[a][2] + p[b][2]}));
            return it->second;
        };
        std::vector<FaceIndex> finer;
        finer.reserve(4 * faces.size());
        for (const FaceIndex& f : faces) {
            const int ab = mid(f[0], f[1]), bc = mid(f[1], f[2]), ca = mid(f[2], f[0]);
            finer.push_back({f[0], ab, ca});
            finer.push_back({f[1], bc, ab});
            finer.push_back({f[2], ca, bc});
            finer.push_back({ab, bc, ca});
        }
        faces = std::move(finer);
    }
    std::vector<Vec3> points;
    points.reserve(p.size());
    for (const auto& v : p)
        points.push_back(centre + Vec3{float(R * v[0]), float(R * v[1]), float(R * v[2])});
    Fill(mesh, points, faces);
}

void Finish_Mesh(UniOb& mesh) {
    Compute_Face_Normals(mesh);
    Compute_Vertex_Normals(mesh, true);
    Build_Rings(mesh);
    ComputeCurvature(mesh);
    Compute_Box(mesh);
    Compute_Volume(mesh);
}

void Reverse_Orientation(UniOb& mesh) {
    for (FaceIndex& f : mesh.Face_Index) std::swap(f[1], f[2]);
    Finish_Mesh(mesh);
}

}  // namespace orvex::test
