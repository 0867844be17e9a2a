// Attraction of one mesh to another: per vertex a scan over the other mesh's vertices in a z
// window, eight candidates at a time.

#include "analysis/AttractToMesh.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <system_error>
#include <thread>
#include <vector>

#include "analysis/AreaSmooth.h"

namespace orvex {

namespace {

constexpr float kReachZ = 100.0f;
constexpr float kReachXY = 400.0f;
constexpr int kPadding = 8;  // the widest scan block

struct Window_Sum {
    int count = 0;
    double x = 0, y = 0, z = 0;  // sums of b - a over the candidates
};

// The candidates among bx/by/bz[lo, hi), W lanes at a time in GCC vectors; the lanes past hi
// (up to kPadding) hold vertices above the window or padding, which the z test rejects. Inlined
// into the two entry points below, so it is compiled once with SSE and once with AVX2.
template <int W>
struct Lanes;
template <>
struct Lanes<4> {
    typedef float F __attribute__((vector_size(16)));
    typedef int I __attribute__((vector_size(16)));
};
template <>
struct Lanes<8> {
    typedef float F __attribute__((vector_size(32)));
    typedef int I __attribute__((vector_size(32)));
};

template <int W>
[[gnu::always_inline]] inline Window_Sum Scan(const float* bx, const float* by, const float* bz,
                                              std::size_t lo, std::size_t hi, const Vec3& a, const Vec3& n) {
    using F = typename Lanes<W>::F;
    using I = typename Lanes<W>::I;
    const I magnitude = I{} + 0x7fffffff;
    const F ax = F{} + a.x, ay = F{} + a.y, az = F{} + a.z;
    const F nx = F{} + n.x, ny = F{} + n.y, nz = F{} + n.z;
    const F reachZ = F{} + kReachZ, reachXY = F{} + kReachXY, zero = F{};
    // Two independent sets of sums, so consecutive blocks do not wait on each other's additions.
    F sx[2] = {zero, zero}, sy[2] = {zero, zero}, sz[2] = {zero, zero};
    I count[2] = {I{}, I{}};
    // Inside the window every vertex passes the z test, so whole blocks there skip it.
    auto block = [&](std::size_t i, int set, bool testZ) __attribute__((always_inline)) {
        F x, y, z;
        __builtin_memcpy(&x, bx + i, sizeof x);
        __builtin_memcpy(&y, by + i, sizeof y);
        __builtin_memcpy(&z, bz + i, sizeof z);
        const F dx = x - ax, dy = y - ay, dz = z - az;
        I inside = (reinterpret_cast<F>(reinterpret_cast<I>(dy) & magnitude) <= reachXY) &
                   (reinterpret_cast<F>(reinterpret_cast<I>(dx) & magnitude) <= reachXY) &
                   (dx * nx + dy * ny + dz * nz > zero);
        if (testZ) inside &= reinterpret_cast<F>(reinterpret_cast<I>(dz) & magnitude) <= reachZ;
        count[set] -= inside;
        sx[set] += reinterpret_cast<F>(reinterpret_cast<I>(dx) & inside);
        sy[set] += reinterpret_cast<F>(reinterpret_cast<I>(dy) & inside);
        sz[set] += reinterpret_cast<F>(reinterpret_cast<I>(dz) & inside);
    };
    std::size_t i = lo;
    for (; i + 2 * W <= hi; i += 2 * W) {
        block(i, 0, false);
        block(i + W, 1, false);
    }
    // The last blocks run past hi into vertices above the window or the padding.
    if (i < hi) block(i, 0, true);
    if (i + W < hi) block(i + W, 1, true);
    Window_Sum sum;
    for (int set = 0; set < 2; ++set)
        for (int j = 0; j < W; ++j)
            sum.count += count[set][j], sum.x += sx[set][j], sum.y += sy[set][j], sum.z += sz[set][j];
    return sum;
}

Window_Sum Scan_Sse(const float* bx, const float* by, const float* bz, std::size_t lo, std::size_t hi,
                    const Vec3& a, const Vec3& n) {
    return Scan<4>(bx, by, bz, lo, hi, a, n);
}

// AVX2 without FMA: the candidate test rounds as the plain formula does.
[[gnu::target("avx2")]] Window_Sum Scan_Avx2(const float* bx, const float* by, const float* bz,
                                             std::size_t lo, std::size_t hi, const Vec3& a, const Vec3& n) {
    return Scan<8>(bx, by, bz, lo, hi, a, n);
}

// The candidate vertices as three coordinate arrays sorted by z, padded with kPadding entries at
// +infinity in z that every window test rejects, so a scan may run over in whole blocks.
struct SortedCloud {
    std::vector<float> x, y, z;
    std::size_t count = 0;

