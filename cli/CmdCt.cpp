// orvex ct, orvex info FILE.ct and orvex bench ct: the CT volume headless. `ct` writes the
// simple-cube or marching-cube surface at a threshold, `info` tells what a volume holds, and the
// benchmark times the marching-cube export, file writing included, on three generated volumes.

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "cli/Commands.h"
#include "geometry/Clock.h"
#include "geometry/PeakMemory.h"
#include "mesh/StlFormat.h"
#include "volume/CtSynth.h"
#include "volume/CtVolume.h"

namespace orvex::cli {

namespace {

struct CtOptions {
    std::string input;
    int threshold = kCtDefaultThreshold;
    std::string simpleCube;
    std::string marchingCube;
};

struct CtBenchOptions {
    int size = 256;
    std::string dir;
    int repeat = 3;
    bool noise = true;
};

double Elapsed_Ms(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// The triangle count at byte 80 of a written STL, or -1.
long long Stl_Count_Of(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return -1;
    unsigned char preamble[kStlPreambleBytes];
    const bool read = std::fread(preamble, 1, sizeof preamble, file) == sizeof preamble;
    std::fclose(file);
    return read ? static_cast<long long>(Stl_Read_Count(preamble)) : -1;
}

bool Read_Volume(CT_3D& volume, const std::string& path, const char* command) {
    const Status status = volume.ReadCT(path);
    if (!status) std::fprintf(stderr, "orvex %s: %s\n", command, status.message.c_str());
    return bool(status);
}

int Run_Ct(const CtOptions& options) {
    CT_3D volume;
    if (!Read_Volume(volume, options.input, "ct")) return 1;
    volume.threshold = options.threshold;
    const bool marching = !options.marchingCube.empty();
    const std::string& output = marching ? options.marchingCube : options.simpleCube;
    const auto start = std::chrono::steady_clock::now();
    const Status written = marching ? volume.WriteMarchingCubeSTL(output) : volume.WriteSimpleCubeSTL(output);
    const double ms = Elapsed_Ms(start);
    if (!written) {
        std::fprintf(stderr, "orvex ct: %s\n", written.message.c_str());
        return 1;
    }
    std::printf("Wrote %s: %lld triangles by the %s method at threshold %d in %.0f ms\n", output.c_str(),
                Stl_Count_Of(output), marching ? "marching cube" : "simple cube", volume.threshold, ms);
    return 0;
}

int Run_Bench_Ct(const CtBenchOptions& options) {
    std::error_code error;
    const std::filesystem::path dir = options.dir.empty() ? std::filesystem::temp_directory_path(error)
                                                          : std::filesystem::path(options.dir);
    const std::string output = (dir / ("orvex_bench_ct_" + std::to_string(::getpid()) + ".stl")).string();
    struct Case {
        const char* name;
        std::function<Status(CT_3D&)> make;
        const char* vtk;  // the reference figures: vtkMarchingCubes, vtkFlyingEdges3D (single thread)
    };
    const int n = options.size;
    std::vector<Case> cases = {
        {"sphere r=100", [n](CT_3D& v) { return Make_Sphere_Volume(v, n, 100.0f); }, "0.2 s, 0.08 s"},
        {"gyroid p=32", [n](CT_3D& v) { return Make_Gyroid_Volume(v, n, 32.0f); }, "2.1 s, 0.26 s"},
    };
    if (options.noise)
        cases.push_back({"noise", [n](CT_3D& v) { return Make_Noise_Volume(v, n); }, "51 s, 2.1 s"});

    std::printf("WriteMarchingCubeSTL on %d^3 volumes, file writing included, best of %d\n", n,
                options.repeat);
    std::printf("%-14s %12s %10s %10s %12s %12s %10s   %s\n", "volume", "triangles", "file MB", "ms",
                "/dev/null ms", "Mtri/s", "peak MB", "VTK 9.1 at 256^3: MC, flying edges");
    bool ok = true;
    for (const Case& each : cases) {
        std::fflush(stdout);
        const bool reset = Reset_Peak_Memory();
        CT_3D volume;
        if (Status made = each.make(volume); !made) {
            std::fprintf(stderr, "orvex bench: %s\n", made.message.c_str());
            return 1;
        }
        // Best of the runs; the same into /dev/null shows the cost without the file system.
        auto best_Of = [&](const std::string& target) {
            double best = -1.0;
            for (int r = 0; r < options.repeat; ++r) {
                const auto start = std::chrono::steady_clock::now();
                const Status written = volume.WriteMarchingCubeSTL(target);
                const double ms = Elapsed_Ms(start);
                if (!written) {
                    std::fprintf(stderr, "orvex bench: %s\n", written.message.c_str());
                    ok = false;
                    return -1.0;
                }
                best = best < 0 ? ms : std::min(best, ms);
            }
            return best;
        };
        const double unwritten = best_Of("/dev/null");
        const double best = best_Of(output);
        const long long triangles = Stl_Count_Of(output);
        const double fileMB = double(Stl_Binary_Size(std::uint64_t(std::max(triangles, 0LL)))) / 1e6;
        std::printf("%-14s %12lld %10.0f %10.0f %12.0f %12.2f %9.0f%s   %s\n", each.name, triangles, fileMB,
                    best, unwritten, best > 0 ? double(triangles) / best / 1000.0 : 0.0, Peak_Memory_MB(),
                    reset ? "" : "*", each.vtk);
        std::filesystem::remove(output, error);
    }
    std::printf("peak MB: VmHWM after generating the volume (%.0f MB of samples) and exporting it\n",
                double(n) * n * n * 2 / 1e6);
    std::printf(
        "targets: faster than vtkMarchingCubes on all three, within 4x of flying edges on sphere and "
        "gyroid\n");
    return ok ? 0 : 1;
}

}  // namespace

int Run_Ct_Info(const std::string& path, int threshold) {
    CT_3D volume;
    const int t0 = Millisecond_Clock();
    if (!Read_Volume(volume, path, "info")) return 1;
    const int readMs = Millisecond_Clock() - t0;
    const std::uint16_t* samples = &volume.data[0][0][0];
    const std::uint64_t count = volume.SampleCount();
    const auto [low, high] = std::minmax_element(samples, samples + count);
    std::uint64_t above = 0;
    for (std::uint64_t s = 0; s < count; ++s) above += int(samples[s]) > threshold ? 1 : 0;
    std::printf("%s\n", path.c_str());
    std::printf("CT volume: %u x %u x %u = %llu samples\n", unsigned(volume.nx), unsigned(volume.ny),
                unsigned(volume.nz), static_cast<unsigned long long>(count));
    std::printf("Values: %u .. %u\n", unsigned(*low), unsigned(*high));
    std::printf("Voxels above %d: %llu (%.1f %%)\n", threshold, static_cast<unsigned long long>(above),
                100.0 * double(above) / double(count));
    std::printf("Read time: %d ms\n", readMs);
    return 0;
}

void Add_Ct_Command(CLI::App& app, RunState& state) {
    auto options = std::make_shared<CtOptions>();
    CLI::App* ct = app.add_subcommand(
        "ct", "Write the iso-surface of a CT volume (.ct) as binary STL, by simple cubes or marching cubes");
    ct->add_option("file", options->input, "CT volume (.ct)")->required();
    ct->add_option("--threshold", options->threshold,
                   "Iso value: a sample is inside when value >= threshold (default 1200)");
    CLI::Option* simple = ct->add_option("--simple-cube", options->simpleCube,
                                         "Write the exposed voxel faces to this STL file");
    CLI::Option* marching = ct->add_option("--marching-cube", options->marchingCube,
                                           "Write the marching-cube surface to this STL file");
    simple->excludes(marching);
    ct->callback([options, &state, ct] {
        if (options->simpleCube.empty() && options->marchingCube.empty()) {
            std::fprintf(stderr, "orvex ct: give --simple-cube OUT or --marching-cube OUT\n%s",
                         ct->help().c_str());
            state.exitCode = 1;
            return;
        }
        state.exitCode = Run_Ct(*options);
    });

    CLI::App* bench = Bench_Group(app);
    auto benchOptions = std::make_shared<CtBenchOptions>();
    CLI::App* benchCt = bench->add_subcommand(
        "ct",
        "Marching-cube export (file writing included) and peak memory on a sphere of radius 100, a gyroid "
        "of period 32 and independent noise, each a 256^3 volume");
    benchCt->add_option("--size", benchOptions->size, "Samples per side (default 256)")
        ->check(CLI::Range(8, 1024));
    benchCt->add_option("--dir", benchOptions->dir,
                        "Folder for the STL written (default: the system's temporary)");
    benchCt->add_option("--repeat", benchOptions->repeat, "Runs per volume, the best counts (default 3)")
        ->check(CLI::Range(1, 100));
    benchCt->add_flag("!--no-noise", benchOptions->noise,
                      "Leave out the noise volume (a 2.6 GB file at 256^3)");
    benchCt->callback([benchOptions, &state] { state.exitCode = Run_Bench_Ct(*benchOptions); });
}

}  // namespace orvex::cli
