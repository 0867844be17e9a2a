// Quadric-fit curvature: per vertex, least squares of h = a x^2 + 2b xy + c y^2 over the ring.

#include "analysis/Curvature.h"

#include <algorithm>
#include <atomic>
#include <cmath>

#include "geometry/LinearAlgebra.h"
#include "mesh/Topology.h"
#include "mesh/TwoThreads.h"

namespace orvex {

namespace {

constexpr unsigned kBlock = 4096;
constexpr unsigned kBlocksPerReport = 64;
// Below this a second thread costs more than it saves.
constexpr unsigned kThreadedVertices = 16384;

// The fit of one vertex; false when the normal equations are singular.
bool FitVertex(const UniOb& mesh, unsigned v, float& kMax, float& kMin) {
    const Vec3& n = mesh.Vertex_Normal[v];
    const Vec3& p = mesh.Vertex_Pos[v];
    Vec3 e1, e2;
    Tangent_Frame(n, e1, e2);

    // The normal equations are summed entry by entry, so no per-ring design matrix is needed.
    // Products commute exactly, so the lower triangle is a copy of the upper one.
    float m00 = 0, m01 = 0, m02 = 0, m11 = 0, m12 = 0, m22 = 0, r0 = 0, r1 = 0, r2 = 0;
    const VertexRing& ring = mesh.Vertex_Ring;
    const Vec3* pos = mesh.Vertex_Pos.data();
    for (const int* u = ring.Begin(v); u != ring.End(v); ++u) {
        const Vec3 d = pos[*u] - p;
        const float x = Dot(d, e1);
        const float y = Dot(d, e2);
        const float h = -Dot(d, n);
        const float q0 = x * x, q1 = 2.0f * x * y, q2 = y * y;
        m00 += q0 * q0, m01 += q0 * q1, m02 += q0 * q2;
        m11 += q1 * q1, m12 += q1 * q2, m22 += q2 * q2;
        r0 += q0 * h, r1 += q1 * h, r2 += q2 * h;
    }
    float system[12] = {m00, m01, m02, r0, m01, m11, m12, r1, m02, m12, m22, r2};
    if (!Gauss_Solve(3, system)) return false;
    const float a = system[3], b = system[7], c = system[11];
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

// Every vertex is fitted on its own, so two threads taking blocks of vertices in turn give the
// same numbers as one.
void Fit_Curvature(UniOb& mesh, Progress* progress) {
    if (mesh.IsEmpty()) return;
    const unsigned V = mesh.Vertex_Count;
    if (mesh.Curvature_Max.size() != V || mesh.Curvature_Min.size() != V) mesh.AllocCurvature(V);

    std::atomic<unsigned> nextBlock{0};
    const unsigned blocks = (V + kBlock - 1) / kBlock;
    auto fitBlocks = [&mesh, &nextBlock, blocks, V](Progress* report) {
        for (unsigned b; (b = nextBlock.fetch_add(1, std::memory_order_relaxed)) < blocks;) {
            const unsigned end = std::min(V, (b + 1) * kBlock);
            for (unsigned v = b * kBlock; v < end; ++v) {
                float kMax = 0.0f, kMin = 0.0f;
                // A boundary vertex shows 0 whatever its fit would give, so it is not fitted at all.
                if (mesh.Vertex_Label[v] >= 0 && !FitVertex(mesh, v, kMax, kMin)) kMax = kMin = 0.0f;
                mesh.Curvature_Max[v] = kMax;
                mesh.Curvature_Min[v] = kMin;
            }
            if (report && (b + 1) % kBlocksPerReport == 0)
                Report_Progress(report, std::min(1.0, double(b + 1) / blocks), "Curvature");
        }
    };
    // Progress is reported from the calling thread only: a window's report repaints.
    Run_Beside(
        V >= kThreadedVertices, [&] { fitBlocks(nullptr); }, [&] { fitBlocks(progress); });
    Report_Progress(progress, 1.0, "Curvature");
}

}  // namespace orvex
