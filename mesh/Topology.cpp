// Normals, one-ring lists, boundary labels and measures of a mesh.

#include "mesh/Topology.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>
#include <vector>

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

namespace {

// The sums are of unit normals and angles, so the cut-off is no length: faces that cancel (a sheet
// folded back on itself) leave rounding residue with no direction, not a normal.
void Normalize_Vertex_Normals(UniOb& mesh) {
    Vec3* normal = mesh.Vertex_Normal.data();
    Run_Ranges(mesh.Vertex_Count, [&](std::size_t begin, std::size_t end) {
        for (std::size_t v = begin; v < end; ++v) {
            const Vec3& n = normal[v];
            if (double(n.x) * n.x + double(n.y) * n.y + double(n.z) * n.z <= 1e-12)
                normal[v] = Vec3{};
            else
                Vec3_Normalize(normal[v]);
        }
    });
}

}  // namespace

void Vertex_Normals_From_Angles(UniOb& mesh, const float* angles) {
    if (mesh.IsEmpty()) return;
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
    // corner before v (the source of the directed edge into v) goes to a parallel table.
    const std::size_t total = ring.start[V];
    ring.entries.resize(total);
    int* entry = ring.entries.data();
    const std::unique_ptr<int[]> incoming(new int[total]);
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
    // exactly when some w != v has more edges v->w than w->v. Counting both directions per
    // vertex in a shared tally gives that in time linear in the number of corners, however
    // high a vertex's degree. The tally reuses the cursor table.
    std::fill(cursor.begin(), cursor.end(), 0u);
    std::uint32_t* tally = cursor.data();
    int* label = mesh.Vertex_Label.data();
    for (unsigned v = 0; v < V; ++v) {
        const int* out = entry + ring.start[v];
        const int* outEnd = entry + ring.start[v + 1];
        const int* in = incoming.get() + ring.start[v];
        const int* inEnd = incoming.get() + ring.start[v + 1];
        for (const int* w = out; w != outEnd; ++w) ++tally[*w];
        for (const int* u = in; u != inEnd; ++u) --tally[*u];
        // Self edges are counted the same in both directions, so they never look unmatched.
        bool unmatched = false;
        for (const int* w = out; w != outEnd; ++w) {
            unmatched |= static_cast<std::int32_t>(tally[*w]) > 0;
            tally[*w] = 0;
        }
        for (const int* u = in; u != inEnd; ++u) tally[*u] = 0;
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

// Triple products and sums in double: a mesh far from the origin adds large tetrahedra of both
// signs, and in float the cancellation would swamp the enclosed volume.
void Compute_Volume(UniOb& mesh) {
    if (mesh.IsEmpty()) return;
    double volume = 0.0, area = 0.0;
    double sum[3] = {0.0, 0.0, 0.0};
    const Vec3* pos = mesh.Vertex_Pos.data();
    const FaceIndex* face = mesh.Face_Index.data();
    const Vec3* normal = mesh.Face_Normal.data();
    const unsigned F = mesh.Face_Count;
    // The face's tetrahedron, signed by its stored normal.
    auto signedSixth = [&](const Vec3& A, const Vec3& B, const Vec3& C, const Vec3& n) {
        const double bc[3] = {double(B.y) * C.z - double(B.z) * C.y, double(B.z) * C.x - double(B.x) * C.z,
                              double(B.x) * C.y - double(B.y) * C.x};
        double triple = A.x * bc[0] + A.y * bc[1] + A.z * bc[2];
        if (triple < 0) triple = -triple;
        const double a6 = triple / 6.0;
        const double facing = double(A.x) * n.x + double(A.y) * n.y + double(A.z) * n.z;
        return facing >= 0 ? a6 : -a6;
    };
    // The terms side by side; the sums stay in face order, so every bit is that of one sweep.
    const bool split = Range_Threads(F) > 1;
    const std::unique_ptr<double[]> tetra(split ? new (std::nothrow) double[F] : nullptr);
    const std::unique_ptr<float[]> areas(split && tetra ? new (std::nothrow) float[F] : nullptr);
    if (areas) {
        Run_Ranges(F, [&](std::size_t begin, std::size_t end) {
            for (std::size_t f = begin; f < end; ++f) {
                const FaceIndex& t = face[f];
                const Vec3 &A = pos[t[0]], &B = pos[t[1]], &C = pos[t[2]];
                tetra[f] = signedSixth(A, B, C, normal[f]);
                areas[f] = Triangle_Area(A, B, C);
            }
        });
        Volume_From_Terms(mesh, tetra.get(), areas.get());
        return;
    }
    for (unsigned f = 0; f < F; ++f) {
        const FaceIndex& t = face[f];
        const Vec3 &A = pos[t[0]], &B = pos[t[1]], &C = pos[t[2]];
        const double h = signedSixth(A, B, C, normal[f]);
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