    explicit SortedCloud(const UniOb& mesh) {
        // A vertex with a coordinate that is not a number is never a candidate, and would spoil
        // the sort.
        const Vec3* p = mesh.Vertex_Pos.data();
        std::vector<unsigned> order;
        order.reserve(mesh.Vertex_Count);
        for (unsigned v = 0; v < mesh.Vertex_Count; ++v)
            if (std::isfinite(p[v].x) && std::isfinite(p[v].y) && std::isfinite(p[v].z)) order.push_back(v);
        count = order.size();
        std::stable_sort(order.begin(), order.end(), [p](unsigned i, unsigned j) { return p[i].z < p[j].z; });
        x.assign(count + kPadding, 0.0f);
        y.assign(count + kPadding, 0.0f);
        z.assign(count + kPadding, INFINITY);
        for (std::size_t i = 0; i < count; ++i) {
            x[i] = p[order[i]].x;
            y[i] = p[order[i]].y;
            z[i] = p[order[i]].z;
        }
    }
};

std::uint64_t Sum(const std::vector<std::uint64_t>& counts) {
    std::uint64_t total = 0;
    for (const std::uint64_t c : counts) total += c;
    return total;
}

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

    const bool avx2 = __builtin_cpu_supports("avx2");

    // Each vertex of `first` reads only the cloud and writes only itself, so the vertices split
    // into independent ranges, one per processor.
    auto attract = [&](unsigned begin, unsigned end) {
        std::uint64_t tests = 0;
        for (unsigned v = begin; v < end; ++v) {
            Vec3& a = first.Vertex_Pos[v];
            const Vec3 n = first.Vertex_Normal[v];
            if (!std::isfinite(a.z)) continue;
            // The window holds exactly the vertices whose float difference passes |b.z - a.z| <= 100:
            // rounding is monotone, so the difference grows with b.z.
            const float az = a.z;
            const std::size_t lo =
                std::partition_point(zBegin, zEnd, [az](float bz) { return bz - az < -kReachZ; }) - zBegin;
            const std::size_t hi =
                std::partition_point(zBegin + lo, zEnd, [az](float bz) { return bz - az <= kReachZ; }) -
                zBegin;
            if (lo >= hi) continue;
            tests += hi - lo;
            const Window_Sum sum =
                avx2 ? Scan_Avx2(bx, by, bz, lo, hi, a, n) : Scan_Sse(bx, by, bz, lo, hi, a, n);
            if (sum.count == 0) continue;
            // m - a = sum (b - a) / (k + 10): the differences are small where the coordinates may not be.
            const double t = (sum.x * n.x + sum.y * n.y + sum.z * n.z) / (sum.count + 10);
            const Vec3 moved = {float(a.x + t * n.x), float(a.y + t * n.y), float(a.z + t * n.z)};
            if (std::isfinite(moved.x) && std::isfinite(moved.y) && std::isfinite(moved.z)) a = moved;
        }
        return tests;
    };
    const unsigned V = first.Vertex_Count;
    const std::uint64_t work = std::uint64_t(V) * cloud.count;
    const unsigned threads =
        work < (1u << 24) ? 1u : std::max(1u, std::min(8u, std::thread::hardware_concurrency()));
    std::vector<std::uint64_t> counts(threads, 0);
    std::vector<std::thread> workers;
    for (unsigned i = 1; i < threads; ++i) {
        const unsigned begin = unsigned(std::uint64_t(V) * i / threads);
        const unsigned end = unsigned(std::uint64_t(V) * (i + 1) / threads);
        try {
            workers.emplace_back([&counts, &attract, i, begin, end] { counts[i] = attract(begin, end); });
        } catch (const std::system_error&) {
            counts[i] = attract(begin, end);  // no thread to be had: this one does the range
        }
    }
    counts[0] = attract(0, unsigned(V / threads));
    for (std::thread& worker : workers) worker.join();
    const std::uint64_t tests = Sum(counts);

    AreaSmooth(first, 0.1f);
    return tests;
}

}  // namespace orvex
