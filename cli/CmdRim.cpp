// orvex rim FILE.stl: the rims of a mesh as Detect boundary finds them, the range the Mesh
// Formation boxes pick from the loop, refined and smoothed as the window's commands do, written
// as LOP on request. Also what orvex info prints for a .lop file.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "cli/Commands.h"
#include "facet/BoundaryLoop.h"
#include "facet/TriFacet.h"
#include "geometry/Clock.h"
#include "mesh/StlReader.h"

namespace orvex::cli {

namespace {

struct RimOptions : RimRangeOptions {
    std::string input;
    std::string out;
};

void Print_Loop(const char* what, const BOUNDARY_LOOP& loop) {
    std::printf("%s: %u points, length %g\n", what, loop.Point_Count(), loop.Length());
}

int Run_Rim(const RimOptions& options) {
    if (options.tolerance) Coincidence_Tolerance = *options.tolerance;  // checked when parsed
    UniOb mesh;
    const Status read = Read_STL(mesh, options.input);
    int exitCode = 0;
    if (!read) {
        std::fprintf(stderr, "orvex rim: %s\n", read.message.c_str());
        exitCode = 1;
    }
    if (mesh.IsEmpty()) return 1;
    std::printf("%s: %u Facets. %u Points.\n", options.input.c_str(), mesh.Face_Count, mesh.Vertex_Count);

    BOUNDARY_LOOP detected;
    const int t0 = Millisecond_Clock();
    const BoundaryReport report = DetectBoundary(mesh, detected);
    const int detectMs = Millisecond_Clock() - t0;
    std::printf("Rims: %u, rim edges: %u (%d ms)\n", report.rims, report.rimEdges, detectMs);
    if (detected.IsEmpty()) {
        std::printf("The mesh has no rim: no loop, no range\n");
        return exitCode;
    }
    Print_Loop(
        report.closed ? "Loop (closed)" : "Loop (open: the walk ended at a vertex with no rim edge left)",
        detected);

    BOUNDARY_LOOP range;
    range.CopyRange(detected, options.start, options.end);
    if (range.IsEmpty()) {
        std::printf("Range %u .. %u: empty (start and end meet after clamping to %u)\n", options.start,
                    options.end, detected.Point_Count() - 2);
        return exitCode;
    }
    Print_Loop(("Range " + std::to_string(options.start) + " .. " + std::to_string(options.end)).c_str(),
               range);
    for (int i = 0; i < options.refine; ++i) {
        if (const Status s = range.Refine(); !s) {
            std::fprintf(stderr, "orvex rim: %s\n", s.message.c_str());
            exitCode = 1;
            break;
        }
    }
    if (options.refine > 0) Print_Loop("Refined", range);
    if (options.smooth > 0) {
        range.Smooth(options.smooth);
        Print_Loop("Smoothed", range);
    }
    if (!options.out.empty()) {
        if (const Status s = range.WriteLoopLOP(options.out); s) {
            std::printf("Wrote %s.lop (%u records)\n", options.out.c_str(), 2 * (range.Point_Count() - 1));
        } else {
            std::fprintf(stderr, "orvex rim: %s\n", s.message.c_str());
            exitCode = 1;
        }
    }
    return exitCode;
}

}  // namespace

void Add_Rim_Range_Options(CLI::App* command, RimRangeOptions& range, const char* toleranceHelp) {
    command->add_option("--tolerance", range.tolerance, toleranceHelp)
        ->check(CLI::Validator(Check_Tolerance, "TOLERANCE"));
    command->add_option("--start", range.start, "First loop point of the range (Sp_start, default 0)");
    command->add_option("--end", range.end, "Last loop point of the range (Sp_end, default 100)");
    command->add_option("--refine", range.refine, "Refine the range this many times (default 0)")
        ->check(CLI::Range(0, 64));
    command->add_option("--smooth", range.smooth, "Smooth the range with this many iterations (default 0)")
        ->check(CLI::Range(0, 1000000));
}

int Run_Lop_Info(const std::string& path) {
    TRI_FACET facet;
    LopReadReport report;
    const Status read = ReadLOP(facet, path, &report);
    if (!read) std::fprintf(stderr, "orvex info: %s\n", read.message.c_str());
    if (report.records == 0 && report.badLine == 0 && !read) return 1;  // not opened
    std::printf("%s\n", path.c_str());
    std::printf("Line segments: %zu records, %zu segments\n", report.records, report.records / 2);
    if (facet.Segments) {
        float low[3], high[3];
        double length = 0.0;
        for (int k = 0; k < 3; ++k) low[k] = high[k] = facet.Segments->values[k];
        for (const VEC_LIST* r = facet.Segments; r; r = r->next) {
            for (int k = 0; k < 3; ++k) {
                low[k] = std::fmin(low[k], r->values[k]);
                high[k] = std::fmax(high[k], r->values[k]);
            }
        }
        // Segments pair consecutive records.
        for (const VEC_LIST* r = facet.Segments; r && r->next; r = r->next->next) {
            const double dx = double(r->next->values[0]) - r->values[0];
            const double dy = double(r->next->values[1]) - r->values[1];
            const double dz = double(r->next->values[2]) - r->values[2];
            length += std::sqrt(dx * dx + dy * dy + dz * dz);
        }
        std::printf("Box: (%g, %g, %g) .. (%g, %g, %g)\n", double(low[0]), double(low[1]), double(low[2]),
                    double(high[0]), double(high[1]), double(high[2]));
        std::printf("Total segment length: %g\n", length);
    }
    return read ? 0 : 1;
}

void Add_Rim_Command(CLI::App& app, RunState& state) {
    auto options = std::make_shared<RimOptions>();
    CLI::App* rim = app.add_subcommand(
        "rim",
        "Find the rims of an STL mesh (edges used by one face), print the loop Detect boundary takes and "
        "the range picked from it, refine and smooth the range, and write it as LOP");
    rim->add_option("file", options->input, "STL file")->required();
    Add_Rim_Range_Options(rim, *options, "Coincidence_Tolerance for merging corners (default 0.0005)");
    rim->add_option("--out", options->out, "Write the range to NAME.lop");
    rim->callback([options, &state] { state.exitCode = Run_Rim(*options); });
}

}  // namespace orvex::cli
