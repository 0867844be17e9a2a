// STL reading: read and merge against a plain exact-bits weld on the same files, in scan (row)
// order and shuffled; the 10M-facet read; the load pipeline and curvature on the 2M mesh; and
// the peak memory of a loaded 2M mesh. The files are generated once into a temporary folder.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "analysis/Curvature.h"
#include "mesh/LoadPipeline.h"
#include "mesh/StlBenchFiles.h"
#include "mesh/StlExactWeld.h"
#include "mesh/StlReader.h"

namespace {

using namespace orvex;

constexpr int kRows2M = int(StlBenchKind::Rows);
constexpr int kShuffled2M = int(StlBenchKind::Shuffled);
// Radius 1: corners near the poles come within the tolerance, so the merging tree is built.
constexpr int kNear2M = int(StlBenchKind::NearRows);
constexpr int kNearShuffled2M = int(StlBenchKind::NearShuffled);
constexpr int kRows10M = int(StlBenchKind::Big);

// Made on first use, removed at exit.
const std::string& Sphere_File(std::int64_t kind) {
    static StlBenchFiles files("", 2000000, 10000000);
    const std::string& path = files.Path(StlBenchKind(kind));
    if (path.empty()) std::fprintf(stderr, "%s\n", files.Error().c_str());
    return path;
}

void BM_ExactWeldBaseline(benchmark::State& state) {
    const std::string& path = Sphere_File(state.range(0));
    std::vector<Vec3> vertices;
    std::vector<FaceIndex> faces;
    for (auto _ : state) {
        Exact_Weld_Stl(path, vertices, faces);
        benchmark::DoNotOptimize(vertices.data());
    }
    state.counters["vertices"] = double(vertices.size());
}

double Seconds_Since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Also runs the weld on the same file (best of two, untimed) and reports the ratio of the best
// read to it.
void BM_ReadMerge(benchmark::State& state) {
    const std::string& path = Sphere_File(state.range(0));
    double weld = 1e30;
    for (int i = 0; i < 2; ++i) {
        std::vector<Vec3> vertices;
        std::vector<FaceIndex> faces;
        const auto start = std::chrono::steady_clock::now();
        Exact_Weld_Stl(path, vertices, faces);
        weld = std::min(weld, Seconds_Since(start));
    }
    UniOb mesh;
    StlReadOptions options;
    options.runPipeline = false;
    double best = 1e30;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        if (Status status = Read_STL(mesh, path, options); !status) {
            state.SkipWithError(status.message.c_str());
            break;
        }
        best = std::min(best, Seconds_Since(start));
    }
    state.counters["vertices"] = double(mesh.Vertex_Count);
    state.counters["weld_ms"] = weld * 1000.0;
    state.counters["ratio"] = best / weld;
}

void BM_LoadPipeline(benchmark::State& state) {
    UniOb mesh;
    StlReadOptions options;
    options.runPipeline = false;
    Read_STL(mesh, Sphere_File(kRows2M), options);
    for (auto _ : state) Run_Load_Pipeline(mesh);
    state.counters["vertices"] = double(mesh.Vertex_Count);
}

void BM_Curvature(benchmark::State& state) {
    UniOb mesh;
    Read_STL(mesh, Sphere_File(kRows2M));
    for (auto _ : state) ComputeCurvature(mesh);
    state.SetItemsProcessed(state.iterations() * std::int64_t(mesh.Vertex_Count));
}

// Runs first, while nothing else is loaded: the peak counts the mapped file as well.
void BM_PeakMemoryLoaded2M(benchmark::State& state) {
    for (auto _ : state) {
        Reset_Peak_Memory();
        const double before = Peak_Memory_MB();
        UniOb mesh;
        Read_STL(mesh, Sphere_File(kRows2M));
        state.counters["peak_MB"] = Peak_Memory_MB();
        state.counters["start_MB"] = before;
    }
}

BENCHMARK(BM_PeakMemoryLoaded2M)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExactWeldBaseline)
    ->Arg(kRows2M)
    ->Arg(kShuffled2M)
    ->Arg(kNear2M)
    ->Arg(kNearShuffled2M)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadMerge)
    ->Arg(kRows2M)
    ->Arg(kShuffled2M)
    ->Arg(kNear2M)
    ->Arg(kNearShuffled2M)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExactWeldBaseline)->Arg(kRows10M)->Iterations(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadMerge)->Arg(kRows10M)->Iterations(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadPipeline)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Curvature)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
