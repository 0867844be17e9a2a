// Orientation reversal and the derived data that follows it.

#include "analysis/ReverseOrientation.h"

#include <utility>

#include "mesh/Topology.h"

namespace orvex {

void ReverseOrientation(UniOb& mesh) {
    if (mesh.IsEmpty()) return;
    for (unsigned f = 0; f < mesh.Face_Count; ++f) std::swap(mesh.Face_Index[f][1], mesh.Face_Index[f][2]);

    // Swapped cross products and sums of negated terms are the exact negations, so this is
    // bit for bit what recomputing would give.
    for (unsigned f = 0; f < mesh.Face_Count && f < mesh.Face_Normal.size(); ++f)
        mesh.Face_Normal[f] = mesh.Face_Normal[f] * -1.0f;
    for (unsigned v = 0; v < mesh.Vertex_Count && v < mesh.Vertex_Normal.size(); ++v)
        mesh.Vertex_Normal[v] = mesh.Vertex_Normal[v] * -1.0f;
    if (mesh.Curvature_Max.size() == mesh.Vertex_Count && mesh.Curvature_Min.size() == mesh.Vertex_Count) {
        for (unsigned v = 0; v < mesh.Vertex_Count; ++v) {
            const float kMax = mesh.Curvature_Max[v];
            mesh.Curvature_Max[v] = -mesh.Curvature_Min[v];
            mesh.Curvature_Min[v] = -kMax;
        }
    }

    // The same solid seen from the other side: restoring a reversed mesh aims at the negated
    // load volume. The centroid is stored divided only for a positive volume.
    const double volume = mesh.Volume;
    Vec3& c = mesh.Volume_Centroid;
    if (volume > 0) {
        const double sums = -4.0 * volume;  // new raw sums = -(c x 4V)
        c = {float(c.x * sums), float(c.y * sums), float(c.z * sums)};
    } else if (volume < 0) {
        const double divisor = 4.0 * volume;  // -sums / (4 x -V)
        c = {float(c.x / divisor), float(c.y / divisor), float(c.z / divisor)};
    } else {
        c = c * -1.0f;
    }
    mesh.Volume = -mesh.Volume;
    mesh.Volume_Initial = -mesh.Volume_Initial;

    // The ring entries are the corner after each vertex, which the reversal changed.
    if (mesh.Vertex_Ring.IsBuilt()) Build_Rings(mesh);
}

}  // namespace orvex
