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
// built beside the normals; the volume waits for the face normals (it takes their signs). Every
// routine writes its own arrays, so the results are those of the routines run one by one.
void Run_Load_Pipeline(UniOb& mesh, Progress* progress) {
    if (mesh.IsEmpty()) return;
    Report_Progress(progress, 0.0, "Normals");
    enum : int { kPending, kDone, kFailed };
    std::atomic<int> faceNormals{kPending};
    Run_Beside(
        mesh.Face_Count >= kThreadedFaces,
        [&] {
            Build_Rings(mesh);
            Compute_Box(mesh);
            faceNormals.wait(kPending, std::memory_order_acquire);
            if (faceNormals.load(std::memory_order_acquire) == kDone) Compute_Volume(mesh);
        },
        [&] {
            try {
                Compute_Face_Normals(mesh);
            } catch (...) {
                faceNormals.store(kFailed, std::memory_order_release);
                faceNormals.notify_one();
                throw;
            }
            faceNormals.store(kDone, std::memory_order_release);
            faceNormals.notify_one();
            Compute_Vertex_Normals(mesh, true);
        });
    Fit_Curvature(mesh, progress);
    mesh.Volume_Initial = mesh.Volume;
}

}  // namespace orvex
