// orvex smooth and orvex reduce: the mesh processing of the tool bar on files. Both print the load
// statistics before and after (area and volume recomputed), the volume change against the load
// volume and the computing time; smooth adds the restoration steps of each pass, reduce the
// vertices each phase removed and whether the result is a closed manifold. `smooth --serial` is
// the window's "Serial Smooth STL" over the named files, which it overwrites.

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "analysis/AreaSmooth.h"
#include "analysis/AttractToMesh.h"
#include "analysis/FairSmooth.h"
#include "analysis/Perturb.h"
#include "analysis/ReduceTriangles.h"
#include "analysis/ReverseOrientation.h"
#include "analysis/SerialSmooth.h"
#include "cli/Commands.h"
#include "geometry/Clock.h"
#include "mesh/ClosedManifold.h"
#include "mesh/MeshWriters.h"
#include "mesh/StlReader.h"
#include "mesh/Topology.h"

namespace orvex::cli {

namespace {

struct SmoothOptions {
    std::vector<std::string> files;
    std::string method = "constant";
    std::string factor = "0.5";
    std::string passes = "3";
    std::string perturb;
    std::string attract;
    bool reverse = false;
    bool serial = false;
    std::string out;
};

struct ReduceOptions {
    std::string file;
    std::string threshold = "1";
    std::string out;
};

// A finite number that fits a float, the whole text of it; otherwise a message on stderr.
std::optional<float> Finite_Float(const char* command, const char* option, const std::string& text) {
    errno = 0;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end != text.c_str() && *end == '\0' && std::isfinite(value) &&
        std::fabs(value) <= 3.4028234663852886e38)
        return float(value);
    std::fprintf(stderr, "orvex %s: %s '%s' is not a finite number\n", command, option, text.c_str());
    return std::nullopt;
}

std::optional<int> Pass_Count(const std::string& text) {
    errno = 0;
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (end != text.c_str() && *end == '\0' && errno == 0 && value >= 0 && value <= 1000000)
        return int(value);
    std::fprintf(stderr, "orvex smooth: --passes '%s' is not a count of passes (0 to 1000000)\n",
                 text.c_str());
    return std::nullopt;
}

std::optional<int> Method_Index(const std::string& name) {
    if (name == "constant") return int(Smooth_Constant);
    if (name == "gaussian") return int(Smooth_Gaussian);
    if (name == "gauss-edge") return int(Smooth_Gauss_Edge);
    if (name == "area") return -1;  // AreaSmooth, no restoration
    return std::nullopt;
}

bool Read_Mesh(const char* command, UniOb& mesh, const std::string& path) {
    StlReadReport report;
    StlReadOptions options;
    options.report = &report;
    const Status read = Read_STL(mesh, path, options);
    if (!read || mesh.IsEmpty()) {
        std::fprintf(stderr, "orvex %s: %s\n", command,
                     read ? (path + ": no facets").c_str() : read.message.c_str());
        return false;
    }
    return true;
}

void Print_Statistics(const UniOb& mesh) {
    std::printf("%u Facets. %u Points. %g Area. %g Vol. \n", mesh.Face_Count, mesh.Vertex_Count,
                double(mesh.Area), double(mesh.Volume));
}

bool All_Finite(const UniOb& mesh) {
    for (const Vec3& p : mesh.Vertex_Pos)
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) return false;
    return true;
}

// Area and volume as they are now, then the closing lines every run prints.
void Print_After(UniOb& mesh, double loadVolume) {
    Compute_Box(mesh);
    Compute_Volume(mesh);
    Print_Statistics(mesh);
    if (loadVolume != 0.0 && std::isfinite(loadVolume))
        std::printf("Volume change: %g\n", (double(mesh.Volume) - loadVolume) / loadVolume + 0.0);  // no "-0"
    else
        std::printf("Volume change: %g (the load volume is %g, no relative change)\n",
                    double(mesh.Volume) - loadVolume, loadVolume);
}

