// orvex bench formats: the generated sphere as binary STL, then written by our writers as binary
// PLY, ASCII PLY and OBJ, each read back (without the load pipeline, which is the same for all)
// beside the plain exact-bits weld of the STL. Best of a few runs; peak memory per reader.

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "geometry/PeakMemory.h"
#include "mesh/ObjReader.h"
#include "mesh/PlyReader.h"
#include "mesh/PlyWriter.h"
#include "mesh/StlBenchFiles.h"
#include "mesh/StlExactWeld.h"
#include "mesh/StlReader.h"

namespace orvex::cli {

namespace {

struct FormatsOptions {
    std::uint64_t triangles = 2000000;
    std::string dir;
    std::string out;
    int repeat = 3;
};

// Peak memory of one run above what was resident before it, in MB; -1 when the peak cannot be reset.
double Peak_Of(const std::function<bool()>& run) {
    if (!Reset_Peak_Memory()) return -1.0;
    const double before = Peak_Memory_MB();
    run();
    return Peak_Memory_MB() - before;
}

double File_MB(const std::string& path) {
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    return error ? 0.0 : double(size) / (1024.0 * 1024.0);
}

int Run_Bench_Formats(const FormatsOptions& options) {
    StlBenchFiles files(options.dir, options.triangles, 0);
    std::printf("Generating the sphere ...\n");
    std::fflush(stdout);
    const std::string stl = files.Path(StlBenchKind::Rows);
    if (stl.empty()) {
        std::fprintf(stderr, "orvex bench: %s\n", files.Error().c_str());
        return 1;
    }
    const std::filesystem::path folder =
        options.out.empty() ? std::filesystem::path(stl).parent_path() : std::filesystem::path(options.out);
    const std::string binaryPly = (folder / "sphere.ply").string();
    const std::string asciiPly = (folder / "sphere_ascii.ply").string();
    const std::string obj = (folder / "sphere.obj").string();
    {
        UniOb mesh;
        StlReadOptions read;
        read.runPipeline = false;
        if (Status s = Read_STL(mesh, stl, read); !s) {
            std::fprintf(stderr, "orvex bench: %s\n", s.message.c_str());
            return 1;
        }
        for (const Status& s : {Write_PLY(&mesh, binaryPly), Write_PLY(&mesh, asciiPly, PlyEncoding::Ascii),
                                Write_OBJ(&mesh, obj)}) {
            if (!s) {
                std::fprintf(stderr, "orvex bench: %s\n", s.message.c_str());
                return 1;
            }
        }
    }

    MeshFileOptions noPipeline;
    noPipeline.runPipeline = false;
    UniOb mesh;
    std::vector<Vec3> vertices;
    std::vector<FaceIndex> faces;
    struct Case {
        const char* name;
        std::string path;
        std::function<bool()> run;
    };
    const std::vector<Case> cases = {
        {"STL exact weld", stl, [&] { return bool(Exact_Weld_Stl(stl, vertices, faces)); }},
        {"STL Read_STL", stl,
         [&] {
             StlReadOptions read;
             read.runPipeline = false;
             return bool(Read_STL(mesh, stl, read));
         }},
        {"PLY binary", binaryPly, [&] { return bool(Read_PLY_File(mesh, binaryPly, noPipeline)); }},
        {"PLY ascii", asciiPly, [&] { return bool(Read_PLY_File(mesh, asciiPly, noPipeline)); }},
        {"OBJ", obj, [&] { return bool(Read_OBJ_File(mesh, obj, noPipeline)); }},
    };
    std::printf("\n%-16s %9s %9s %9s %10s %10s\n", "file", "MB", "faces", "vertices", "best ms", "peak MB");
    std::vector<double> ms;
    bool ok = true;
    for (const Case& c : cases) {
        const double peak = Peak_Of(c.run);
        const double best = Best_Ms(options.repeat, c.run);
        ok &= best >= 0;
        ms.push_back(best);
        const bool weld = ms.size() == 1;
        std::printf("%-16s %9.1f %9zu %9zu %10.0f %10.0f\n", c.name, File_MB(c.path),
                    weld ? faces.size() : std::size_t(mesh.Face_Count),
                    weld ? vertices.size() : std::size_t(mesh.Vertex_Count), best, peak);
        std::fflush(stdout);
    }
    vertices = {};
    faces = {};
    if (ok) {
        std::printf("\nbinary PLY / STL exact weld: %.2f (target <= 1.5)\n", ms[2] / ms[0]);
        std::printf("ASCII PLY / binary PLY: %.2f (target <= 3)\n", ms[3] / ms[2]);
        std::printf("OBJ / binary PLY: %.2f (target <= 3)\n", ms[4] / ms[2]);
    }
    if (!options.out.empty())
        std::printf("files kept in %s\n", options.out.c_str());
    else {
        std::error_code ignored;
        for (const std::string& p : {binaryPly, asciiPly, obj}) std::filesystem::remove(p, ignored);
    }
    return ok ? 0 : 1;
}

}  // namespace

void Add_Bench_Formats_Command(CLI::App& app, RunState& state) {
    CLI::App* bench = Bench_Group(app);
    auto options = std::make_shared<FormatsOptions>();
    CLI::App* formats = bench->add_subcommand(
        "formats",
        "PLY and OBJ reading: the generated sphere written as binary PLY, ASCII PLY and OBJ and read back "
        "(without the load pipeline) beside the exact-bits weld and Read_STL of its binary STL; times and "
        "peak memory");
    formats->add_option("--triangles", options->triangles, "Facets of the sphere (default 2000000)")
        ->check(CLI::Range(std::uint64_t(8), std::uint64_t(100000000)));
    formats->add_option("--dir", options->dir, "Folder for the temporary STL (default: the system's)");
    formats->add_option(
        "--out", options->out,
        "Keep the PLY and OBJ files in this folder (sphere.ply, sphere_ascii.ply, sphere.obj), "
        "for the peers' script bench/formats_peers.py");
    formats->add_option("--repeat", options->repeat, "Runs per case, the best counts (default 3)")
        ->check(CLI::Range(1, 100));
    formats->callback([options, &state] { state.exitCode = Run_Bench_Formats(*options); });
}

}  // namespace orvex::cli
