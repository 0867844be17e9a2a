#include "analysis/ReduceTriangles.h"

namespace orvex {

ReduceResult ReduceTriangles(UniOb& mesh, float thresholdDegrees, Progress* progress) {
    (void)progress;
    ReduceResult result;
    result.verticesBefore = mesh.Vertex_Count;
    result.facesBefore = mesh.Face_Count;
    (void)thresholdDegrees;
    return result;
}

}  // namespace orvex
