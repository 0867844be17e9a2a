// Principal axes from the face-centroid scatter, and the extents of the vertices along them.

#include "analysis/PrincipalAxes.h"

#include "geometry/Eigen.h"

namespace orvex {

void PrincipalAxesBox(UniOb& mesh) {
    if (mesh.IsEmpty()) return;
    const Vec3* pos = mesh.Vertex_Pos.data();
    auto centroidOf = [&](const FaceIndex& t) {
        const Vec3 &A = pos[t[0]], &B = pos[t[1]], &C = pos[t[2]];
        return Vec3{(A.x + B.x + C.x) / 3.0f, (A.y + B.y + C.y) / 3.0f, (A.z + B.z + C.z) / 3.0f};
    };
    // Faces weigh by their area; a mesh of degenerate faces only falls back to equal weights.
    double weighted[3] = {0.0, 0.0, 0.0}, plain[3] = {0.0, 0.0, 0.0};
    double totalArea = 0.0;
    for (const FaceIndex& t : mesh.Face_Index) {
        const double area = Triangle_Area(pos[t[0]], pos[t[1]], pos[t[2]]);
        const Vec3 c = centroidOf(t);
        for (int k = 0; k < 3; ++k) {
            weighted[k] += area * c[k];
            plain[k] += c[k];
        }
        totalArea += area;
    }
    const bool equalWeights = !(totalArea > 0.0);
    double mean[3];
    for (int k = 0; k < 3; ++k) mean[k] = equalWeights ? plain[k] / mesh.Face_Count : weighted[k] / totalArea;
    auto weightOf = [&](const FaceIndex& t) {
        return equalWeights ? 1.0 : double(Triangle_Area(pos[t[0]], pos[t[1]], pos[t[2]]));
    };

    double scatter[3][3] = {};
    for (const FaceIndex& t : mesh.Face_Index) {
        const double w = weightOf(t);
        const Vec3 c = centroidOf(t);
        const double d[3] = {c.x - mean[0], c.y - mean[1], c.z - mean[2]};
        for (int r = 0; r < 3; ++r)
            for (int s = 0; s < 3; ++s) scatter[r][s] += w * d[r] * d[s];
    }
    float matrix[9];
    for (int r = 0; r < 3; ++r)
        for (int s = 0; s < 3; ++s) matrix[3 * r + s] = static_cast<float>(scatter[r][s]);

    Eigen eigen(3);
    eigen.SetMatrix(matrix);
    eigen.Solve();
    for (int k = 0; k < 3; ++k)
        mesh.Principal_Axes[k] = Vec3{eigen.Get(0, k), eigen.Get(1, k), eigen.Get(2, k)};

    for (unsigned v = 0; v < mesh.Vertex_Count; ++v) {
        const Vec3 d = pos[v] - mesh.Volume_Centroid;
        for (int k = 0; k < 3; ++k) {
            const float p = Dot(d, mesh.Principal_Axes[k]);
            float& lo = mesh.Axes_Extent[2 * k];
            float& hi = mesh.Axes_Extent[2 * k + 1];
            if (v == 0) {
                lo = hi = p;
            } else {
                if (p < lo) lo = p;
                if (p > hi) hi = p;
            }
        }
    }
}

}  // namespace orvex
