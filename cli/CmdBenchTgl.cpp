// orvex bench tgl: Read_TGL on the synthetic face of 500 x 500 vertices at spacing 1 with a
// grainy 2048 x 2048 picture, from bytes in memory and from a file (which also writes the side file),
// with the picture's decoding and the reader's passes timed apart. Best and median of the runs.

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "analysis/AreaSmooth.h"
#include "analysis/Curvature.h"
#include "cli/Commands.h"
#include "geometry/Jpeg.h"
#include "geometry/PeakMemory.h"
#include "mesh/FaceSynth.h"
#include "mesh/TglReader.h"
#include "mesh/Topology.h"

namespace orvex::cli {

namespace {

struct TglBenchOptions {
    int grid = 500;
    int image = 2048;
    int repeat = 5;
    std::string dir;  // where the file form writes; a scratch folder by default
};

struct Timing {
    double best = 0;
    double median = 0;
};

// Runs `work` `repeat` times; `prepare` (untimed) before each.
Timing Time_Runs(int repeat, const std::function<void()>& prepare, const std::function<void()>& work) {
    std::vector<double> seconds;
    for (int r = 0; r < repeat; ++r) {
        if (prepare) prepare();
        const auto t0 = std::chrono::steady_clock::now();
        work();
        seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    }
    std::sort(seconds.begin(), seconds.end());
    return {seconds.front(), seconds[seconds.size() / 2]};
}

void Print_Timing(const char* what, const Timing& t) {
    std::printf("%-44s %9.1f ms best %9.1f ms median\n", what, 1000 * t.best, 1000 * t.median);
}

int Run_Bench_Tgl(const TglBenchOptions& options) {
    FaceSynthParams params;
    params.Grid = options.grid;
    params.Spacing = 1.0f;
    UniOb face;
    Make_Face(face, params);
    std::vector<unsigned char> jpeg;
    if (options.image > 0) {
        // Grain over the picture, so the JPEG holds as much detail as a camera's and decodes as slowly.
        RgbImage image = Face_Image(params, options.image, options.image);
        std::uint32_t state = 12345;
        for (std::uint32_t& pixel : image.Pixels) {
            std::uint32_t grainy = 0;
            for (int k = 0; k < 3; ++k) {
                state = state * 1664525u + 1013904223u;
                const int c = int(pixel >> 8 * k & 0xFF) + int(state >> 27) - 16;
                grainy |= std::uint32_t(std::clamp(c, 0, 255)) << 8 * k;
            }
            pixel = grainy;
        }
        if (Status s = Encode_Jpeg(image, 90, jpeg); !s) {
            std::fprintf(stderr, "orvex bench tgl: %s\n", s.message.c_str());
            return 1;
        }
    }
    const std::vector<unsigned char> bytes = Tgl_Bytes(face, jpeg);
    std::printf(
        "Face %d x %d vertices (%u faces), picture %d x %d (%zu JPEG bytes), file %zu bytes; %d runs\n",
        options.grid, options.grid, face.Face_Count, options.image, options.image, jpeg.size(), bytes.size(),
        options.repeat);

    UniOb mesh;
    Status status;
    Reset_Peak_Memory();
    const Timing memory =
        Time_Runs(options.repeat, nullptr, [&] { status = Read_TGL(mesh, bytes, "bench.tgl"); });
    if (!status || !status.message.empty()) {
        std::fprintf(stderr, "orvex bench tgl: %s\n", status.message.c_str());
        return 1;
    }
    Print_Timing("Read_TGL from bytes", memory);

    std::string dir = options.dir;
    std::filesystem::path scratch;
    if (dir.empty()) {
        scratch = std::filesystem::temp_directory_path() / ("orvex-bench-tgl-" + std::to_string(::getpid()));
        std::filesystem::create_directories(scratch);
        dir = scratch.string();
    }
    const std::string path = (std::filesystem::path(dir) / "bench-face.tgl").string();
    {
        std::FILE* file = std::fopen(path.c_str(), "wb");
        const bool written = file && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
        if (file) std::fclose(file);
        if (!written) {
            std::fprintf(stderr, "orvex bench tgl: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    const Timing onDisk = Time_Runs(options.repeat, nullptr, [&] { status = Read_TGL(mesh, path); });
    Print_Timing("Read_TGL from the file, writing the side file", onDisk);
    if (!scratch.empty()) std::filesystem::remove_all(scratch);
    const double peak = Peak_Memory_MB();

    // The parts: the picture alone, then the reader's passes on the mesh it left.
    JpegDecoded decoded;
    if (!jpeg.empty())
        Print_Timing("  decoding the picture", Time_Runs(options.repeat, nullptr, [&] {
                         Decode_Jpeg(jpeg.data(), jpeg.size(), decoded);
                     }));
    const std::vector<Vec3> positions = mesh.Vertex_Pos;
    const auto restore = [&] { mesh.Vertex_Pos = positions; };
    Print_Timing("  colours from the pixels", Time_Runs(options.repeat, nullptr, [&] {
                     for (unsigned v = 0; v < mesh.Vertex_Count; ++v)
                         mesh.Vertex_Color[v] =
                             int(Tgl_Pixel(decoded.Image, mesh.Tex_Coord[v][0], mesh.Tex_Coord[v][1]));
                 }));
    Print_Timing("  rings", Time_Runs(options.repeat, nullptr, [&] { Build_Rings(mesh); }));
    Print_Timing("  three AreaSmooth 0.01", Time_Runs(options.repeat, restore, [&] {
                     for (int pass = 0; pass < 3; ++pass) AreaSmooth(mesh, 0.01f);
                 }));
    Print_Timing("  face and vertex normals", Time_Runs(options.repeat, nullptr, [&] {
                     Compute_Face_Normals(mesh);
                     Compute_Vertex_Normals(mesh, true);
                 }));
    Print_Timing("  curvature", Time_Runs(options.repeat, nullptr, [&] { Fit_Curvature(mesh); }));
    Print_Timing("  box", Time_Runs(options.repeat, nullptr, [&] { Compute_Box(mesh); }));
    std::printf("Peak memory %.0f MB\n", peak);
    std::printf("Target: Read_TGL under 500 ms: %s (best from bytes %.0f ms)\n",
                memory.best < 0.5 ? "met" : "NOT met", 1000 * memory.best);
    return 0;
}

}  // namespace

void Add_Bench_Tgl_Command(CLI::App& app, RunState& state) {
    auto options = std::make_shared<TglBenchOptions>();
    CLI::App* tgl = Bench_Group(app)->add_subcommand(
        "tgl", "Time Read_TGL on the synthetic face (500 x 500 vertices, 2048 x 2048 picture) and its parts");
    tgl->add_option("--grid", options->grid, "Vertices per side (default 500)")->check(CLI::Range(2, 2048));
    tgl->add_option("--image", options->image, "Picture size in pixels, 0 for none (default 2048)")
        ->check(CLI::Range(0, 8192));
    tgl->add_option("--repeat", options->repeat, "Runs of each (default 5)")->check(CLI::Range(1, 1000));
    tgl->add_option("--dir", options->dir, "Folder for the file form (default: a scratch folder)");
    tgl->callback([options, &state] { state.exitCode = Run_Bench_Tgl(*options); });
}

}  // namespace orvex::cli
