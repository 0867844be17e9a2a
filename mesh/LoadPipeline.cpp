// The load pipeline: the order of its results is fixed, the work is shared by two threads.

#include "mesh/LoadPipeline.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <new>

#include "analysis/Curvature.h"
#include "mesh/HugePages.h"
#include "mesh/Topology.h"
#include "mesh/TwoThreads.h"

namespace orvex {

namespace {

// Below this a second thread costs more than it saves.
constexpr unsigned kThreadedFaces = 32768;
constexpr unsigned kFaceBlock = 8192;
constexpr unsigned kVertexBlock = 4096;
constexpr unsigned kBlocksPerReport = 32;

template <class T>
std::unique_ptr<T[]> Table(std::size_t count) {
    std::unique_ptr<T[]> table(new (std::nothrow) T[count]);
    if (table) Prefer_Huge_Pages(table.get(), count * sizeof(T));
    return table;
}

}  // namespace

bool LoadFaceTerms::Allocate(unsigned faces) {
    areas = Table<float>(faces);
    tetra = Table<double>(faces);
    angles = Table<float>(3 * std::size_t(faces));
    done = 0;
    stale.clear();
    if (areas && tetra && angles) return true;
    areas.reset();
    tetra.reset();
    angles.reset();
    return false;
}

void Run_Load_Pipeline(UniOb& mesh, Progress* progress) {
    LoadFaceTerms terms;
    Run_Load_Pipeline(mesh, progress, terms);
}

// One sweep over the faces takes every face's normal, area, tetrahedron and corner angles, in
// blocks shared by both threads; the rings, labels and box come from the faces and positions
// alone, so the second thread builds them first. Then the sums that must run in face order go one
// to each thread (vertex normals, volume), and both threads take blocks of vertices, making each
// vertex normal unit and fitting its curvature. Every value is computed as the routines one by
// one compute it, so the results are theirs.
void Run_Load_Pipeline(UniOb& mesh, Progress* progress, LoadFaceTerms& terms) {
    if (mesh.IsEmpty()) return;
    Report_Progress(progress, 0.0, "Normals");
    const unsigned V = mesh.Vertex_Count, F = mesh.Face_Count;
    if (mesh.Curvature_Max.size() != V || mesh.Curvature_Min.size() != V) mesh.AllocCurvature(V);
    if (!terms.areas || terms.done > F) terms.Allocate(F);
    if (!terms.areas) {
        // No room for the tables: the routines one by one need none.
        Compute_Face_Normals(mesh);
        Compute_Vertex_Normals(mesh, true);
        Build_Rings(mesh);
        Fit_Curvature(mesh, progress);
        Compute_Box(mesh);
        Compute_Volume(mesh);
    } else {
        float* const areas = terms.areas.get();
        double* const tetra = terms.tetra.get();
        float* const angles = terms.angles.get();
        for (const unsigned f : terms.stale) Face_Terms(mesh, f, f + 1, areas, tetra, angles);
        // The blocks start after the faces taken ahead.
        const unsigned first = terms.done;
        const unsigned faceBlocks = (F - first + kFaceBlock - 1) / kFaceBlock;
        const unsigned vertexBlocks = (V + kVertexBlock - 1) / kVertexBlock;
        std::atomic<unsigned> nextFaceBlock{0}, facesDone{0}, nextVertexBlock{0};
        enum : int { kPending, kDone, kFailed };
        std::atomic<int> sums{kPending}, rings{kPending};
        std::atomic<bool> sideRunning{false};
        // A stage that throws says so, or the other thread would wait for it for ever.
        auto run = [](std::atomic<int>& stage, auto&& work) {
            try {
                work();
            } catch (...) {
                stage.store(kFailed, std::memory_order_release);
                stage.notify_all();
                throw;
            }
            stage.store(kDone, std::memory_order_release);
            stage.notify_all();
        };
        auto await = [](std::atomic<int>& stage) {
            stage.wait(kPending, std::memory_order_acquire);
            return stage.load(std::memory_order_acquire) == kDone;
        };
        // Each thread counts its face blocks once none is left, so the count is complete only
        // when every block taken is written.
        auto sweepFaces = [&] {
            unsigned mine = 0;
            for (unsigned b; (b = nextFaceBlock.fetch_add(1, std::memory_order_relaxed)) < faceBlocks; ++mine)
                Face_Terms(mesh, first + b * kFaceBlock, first + std::min(F - first, (b + 1) * kFaceBlock),
                           areas, tetra, angles);
            if (mine > 0) {
                facesDone.fetch_add(mine, std::memory_order_acq_rel);
                facesDone.notify_all();
            }
            for (unsigned seen; (seen = facesDone.load(std::memory_order_acquire)) < faceBlocks;)
                facesDone.wait(seen, std::memory_order_acquire);
        };
        auto fitVertices = [&](Progress* report) {
            for (unsigned b; (b = nextVertexBlock.fetch_add(1, std::memory_order_relaxed)) < vertexBlocks;) {
                const unsigned begin = b * kVertexBlock, end = std::min(V, begin + kVertexBlock);
                Normalize_Vertex_Normals(mesh, begin, end);
                Fit_Curvature_Range(mesh, begin, end);
                if (report && (b + 1) % kBlocksPerReport == 0)
                    Report_Progress(report, double(b + 1) / vertexBlocks, "Curvature");
            }
        };
        Run_Beside(
            F >= kThreadedFaces,
            [&] {
                sideRunning.store(true, std::memory_order_release);
                run(rings, [&] { Build_Rings(mesh); });
                Compute_Box(mesh);
                sweepFaces();
                Volume_From_Terms(mesh, tetra, areas);
                if (await(sums)) fitVertices(nullptr);
            },
            [&] {
                sweepFaces();
                run(sums, [&] { Sum_Vertex_Normals(mesh, angles); });
                // Without a second thread (or before it started) the rings come after this: the
                // vertices are then all left to the other part.
                if (sideRunning.load(std::memory_order_acquire) && await(rings)) fitVertices(progress);
            });
    }
    Report_Progress(progress, 1.0, "Curvature");
    mesh.Volume_Initial = mesh.Volume;
}

}  // namespace orvex
