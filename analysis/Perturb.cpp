// Random perturbation of the vertex positions.

#include "analysis/Perturb.h"

#include <cmath>

#include "geometry/Random.h"

namespace orvex {

void Perturb(UniOb& mesh, float amplitude) {
    if (mesh.IsEmpty() || !std::isfinite(amplitude)) return;
    const long double a = amplitude;
    for (unsigned v = 0; v < mesh.Vertex_Count; ++v) {
        Vec3& p = mesh.Vertex_Pos[v];
        for (int k = 0; k < 3; ++k) p[k] = float(p[k] + Random_Uniform(-a, a));
    }
}

}  // namespace orvex
