// orvex cut FILE.stl: Transfer as the window runs it. The rim of FILE (or of --rim-of OTHER.stl)
// is detected, a range picked, refined and smoothed as orvex rim does; FILE is cut along it, and
// both parts, the cut segments and the range are written as the "Split STL" save writes them.

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "cli/Commands.h"
#include "facet/BoundaryLoop.h"
#include "facet/Transfer.h"
#include "mesh/StlReader.h"

namespace orvex::cli {

namespace {

struct CutCommandOptions : RimRangeOptions {
    std::string input;
    std::string rimOf;
    std::string out;
};

bool Read_Mesh(UniOb& mesh, const std::string& path) {
    const Status read = Read_STL(mesh, path);
    if (!read) std::fprintf(stderr, "orvex cut: %s\n", read.message.c_str());
    if (mesh.IsEmpty()) {
        if (read) std::fprintf(stderr, "orvex cut: %s holds no facets\n", path.c_str());
        return false;
    }
    std::printf("%s: %u Facets. %u Points.\n", path.c_str(), mesh.Face_Count, mesh.Vertex_Count);
    return true;
}

// An empty part writes no file, as the save does; that is said, not failed.
bool Write_Part(const TriOb& part, const std::string& path) {
    if (part.IsEmpty()) {
        std::printf("%s: not written, the part has no facets\n", path.c_str());
        return true;
    }
    if (const Status s = WriteSTL(part, path); !s) {
        std::fprintf(stderr, "orvex cut: %s\n", s.message.c_str());
        return false;
    }
    std::printf("Wrote %s\n", path.c_str());
    return true;
}

int Run_Cut(const CutCommandOptions& options) {
    if (options.tolerance) Coincidence_Tolerance = *options.tolerance;  // checked when parsed
    UniOb mesh;
    if (!Read_Mesh(mesh, options.input)) return 1;
    UniOb other;
    if (!options.rimOf.empty() && !Read_Mesh(other, options.rimOf)) return 1;
    UniOb& rimMesh = options.rimOf.empty() ? mesh : other;

    BOUNDARY_LOOP detected;
    const BoundaryReport rims = DetectBoundary(rimMesh, detected);
    std::printf("Rims: %u, rim edges: %u, loop: %u points\n", rims.rims, rims.rimEdges,
                detected.Point_Count());
    BOUNDARY_LOOP range;
    range.CopyRange(detected, options.start, options.end);
    if (range.IsEmpty()) {
        std::fprintf(stderr, "orvex cut: no range to cut along (%s)\n",
                     detected.IsEmpty() ? "the mesh has no rim" : "start and end meet after clamping");
        return 1;
    }
    for (int i = 0; i < options.refine; ++i) {
        if (const Status s = range.Refine(); !s) {
            std::fprintf(stderr, "orvex cut: %s\n", s.message.c_str());
            return 1;
        }
    }
    if (options.smooth > 0) range.Smooth(options.smooth);
    std::printf("Range: %u points, length %g\n", range.Point_Count(), range.Length());

    TriOb part1, part2;
    const TransferReport r = Transfer(part1, part2, &mesh, range);
    std::printf("Part 1: %zu facets, area %g\n", r.part1, r.area1);
    std::printf("Part 2: %zu facets, area %g\n", r.part2, r.area2);
    std::printf("Facets split: %zu, made: %zu, kept whole: %zu (cut but not divided: %zu)\n", r.cut.split,
                r.cut.made, r.cut.keptWhole, r.cut.notSplit);
    if (r.cut.ring.nodesDropped > 0)
        std::printf("Polygon nodes dropped without a triangle: %u\n", r.cut.ring.nodesDropped);
    std::printf("Procedure costs : %.0f ms (facets %.0f, cut %.0f, classify %.0f)\n", r.msTotal, r.msFill,
                r.msCut, r.msClassify);

    bool ok = Write_Part(part1, options.out + "part1");
    ok = Write_Part(part2, options.out + "part2") && ok;
    if (part1.Head.Segments) {
        if (const Status s = WriteLOP(part1.Head, options.out + "spline"); s) {
            std::printf("Wrote %sspline.lop\n", options.out.c_str());
        } else {
            std::fprintf(stderr, "orvex cut: %s\n", s.message.c_str());
            ok = false;
        }
    } else {
        std::printf("%sspline.lop: not written, the curve cut no facet\n", options.out.c_str());
    }
    if (const Status s = range.WriteLoopLOP(options.out + "original"); s) {
        std::printf("Wrote %soriginal.lop\n", options.out.c_str());
    } else {
        std::fprintf(stderr, "orvex cut: %s\n", s.message.c_str());
        ok = false;
    }
    return ok ? 0 : 1;
}

}  // namespace

void Add_Cut_Command(CLI::App& app, RunState& state) {
    auto options = std::make_shared<CutCommandOptions>();
    CLI::App* cut = app.add_subcommand(
        "cut",
        "Cut an STL mesh along a range of a rim (its own or another mesh's), as Transfer does, and write "
        "BASEpart1, BASEpart2, BASEspline.lop and BASEoriginal.lop");
    cut->add_option("file", options->input, "STL file to cut")->required();
    cut->add_option("--rim-of", options->rimOf, "Take the rim of this STL file instead of FILE's");
    Add_Rim_Range_Options(cut, *options,
                          "Coincidence_Tolerance for merging corners and cut points (default 0.0005)");
    cut->add_option("--out", options->out, "Base name of the four files written")->required();
    cut->callback([options, &state] { state.exitCode = Run_Cut(*options); });
}

}  // namespace orvex::cli