int Write_Out(const char* command, UniOb& mesh, const std::string& out) {
    if (out.empty()) return 0;
    if (!All_Finite(mesh)) {
        std::fprintf(stderr, "orvex %s: %s not written: the result holds numbers that are not finite\n",
                     command, out.c_str());
        return 1;
    }
    if (const Status written = Write_STL(&mesh, out); !written) {
        std::fprintf(stderr, "orvex %s: %s\n", command, written.message.c_str());
        return 1;
    }
    std::printf("Wrote %s\n", out.c_str());
    return 0;
}

int Run_Serial(const SmoothOptions& options, const SerialSmoothParams& params) {
    std::vector<SerialSmoothFile> results;
    for (const std::string& path : options.files) {
        results.push_back(Serial_Smooth_File(path, params));
        std::printf("%s\n", Serial_Smooth_Line(results.back()).c_str());
        std::fflush(stdout);
    }
    std::printf("%s\n", Serial_Smooth_Summary(results).c_str());
    for (const SerialSmoothFile& file : results)
        if (!file.Changed()) return 1;
    return 0;
}

int Run_Smooth(const SmoothOptions& options) {
    const std::optional<int> method = Method_Index(options.method);
    if (!method) {
        std::fprintf(stderr, "orvex smooth: --method '%s': give area, constant, gaussian or gauss-edge\n",
                     options.method.c_str());
        return 1;
    }
    const std::optional<float> factor = Finite_Float("smooth", "--factor", options.factor);
    const std::optional<int> passes = Pass_Count(options.passes);
    if (!factor || !passes) return 1;
    std::optional<float> amplitude;
    if (!options.perturb.empty()) {
        amplitude = Finite_Float("smooth", "--perturb", options.perturb);
        if (!amplitude) return 1;
    }

    if (options.serial) {
        if (*method < 0 || amplitude || !options.attract.empty() || options.reverse || !options.out.empty()) {
            std::fprintf(stderr,
                         "orvex smooth: --serial takes --method constant|gaussian|gauss-edge, --factor and "
                         "--passes only: it writes each file over itself\n");
            return 1;
        }
        return Run_Serial(options, SerialSmoothParams{*factor, *passes, *method});
    }
    if (options.files.size() != 1) {
        std::fprintf(stderr, "orvex smooth: one file at a time (several only with --serial)\n");
        return 1;
    }

    const std::string& path = options.files.front();
    UniOb mesh;
    if (!Read_Mesh("smooth", mesh, path)) return 1;
    auto other = std::make_unique<UniOb>();
    if (!options.attract.empty() && !Read_Mesh("smooth", *other, options.attract)) return 1;
    std::printf("%s\n", path.c_str());
    Print_Statistics(mesh);
    const double loadVolume = mesh.Volume;

    // Steps in the order of the options: passes, noise, attraction, reversal.
    const int t0 = Millisecond_Clock();
    std::vector<int> steps;
    for (int pass = 0; pass < *passes; ++pass) {
        if (*method < 0)
            AreaSmooth(mesh, *factor);
        else
            steps.push_back(FairSmooth(mesh, *factor, true, *method));
        Compute_Face_Normals(mesh);
        Compute_Vertex_Normals(mesh, true);
    }
    if (amplitude) {
        Perturb(mesh, *amplitude);
        Compute_Face_Normals(mesh);
        Compute_Vertex_Normals(mesh, true);
    }
    if (!options.attract.empty()) {
        AttractToMesh(mesh, *other);
        Compute_Face_Normals(mesh);
        Compute_Vertex_Normals(mesh, true);
    }
    if (options.reverse) ReverseOrientation(mesh);
    const int ms = Millisecond_Clock() - t0;

    Print_After(mesh, loadVolume);
    if (*method >= 0 && *passes > 0) {
        std::printf("Restoration steps per pass:");
        for (int s : steps) std::printf(" %d", s);
        std::printf("\n");
    }
    std::printf("Time: %d ms\n", ms);
    return Write_Out("smooth", mesh, options.out);
}

