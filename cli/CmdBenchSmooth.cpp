// orvex bench smooth: the smoothing passes and the attraction on the row-ordered sphere of
// orvex bench stl (perturbed), on the horse, and per triangle over a range of sphere sizes.
// Only the passes are timed, wall clock (best of the runs) with the processor time beside it; the
// volume kept, the spread of |p| about the radius and the peak memory are taken outside the clock.
// With --peers VTK's filters run on the same meshes in the same run, for wall-clock ratios.

#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "analysis/AreaSmooth.h"
#include "analysis/AttractToMesh.h"
#include "analysis/FairSmooth.h"
#include "analysis/Perturb.h"
#include "cli/Commands.h"
#include "geometry/PeakMemory.h"
#include "geometry/Random.h"
#include "mesh/FaceMeasures.h"
#include "mesh/LoadPipeline.h"
#include "mesh/MeshWriters.h"
#include "mesh/StlBenchFiles.h"
#include "mesh/StlReader.h"
#include "mesh/Topology.h"

namespace orvex::cli {

namespace {

struct SmoothBenchOptions {
    std::uint64_t triangles = 2000000;
    std::string horse = "../shared/data/mesh_horse.stl";  // from the source folder
    std::string dir;
    std::string peerInput;  // where to write the perturbed sphere for the peers
    bool peers = false;     // run VTK's filters in the same run
    std::string python = "/usr/bin/python3";
    std::string peerScript = "bench/smooth_peers.py";  // from the source folder
    bool scaling = false;
    int repeat = 3;
};

constexpr double kRadius = 1000.0;
constexpr float kNoise = 0.3f;

double Seconds_Since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// This process's processor time: on a shared machine the wall clock also counts the others' jobs.
double Cpu_Seconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + 1e-9 * double(t.tv_nsec);
}

// RMS of |p| - R over the vertices.
double Radius_Rms(const UniOb& mesh) {
    double sum = 0;
    for (unsigned v = 0; v < mesh.Vertex_Count; ++v) {
        const Vec3& p = mesh.Vertex_Pos[v];
        const double r = std::sqrt(double(p.x) * p.x + double(p.y) * p.y + double(p.z) * p.z) - kRadius;
        sum += r * r;
    }
    return std::sqrt(sum / mesh.Vertex_Count);
}

// The state every case starts from: the positions as loaded, with the derived data redone.
struct Start {
    std::vector<Vec3> positions;
    float volumeInitial = 0;

