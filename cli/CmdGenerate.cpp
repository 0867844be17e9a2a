// orvex generate OUT.ran|OUT.xyz|OUT.xyc: a random point set as the "New File" dialog makes it (the
// seven distributions, the three ranges, the count, the arbitrary rotation) or as the density
// benchmark mixes it, written as a point file chosen by the extension. Generated points carry no
// colours of their own, so an .xyc file gives every point the set's random colour.

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "geometry/Clock.h"
#include "mesh/FaceSynth.h"
#include "pointset/PointList.h"

namespace orvex::cli {

namespace {

// Names in PointDistribution order.
const std::vector<std::string> kDistributionNames = {
    "in-cube", "in-sphere-polar", "in-sphere-cardi", "on-sphere", "shell-95", "shell-75", "shell-50"};

struct GenerateOptions {
    std::string output;
    std::string distribution = "on-sphere";
    long long count = 10000;
    std::vector<unsigned> range{500, 500, 500};
    bool rotate = false;
    std::optional<int> density;
};

int Distribution_Index(const std::string& text) {
    if (text.size() == 1 && text[0] >= '0' && text[0] <= '6') return text[0] - '0';
    const auto at = std::find(kDistributionNames.begin(), kDistributionNames.end(), text);
    return at == kDistributionNames.end() ? -1 : int(at - kDistributionNames.begin());
}

// The points of `set` as 6-float points in the set's colour, in the same list order.
void Paint_Points(const POINT_LIST& set, POINT_LIST& painted) {
    painted.Clear();
    VEC_LIST* tail = &painted.points;
    for (const VEC_LIST* p = set.points.next; p; p = p->next) {
        VEC_LIST* node = painted.NewPoint(6);
        for (int k = 0; k < 3; ++k) node->values[k] = p->values[k];
        for (int k = 0; k < 3; ++k) node->values[3 + k] = set.colour[k];
        tail->next = node;
        tail = node;
    }
    painted.coloured = true;
    painted.UpdateBounds();
}

int Run_Generate(const GenerateOptions& options) {
    std::string extension;
    const std::size_t dot = options.output.rfind('.');
    if (dot != std::string::npos && options.output.find('/', dot) == std::string::npos)
        extension = options.output.substr(dot);
    std::string lower = extension;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    if (lower != ".ran" && lower != ".xyz" && lower != ".xyc") {
        std::fprintf(stderr, "orvex generate: %s: the file name must end in .ran, .xyz or .xyc\n",
                     options.output.c_str());
        return 1;
    }
    const int distribution = Distribution_Index(options.distribution);
    if (distribution < 0) {
        std::fprintf(stderr, "orvex generate: unknown distribution '%s'\n", options.distribution.c_str());
        return 1;
    }
    if (options.count < 0 || options.count > kMaxGeneratedPoints) {
        std::fprintf(stderr, "orvex generate: the point count must be between 0 and %u, not %lld\n",
                     kMaxGeneratedPoints, options.count);
        return 1;
    }
    const unsigned count = unsigned(options.count);

    POINT_LIST set;
    const int t0 = Millisecond_Clock();
    if (options.density)
        set.GenerateDensity(options.range[0], options.range[1], options.range[2], count, *options.density,
                            options.rotate);
    else
        set.GenerateRandom(options.range[0], options.range[1], options.range[2], count, distribution,
                           options.rotate);
    const int elapsed = Millisecond_Clock() - t0;
    std::printf("%u points generated\n", count);
    std::printf("Create costs: %d ms\n", elapsed);
    std::printf("Box: (%g, %g, %g) .. (%g, %g, %g)\n", double(set.boundsMin.x), double(set.boundsMin.y),
                double(set.boundsMin.z), double(set.boundsMax.x), double(set.boundsMax.y),
                double(set.boundsMax.z));

    // The name as given: "P.RAN" stays P.RAN.
    const std::string& path = options.output;
    Status written;
    if (lower == ".ran") {
        written = set.WriteRANFile(path);
    } else if (lower == ".xyz") {
        written = set.WriteXYZFile(path);
    } else {
        POINT_LIST painted;
        Paint_Points(set, painted);
        set.Clear();
        written = painted.WriteXYCFile(path);
    }
    if (!written) {
        std::fprintf(stderr, "orvex generate: %s\n", written.message.c_str());
        return 1;
    }
    std::printf("Wrote %s\n", path.c_str());
    return 0;
}

// orvex generate face OUT.tgl: the synthetic face scan (FaceSynth.h) as a TGL file with its picture
// embedded and beside it, as the TGL reader leaves it.
struct FaceOptions {
    std::string output;
    int grid = 321;
    float spacing = 1.0f;
    float noseDepth = 20.0f;
    std::vector<float> shift{0.0f, 0.0f};
    std::vector<float> pose{0, 0, 0, 0, 0, 0};
    int image = 256;
};

int Run_Generate_Face(const FaceOptions& options) {
    std::string lower = std::filesystem::path(options.output).extension().string();
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    if (lower != ".tgl") {
        std::fprintf(stderr, "orvex generate face: %s: the file name must end in .tgl\n",
                     options.output.c_str());
        return 1;
    }
    bool finite = std::isfinite(options.spacing) && std::isfinite(options.noseDepth);
    for (float value : options.shift) finite = finite && std::isfinite(value);
    for (float value : options.pose) finite = finite && std::isfinite(value);
    if (!finite || options.spacing <= 0.0f) {
        std::fprintf(stderr,
                     "orvex generate face: the spacing must be a number above 0 and the others finite\n");
        return 1;
    }
    FaceSynthParams params;
    params.Grid = options.grid;
    params.Spacing = options.spacing;
    params.Nose_Depth = options.noseDepth;
    params.Shift_X = options.shift[0];
    params.Shift_Y = options.shift[1];
    constexpr float kRadians = 3.14159265358979f / 180.0f;
    for (int k = 0; k < 3; ++k) {
        params.Pose.Rotate[k] = options.pose[k] * kRadians;
        params.Pose.Translate[k] = options.pose[3 + k];
    }
    const Status written = Write_Face_Tgl(options.output, params, options.image, true);
    if (!written) {
        std::fprintf(stderr, "orvex generate face: %s\n", written.message.c_str());
        return 1;
    }
    std::printf("Wrote %s: %d x %d vertices, %d faces", options.output.c_str(), options.grid, options.grid,
                2 * (options.grid - 1) * (options.grid - 1));
    if (options.image > 0)
        std::printf(", picture %d x %d in it and in %s.jpg", options.image, options.image,
                    options.output.c_str());
    std::printf("\n");
    return 0;
}

void Add_Generate_Face_Command(CLI::App* generate, RunState& state) {
    auto options = std::make_shared<FaceOptions>();
    CLI::App* face = generate->add_subcommand(
        "face",
        "Write a synthetic face scan as a TGL file: a gently convex surface, two spherical eye pits "
        "64 apart and a nose, with texture coordinates putting the eyes at the default eye fields, and "
        "its picture (embedded and as FILE.jpg)");
    face->add_option("file", options->output, "Output file (.tgl)")->required();
    face->add_option("--grid", options->grid, "Vertices per side (default 321)")->check(CLI::Range(2, 2048));
    face->add_option("--spacing", options->spacing, "Distance between grid lines (default 1)");
    face->add_option("--nose-depth", options->noseDepth, "Height of the nose above the surface (default 20)");
    face->add_option("--shift", options->shift, "Move the sampling grid over the face (default 0 0)")
        ->expected(2)
        ->type_name("DX DY");
    face->add_option("--pose", options->pose,
                     "Turn the face about x, y and z (degrees, in that order), then move it (default all 0)")
        ->expected(6)
        ->type_name("RX RY RZ TX TY TZ");
    face->add_option("--image", options->image, "Picture size in pixels, 0 for none (default 256)")
        ->check(CLI::Range(0, 4096));
    face->callback([options, &state] { state.exitCode = Run_Generate_Face(*options); });
}

}  // namespace

void Add_Generate_Command(CLI::App& app, RunState& state) {
    auto options = std::make_shared<GenerateOptions>();
    CLI::App* generate = app.add_subcommand(
        "generate", "Make a random point set as \"New File\" does and write it as .ran, .xyz or .xyc");
    // Not required by the parser: "generate face FILE" names its file itself.
    generate->add_option("file", options->output, "Output file; its extension picks the format");
    std::string names;
    for (std::size_t i = 0; i < kDistributionNames.size(); ++i)
        names += (i ? ", " : "") + kDistributionNames[i] + " (" + std::to_string(i) + ")";
    generate->add_option("-d,--distribution", options->distribution,
                         "One of " + names + "; default on-sphere");
    generate->add_option("-n,--count", options->count, "Number of points (default 10000)");
    generate
        ->add_option("--range", options->range,
                     "X, Y and Z range: edge lengths of the cube, radii of the spheres (default 500 500 500)")
        ->expected(3)
        ->type_name("X Y Z")
        ->check(CLI::Range(0u, 1000000u));
    generate->add_flag("--rotate", options->rotate,
                       "Turn the set by a random rotation (\"Arbitrary Rotation\")");
    generate
        ->add_option("--density", options->density,
                     "Mix as the density benchmark does: D tenths of the points on the sphere, the others "
                     "inside (0..10; replaces --distribution)")
        ->check(CLI::Range(0, 10));
    Add_Generate_Face_Command(generate, state);
    generate->callback([generate, options, &state] {
        if (generate->got_subcommand("face")) return;
        if (options->output.empty()) throw CLI::RequiredError("file");
        state.exitCode = Run_Generate(*options);
    });
}

}  // namespace orvex::cli
