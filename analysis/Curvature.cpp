// Quadric-fit curvature: per vertex, least squares of h = a x^2 + 2b xy + c y^2 over the ring.

#include "analysis/Curvature.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <utility>

#include "mesh/Topology.h"
#include "mesh/TwoThreads.h"

namespace orvex {

namespace {

constexpr unsigned kBlock = 4096;
constexpr unsigned kBlocksPerReport = 64;
// Below this a second thread costs more than it saves.
constexpr unsigned kThreadedVertices = 16384;

// Tangent_Frame's normalisation, here so that the fit of a vertex is one inlined loop.
inline void Normalize(Vec3& v) {
    const double q = double(v.x) * v.x + double(v.y) * v.y + double(v.z) * v.z;
    if (q > 0.0) {
        const double l = std::sqrt(q) * 1.000000000001;
        v.x = float(v.x / l);
        v.y = float(v.y / l);
        v.z = float(v.z / l);
    }
}

// Gauss_Solve for three unknowns, step for step (the same pivots, roundings and cancellation
// cut-off), unrolled: the general routine's loops and call were a third of the fit.
inline bool Solve3(float (&a)[3][4]) {
    constexpr double kCancel = 2.38418e-7;
    for (int i = 0; i < 2; ++i) {
        int p = i;
        for (int r = i + 1; r < 3; ++r)
            if (std::fabs(a[r][i]) > std::fabs(a[p][i])) p = r;
        if (p != i)
            for (int k = 0; k < 4; ++k) std::swap(a[i][k], a[p][k]);
        const float pivot = a[i][i];
        if (pivot == 0.0f) continue;
        for (int j = i + 1; j < 3; ++j) {
            const float factor = a[j][i] / pivot;
            for (int k = i + 1; k < 4; ++k) {
                const float old = a[j][k];
                const float value = old - a[i][k] * factor;
                a[j][k] = kCancel * old > std::fabs(value) ? 0.0f : value;
            }
        }
    }
    if (a[0][0] == 0.0f || a[1][1] == 0.0f || a[2][2] == 0.0f) return false;
    double x[3];
    for (int i = 2; i >= 0; --i) {
        double sum = a[i][3];
        for (int j = i + 1; j < 3; ++j) sum -= double(a[i][j]) * x[j];
        x[i] = sum / double(a[i][i]);
    }
    for (int i = 0; i < 3; ++i)
        if (!std::isfinite(float(x[i]))) return false;
    for (int i = 0; i < 3; ++i) a[i][3] = float(x[i]);
    return true;
}

// The fit of one vertex; false when the normal equations are singular.
inline bool FitVertex(const Vec3* pos, const int* u, const int* end, const Vec3& p, const Vec3& n,
                      float& kMax, float& kMin) {
    // Tangent_Frame (n x (-n.y, n.z, -n.x), then n x e1, each normalised).
    Vec3 e1 = Cross(n, Vec3{-n.y, n.z, -n.x});
    Normalize(e1);
    Vec3 e2 = Cross(n, e1);
    Normalize(e2);

    // The normal equations are summed entry by entry, so no per-ring design matrix is needed.
    // Products commute exactly, so the lower triangle is a copy of the upper one.
    float m00 = 0, m01 = 0, m02 = 0, m11 = 0, m12 = 0, m22 = 0, r0 = 0, r1 = 0, r2 = 0;
    for (; u != end; ++u) {
        const Vec3 d = pos[*u] - p;
        const float x = Dot(d, e1);
        const float y = Dot(d, e2);
        const float h = -Dot(d, n);
        const float q0 = x * x, q1 = 2.0f * x * y, q2 = y * y;
        m00 += q0 * q0, m01 += q0 * q1, m02 += q0 * q2;
        m11 += q1 * q1, m12 += q1 * q2, m22 += q2 * q2;
        r0 += q0 * h, r1 += q1 * h, r2 += q2 * h;
    }
    float system[3][4] = {{m00, m01, m02, r0}, {m01, m11, m12, r1}, {m02, m12, m22, r2}};
    if (!Solve3(system)) return false;
    const float a = system[0][3], b = system[1][3], c = system[2][3];
    if (!std::isfinite(a) || !std::isfinite(b) || !std::isfinite(c)) return false;

    const float trace = a + c;
    const float disc = trace * trace - 4.0f * (a * c - b * b);
    const float s = disc > 1e-8f ? std::sqrt(disc) : 0.0f;
    kMax = (trace + s) * 0.5f;
    kMin = (trace - s) * 0.5f;
    return std::isfinite(kMax) && std::isfinite(kMin);
}

}  // namespace

void ComputeCurvature(UniOb& mesh, Progress* progress) {
    if (mesh.IsEmpty()) return;
    Build_Rings(mesh);
    Fit_Curvature(mesh, progress);
}

void Fit_Curvature_Range(UniOb& mesh, unsigned begin, unsigned end) {
    const Vec3* pos = mesh.Vertex_Pos.data();
    const Vec3* normal = mesh.Vertex_Normal.data();
    const int* label = mesh.Vertex_Label.data();
    const std::uint32_t* start = mesh.Vertex_Ring.start.data();
    const int* entries = mesh.Vertex_Ring.entries.data();
    float* curvatureMax = mesh.Curvature_Max.data();
    float* curvatureMin = mesh.Curvature_Min.data();
    for (unsigned v = begin; v < end; ++v) {
        float kMax = 0.0f, kMin = 0.0f;
        // A boundary vertex shows 0 whatever its fit would give, so it is not fitted at all.
        if (label[v] >= 0 &&
            !FitVertex(pos, entries + start[v], entries + start[v + 1], pos[v], normal[v], kMax, kMin))
            kMax = kMin = 0.0f;
        curvatureMax[v] = kMax;
        curvatureMin[v] = kMin;
    }
}

void Fit_Curvature_Blocks(UniOb& mesh, std::atomic<unsigned>& nextBlock, Progress* progress) {
    const unsigned V = mesh.Vertex_Count;
    const unsigned blocks = (V + kBlock - 1) / kBlock;
    for (unsigned b; (b = nextBlock.fetch_add(1, std::memory_order_relaxed)) < blocks;) {
        Fit_Curvature_Range(mesh, b * kBlock, std::min(V, (b + 1) * kBlock));
        if (progress && (b + 1) % kBlocksPerReport == 0)
            Report_Progress(progress, std::min(1.0, double(b + 1) / blocks), "Curvature");
    }
}

// Every vertex is fitted on its own, so two threads taking blocks of vertices in turn give the
// same numbers as one.
void Fit_Curvature(UniOb& mesh, Progress* progress) {
    if (mesh.IsEmpty()) return;
    const unsigned V = mesh.Vertex_Count;
    if (mesh.Curvature_Max.size() != V || mesh.Curvature_Min.size() != V) mesh.AllocCurvature(V);
    std::atomic<unsigned> nextBlock{0};
    // Progress is reported from the calling thread only: a window's report repaints.
    Run_Beside(
        V >= kThreadedVertices, [&] { Fit_Curvature_Blocks(mesh, nextBlock, nullptr); },
        [&] { Fit_Curvature_Blocks(mesh, nextBlock, progress); });
    Report_Progress(progress, 1.0, "Curvature");
}

}  // namespace orvex