    explicit Start(const UniOb& mesh) : positions(mesh.Vertex_Pos), volumeInitial(mesh.Volume_Initial) {}
    void Restore(UniOb& mesh) const {
        mesh.Vertex_Pos = positions;
        Run_Load_Pipeline(mesh);
        mesh.Volume_Initial = volumeInitial;
    }
};

struct CaseResult {
    double seconds = 0;
    double cpu = 0;
    double volumeChange = 0;  // relative to the load volume
    double rms = 0;
    double peakMB = 0;
    int steps = 0;
};

enum class Pass { Area, Fair, Batch };

const char* Pass_Name(Pass pass) {
    switch (pass) {
        case Pass::Area:
            return "AreaSmooth 0.5";
        case Pass::Fair:
            return "FairSmooth constant 0.5";
        case Pass::Batch:
            return "batch step (FairSmooth)";
    }
    return "";
}

// One case: `passes` of AreaSmooth 0.5, of FairSmooth "constant" 0.5 with area weighting, or of
// the batch step (that FairSmooth alone: it leaves the normals the batch writes current). Best
// time of `repeat` runs.
CaseResult Run_Case(UniOb& mesh, const Start& start, Pass kind, int passes, int repeat) {
    CaseResult result;
    result.seconds = -1;
    for (int r = 0; r < repeat; ++r) {
        start.Restore(mesh);
        Reset_Peak_Memory();
        int steps = 0;
        const auto t0 = std::chrono::steady_clock::now();
        const double c0 = Cpu_Seconds();
        for (int pass = 0; pass < passes; ++pass) {
            if (kind == Pass::Area) {
                AreaSmooth(mesh, 0.5f);
                continue;
            }
            steps += FairSmooth(mesh, 0.5f, true, Smooth_Constant);
        }
        const double seconds = Seconds_Since(t0);
        const double cpu = Cpu_Seconds() - c0;
        result.peakMB = std::max(result.peakMB, Peak_Memory_MB());
        if (result.seconds < 0 || seconds < result.seconds) result.seconds = seconds, result.cpu = cpu;
        result.steps = steps;
    }
    // AreaSmooth leaves the normals as they were; the volume needs the current ones.
    Compute_Face_Normals(mesh);
    Compute_Volume(mesh);
    result.volumeChange = (double(mesh.Volume) - start.volumeInitial) / start.volumeInitial;
    result.rms = Radius_Rms(mesh);
    return result;
}

// Wall seconds of the timed cases, by pass kind and 3 or 20 passes.
struct CaseWalls {
    double seconds[3][2] = {{-1, -1}, {-1, -1}, {-1, -1}};
};

CaseWalls Print_Cases(const char* name, UniOb& mesh, int repeat, bool sphere) {
    CaseWalls walls;
    const Start start(mesh);
    std::printf("\n%s: %u facets, %u vertices%s\n", name, mesh.Face_Count, mesh.Vertex_Count,
                sphere ? "" : " (no radius to measure)");
    if (sphere) std::printf("RMS(|p| - 1000) before: %.4f\n", Radius_Rms(mesh));
    std::printf("%-34s %6s %9s %9s %12s %10s %8s %9s\n", "case", "passes", "wall s", "cpu s", "volume kept",
                "RMS after", "steps", "peak MB");
    for (const Pass kind : {Pass::Area, Pass::Fair, Pass::Batch}) {
        for (const int passes : {3, 20}) {
            const CaseResult r = Run_Case(mesh, start, kind, passes, passes == 3 ? repeat : 1);
            walls.seconds[int(kind)][passes == 3 ? 0 : 1] = r.seconds;
            char rms[32] = "-";
            if (sphere) std::snprintf(rms, sizeof rms, "%.4f", r.rms);
            char steps[32] = "-";
            if (kind != Pass::Area) std::snprintf(steps, sizeof steps, "%d", r.steps);
            std::printf("%-34s %6d %9.3f %9.3f %12.2e %10s %8s %9.0f\n", Pass_Name(kind), passes, r.seconds,
                        r.cpu, r.volumeChange, rms, steps, r.peakMB);
            std::fflush(stdout);
        }
    }
    start.Restore(mesh);

    // Where a batch step's time goes: one call of each part, processor time (the pass over its
    // threads, the restoration's parts in one range each).
    auto once = [&](const std::function<void()>& run) {
        const double c0 = Cpu_Seconds();
        run();
        return (Cpu_Seconds() - c0) * 1000.0;
    };
    const unsigned F = mesh.Face_Count;
    std::vector<double> terms(F);
    std::vector<float> areas(F), angles(std::size_t(F) * 3);
    const double pass = once([&] { AreaSmooth(mesh, 0.5f); });
    const double triples = once([&] { Triple_Products(mesh, 0, F, terms.data()); });
    const double measures =
        once([&] { Face_Measures(mesh, 0, F, areas.data(), angles.data(), terms.data()); });
    const double normals = once([&] { Vertex_Normals_Of_Range(mesh, angles.data(), 0, mesh.Vertex_Count); });
    const double volume = once([&] { Volume_From_Terms(mesh, terms.data(), areas.data()); });
    std::printf(
        "one call, cpu ms: smoothing pass %.1f, volume before restoring %.1f, face normals, "
        "areas, angles and volume %.1f, vertex normals %.1f, volume, area and centroid sums %.1f\n",
        pass, triples, measures, normals, volume);
    start.Restore(mesh);
    return walls;
}

// VTK's smoothing filters on the same meshes through bench/smooth_peers.py: its table as it comes,
// and the wall seconds of vtkSmoothPolyDataFilter at 3 and 20 iterations per file (-1 if absent).
bool Run_Peers(const SmoothBenchOptions& options, const std::vector<std::string>& files,
               std::vector<std::array<double, 2>>& smoothWalls) {
    std::string command = "'" + options.python + "' '" + options.peerScript + "' --radius 1000";
    for (const std::string& file : files) command += " '" + file + "'";
    command += " 2>&1";
    std::printf("\nPeers, same run: %s\n", command.c_str());
    std::fflush(stdout);
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) {
        std::printf("the peer script could not be started\n");
        return false;
    }
    smoothWalls.assign(files.size(), {-1.0, -1.0});
    int file = -1;
    char line[512];
    while (std::fgets(line, sizeof line, pipe)) {
        std::fputs(line, stdout);
        std::fflush(stdout);
        const std::string text = line;
        for (std::size_t i = 0; i < files.size(); ++i)
            if (text.rfind(files[i] + ":", 0) == 0) file = int(i);
        double wall = 0;
        if (file < 0) continue;
        if (std::sscanf(line, "SmoothPolyData 3 it %lf", &wall) == 1) smoothWalls[file][0] = wall;
        if (std::sscanf(line, "SmoothPolyData 20 it %lf", &wall) == 1) smoothWalls[file][1] = wall;
    }
    const int status = pclose(pipe);
    if (status != 0) std::printf("the peer script ended with status %d (python3-vtk9 installed?)\n", status);
    return status == 0;
}

