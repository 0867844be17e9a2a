// The load pipeline in its fixed order.

#include "mesh/LoadPipeline.h"

#include "analysis/Curvature.h"
#include "mesh/Topology.h"

namespace orvex {

void Run_Load_Pipeline(UniOb& mesh, Progress* progress) {
    if (mesh.IsEmpty()) return;
    Report_Progress(progress, 0.0, "Normals");
    Compute_Face_Normals(mesh);
    Compute_Vertex_Normals(mesh, true);
    // ComputeCurvature builds the rings and labels itself, from the same faces and before it reads
    // them; nothing in between uses them, so building them here as well would only repeat it.
    ComputeCurvature(mesh, progress);
    Compute_Box(mesh);
    Compute_Volume(mesh);
    mesh.Volume_Initial = mesh.Volume;
}

}  // namespace orvex
