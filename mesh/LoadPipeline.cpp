// The load pipeline: the order of its results is fixed, the work is shared by two threads.

#include "mesh/LoadPipeline.h"

#include <atomic>

#include "analysis/Curvature.h"
#include "mesh/Topology.h"
#include "mesh/TwoThreads.h"

namespace orvex {

namespace {

// Below this a second thread costs more than it saves.
constexpr unsigned kThreadedFaces = 32768;

}  // namespace

// The rings and labels come from the faces alone and the box from the positions, so they are
// built beside the normals; the volume (it takes the signs of the face normals) goes to whichever
// thread is done first, the curvature waits for the vertex normals and the rings, and then both
// threads fit blocks of vertices. Every routine writes its own arrays, so the results are those of the
// routines run one by one.
void Run_Load_Pipeline(UniOb& mesh, Progress* progress) {
    if (mesh.IsEmpty()) return;
    Report_Progress(progress, 0.0, "Normals");
    const unsigned V = mesh.Vertex_Count;
    if (mesh.Curvature_Max.size() != V || mesh.Curvature_Min.size() != V) mesh.AllocCurvature(V);
    enum : int { kPending, kDone, kFailed };
    std::atomic<int> faceNormals{kPending}, vertexNormals{kPending}, rings{kPending};
    std::atomic<bool> sideRunning{false}, volumeTaken{false};
    std::atomic<unsigned> nextBlock{0};
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
    auto volume = [&] {
        if (volumeTaken.exchange(true, std::memory_order_acq_rel)) return true;
        if (!await(faceNormals)) return false;
        Compute_Volume(mesh);
        return true;
    };
    Run_Beside(
        mesh.Face_Count >= kThreadedFaces,
        [&] {
            sideRunning.store(true, std::memory_order_release);
            run(rings, [&] { Build_Rings(mesh); });
            Compute_Box(mesh);
            if (volume() && await(vertexNormals)) Fit_Curvature_Blocks(mesh, nextBlock, nullptr);
        },
        [&] {
            run(faceNormals, [&] { Compute_Face_Normals(mesh); });
            run(vertexNormals, [&] { Compute_Vertex_Normals(mesh, true); });
            volume();
            // Without a second thread (or before it started) the rings come after this: the blocks
            // are then all left to the other part.
            if (sideRunning.load(std::memory_order_acquire) && await(rings))
                Fit_Curvature_Blocks(mesh, nextBlock, progress);
        });
    Report_Progress(progress, 1.0, "Curvature");
    mesh.Volume_Initial = mesh.Volume;
}

}  // namespace orvex
