// orvex sphere FILE: fits a sphere to the points of a RAN, XYZ or XYC file as "RMS Sphere" does and
// prints centre, radius, the normalised RMS error, the step count and the Detail line. --log and
// --trace write the report log and the iteration trace; --geometric refines the fit by least
// squares on the distances themselves. Exit code 1 when the file cannot be read, holds fewer than
// 3 points or a file cannot be written, with the reason on stderr.

#include <cstdio>
#include <memory>
#include <string>

#include "cli/Commands.h"
#include "fit/RmsSphere.h"
#include "geometry/GeneralNumber.h"
#include "pointset/PointList.h"

namespace orvex::cli {

namespace {

struct SphereOptions {
    std::string input;
    std::string log;
    std::string trace;
    bool geometric = false;
};

int Fail(const std::string& why) {
    std::fprintf(stderr, "orvex sphere: %s\n", why.c_str());
    return 1;
}

std::string Number(double value) {
    return General_Number(value, 15, 0, -3);
}

int Run_Sphere(const SphereOptions& options) {
    POINT_LIST set;
    if (const Status read = Read_Point_File(set, options.input); !read) return Fail(read.message);

    const unsigned count = set.Count(0);
    if (count < 3)
        return Fail(options.input + ": " + std::to_string(count) + (count == 1 ? " point" : " points") +
                    "; a sphere needs at least 3");
    RMSSPHERE sphere;
    sphere.tracePath = options.trace;
    if (!Load_Points(sphere, set)) return Fail(options.input + ": not enough memory for the points");
    set.Clear();
    sphere.Fit();
    int exitCode = 0;
    if (!sphere.traceStatus) exitCode = Fail(sphere.traceStatus.message);
    if (!sphere.note.empty()) std::printf("Note: %s\n", sphere.note.c_str());
    int steps = 0;
    if (options.geometric) steps = Refine_Geometric(sphere);

    std::printf("Center: (%s, %s, %s)\n", Number(sphere.a).c_str(), Number(sphere.b).c_str(),
                Number(sphere.c).c_str());
    std::printf("Radius: %s\n", Number(sphere.R).c_str());
    std::printf("RMS error: %s\n", Number(sphere.rmsError).c_str());
    std::printf("Iterations: %s\n", Number(sphere.iterations).c_str());
    if (options.geometric) std::printf("Geometric steps: %d\n", steps);
    std::printf("%s\n", Sphere_Detail_Line(sphere).c_str());

    if (!options.log.empty()) {
        const Status written = Write_Sphere_Log(sphere, options.log);
        if (!written) exitCode = Fail(written.message);
    }
    return exitCode;
}

}  // namespace

void Add_Sphere_Command(CLI::App& app, RunState& state) {
    auto options = std::make_shared<SphereOptions>();
    CLI::App* sphere = app.add_subcommand(
        "sphere",
        "Fit a sphere to a point file (.ran, .xyz, .xyc) as Run > RMS Sphere does and print centre, "
        "radius, the normalised RMS error, the step count and the Detail line");
    sphere->add_option("file", options->input, "RAN, XYZ or XYC point file")->required();
    sphere->add_option("--log", options->log, "Write the report log (RMS-Sphere.log in the window) here");
    sphere->add_option("--trace", options->trace, "Write the iteration trace (test.txt in the window) here");
    sphere->add_flag("--geometric", options->geometric,
                     "Refine the fit by Gauss-Newton on the point distances from the sphere");
    sphere->callback([options, &state] { state.exitCode = Run_Sphere(*options); });
}

}  // namespace orvex::cli
