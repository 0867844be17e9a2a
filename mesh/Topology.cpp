// Normals, one-ring lists, boundary labels and measures of a mesh.

#include "mesh/Topology.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>
#include <vector>

#include "mesh/FaceMeasures.h"
#include "mesh/HugePages.h"
#include "mesh/ThreadRanges.h"

namespace orvex {

void Compute_Face_Normals(UniOb& mesh) {
    if (mesh.IsEmpty()) return;
    const Vec3* pos = mesh.Vertex_Pos.data();
    const FaceIndex* face = mesh.Face_Index.data();
    Vec3* normal = mesh.Face_Normal.data();
    Run_Ranges(mesh.Face_Count, [&](std::size_t begin, std::size_t end) {
        for (std::size_t f = begin; f < end; ++f) {
            const FaceIndex& t = face[f];
            Facet_Normal(normal[f], pos[t[0]], pos[t[1]], pos[t[2]]);
        }
    });
}

// The sums are of unit normals and angles, so the cut-off is no length: faces that cancel (a sheet
// folded back on itself) leave rounding residue with no direction, not a normal.
void Normalize_Vertex_Normals(UniOb& mesh, unsigned begin, unsigned end) {
    Vec3* normal = mesh.Vertex_Normal.data();
    for (unsigned v = begin; v < end; ++v) {
        const Vec3& n = normal[v];
        if (double(n.x) * n.x + double(n.y) * n.y + double(n.z) * n.z <= 1e-12)
            normal[v] = Vec3{};
        else
            Vec3_Normalize(normal[v]);
    }
}

namespace {

void Normalize_Vertex_Normals(UniOb& mesh) {
    Run_Ranges(mesh.Vertex_Count, [&](std::size_t begin, std::size_t end) {
        Normalize_Vertex_Normals(mesh, unsigned(begin), unsigned(end));
    });
}

}  // namespace

void Corner_Terms(const Vec3& A, const Vec3& B, const Vec3& C, Vec3& normal, float& area, double& tetra,
                  float* angles) {
    area = Facet_Normal_Area(normal, A, B, C);
    tetra = Signed_Tetra(A, B, C, normal);
    Triangle_Angles(A, B, C, angles);
}

void Face_Terms(UniOb& mesh, unsigned begin, unsigned end, float* areas, double* tetra, float* angles) {
    Face_Measures(mesh, begin, end, areas, angles, tetra);
}

void Sum_Vertex_Normals(UniOb& mesh, const float* angles) {
    const FaceIndex* face = mesh.Face_Index.data();
    const Vec3* faceNormal = mesh.Face_Normal.data();
    Vec3* normal = mesh.Vertex_Normal.data();
    const unsigned F = mesh.Face_Count;
    for (unsigned v = 0; v < mesh.Vertex_Count; ++v) normal[v] = Vec3{};
    for (unsigned f = 0; f < F; ++f) {
        const FaceIndex& t = face[f];
        const Vec3& fn = faceNormal[f];
        const float* angle = &angles[3 * std::size_t(f)];
        for (int j = 0; j < 3; ++j) normal[t[j]] += angle[j] * fn;
    }
}

void Vertex_Normals_From_Angles(UniOb& mesh, const float* angles) {
    if (mesh.IsEmpty()) return;
    Sum_Vertex_Normals(mesh, angles);
    Normalize_Vertex_Normals(mesh);
}

void Compute_Vertex_Normals(UniOb& mesh, bool weighted) {
    if (mesh.IsEmpty()) return;
    const Vec3* pos = mesh.Vertex_Pos.data();
    const FaceIndex* face = mesh.Face_Index.data();
    const unsigned F = mesh.Face_Count;

    // The angles (two arc cosines a face) are most of the work and independent per face; the sums
    // then add the same terms in the same face order as the single sweep below. Without room for
    // the table that sweep does it all.
    const std::unique_ptr<float[]> angles(
        weighted && Range_Threads(F) > 1 ? new (std::nothrow) float[std::size_t(F) * 3] : nullptr);
    if (angles) {
        Run_Ranges(F, [&](std::size_t begin, std::size_t end) {
            for (std::size_t f = begin; f < end; ++f) {
                const FaceIndex& t = face[f];
                Triangle_Angles(pos[t[0]], pos[t[1]], pos[t[2]], &angles[3 * f]);
            }
        });
        Vertex_Normals_From_Angles(mesh, angles.get());
        return;
    }
    // Accumulating right after each face's angles adds the same terms in the same order as
    // computing every angle first, without a 3F scratch table.
    const Vec3* faceNormal = mesh.Face_Normal.data();
    Vec3* normal = mesh.Vertex_Normal.data();
    for (unsigned v = 0; v < mesh.Vertex_Count; ++v) normal[v] = Vec3{};
    for (unsigned f = 0; f < F; ++f) {
        const FaceIndex& t = face[f];
        const Vec3& fn = faceNormal[f];
        if (weighted) {
            float angle[3];
            Triangle_Angles(pos[t[0]], pos[t[1]], pos[t[2]], angle);
            for (int j = 0; j < 3; ++j) normal[t[j]] += angle[j] * fn;
        } else {
            for (int j = 0; j < 3; ++j) normal[t[j]] += fn;
        }
    }
    Normalize_Vertex_Normals(mesh);
}

void Build_Rings(UniOb& mesh) {
    if (mesh.IsEmpty()) return;
    mesh.FreeRing();
    const unsigned V = mesh.Vertex_Count;
    const unsigned F = mesh.Face_Count;
    const FaceIndex* face = mesh.Face_Index.data();
    VertexRing& ring = mesh.Vertex_Ring;

    // Pass 1: one entry per face corner, counted per vertex.
    ring.start.assign(V + 1, 0);
    for (unsigned f = 0; f < F; ++f)
        for (int j = 0; j < 3; ++j) ++ring.start[face[f][j] + 1];
    for (unsigned v = 0; v < V; ++v) ring.start[v + 1] += ring.start[v];

    // Pass 2: fill each vertex's block from its end, so the most recent face comes first. The
    // corner before v (the source of the directed edge into v) goes to a parallel table. Both are
    // written at scattered places right away: huge pages save most of their page faults.
    const std::size_t total = ring.start[V];
    ring.entries.reserve(total);
    Prefer_Huge_Pages(ring.entries.data(), total * sizeof(int));
    ring.entries.resize(total);
    int* entry = ring.entries.data();
    const std::unique_ptr<int[]> incoming(new int[total]);
    Prefer_Huge_Pages(incoming.get(), total * sizeof(int));
    std::vector<std::uint32_t> cursor(ring.start.begin() + 1, ring.start.end());
    for (unsigned f = 0; f < F; ++f) {
        const int a = face[f][0], b = face[f][1], c = face[f][2];
        std::uint32_t slot = --cursor[a];
        entry[slot] = b, incoming[slot] = c;
        slot = --cursor[b];
        entry[slot] = c, incoming[slot] = a;
        slot = --cursor[c];
        entry[slot] = a, incoming[slot] = b;
    }

    // Boundary test. Opposite directed edges cancel one for one, so v starts an unmatched edge
    // exactly when some w != v has more edges v->w than w->v. A short ring compares its own
    // entries, which stay in cache; a long one counts both directions in a shared tally (the
    // cursor table, cleared when first needed), in time linear in its corners however high the
    // degree. Self edges are counted the same in both directions, so they never look unmatched.
    constexpr std::uint32_t kShortRing = 16;
    std::uint32_t* tally = nullptr;
    int* label = mesh.Vertex_Label.data();
    for (unsigned v = 0; v < V; ++v) {
        const std::uint32_t begin = ring.start[v], size = ring.start[v + 1] - begin;
        const int* out = entry + begin;
        const int* in = incoming.get() + begin;
        bool unmatched = false;
        if (size <= kShortRing) {
            for (std::uint32_t i = 0; i < size; ++i) {
                const int w = out[i];
                int excess = 0;
                for (std::uint32_t j = 0; j < size; ++j) excess += int(out[j] == w) - int(in[j] == w);
                unmatched |= excess > 0;
            }
        } else {
            if (!tally) {
                std::fill(cursor.begin(), cursor.end(), 0u);
                tally = cursor.data();
            }
            for (std::uint32_t i = 0; i < size; ++i) ++tally[out[i]];
            for (std::uint32_t i = 0; i < size; ++i) --tally[in[i]];
            for (std::uint32_t i = 0; i < size; ++i) {
                unmatched |= static_cast<std::int32_t>(tally[out[i]]) > 0;
                tally[out[i]] = 0;
            }
            for (std::uint32_t i = 0; i < size; ++i) tally[in[i]] = 0;
        }
        label[v] = unmatched ? -2 : 0;
    }

    for (unsigned v = 0; v < V; ++v) {
        if (label[v] != -2) continue;
        for (const int* w = ring.Begin(v); w != ring.End(v); ++w)
            if (label[*w] != -2) label[*w] = -1;
    }
}

void Compute_Box(UniOb& mesh) {
    if (mesh.IsEmpty()) return;
    mesh.Box_Min = mesh.Box_Max = mesh.Vertex_Pos[0];
    for (unsigned v = 1; v < mesh.Vertex_Count; ++v) {
        const Vec3& p = mesh.Vertex_Pos[v];
        for (int k = 0; k < 3; ++k) {
            if (p[k] > mesh.Box_Max[k]) mesh.Box_Max[k] = p[k];
            if (p[k] < mesh.Box_Min[k]) mesh.Box_Min[k] = p[k];
        }
    }
}

namespace {

void Set_Volume(UniOb& mesh, double volume, double area, const double sum[3]) {
    mesh.Volume = static_cast<float>(volume);
    mesh.Area = static_cast<float>(area);
    const double divisor = mesh.Volume > 0 ? 4.0 * volume : 1.0;
    for (int k = 0; k < 3; ++k) mesh.Volume_Centroid[k] = static_cast<float>(sum[k] / divisor);
}

}  // namespace

void Compute_Volume(UniOb& mesh) {
    if (mesh.IsEmpty()) return;
    double volume = 0.0, area = 0.0;
    double sum[3] = {0.0, 0.0, 0.0};
    const Vec3* pos = mesh.Vertex_Pos.data();
    const FaceIndex* face = mesh.Face_Index.data();
    const Vec3* normal = mesh.Face_Normal.data();
    const unsigned F = mesh.Face_Count;
    // The terms side by side; the sums stay in face order, so every bit is that of one sweep.
    const bool split = Range_Threads(F) > 1;
    const std::unique_ptr<double[]> tetra(split ? new (std::nothrow) double[F] : nullptr);
    const std::unique_ptr<float[]> areas(split && tetra ? new (std::nothrow) float[F] : nullptr);
    if (areas) {
        Run_Ranges(F, [&](std::size_t begin, std::size_t end) {
            for (std::size_t f = begin; f < end; ++f) {
                const FaceIndex& t = face[f];
                const Vec3 &A = pos[t[0]], &B = pos[t[1]], &C = pos[t[2]];
                tetra[f] = Signed_Tetra(A, B, C, normal[f]);
                areas[f] = Triangle_Area(A, B, C);
            }
        });
        Volume_From_Terms(mesh, tetra.get(), areas.get());
        return;
    }
    for (unsigned f = 0; f < F; ++f) {
        const FaceIndex& t = face[f];
        const Vec3 &A = pos[t[0]], &B = pos[t[1]], &C = pos[t[2]];
        const double h = Signed_Tetra(A, B, C, normal[f]);
        area += Triangle_Area(A, B, C);
        volume += h;
        for (int k = 0; k < 3; ++k) sum[k] += h * (double(A[k]) + B[k] + C[k]);
    }
    Set_Volume(mesh, volume, area, sum);
}

void Volume_From_Terms(UniOb& mesh, const double* tetra, const float* areas) {
    double volume = 0.0, area = 0.0;
    double sum[3] = {0.0, 0.0, 0.0};
    const Vec3* pos = mesh.Vertex_Pos.data();
    const FaceIndex* face = mesh.Face_Index.data();
    for (unsigned f = 0; f < mesh.Face_Count; ++f) {
        const FaceIndex& t = face[f];
        const Vec3 &A = pos[t[0]], &B = pos[t[1]], &C = pos[t[2]];
        const double h = tetra[f];
        area += areas[f];
        volume += h;
        for (int k = 0; k < 3; ++k) sum[k] += h * (double(A[k]) + B[k] + C[k]);
    }
    Set_Volume(mesh, volume, area, sum);
}

}  // namespace orvex