// Ours beside vtkSmoothPolyDataFilter at equal passes, both wall clock from the same run.
void Print_Ratios(const char* name, const CaseWalls& ours, const std::array<double, 2>& vtk) {
    std::printf("%s, wall s:\n%-34s %6s %9s %9s %7s %s\n", name, "case", "passes", "ours", "VTK", "ratio",
                "target");
    for (const Pass kind : {Pass::Area, Pass::Batch}) {
        for (int i = 0; i < 2; ++i) {
            const double mine = ours.seconds[int(kind)][i], peer = vtk[i];
            if (mine < 0 || peer <= 0) continue;
            const double ratio = mine / peer, target = kind == Pass::Area ? 1.0 : 2.0;
            std::printf("%-34s %6d %9.3f %9.3f %7.2f %s %.0fx (%s)\n", Pass_Name(kind), i == 0 ? 3 : 20, mine,
                        peer, ratio, kind == Pass::Area ? "below" : "within", target,
                        ratio <= target ? "met" : "missed");
        }
    }
}

bool Load_Sphere(UniOb& mesh, StlBenchFiles& files) {
    const std::string& path = files.Path(StlBenchKind::Rows);
    if (path.empty()) {
        std::fprintf(stderr, "orvex bench smooth: %s\n", files.Error().c_str());
        return false;
    }
    const Status status = Read_STL(mesh, path);
    if (!status) {
        std::fprintf(stderr, "orvex bench smooth: %s\n", status.message.c_str());
        return false;
    }
    // As if the perturbed sphere had been written and read back: its volume is the load volume.
    Random_Reset_All();
    Perturb(mesh, kNoise);
    Run_Load_Pipeline(mesh);
    return true;
}

int Run_Scaling(const SmoothBenchOptions& options) {
    std::printf("\nPer triangle, 3 passes each, perturbed row-ordered spheres of radius 1000:\n");
    std::printf("%10s %10s %16s %16s %18s\n", "facets", "vertices", "AreaSmooth s", "ns/facet/pass",
                "batch step ns/f/p");
    for (const std::uint64_t triangles : {500000ull, 1000000ull, 2000000ull, 4000000ull, 8000000ull}) {
        StlBenchFiles files(options.dir, triangles, 0);
        UniOb mesh;
        if (!Load_Sphere(mesh, files)) return 1;
        const Start start(mesh);
        const CaseResult area = Run_Case(mesh, start, Pass::Area, 3, options.repeat);
        const CaseResult fair = Run_Case(mesh, start, Pass::Batch, 3, options.repeat);
        const double perArea = area.seconds / 3 / mesh.Face_Count * 1e9;
        const double perFair = fair.seconds / 3 / mesh.Face_Count * 1e9;
        std::printf("%10u %10u %16.3f %16.1f %18.1f\n", mesh.Face_Count, mesh.Vertex_Count, area.seconds,
                    perArea, perFair);
        std::fflush(stdout);
    }
    return 0;
}

int Run_Attract(const std::string& horsePath) {
    UniOb a, b;
    if (!Read_STL(a, horsePath) || !Read_STL(b, horsePath)) return 1;
    for (unsigned v = 0; v < a.Vertex_Count; ++v) {
        a.Vertex_Pos[v] = a.Vertex_Pos[v] * 1000.0f;
        b.Vertex_Pos[v] = b.Vertex_Pos[v] * 1000.0f + Vec3{0, 0, 5};
    }
    Run_Load_Pipeline(a);
    Run_Load_Pipeline(b);
    const auto t0 = std::chrono::steady_clock::now();
    const double c0 = Cpu_Seconds();
    const std::uint64_t tests = AttractToMesh(a, b);
    const double seconds = Seconds_Since(t0), cpu = Cpu_Seconds() - c0;
    std::printf(
        "\nAttractToMesh, horse x 1000 to its copy 5 higher: %.3f s (cpu %.3f s over all threads), %.3g "
        "candidate tests, %.2f x 10^9 tests/s (target >= 1)\n",
        seconds, cpu, double(tests), seconds > 0 ? tests / seconds / 1e9 : 0.0);
    return 0;
}

