// orvex bench hull: the two hull benchmarks of the window without a window (the same tables, "CH_ratio.txt"
// and "CH_Distance.txt" in the current folder, the report lines on stdout), or with --compare-qhull the three
// algorithms against qhull's qconvex on the same points, with their times, the ratios and the peak memory.

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "geometry/PeakMemory.h"
#include "geometry/Random.h"
#include "pointset/HullBenchmark.h"

extern char** environ;

namespace orvex::cli {

namespace {

namespace fs = std::filesystem;

struct HullBenchOptions {
    bool compareQhull = false;
    std::string routine = "both";
    unsigned maxPoints = kLargestBenchmarkCloud;
    unsigned points = 10000;
    int repeats = 1;
    std::string dir;
    std::string qconvex = "qconvex";
};

// ---- The window's two routines ----------------------------------------------------------------

// The share done on one line of a terminal's stderr, a few times a second (the window shows the
// same reports in its status bar).
class TerminalProgress : public Progress {
public:
    void Report(double fraction, const std::string& text) override {
        const auto now = std::chrono::steady_clock::now();
        if (shown_ && fraction < 1.0 && now - last_ < std::chrono::milliseconds(200)) return;
        shown_ = true;
        last_ = now;
        std::fprintf(stderr, "\r%s", text.c_str());
        std::fflush(stderr);
    }

private:
    bool shown_ = false;
    std::chrono::steady_clock::time_point last_;
};

int Run_Tables(const HullBenchOptions& options) {
    HullBenchmarkSettings settings;
    settings.repeats = options.repeats;
    settings.pointCount = options.points;
    settings.maxPoints = options.maxPoints;
    HullBenchmarkHooks hooks;
    hooks.memo = [](const std::string& line) {
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
    };
    const bool terminal = ::isatty(STDERR_FILENO);
    TerminalProgress shown;
    Progress* progress = terminal ? &shown : nullptr;
    POINT_LIST set;
    auto finish = [&](const HullBenchmarkResult& result, const char* file) {
        if (terminal) std::fprintf(stderr, "\r                \r");
        if (!result.status) {
            std::fprintf(stderr, "orvex bench hull: %s\n", result.status.message.c_str());
            return false;
        }
        std::printf("%s written. Totla Cost: %d sec. \n", file, result.elapsedMs / 1000);
        return true;
    };
    if (options.routine != "size") {
        if (!finish(Run_Density_Benchmark(set, settings, hooks, progress), kDensityBenchmarkFile)) return 1;
    }
    if (options.routine != "density") {
        if (!finish(Run_Size_Benchmark(set, settings, hooks, progress), kSizeBenchmarkFile)) return 1;
    }
    return 0;
}

// ---- Against qhull ----------------------------------------------------------------------------

double Cpu_Seconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

struct CompareCase {
    const char* name;
    PointDistribution distribution;
    bool rotate;
    unsigned points;
};

// The same points every time: the generators start over before each cloud.
void Make_Cloud(POINT_LIST& set, const CompareCase& c) {
    Random_Reset_All();
    set.GenerateRandom(500, 500, 500, c.points, c.distribution, c.rotate);
}

// qhull's input format: dimension, count, one point per line. Nine digits give every float back.
bool Write_Qhull_Input(const POINT_LIST& set, const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (!file) return false;
    std::fprintf(file, "3\n%u\n", set.Count(0));
    for (const VEC_LIST* p = set.points.next; p; p = p->next) {
        std::fprintf(file, "%.9g %.9g %.9g\n", double(p->values[0]), double(p->values[1]),
                     double(p->values[2]));
    }
    return std::fclose(file) == 0;
}

struct QhullRun {
    bool ok = false;
    std::string error;
    double seconds = 0.0;  // its own "CPU seconds to compute hull (after input)"
    long vertices = -1;
    long facets = -1;
    double peakMB = 0.0;
};

long Number_After(const std::string& text, const std::string& label) {
    const std::size_t at = text.find(label);
    return at == std::string::npos ? -1 : std::strtol(text.c_str() + at + label.size(), nullptr, 10);
}

QhullRun Run_Qconvex(const std::string& program, const std::string& input, const std::string& output) {
    QhullRun run;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    std::vector<std::string> words = {program, "s", "TI", input};
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    // The child's peak starts from ours (the kernel keeps the larger across its exec), so ours must
    // be small and freshly reset when it starts.
    Reset_Peak_Memory();
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        run.error = program + ": cannot run it: " + std::strerror(spawned);
        return run;
    }
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) < 0) {
        run.error = program + ": lost it: " + std::strerror(errno);
        return run;
    }
    std::ifstream in(output);
    std::stringstream text;
    text << in.rdbuf();
    const std::string out = text.str();
    const std::string label = "CPU seconds to compute hull (after input):";
    const std::size_t at = out.find(label);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || at == std::string::npos) {
        run.error = program + " failed: " + out.substr(0, 400);
        return run;
    }
    run.seconds = std::strtod(out.c_str() + at + label.size(), nullptr);
    run.vertices = Number_After(out, "Number of vertices:");
    run.facets = Number_After(out, "Number of facets:");
    run.peakMB = double(usage.ru_maxrss) / 1024.0;  // kB on Linux
    run.ok = true;
    return run;
}

