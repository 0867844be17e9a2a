// orvex bench face: the face pipeline on a synthetic face of 500 x 500 vertices at spacing 1, eyes
// 64 apart (about 30,000 features), against a template taken from the same face resampled on a
// shifted grid in another pose. Pairing, MatchTemplate and TrainTemplate are timed through their
// grids and through the plain loops over all pairs and all faces, whose results must be the same;
// then the verification batch runs over a folder of such TGL files, with the peak memory after the
// first, a middle and the last file.

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "analysis/CandidateRegions.h"
#include "analysis/FaceBatch.h"
#include "analysis/FacePairing.h"
#include "analysis/MatchTemplate.h"
#include "analysis/NormalizeFacePose.h"
#include "analysis/TrainTemplate.h"
#include "analysis/WriteFeatures.h"
#include "cli/Commands.h"
#include "geometry/PeakMemory.h"
#include "mesh/FaceSynth.h"
#include "mesh/LoadPipeline.h"

namespace orvex::cli {

namespace {

struct FaceBenchOptions {
    int grid = 500;
    int files = 50;
    int repeat = 3;
    int image = 512;
    std::string dir;
};

double Cpu_Seconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + 1e-9 * double(t.tv_nsec);
}

// Best processor time of `repeat` runs; `reset` before each run is not timed.
double Best_Time(int repeat, const std::function<void()>& reset, const std::function<void()>& run) {
    double best = 1e30;
    for (int r = 0; r < repeat; ++r) {
        reset();
        const double start = Cpu_Seconds();
        run();
        best = std::min(best, Cpu_Seconds() - start);
    }
    return best;
}

FaceSynthParams Bench_Face(int grid) {
    FaceSynthParams params;
    params.Grid = grid;
    params.Spacing = 1.0f;
    params.Eye_Distance = 64.0f;
    return params;
}

bool Normalised_Face(UniOb& mesh, const FaceSynthParams& params) {
    Make_Face(mesh, params);
    Run_Load_Pipeline(mesh);
    FindCandidateRegions(mesh);
    const Status pose = Normalize_Face(mesh, FaceEyes{});
    if (!pose)
        std::fprintf(stderr, "orvex bench face: the synthetic face has no pose: %s\n", pose.message.c_str());
    return bool(pose);
}

// What TrainTemplate changes, to run it again from the same start.
struct FaceState {
    std::vector<Vec3> pos, vertexNormal, faceNormal;
    std::vector<Record10> features, templates;
    void Save(const UniOb& mesh) {
        pos = mesh.Vertex_Pos, vertexNormal = mesh.Vertex_Normal, faceNormal = mesh.Face_Normal;
        features = mesh.Feature_Records, templates = mesh.Template_Records;
    }
    void Restore(UniOb& mesh) const {
        mesh.Vertex_Pos = pos, mesh.Vertex_Normal = vertexNormal, mesh.Face_Normal = faceNormal;
        mesh.Feature_Records = features, mesh.Template_Records = templates;
    }
};

bool Same_Records(const std::vector<Record10>& a, const std::vector<Record10>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        for (int k = 0; k < 10; ++k)
            if (!(a[i][k] == b[i][k]) && !(a[i][k] != a[i][k] && b[i][k] != b[i][k])) return false;
    return true;
}

int Run_Face_Bench(const FaceBenchOptions& options) {
    std::printf("synthetic face %d x %d at spacing 1, eyes 64 apart\n", options.grid, options.grid);
    FaceSynthParams shifted = Bench_Face(options.grid);
    shifted.Shift_X = 0.37f;
    shifted.Shift_Y = 0.61f;
    shifted.Pose.Rotate[0] = 0.2f;
    shifted.Pose.Rotate[1] = -0.3f;
    shifted.Pose.Rotate[2] = 0.5f;
    shifted.Pose.Translate[0] = 40.0f;
    UniOb source;
    if (!Normalised_Face(source, shifted)) return 1;
    UniOb mesh;
    if (!Normalised_Face(mesh, Bench_Face(options.grid))) return 1;
    mesh.AllocTemplates(unsigned(source.Feature_Records.size()));
    mesh.Template_Records = source.Feature_Records;
    std::printf("features %zu, template records %zu, w %.3f\n", mesh.Feature_Records.size(),
                mesh.Template_Records.size(), double(mesh.Feature_Scale));

    FaceState start;
    start.Save(mesh);
    bool identical = true;

    std::vector<FacePair> fast, plain;
    const auto noReset = [] {};
    const double pairGrid = Best_Time(
        options.repeat, noReset, [&] { Pair_Features(mesh.Feature_Records, mesh.Template_Records, fast); });
    const double pairAll = Best_Time(
        1, noReset, [&] { Pair_Features_All_Pairs(mesh.Feature_Records, mesh.Template_Records, plain); });
    identical = identical && fast == plain;
    std::printf("pairing            grid %8.4f s   all pairs %8.3f s   x%.0f   %zu pairs, %s\n", pairGrid,
                pairAll, pairAll / pairGrid, fast.size(), fast == plain ? "identical" : "DIFFERENT");

    float eGrid = 0, eAll = 0;
    std::vector<Record10> matchedGrid, matchedAll;
    const double matchGrid = Best_Time(
        options.repeat, [&] { start.Restore(mesh); }, [&] { eGrid = MatchTemplate(mesh); });
    matchedGrid = mesh.Template_Records;
    const double matchAll = Best_Time(
        1, [&] { start.Restore(mesh); }, [&] { eAll = MatchTemplate(mesh, FaceSearch::AllPairs); });
    matchedAll = mesh.Template_Records;
    const bool matchSame = (eGrid == eAll) && Same_Records(matchedGrid, matchedAll);
    identical = identical && matchSame;
    std::printf("MatchTemplate      grid %8.4f s   all pairs, all faces %8.3f s   x%.0f   e %.6f, %s%s\n",
                matchGrid, matchAll, matchAll / matchGrid, double(eGrid),
                matchSame ? "identical" : "DIFFERENT", matchGrid < 1.0 ? "" : "   (target 1 s MISSED)");

    std::vector<Record10> trainedGrid, trainedAll;
    std::vector<Vec3> movedGrid, movedAll;
    const double trainGrid = Best_Time(
        options.repeat, [&] { start.Restore(mesh); }, [&] { TrainTemplate(mesh); });
    trainedGrid = mesh.Template_Records, movedGrid = mesh.Vertex_Pos;
    const double trainAll = Best_Time(
        1, [&] { start.Restore(mesh); }, [&] { TrainTemplate(mesh, FaceSearch::AllPairs); });
    trainedAll = mesh.Template_Records, movedAll = mesh.Vertex_Pos;
    const bool trainSame = Same_Records(trainedGrid, trainedAll) && movedGrid == movedAll;
    identical = identical && trainSame;
    std::printf("TrainTemplate      grid %8.4f s   all pairs, all faces %8.3f s   x%.0f   %s%s\n", trainGrid,
                trainAll, trainAll / trainGrid, trainSame ? "identical" : "DIFFERENT",
                trainGrid < 1.0 ? "" : "   (target 1 s MISSED)");

    if (options.files > 0) {
        namespace fs = std::filesystem;
        const fs::path dir = options.dir.empty() ? fs::temp_directory_path() /
                                                       ("orvex_face_bench_" + std::to_string(::getpid()))
                                                 : fs::path(options.dir);
        std::error_code error;
        fs::create_directories(dir, error);
        const std::string first = (dir / "face000.tgl").string();
        if (const Status written = Write_Face_Tgl(first, Bench_Face(options.grid), options.image); !written) {
            std::fprintf(stderr, "orvex bench face: %s\n", written.message.c_str());
            return 1;
        }
        // The other files are links to the first: each is read in full all the same, without
        // filling the disk with copies.
        for (int k = 1; k < options.files; ++k) {
            char name[32];
            std::snprintf(name, sizeof name, "face%03d.tgl", k);
            fs::remove(dir / name, error);
            fs::create_hard_link(first, dir / name, error);
            if (error) fs::copy_file(first, dir / name, fs::copy_options::overwrite_existing, error);
        }
        const std::string templatePath = (dir / "reg.txt").string();
        WriteFeatures(source, templatePath);
        const std::vector<std::string> paths = Folder_File_List(dir.string());
        FaceBatchParams params;
        params.templatePath = templatePath;
        Reset_Peak_Memory();
        std::vector<double> peaks;
        FaceBatchHooks hooks;
        hooks.fileDone = [&](std::size_t, std::size_t, const FaceBatchFile&) {
            peaks.push_back(Peak_Memory_MB());
        };
        const auto wall = std::chrono::steady_clock::now();
        const FaceBatchResult result = Run_Face_Batch(paths, params, hooks);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall).count();
        if (!result.status) {
            std::fprintf(stderr, "orvex bench face: %s\n", result.status.message.c_str());
            return 1;
        }
        std::size_t faces = 0;
        for (const FaceBatchFile& file : result.files) faces += file.skipped ? 0 : 1;
        const double perFile = seconds / double(std::max<std::size_t>(1, faces));
        std::printf("verification batch %zu files   %.3f s a file%s   e %s\n", faces, perFile, perFile < 1.5 ? "" : "   (target 1.5 s MISSED)",
                    result.files.empty()
                        ? "-"
                        : result.lines.front().substr(result.lines.front().find('\t') + 1).c_str());
        if (!peaks.empty())
            std::printf("peak memory after file 1: %.0f MB, file %zu: %.0f MB, file %zu: %.0f MB\n",
                        peaks.front(), peaks.size() / 2 + 1, peaks[peaks.size() / 2], peaks.size(),
                        peaks.back());
        if (options.dir.empty()) fs::remove_all(dir, error);
    }
    std::printf("results %s\n", identical ? "identical" : "DIFFERENT");
    return identical ? 0 : 1;
}

}  // namespace

void Add_Bench_Face_Command(CLI::App& app, RunState& state) {
    auto options = std::make_shared<FaceBenchOptions>();
    CLI::App* bench = Bench_Group(app)->add_subcommand(
        "face", "Face pairing, matching and training against the plain loops, and the verification batch");
    bench->add_option("--grid", options->grid, "Vertices per side of the synthetic face")
        ->check(CLI::Range(40, 4000));
    bench->add_option("--files", options->files, "TGL files of the verification batch (0: none)")
        ->check(CLI::Range(0, 1000));
    bench->add_option("--repeat", options->repeat, "Runs of each grid timing; the best counts")
        ->check(CLI::Range(1, 100));
    bench->add_option("--image", options->image, "Picture size of the TGL files")->check(CLI::Range(0, 4096));
    bench->add_option("--dir", options->dir,
                      "Folder for the batch's files (kept); a temporary one otherwise");
    bench->callback([options, &state] { state.exitCode = Run_Face_Bench(*options); });
}

}  // namespace orvex::cli
