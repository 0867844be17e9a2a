// Curvature-adaptive smoothing and the volume restoration that follows it.

#include "analysis/FairSmooth.h"

#include <cmath>
#include <vector>

#include "analysis/AreaSmooth.h"
#include "geometry/Vec3d.h"
#include "mesh/Topology.h"

namespace orvex {

namespace {

constexpr int kMaxSteps = 20;
constexpr double kTolerance = 1e-10;

// Compute_Volume divides the centroid sums by 4 x Volume only for a positive volume; a mesh
// wound inwards keeps the raw sums, which are no point to scale about.
bool Centroid_Of(const UniOb& mesh, Vec3d& c) {
    const double volume = mesh.Volume;
    if (!std::isfinite(volume) || volume == 0.0) return false;
    const Vec3& m = mesh.Volume_Centroid;
    const double divisor = volume > 0 ? 1.0 : 4.0 * volume;
    c = {m.x / divisor, m.y / divisor, m.z / divisor};
    return std::isfinite(c.x) && std::isfinite(c.y) && std::isfinite(c.z);
}

// |V0 - V| / |V0|, or -1 when the two volumes give no scale (zero, non-finite, opposite signs).
double Volume_Error(double initial, double volume) {
    if (!std::isfinite(initial) || !std::isfinite(volume) || initial == 0.0 || volume == 0.0) return -1.0;
    if ((initial > 0) != (volume > 0)) return -1.0;
    return std::fabs((initial - volume) / initial);
}

void Scale_About(UniOb& mesh, double s, const Vec3d& c) {
    const double t[3] = {(1.0 - s) * c.x, (1.0 - s) * c.y, (1.0 - s) * c.z};
    for (unsigned v = 0; v < mesh.Vertex_Count; ++v) {
        Vec3& p = mesh.Vertex_Pos[v];
        p.x = float(s * p.x + t[0]);
        p.y = float(s * p.y + t[1]);
        p.z = float(s * p.z + t[2]);
    }
}

double Signed_Volume(const UniOb& mesh) {
    const Vec3* pos = mesh.Vertex_Pos.data();
    double sum = 0.0;
    for (unsigned f = 0; f < mesh.Face_Count; ++f) {
        const FaceIndex& t = mesh.Face_Index[f];
        const Vec3 &A = pos[t[0]], &B = pos[t[1]], &C = pos[t[2]];
        sum += A.x * (double(B.y) * C.z - double(B.z) * C.y) + A.y * (double(B.z) * C.x - double(B.x) * C.z) +
               A.z * (double(B.x) * C.y - double(B.y) * C.x);
    }
    return sum / 6.0;
}

}  // namespace

int FairSmooth(UniOb& mesh, float factor, bool area_weighting, int method) {
    if (mesh.IsEmpty()) return 0;
    const unsigned V = mesh.Vertex_Count;

    Vec3d c;
    bool haveCentre = Centroid_Of(mesh, c);

    if (method == Smooth_Gaussian || method == Smooth_Gauss_Edge) {
        std::vector<float> self(V, 1.0f);
        if (mesh.HasCurvature() && mesh.Curvature_Max.size() == V && mesh.Curvature_Min.size() == V) {
            const float* kMax = mesh.Curvature_Max.data();
            const float* kMin = mesh.Curvature_Min.data();
            for (unsigned v = 0; v < V; ++v) {
                const float K = kMax[v] * kMin[v];
                if (method == Smooth_Gauss_Edge && std::fabs(K) < 1e-6f && kMax[v] + kMin[v] < -2e-6f)
                    continue;
                self[v] = std::exp(-std::fabs(K));
            }
        }
        Smooth_Pass(mesh, area_weighting, 0.0f, self.data());
    } else {
        Smooth_Pass(mesh, area_weighting, factor, nullptr);
    }

    // The volume the first scale needs, in double and without normals: the sum of the signed
    // tetrahedra to the origin.
    double volume = Signed_Volume(mesh);
    if (!haveCentre) {
        // A mesh that had no volume to scale about takes the centroid after the pass.
        Compute_Face_Normals(mesh);
        Compute_Volume(mesh);
        haveCentre = Centroid_Of(mesh, c);
    }

    const double initial = mesh.Volume_Initial;
    double error = Volume_Error(initial, volume);
    int steps = 0;
    if (haveCentre && error >= 0.0) {
        for (;;) {
            Scale_About(mesh, std::pow(initial / volume, 0.33333333333), c);
            // Scaling with s > 0 turns no face, so the normals of the first step give the volume's
            // signs for the later ones.
            if (steps == 0) Compute_Face_Normals(mesh);
            Compute_Volume(mesh);
            ++steps;
            volume = mesh.Volume;
            const double next = Volume_Error(initial, volume);
            // In float the error settles near 1e-8; a step that does not lower it ends the loop.
            if (next < 0.0 || next >= error) break;
            error = next;
            if (error <= kTolerance || steps >= kMaxSteps) break;
        }
        if (steps > 1) Compute_Face_Normals(mesh);
    } else {
        Compute_Face_Normals(mesh);
        Compute_Volume(mesh);
    }
    Compute_Box(mesh);
    Compute_Vertex_Normals(mesh, true);
    return steps;
}

}  // namespace orvex