int Run_Reduce(const ReduceOptions& options) {
    const std::optional<float> threshold = Finite_Float("reduce", "--threshold", options.threshold);
    if (!threshold) return 1;
    UniOb mesh;
    if (!Read_Mesh("reduce", mesh, options.file)) return 1;
    std::printf("%s\n", options.file.c_str());
    Print_Statistics(mesh);
    const double loadVolume = mesh.Volume;
    const std::string input = Closed_Manifold_Text(Check_Closed_Manifold(mesh));

    const int t0 = Millisecond_Clock();
    const ReduceResult result = ReduceTriangles(mesh, *threshold);
    const int ms = Millisecond_Clock() - t0;
    if (result.outOfMemory) {
        std::fprintf(stderr, "orvex reduce: %s: not enough memory to reduce; nothing written\n",
                     options.file.c_str());
        return 1;
    }

    Print_After(mesh, loadVolume);
    if (result.ran)
        std::printf("Vertices removed: %u in phase 1 (collapses), %u in phase 2 (valence 3)\n",
                    result.phase1Removed, result.phase2Removed);
    else
        std::printf("Nothing reduced: the threshold is above 15 degrees\n");
    std::printf("Input: %s\n", input.c_str());
    std::printf("Result: %s\n", Closed_Manifold_Text(Check_Closed_Manifold(mesh)).c_str());
    std::printf("Time: %d ms\n", ms);
    return Write_Out("reduce", mesh, options.out);
}

}  // namespace

void Add_Smooth_Command(CLI::App& app, RunState& state) {
    auto options = std::make_shared<SmoothOptions>();
    CLI::App* smooth = app.add_subcommand(
        "smooth",
        "Smooth an STL mesh as the tool bar does and print the statistics before and after, the volume "
        "change "
        "and the time. Steps run in this order: the passes, --perturb, --attract, --reverse. With --serial, "
        "\"Serial Smooth STL\": every named .stl file is smoothed and written over itself with its face "
        "table "
        "FILE.txt; files that cannot be read stay as they were");
    smooth->add_option("files", options->files, "STL file (several with --serial)")->required();
    smooth->add_option("--method", options->method,
                       "area (AreaSmooth), or a volume-restoring FairSmooth: constant, gaussian, gauss-edge "
                       "(default constant)");
    smooth->add_option("--factor", options->factor, "Self weight of a vertex (default 0.5)");
    smooth->add_option("--passes", options->passes, "Number of passes (default 3)");
    smooth->add_option("--perturb", options->perturb,
                       "Add uniform noise of this amplitude to every coordinate");
    smooth->add_option("--attract", options->attract, "Pull the mesh towards the mesh of this STL file");
    smooth->add_flag("--reverse", options->reverse, "Reverse the orientation");
    smooth->add_flag("--serial", options->serial, "Smooth every named file and write it over itself");
    smooth->add_option("--out", options->out, "Write the result as binary STL");
    smooth->callback([options, &state] { state.exitCode = Run_Smooth(*options); });

    auto reduceOptions = std::make_shared<ReduceOptions>();
    CLI::App* reduce = app.add_subcommand("reduce",
                                          "Thin out nearly flat regions of an STL mesh (triangle reduction) "
                                          "and print the statistics before and "
                                          "after, the volume change, the vertices removed by each phase, "
                                          "whether the result is a closed manifold "
                                          "and the time");
    reduce->add_option("file", reduceOptions->file, "STL file")->required();
    reduce->add_option(
        "--threshold", reduceOptions->threshold,
        "Largest angle in degrees between a vertex normal and its faces for a collapse; above 15 "
        "nothing changes (default 1)");
    reduce->add_option("--out", reduceOptions->out, "Write the result as binary STL");
    reduce->callback([reduceOptions, &state] { state.exitCode = Run_Reduce(*reduceOptions); });
}

}  // namespace orvex::cli
