// Attraction of one mesh to another: per vertex a scan over the other mesh's vertices in a z
// window, eight candidates at a time.

#include "analysis/AttractToMesh.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>
#include <vector>

#include "analysis/AreaSmooth.h"

namespace orvex {

namespace {

constexpr float kReachZ = 100.0f;
constexpr float kReachXY = 400.0f;
// Four lanes, the SSE width every x86-64 has; the scan takes two blocks per round.
constexpr int kWidth = 4;
constexpr int kLanes = 2 * kWidth;

using F4 = float __attribute__((vector_size(16)));
using I4 = int __attribute__((vector_size(16)));

inline F4 Load(const float* p) {
    F4 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
inline F4 Splat(float x) {
    return F4{x, x, x, x};
}
inline F4 Masked(F4 v, I4 mask) {
    return reinterpret_cast<F4>(reinterpret_cast<I4>(v) & mask);
}

// Sums over the candidates among four vertices of the cloud.
struct Lanes {
    F4 x = {}, y = {}, z = {};
    I4 count = {};

    void Add(const float* bx, const float* by, const float* bz, F4 ax, F4 ay, F4 az, F4 nx, F4 ny, F4 nz) {
        const F4 reachZ = Splat(kReachZ), reachXY = Splat(kReachXY);
        const F4 dx = Load(bx) - ax;
        const F4 dy = Load(by) - ay;
        const F4 dz = Load(bz) - az;
        const I4 inside = (dz <= reachZ) & (dz >= -reachZ) & (dy <= reachXY) & (dy >= -reachXY) &
                          (dx <= reachXY) & (dx >= -reachXY) & (dx * nx + dy * ny + dz * nz > Splat(0.0f));
        count -= inside;
        x += Masked(dx, inside);
        y += Masked(dy, inside);
        z += Masked(dz, inside);
    }
};

// The candidate vertices as three coordinate arrays sorted by z, padded with kLanes entries at
// +infinity in z that every window test rejects, so a scan may run over in whole blocks.
struct SortedCloud {
    std::vector<float> x, y, z;
    std::size_t count = 0;

    explicit SortedCloud(const UniOb& mesh) : count(mesh.Vertex_Count) {
        std::vector<unsigned> order(count);
        std::iota(order.begin(), order.end(), 0u);
        const Vec3* p = mesh.Vertex_Pos.data();
        std::stable_sort(order.begin(), order.end(), [p](unsigned i, unsigned j) { return p[i].z < p[j].z; });
        x.assign(count + kLanes, 0.0f);
        y.assign(count + kLanes, 0.0f);
        z.assign(count + kLanes, INFINITY);
        for (std::size_t i = 0; i < count; ++i) {
            x[i] = p[order[i]].x;
            y[i] = p[order[i]].y;
            z[i] = p[order[i]].z;
        }
    }
};

}  // namespace

std::uint64_t AttractToMesh(UniOb& first, const UniOb& second) {
    if (first.IsEmpty() || second.IsEmpty()) return 0;
    // Built before anything moves, so a mesh attracted to itself sees its old positions.
    const SortedCloud cloud(second);
    const float* bx = cloud.x.data();
    const float* by = cloud.y.data();
    const float* bz = cloud.z.data();
    const float* zBegin = bz;
    const float* zEnd = bz + cloud.count;

    std::uint64_t tests = 0;
    for (unsigned v = 0; v < first.Vertex_Count; ++v) {
        Vec3& a = first.Vertex_Pos[v];
        const Vec3 n = first.Vertex_Normal[v];
        // The window is found a little wide; the exact float test below decides.
        const float slack = 1.0f + 1e-5f * std::fabs(a.z);
        const std::size_t lo = std::lower_bound(zBegin, zEnd, a.z - kReachZ - slack) - zBegin;
        const std::size_t hi = std::upper_bound(zBegin + lo, zEnd, a.z + kReachZ + slack) - zBegin;
        if (lo >= hi) continue;
        tests += hi - lo;

        const F4 ax = Splat(a.x), ay = Splat(a.y), az = Splat(a.z);
        const F4 nx = Splat(n.x), ny = Splat(n.y), nz = Splat(n.z);
        Lanes even, odd;
        for (std::size_t i = lo; i < hi; i += kLanes) {
            even.Add(bx + i, by + i, bz + i, ax, ay, az, nx, ny, nz);
            odd.Add(bx + i + kWidth, by + i + kWidth, bz + i + kWidth, ax, ay, az, nx, ny, nz);
        }
        int k = 0;
        double ex = 0, ey = 0, ez = 0;
        for (int j = 0; j < kWidth; ++j) {
            k += even.count[j] + odd.count[j];
            ex += double(even.x[j]) + odd.x[j];
            ey += double(even.y[j]) + odd.y[j];
            ez += double(even.z[j]) + odd.z[j];
        }
        if (k == 0) continue;
        // m - a = sum (b - a) / (k + 10): the differences are small where the coordinates may not be.
        const double t = (ex * n.x + ey * n.y + ez * n.z) / (k + 10);
        const Vec3 moved = {float(a.x + t * n.x), float(a.y + t * n.y), float(a.z + t * n.z)};
        if (std::isfinite(moved.x) && std::isfinite(moved.y) && std::isfinite(moved.z)) a = moved;
    }
    AreaSmooth(first, 0.1f);
    return tests;
}

}  // namespace orvex