struct OurRun {
    bool ok = false;
    std::string error;
    double seconds = 0.0;  // best of the repeats, process CPU time around the hull call
    unsigned vertices = 0;
    unsigned faces = 0;
    double peakMB = 0.0;  // VmHWM with the cloud and its hull, the largest of the repeats
};

OurRun Run_Ours(POINT_LIST& set, const CompareCase& c, HullAlgorithm algorithm, int repeats) {
    OurRun run;
    for (int r = 0; r < repeats; ++r) {
        set.Clear();
        Reset_Peak_Memory();
        Make_Cloud(set, c);
        const double t0 = Cpu_Seconds();
        const Status status = Run_Hull_Algorithm(set, algorithm);
        const double seconds = Cpu_Seconds() - t0;
        run.peakMB = std::max(run.peakMB, Peak_Memory_MB());
        if (!status) {
            run.error = std::string(Hull_Algorithm_Name(algorithm)) + ": " + status.message;
            return run;
        }
        run.seconds = r == 0 ? seconds : std::min(run.seconds, seconds);
        run.vertices = set.Count(0);
        run.faces = set.Count(1);
    }
    run.ok = true;
    return run;
}

int Run_Compare(const HullBenchOptions& options) {
    static constexpr CompareCase kCases[] = {
        {"cube", IN_CUBE, false, 1000000},       {"cube", IN_CUBE, false, 10000000},
        {"ball", IN_SPHERE_CARD, true, 1000000}, {"ball", IN_SPHERE_CARD, true, 10000000},
        {"sphere", ON_SPHERE, true, 100000},     {"sphere", ON_SPHERE, true, 1000000},
    };
    std::error_code error;
    const fs::path parent = options.dir.empty() ? fs::temp_directory_path(error) : fs::path(options.dir);
    const fs::path folder = parent / ("orvex_hull_bench_" + std::to_string(::getpid()));
    fs::create_directories(folder, error);
    if (error) {
        std::fprintf(stderr, "orvex bench hull: %s: %s\n", folder.c_str(), error.message().c_str());
        return 1;
    }
    const std::unique_ptr<const fs::path, void (*)(const fs::path*)> cleanup(&folder, [](const fs::path* f) {
        std::error_code ignored;
        fs::remove_all(*f, ignored);
    });
    const std::string input = (folder / "points.txt").string();
    const std::string output = (folder / "qconvex.out").string();

    std::printf("%-7s %9s | %8s %8s %6s | %-23s | %-23s | %-23s\n", "", "", "qhull", "", "",
                "Quick Hull Best", "Quick Hull Special", "Incremental");
    std::printf("%-7s %9s | %8s %8s %6s |", "case", "points", "s", "V", "MB");
    for (int a = 0; a < kHullAlgorithmCount; ++a) std::printf(" %8s %6s %7s |", "s", "ratio", "MB");
    std::printf("\n");
    bool ok = true;
    POINT_LIST set;
    for (const CompareCase& c : kCases) {
        if (c.points > options.maxPoints) continue;
        Make_Cloud(set, c);
        if (!Write_Qhull_Input(set, input)) {
            std::fprintf(stderr, "orvex bench hull: %s: cannot write the points\n", input.c_str());
            return 1;
        }
        set.Clear();
        const QhullRun qhull = Run_Qconvex(options.qconvex, input, output);
        fs::remove(input, error);
        if (!qhull.ok) {
            std::fprintf(stderr, "orvex bench hull: %s\n", qhull.error.c_str());
            return 1;
        }
        std::printf("%-7s %9u | %8.3f %8ld %6.0f |", c.name, c.points, qhull.seconds, qhull.vertices,
                    qhull.peakMB);
        std::fflush(stdout);
        std::string notes;
        for (int a = 0; a < kHullAlgorithmCount; ++a) {
            const OurRun ours = Run_Ours(set, c, HullAlgorithm(a), options.repeats);
            if (!ours.ok) {
                std::printf(" %8s %6s %7s |", "failed", "-", "-");
                notes += "  " + ours.error + "\n";
                ok = false;
                continue;
            }
            std::printf(" %8.3f %6.2f %7.0f |", ours.seconds,
                        qhull.seconds > 0 ? ours.seconds / qhull.seconds : 0.0, ours.peakMB);
            if (qhull.vertices >= 0 && long(ours.vertices) != qhull.vertices) {
                notes += "  " + std::string(Hull_Algorithm_Name(HullAlgorithm(a))) + ": " +
                         std::to_string(ours.vertices) + " hull vertices, qhull " +
                         std::to_string(qhull.vertices) + "\n";
            }
            std::fflush(stdout);
        }
        set.Clear();
        std::printf("\n%s", notes.c_str());
        std::fflush(stdout);
    }
    std::printf(
        "times: process CPU seconds of the hull alone (generation and "
        "qhull's input parsing excluded); "
        "MB: peak resident memory (VmHWM) with the cloud and its hull\n"
        "targets: Quick Hull Best <= 0.5x qhull in the cube and the "
        "ball, <= 1x on the sphere; peak at "
        "10^7 under 1024 MB\n");
    return ok ? 0 : 1;
}

}  // namespace

