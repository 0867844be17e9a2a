// Curvature-adaptive smoothing and the volume restoration that follows it.

#include "analysis/FairSmooth.h"

#include <cmath>
#include <memory>
#include <new>
#include <vector>

#include "analysis/AreaSmooth.h"
#include "geometry/Vec3d.h"
#include "mesh/FaceMeasures.h"
#include "mesh/ThreadRanges.h"
#include "mesh/Topology.h"
#include "mesh/TwoThreads.h"

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

// Also leaves the box of the scaled mesh, as Compute_Box would find it: each range folds its vertices
// into a box started at the first vertex, and the ranges' boxes are folded in order with the same
// strict comparisons, so ties and signed zeros resolve as in one sweep.
void Scale_About(UniOb& mesh, double s, const Vec3d& c) {
    const double t[3] = {(1.0 - s) * c.x, (1.0 - s) * c.y, (1.0 - s) * c.z};
    Vec3* pos = mesh.Vertex_Pos.data();
    auto scaled = [&](const Vec3& p) {
        return Vec3{float(s * p.x + t[0]), float(s * p.y + t[1]), float(s * p.z + t[2])};
    };
    struct Box {
        Vec3 lo, hi;
    };
    auto fold = [](Box& box, const Vec3& p) {
        for (int k = 0; k < 3; ++k) {
            if (p[k] > box.hi[k]) box.hi[k] = p[k];
            if (p[k] < box.lo[k]) box.lo[k] = p[k];
        }
    };
    const Vec3 first = scaled(pos[0]);
    const unsigned threads = Range_Threads(mesh.Vertex_Count);
    std::vector<Box> boxes(threads, Box{first, first});
    const std::size_t V = mesh.Vertex_Count;
    Run_Ranges(V, [&](std::size_t begin, std::size_t end) {
        unsigned range = 0;  // Run_Ranges starts range i at V x i / threads
        while (range + 1 < threads && V * (range + 1) / threads <= begin) ++range;
        Box& box = boxes[range];
        for (std::size_t v = begin; v < end; ++v) {
            pos[v] = scaled(pos[v]);
            fold(box, pos[v]);
        }
    });
    Box box = boxes[0];
    for (unsigned i = 1; i < threads; ++i) {
        for (int k = 0; k < 3; ++k) {
            if (boxes[i].hi[k] > box.hi[k]) box.hi[k] = boxes[i].hi[k];
            if (boxes[i].lo[k] < box.lo[k]) box.lo[k] = boxes[i].lo[k];
        }
    }
    mesh.Box_Min = box.lo;
    mesh.Box_Max = box.hi;
}

// work(begin, end) fills terms[begin, end) over ranges side by side; returns the terms' sum in
// face order. The caller's thread, which has the first range, sums it while the others still run.
template <class Work>
double Run_And_Sum(std::size_t count, const double* terms, Work&& work) {
    double sum = 0.0;
    std::size_t summed = 0;
    Run_Ranges(count, [&](std::size_t begin, std::size_t end) {
        work(begin, end);
        if (begin != 0) return;
        for (std::size_t f = 0; f < end; ++f) sum += terms[f];
        summed = end;
    });
    for (std::size_t f = summed; f < count; ++f) sum += terms[f];
    return sum;
}

// Per-face terms side by side, their sum in face order: the same bits as one sweep, which is what
// runs without room for the terms.
template <class Term>
double Ordered_Sum(const UniOb& mesh, double* terms, Term&& term) {
    const unsigned F = mesh.Face_Count;
    if (!terms) {
        double sum = 0.0;
        for (unsigned f = 0; f < F; ++f) sum += term(std::size_t(f));
        return sum;
    }
    Run_Ranges(F, [&](std::size_t begin, std::size_t end) {
        for (std::size_t f = begin; f < end; ++f) terms[f] = term(f);
    });
    double sum = 0.0;
    for (unsigned f = 0; f < F; ++f) sum += terms[f];
    return sum;
}

double Signed_Volume(const UniOb& mesh, double* terms) {
    if (!terms) {
        const Vec3* pos = mesh.Vertex_Pos.data();
        const FaceIndex* face = mesh.Face_Index.data();
        double sum = 0.0;
        for (unsigned f = 0; f < mesh.Face_Count; ++f) {
            const FaceIndex& t = face[f];
            const Vec3 &A = pos[t[0]], &B = pos[t[1]], &C = pos[t[2]];
            sum += A.x * (double(B.y) * C.z - double(B.z) * C.y) +
                   A.y * (double(B.z) * C.x - double(B.x) * C.z) +
                   A.z * (double(B.x) * C.y - double(B.y) * C.x);
        }
        return sum / 6.0;
    }
    return Run_And_Sum(
               mesh.Face_Count, terms,
               [&](std::size_t begin, std::size_t end) { Triple_Products(mesh, begin, end, terms); }) /
           6.0;
}