int Run_Bench_Smooth(const SmoothBenchOptions& options) {
    if (options.scaling) return Run_Scaling(options);

    std::printf("Generating the sphere file ...\n");
    std::fflush(stdout);
    int code = 0;
    // The peers read the perturbed sphere from a file: the one asked for, or a temporary one.
    std::string peerInput = options.peerInput;
    bool removePeerInput = false;
    if (options.peers && peerInput.empty()) {
        std::error_code error;
        const std::filesystem::path folder = options.dir.empty() ? std::filesystem::temp_directory_path(error)
                                                                 : std::filesystem::path(options.dir);
        peerInput = (folder / ("orvex-smooth-peers-" + std::to_string(getpid()) + ".stl")).string();
        removePeerInput = true;
    }
    CaseWalls sphereWalls, horseWalls;
    bool haveHorse = false;
    {
        StlBenchFiles files(options.dir, options.triangles, 0);
        UniOb sphere;
        if (!Load_Sphere(sphere, files)) return 1;
        if (!peerInput.empty()) {
            const Status status = Write_STL(&sphere, peerInput);
            if (!status) {
                std::fprintf(stderr, "orvex bench smooth: %s\n", status.message.c_str());
                return 1;
            }
            std::printf("perturbed sphere written to %s\n", peerInput.c_str());
        }
        sphereWalls =
            Print_Cases("Row-ordered sphere, radius 1000, perturbed 0.3", sphere, options.repeat, true);
    }

    if (!std::filesystem::exists(options.horse)) {
        std::printf("\n%s is absent: horse cases skipped\n", options.horse.c_str());
    } else {
        UniOb horse;
        const Status status = Read_STL(horse, options.horse);
        if (!status) {
            std::fprintf(stderr, "orvex bench smooth: %s\n", status.message.c_str());
            return 1;
        }
        horseWalls = Print_Cases("Horse", horse, options.repeat, false);
        haveHorse = true;
        code = Run_Attract(options.horse);
    }

    if (options.peers) {
        std::vector<std::string> files = {peerInput};
        if (haveHorse) files.push_back(options.horse);
        std::vector<std::array<double, 2>> vtk;
        const bool ran = Run_Peers(options, files, vtk);
        if (removePeerInput) {
            std::error_code error;
            std::filesystem::remove(peerInput, error);
        }
        if (!ran) return 1;
        std::printf("\n");
        Print_Ratios("Sphere", sphereWalls, vtk[0]);
        if (haveHorse) Print_Ratios("Horse", horseWalls, vtk[1]);
        return code;
    }

    std::printf(
        "\nPeers measured apart (VTK 9.1 on this kind of machine, 2M sphere; --peers runs them beside ours): "
        "vtkSmoothPolyDataFilter 3 it 0.65 s "
        "(volume -7.2e-5, RMS 0.054), 20 it 0.93 s (volume -4.8e-4); vtkWindowedSincPolyDataFilter 20 it "
        "0.63 s (volume -4.8e-3); horse: Smooth 3 it 0.02-0.05 s, 20 it 0.04-0.07 s (volume -3.6e-2), "
        "WindowedSinc 0.02-0.03 s (volume -4.3e-3)\n"
        "targets: AreaSmooth faster than vtkSmoothPolyDataFilter at equal passes, the batch step within 2x "
        "of "
        "it, volume after 20 batch passes within 1e-6; AttractToMesh >= 10^9 candidate tests/s\n");
    return code;
}

}  // namespace

void Add_Bench_Smooth_Command(CLI::App& app, RunState& state) {
    CLI::App* bench = Bench_Group(app);
    auto options = std::make_shared<SmoothBenchOptions>();
    CLI::App* smooth = bench->add_subcommand(
        "smooth",
        "Smoothing: AreaSmooth and the batch step (FairSmooth with restoration) for 3 and 20 passes on the "
        "perturbed row-ordered sphere and the horse, AttractToMesh, and per-facet times over sizes");
    smooth->add_option("--triangles", options->triangles, "Facets of the sphere (default 2000000)")
        ->check(CLI::Range(std::uint64_t(8), std::uint64_t(100000000)));
    smooth->add_option("--horse", options->horse, "The horse STL (default ../shared/data/mesh_horse.stl)");
    smooth->add_option("--dir", options->dir, "Folder for the temporary files (default: the system's)");
    smooth->add_option("--write-input", options->peerInput,
                       "Also write the perturbed sphere as binary STL here, for peer runs");
    smooth->add_flag("--scaling", options->scaling, "Only the per-facet times from 0.5M to 8M facets");
    smooth->add_flag(
        "--peers", options->peers,
        "Also run VTK's smoothing filters on the same meshes (bench/smooth_peers.py, python3-vtk9) and "
        "show ours beside vtkSmoothPolyDataFilter, wall clock");
    smooth->add_option("--python", options->python, "Python with VTK for --peers (default /usr/bin/python3)");
    smooth->add_option("--peer-script", options->peerScript,
                       "The peer script (default bench/smooth_peers.py, from the source folder)");
    smooth->add_option("--repeat", options->repeat, "Runs of the 3-pass cases, the best counts (default 3)")
        ->check(CLI::Range(1, 100));
    smooth->callback([options, &state] { state.exitCode = Run_Bench_Smooth(*options); });
}

}  // namespace orvex::cli
