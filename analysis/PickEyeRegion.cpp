#include "analysis/PickEyeRegion.h"

#include <cmath>

namespace orvex {

bool PickEyeRegion(const UniOb& mesh, float u, float v, VEC_LIST*& eye) {
    if (mesh.Vertex_Count == 0 || mesh.Tex_Coord.size() < mesh.Vertex_Count) return false;
    unsigned nearest = 0;
    float best = 1e10f;
    for (unsigned i = 0; i < mesh.Vertex_Count; ++i) {
        const float du = mesh.Tex_Coord[i][0] - u;
        const float dv = mesh.Tex_Coord[i][1] - v;
        const float d2 = du * du + dv * dv;
        if (d2 <= 1e-10f) continue;
        const float d = std::sqrt(d2);
        if (d < best) {
            best = d;
            nearest = i;
        }
        if (best < 0.001f) break;
    }
    const Vec3& at = mesh.Vertex_Pos[nearest];
    VEC_LIST* found = nullptr;
    float closest = 1e10f;
    for (VEC_LIST* record = mesh.Region_List; record; record = record->next) {
        const float d = Point_Distance({record->values[0], record->values[1], record->values[2]}, at);
        if (d < closest) {
            closest = d;
            found = record;
        }
    }
    if (!found) {
        // Every centre is NaN or farther than 1e10: as with an empty list, nothing is picked.
        return false;
    }
    eye = found;
    return true;
}

}  // namespace orvex
