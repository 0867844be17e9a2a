// orvex hull FILE: reads a RAN, XYZ or XYC point file, runs one of the three hull algorithms and
// prints the twenty counters, the hull's vertex and face counts and its volume. --validate checks
// the hull against the points read (closed, V - E + F = 2, no point above a face) and its volume
// against qhull's when qconvex is installed. Exit code 1 when the file cannot be read, the points
// cannot be hulled, a file cannot be written or the validation fails, with the reason on stderr.

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string>

#include "cli/Commands.h"
#include "pointset/HullBenchmark.h"
#include "pointset/HullValidator.h"
#include "pointset/PointList.h"

namespace orvex::cli {

namespace {

struct HullOptions {
    std::string input;
    std::string algorithm = "best";
    std::string stl;
    bool validate = false;
};

std::string Lower_Extension(const std::string& path) {
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return "";
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char ch) { return char(std::tolower(ch)); });
    return ext;
}

int Fail(const std::string& why) {
    std::fprintf(stderr, "orvex hull: %s\n", why.c_str());
    return 1;
}

int Run_Hull(const HullOptions& options) {
    POINT_LIST set;
    if (const Status read = Read_Point_File(set, options.input); !read) return Fail(read.message);

    const std::vector<Vec3> input = options.validate ? Capture_Points(set) : std::vector<Vec3>{};
    const HullAlgorithm algorithm = options.algorithm == "best"      ? HullAlgorithm::Best
                                    : options.algorithm == "special" ? HullAlgorithm::Special
                                                                     : HullAlgorithm::Incremental;
    const Status hull = Run_Hull_Algorithm(set, algorithm);
    if (!hull) return Fail(options.input + ": " + hull.message);

    std::printf("counters:");
    for (std::uint32_t value : set.stats) std::printf(" %u", value);
    std::printf("\nV: %u\nF: %u\n", set.Count(0), set.Count(1));
    set.HullMassProperties();
    std::printf("volume: %.9g\n", double(set.volume));

    int exitCode = 0;
    if (!options.stl.empty()) {
        std::string name = options.stl;
        if (Lower_Extension(name) == "stl") name.resize(name.size() - 4);  // the writer adds it
        const Status written = set.WriteHullSTL(name);
        if (written)
            std::printf("Wrote %s.stl\n", name.c_str());
        else
            exitCode = Fail(written.message);
    }
    if (options.validate) {
        HullCheckResult result;
        const Status valid = Validate_Hull(set, input, &result);
        if (!valid) return Fail("the hull is not valid: " + valid.message);
        std::printf("valid: closed, V - E + F = %zu - %zu + %zu = 2, no point above a face\n",
                    result.vertices, result.edges, result.faces);
        const QhullVolume qhull = Qhull_Volume(input);
        if (!qhull.available) {
            std::printf("qhull volume not compared: %s\n", qhull.reason.c_str());
        } else {
            const Status same = Compare_Volumes(result.volume, qhull.volume);
            std::printf("qhull volume: %.9g\n", qhull.volume);
            if (!same) exitCode = Fail(same.message);
        }
    }
    return exitCode;
}

}  // namespace

Status Read_Point_File(POINT_LIST& set, const std::string& path) {
    const std::string ext = Lower_Extension(path);
    if (ext == "ran") return set.ReadRAN(path);
    if (ext == "xyz") return set.ReadXYZ(path);
    if (ext == "xyc") return set.ReadXYC(path);
    return Status::Error(path + ": not a point file (.ran, .xyz or .xyc)");
}

void Add_Hull_Command(CLI::App& app, RunState& state) {
    auto options = std::make_shared<HullOptions>();
    CLI::App* hull = app.add_subcommand(
        "hull",
        "Read a point file (.ran, .xyz, .xyc), run a hull algorithm and print its twenty counters, "
        "the hull's V and F and its volume");
    hull->add_option("file", options->input, "RAN, XYZ or XYC point file")->required();
    hull->add_option("--algorithm", options->algorithm,
                     "best (Quick Hull Best, default), special or incremental")
        ->check(CLI::IsMember({"best", "special", "incremental"}));
    hull->add_option("--stl", options->stl, "Write the hull faces as binary STL");
    hull->add_flag("--validate", options->validate,
                   "Check the hull against the points read, and its volume against qconvex's");
    hull->callback([options, &state] { state.exitCode = Run_Hull(*options); });
}

}  // namespace orvex::cli
