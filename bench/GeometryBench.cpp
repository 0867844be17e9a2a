// Per-element geometry kernels: every mesh pass calls these once per vertex or face.

#include <benchmark/benchmark.h>

#include <vector>

#include "geometry/Eigen.h"
#include "geometry/Random.h"
#include "geometry/Vec3.h"

namespace {

std::vector<orvex::Vec3> RandomPoints(std::size_t n) {
    std::vector<orvex::Vec3> points(n);
    for (auto& p : points)
        p = {float(orvex::Random_Uniform(-1, 1)), float(orvex::Random_Uniform(-1, 1)),
             float(orvex::Random_Uniform(-1, 1))};
    return points;
}

void BM_FacetNormal(benchmark::State& state) {
    auto points = RandomPoints(3 * 4096);
    orvex::Vec3 n;
    for (auto _ : state) {
        for (std::size_t i = 0; i + 2 < points.size(); i += 3) {
            orvex::Facet_Normal(n, points[i], points[i + 1], points[i + 2]);
            benchmark::DoNotOptimize(n);
        }
    }
    state.SetItemsProcessed(state.iterations() * 4096);
}
BENCHMARK(BM_FacetNormal);

void BM_TriangleAngles(benchmark::State& state) {
    auto points = RandomPoints(3 * 4096);
    float angles[3];
    for (auto _ : state) {
        for (std::size_t i = 0; i + 2 < points.size(); i += 3) {
            orvex::Triangle_Angles(points[i], points[i + 1], points[i + 2], angles);
            benchmark::DoNotOptimize(angles);
        }
    }
    state.SetItemsProcessed(state.iterations() * 4096);
}
BENCHMARK(BM_TriangleAngles);

void BM_Eigen3(benchmark::State& state) {
    const float m[9] = {4, 1, 0.5f, 1, 3, 0.25f, 0.5f, 0.25f, 2};
    for (auto _ : state) {
        orvex::Eigen eigen(3);
        eigen.SetMatrix(m);
        eigen.Solve();
        benchmark::DoNotOptimize(eigen.EigenValue(0));
    }
}
BENCHMARK(BM_Eigen3);

void BM_RandomNext(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(orvex::Random_Next());
}
BENCHMARK(BM_RandomNext);

}  // namespace

BENCHMARK_MAIN();
