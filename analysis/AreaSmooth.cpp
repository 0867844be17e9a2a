// Area-weighted averaging over the one-ring, shared by AreaSmooth and FairSmooth.

#include "analysis/AreaSmooth.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "mesh/FaceMeasures.h"
#include "mesh/ThreadRanges.h"
#include "mesh/Topology.h"

namespace orvex {

namespace {

// A(v) x p(v) and A(v) side by side: one 16-byte load per ring entry gives both the weighted
// position and the ring weight W.
struct Weighted {
    float x, y, z, a;
};
typedef float Lanes __attribute__((vector_size(16)));
static_assert(sizeof(Lanes) == sizeof(Weighted));

// Half the cross product's length, in double from the float corners. Triangle_Area also calls
// needle and sliver faces zero by their angles, which costs three edge lengths a face; as a
// weight their tiny true area serves as well, and the weights stay positive, so every new
// position remains a mean of old ones.
inline float Weight_Area(const Vec3& A, const Vec3& B, const Vec3& C) {
    const double ux = double(B.x) - A.x, uy = double(B.y) - A.y, uz = double(B.z) - A.z;
    const double vx = double(C.x) - A.x, vy = double(C.y) - A.y, vz = double(C.z) - A.z;
    const double nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
    return float(0.5 * std::sqrt(nx * nx + ny * ny + nz * nz));
}

}  // namespace

void Smooth_Pass(UniOb& mesh, bool area_weighting, float factor, const float* self_weight) {
    if (mesh.IsEmpty()) return;
    const unsigned V = mesh.Vertex_Count;
    const unsigned F = mesh.Face_Count;
    if (!mesh.Vertex_Ring.IsBuilt() || mesh.Vertex_Ring.start.size() != std::size_t(V) + 1 ||
        mesh.Vertex_Label.size() != V)
        Build_Rings(mesh);

    Vec3* pos = mesh.Vertex_Pos.data();
    const FaceIndex* face = mesh.Face_Index.data();
    const std::unique_ptr<Weighted[]> rec(new Weighted[V]);
    // The face areas side by side when there is room for them.
    const std::unique_ptr<float[]> areas(area_weighting && Range_Threads(F) > 1 ? new (std::nothrow) float[F]
                                                                                : nullptr);
    // Under a quarter million faces the areas take well under a millisecond: not worth a thread.
    if (areas && F < kRangeScanFaces)
        Weight_Areas(mesh, 0, F, areas.get());
    else if (areas)
        Run_Ranges(F,
                   [&](std::size_t begin, std::size_t end) { Weight_Areas(mesh, begin, end, areas.get()); });
    // The records of vertices [begin, end). With the areas at hand a range sums A over all faces for
    // its own vertices, in face order, so ranges run side by side with the bits of one sweep.
    auto records = [&](unsigned begin, unsigned end, bool sum) {
        if (sum) {
            for (unsigned v = begin; v < end; ++v) rec[v].a = 0.0f;
            const unsigned span = end - begin;
            for (unsigned f = 0; f < F; ++f) {
                const FaceIndex& t = face[f];
                for (int j = 0; j < 3; ++j)
                    if (unsigned(t[j]) - begin < span) rec[t[j]].a += areas[f];
            }
        }
        for (unsigned v = begin; v < end; ++v) {
            const float a = area_weighting ? rec[v].a / 3.0f : 1.0f;
            rec[v].a = a;
            rec[v].x = a * pos[v].x, rec[v].y = a * pos[v].y, rec[v].z = a * pos[v].z;
        }
    };
    if (area_weighting && !areas) {
        for (unsigned v = 0; v < V; ++v) rec[v].a = 0.0f;
        for (unsigned f = 0; f < F; ++f) {
            const FaceIndex& t = face[f];
            const float area = Weight_Area(pos[t[0]], pos[t[1]], pos[t[2]]);
            rec[t[0]].a += area;
            rec[t[1]].a += area;
            rec[t[2]].a += area;
        }
        records(0, V, false);
    } else if (F < kRangeScanFaces) {
        records(0, V, area_weighting);
    } else {
        // Each range scans every face, so the split follows the face count's.
        Run_Ranges(F, [&](std::size_t begin, std::size_t end) {
            records(unsigned(std::uint64_t(V) * begin / F), unsigned(std::uint64_t(V) * end / F),
                    area_weighting);
        });
    }

    // The records hold every old position the sums need, so new positions go straight into
    // the mesh.
    const std::uint32_t* start = mesh.Vertex_Ring.start.data();
    const int* entry = mesh.Vertex_Ring.entries.data();
    const int* label = mesh.Vertex_Label.data();
    auto average = [&](unsigned begin, unsigned end) {
        for (unsigned v = begin; v < end; ++v) {
            if (label[v] < 0) continue;
            const float a = self_weight ? self_weight[v] : factor;
            const float b = 1.0f - a;
            // b = 0 gives the vertex back; skipping it keeps the position bit for bit.
            if (b == 0.0f) continue;
            // The four sums side by side in one vector, each added in ring order as four scalars.
            Lanes sum = {0.0f, 0.0f, 0.0f, 0.0f};
            for (std::uint32_t k = start[v]; k < start[v + 1]; ++k) {
                Lanes r;
                std::memcpy(&r, &rec[entry[k]], sizeof r);
                sum += r;
            }
            const float sx = sum[0], sy = sum[1], sz = sum[2], w = sum[3];
            const Weighted& self = rec[v];
            const float denom = a * self.a + b * w;
            if (denom == 0.0f || !std::isfinite(denom)) continue;
            const Vec3 p = {(b * sx + a * self.x) / denom, (b * sy + a * self.y) / denom,
                            (b * sz + a * self.z) / denom};
            if (std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z)) pos[v] = p;
        }
    };
    // Every vertex reads the records and writes only itself: ranges of vertices run side by side.
    const unsigned threads =
        V < (1u << 16) ? 1u : std::max(1u, std::min(4u, std::thread::hardware_concurrency()));
    std::vector<std::thread> workers;
    for (unsigned i = 1; i < threads; ++i) {
        const unsigned begin = unsigned(std::uint64_t(V) * i / threads);
        const unsigned end = unsigned(std::uint64_t(V) * (i + 1) / threads);
        try {
            workers.emplace_back(average, begin, end);
        } catch (const std::system_error&) {
            average(begin, end);  // no thread to be had: this one does the range
        }
    }
    average(0, V / threads);
    for (std::thread& worker : workers) worker.join();
}

void AreaSmooth(UniOb& mesh, float factor) {
    Smooth_Pass(mesh, true, factor, nullptr);
}

}  // namespace orvex