// Face areas and corner angles, three a face, for the measures after the last step.
struct Face_Tables {
    std::unique_ptr<float[]> areas, angles;
};

// The Volume of Compute_Volume alone (its tetrahedra signed by the stored face normals, summed in
// the same order), without the area and centroid the steps before the last do not need. With
// `refresh` each face's normal is recomputed first, as Compute_Face_Normals would, and with `tables`
// its area and corner angles beside it: after one step they are all the measures still need.
float Facing_Volume(UniOb& mesh, double* terms, bool refresh, Face_Tables* tables) {
    if (refresh && tables && terms) {
        return static_cast<float>(
            Run_And_Sum(mesh.Face_Count, terms, [&](std::size_t begin, std::size_t end) {
                Face_Measures(mesh, begin, end, tables->areas.get(), tables->angles.get(), terms);
            }));
    }
    const Vec3* pos = mesh.Vertex_Pos.data();
    const FaceIndex* face = mesh.Face_Index.data();
    Vec3* normal = mesh.Face_Normal.data();
    const double volume = Ordered_Sum(mesh, terms, [&](std::size_t f) {
        const FaceIndex& t = face[f];
        const Vec3 &A = pos[t[0]], &B = pos[t[1]], &C = pos[t[2]];
        if (refresh && tables) {
            tables->areas[f] = Facet_Normal_Area(normal[f], A, B, C);
            Triangle_Angles(A, B, C, &tables->angles[3 * f]);
        } else if (refresh) {
            Facet_Normal(normal[f], A, B, C);
        }
        return Signed_Tetra(A, B, C, normal[f]);
    });
    return static_cast<float>(volume);
}

// What Compute_Volume, Compute_Face_Normals (with `refresh`: the steps moved the mesh after its
// normals were taken) and Compute_Vertex_Normals(mesh, true) leave, given the tetrahedra the last
// step summed: their per-face work in one sweep over threads (unless the tables are `current`),
// then the sums in face order, the vertex normals beside the volume's.
void Finish_From_Terms(UniOb& mesh, const double* terms, bool refresh, const Face_Tables& tables,
                       bool current) {
    const unsigned F = mesh.Face_Count;
    float* areas = tables.areas.get();
    float* angles = tables.angles.get();
    const Vec3* pos = mesh.Vertex_Pos.data();
    const FaceIndex* face = mesh.Face_Index.data();
    Vec3* normal = mesh.Face_Normal.data();
    if (!current) {
        Run_Ranges(F, [&](std::size_t begin, std::size_t end) {
            for (std::size_t f = begin; f < end; ++f) {
                const FaceIndex& t = face[f];
                const Vec3 &A = pos[t[0]], &B = pos[t[1]], &C = pos[t[2]];
                areas[f] = refresh ? Facet_Normal_Area(normal[f], A, B, C) : Triangle_Area(A, B, C);
                Triangle_Angles(A, B, C, &angles[3 * f]);
            }
        });
    }
    // The vertex normals by ranges of vertices, each scanning all faces (so the split follows the
    // face count's), beside the sums of the volume.
    const std::size_t V = mesh.Vertex_Count;
    Run_Beside(
        true, [&] { Volume_From_Terms(mesh, terms, areas); },
        [&] {
            if (F < kRangeScanFaces) return Vertex_Normals_Of_Range(mesh, angles, 0, unsigned(V));
            Run_Ranges(F, [&](std::size_t begin, std::size_t end) {
                Vertex_Normals_Of_Range(mesh, angles, unsigned(V * begin / F), unsigned(V * end / F));
            });
        });
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
    const std::unique_ptr<double[]> terms(
        Range_Threads(mesh.Face_Count) > 1 ? new (std::nothrow) double[mesh.Face_Count] : nullptr);
    double volume = Signed_Volume(mesh, terms.get());
    Face_Tables tables;
    if (terms) {
        tables.areas.reset(new (std::nothrow) float[mesh.Face_Count]);
        tables.angles.reset(new (std::nothrow) float[std::size_t(mesh.Face_Count) * 3]);
    }
    const bool haveTables = tables.areas && tables.angles;
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
            mesh.Volume = Facing_Volume(mesh, terms.get(), steps == 0, haveTables ? &tables : nullptr);
            ++steps;
            volume = mesh.Volume;
            const double next = Volume_Error(initial, volume);
            // In float the error settles near 1e-8; a step that does not lower it ends the loop.
            if (next < 0.0 || next >= error) break;
            error = next;
            if (error <= kTolerance || steps >= kMaxSteps) break;
        }
        // Area and centroid of the last step, from the normals its volume was signed by.
        if (haveTables) {
            // One step: the tables were taken at the final positions.
            // The box came with the last scale.
            Finish_From_Terms(mesh, terms.get(), steps > 1, tables, steps == 1);
            return steps;
        }
        Compute_Volume(mesh);
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