void Add_Bench_Hull_Command(CLI::App& app, RunState& state) {
    // "bench" is shared with the other benchmark families.
    CLI::App* bench = Bench_Group(app);
    auto options = std::make_shared<HullBenchOptions>();
    CLI::App* hull = bench->add_subcommand("hull",
                                           "Convex hulls: the density and size routines of the Run menu "
                                           "(tables CH_ratio.txt and "
                                           "CH_Distance.txt in the current folder, report lines on stdout), "
                                           "or with --compare-qhull the three "
                                           "algorithms against qconvex on the same points");
    hull->add_flag("--compare-qhull", options->compareQhull,
                   "Time the algorithms against qconvex in a cube, a ball and on "
                   "a sphere instead");
    hull->add_option("--routine", options->routine, "Tables to make: density, size or both (default both)")
        ->check(CLI::IsMember({"density", "size", "both"}));
    hull->add_option("--max-points", options->maxPoints,
                     "Largest cloud of the size routine and of the comparison "
                     "(default 10000000)")
        ->check(CLI::Range(10u, kLargestBenchmarkCloud));
    hull->add_option("--points", options->points, "Cloud size of the density routine (default 10000)")
        ->check(CLI::Range(4u, kMaxGeneratedPoints));
    hull->add_option("--repeats", options->repeats,
                     "Repeats per configuration; for the comparison the best run "
                     "counts (default 1)")
        ->check(CLI::Range(1, kMaxBenchmarkRepeats));
    hull->add_option("--dir", options->dir,
                     "Folder for qhull's input file (default: the system's temporary)");
    hull->add_option("--qconvex", options->qconvex, "The qconvex program (default: qconvex on the PATH)");
    hull->callback([options, &state] {
        state.exitCode = options->compareQhull ? Run_Compare(*options) : Run_Tables(*options);
    });
}

}  // namespace orvex::cli
