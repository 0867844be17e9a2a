// CT volumes: the marching-cube export (file writing included) of the three generated 256^3
// volumes, the simple-cube export of the sphere, and the reading of a 512^3 .ct file (256 MB of
// samples). The STL goes to the system's temporary folder and is removed at exit.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "geometry/PeakMemory.h"
#include "volume/CtSynth.h"
#include "volume/CtVolume.h"

namespace {

using namespace orvex;

enum Kind : int { kSphere, kGyroid, kNoise };

// One generated volume at a time: generating one takes longer than exporting it.
const CT_3D& Volume(int kind) {
    static CT_3D volume;
    static int made = -1;
    if (made != kind) {
        const Status status = kind == kSphere   ? Make_Sphere_Volume(volume, 256, 100.0f)
                              : kind == kGyroid ? Make_Gyroid_Volume(volume, 256, 32.0f)
                                                : Make_Noise_Volume(volume, 256);
        if (!status) std::fprintf(stderr, "%s\n", status.message.c_str());
        made = kind;
    }
    return volume;
}

class TemporaryFile {
public:
    explicit TemporaryFile(const char* suffix)
        : path_((std::filesystem::temp_directory_path() /
                 ("orvex_ct_bench_" + std::to_string(::getpid()) + suffix))
                    .string()) {}
    ~TemporaryFile() { std::filesystem::remove(path_); }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

void BM_WriteMarchingCubeSTL(benchmark::State& state) {
    const CT_3D& volume = Volume(int(state.range(0)));
    TemporaryFile output(".stl");
    Reset_Peak_Memory();
    for (auto _ : state) {
        if (Status status = volume.WriteMarchingCubeSTL(output.Path()); !status) {
            state.SkipWithError(status.message.c_str());
            break;
        }
    }
    const auto bytes = std::filesystem::file_size(output.Path());
    state.counters["triangles"] = double((bytes - 84) / 50);
    state.counters["peak_MB"] = Peak_Memory_MB();
    state.SetBytesProcessed(state.iterations() * std::int64_t(bytes));
}

void BM_WriteSimpleCubeSTL(benchmark::State& state) {
    const CT_3D& volume = Volume(kSphere);
    TemporaryFile output(".stl");
    for (auto _ : state) {
        if (Status status = volume.WriteSimpleCubeSTL(output.Path()); !status) {
            state.SkipWithError(status.message.c_str());
            break;
        }
    }
    state.counters["triangles"] = double((std::filesystem::file_size(output.Path()) - 84) / 50);
}

void BM_ReadCT512(benchmark::State& state) {
    TemporaryFile input(".ct");
    {
        CT_3D volume;
        if (!Make_Noise_Volume(volume, 512) || !Write_CT_File(volume, input.Path())) {
            state.SkipWithError("cannot make the 512^3 file");
            return;
        }
    }
    CT_3D volume;
    for (auto _ : state) {
        if (Status status = volume.ReadCT(input.Path()); !status) {
            state.SkipWithError(status.message.c_str());
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t(std::filesystem::file_size(input.Path())));
}

void BM_BuildVoxelsHead(benchmark::State& state) {
    CT_3D volume;
    const std::string path = std::string(ORVEX_SHARED_DATA_DIR) + "/ct_head.ct";
    if (!volume.ReadCT(path)) {
        state.SkipWithError("no ct_head.ct in the shared data");
        return;
    }
    for (auto _ : state) volume.BuildVoxels();
    state.counters["voxels"] = double(volume.voxels.size());
}

BENCHMARK(BM_WriteMarchingCubeSTL)->Arg(kSphere)->Arg(kGyroid)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteMarchingCubeSTL)->Arg(kNoise)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteSimpleCubeSTL)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadCT512)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildVoxelsHead)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
