// orvex bench facet: the facet and rim routines on generated and real meshes, best of a few runs,
// beside the figures of the peer measured on this kind of machine. Each section is one function
// in the list at the end of the file; --section runs one of them.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "facet/BoundaryLoop.h"
#include "facet/TriOb.h"
#include "geometry/PeakMemory.h"
#include "mesh/StlReader.h"
#include "mesh/Topology.h"

namespace orvex::cli {

void Make_Bench_Grid(UniOb& mesh, int n) {
    const unsigned side = unsigned(n) + 1;
    mesh.AllocVertices(side * side);
    mesh.AllocFaces(2u * unsigned(n) * unsigned(n));
    for (unsigned j = 0; j < side; ++j)
        for (unsigned i = 0; i < side; ++i) mesh.Vertex_Pos[i + side * j] = {float(i), float(j), 0.0f};
    unsigned f = 0;
    for (unsigned j = 0; j < unsigned(n); ++j)
        for (unsigned i = 0; i < unsigned(n); ++i) {
            const int a = int(i + side * j), b = a + 1, c = a + int(side) + 1, d = a + int(side);
            mesh.Face_Index[f++] = {a, b, c};
            mesh.Face_Index[f++] = {a, c, d};
        }
    Compute_Face_Normals(mesh);
}

namespace {

struct FacetBenchOptions {
    int grid = 1000;
    int repeat = 3;
    std::string bunny = "../shared/data/mesh_bunny_zipper.stl";  // from the source folder
    std::string section;
};

// Best wall time of `repeat` runs in seconds.
double Best_Seconds(int repeat, const std::function<void()>& run) {
    double best = -1.0;
    for (int i = 0; i < repeat; ++i) {
        const auto start = std::chrono::steady_clock::now();
        run();
        const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        best = best < 0 ? s : std::min(best, s);
    }
    return best;
}

template <class T>
double Vector_MB(const std::vector<T>& v) {
    return double(v.capacity() * sizeof(T)) / (1024.0 * 1024.0);
}

// What the mesh itself holds in memory.
double Mesh_MB(const UniOb& mesh) {
    return Vector_MB(mesh.Vertex_Pos) + Vector_MB(mesh.Vertex_Normal) + Vector_MB(mesh.Face_Normal) +
           Vector_MB(mesh.Face_Index) + Vector_MB(mesh.Vertex_Label) + Vector_MB(mesh.Curvature_Max) +
           Vector_MB(mesh.Curvature_Min) + Vector_MB(mesh.Tex_Coord) + Vector_MB(mesh.Vertex_Color) +
           Vector_MB(mesh.Vertex_Ring.start) + Vector_MB(mesh.Vertex_Ring.entries);
}

// The grid of Make_Bench_Grid with what a load derives short of curvature: one rim of 4n edges.
void Make_Grid_Mesh(UniOb& mesh, int n) {
    Make_Bench_Grid(mesh, n);
    Compute_Vertex_Normals(mesh, true);
    Build_Rings(mesh);
}

// One DetectBoundary row: time, what it found, and the memory it takes beyond the mesh.
void Bench_Detect(const char* name, UniOb& mesh, int repeat, const char* peer) {
    BOUNDARY_LOOP loop;
    BoundaryReport report;
    const bool reset = Reset_Peak_Memory();
    const double before = Peak_Memory_MB();
    report = DetectBoundary(mesh, loop);
    const double extra = std::max(0.0, Peak_Memory_MB() - before);
    const double seconds = Best_Seconds(repeat, [&] { report = DetectBoundary(mesh, loop); });
    const double meshMB = Mesh_MB(mesh);
    std::printf("%-22s %9u %6u %9u %7u %9.3f %9.0f %9.0f %6.2f  %s\n", name, mesh.Face_Count, report.rims,
                report.rimEdges, loop.Point_Count(), seconds, meshMB, extra,
                meshMB > 0 ? extra / meshMB : 0.0, peer);
    if (!reset) std::printf("  (peak memory not reset: the extra memory is a lower bound)\n");
    std::fflush(stdout);
}

int Section_Boundary(const FacetBenchOptions& options) {
    std::printf("DetectBoundary (peer: VTK 9.1 vtkFeatureEdges boundary edges + vtkStripper, in memory)\n");
    std::printf("%-22s %9s %6s %9s %7s %9s %9s %9s %6s  %s\n", "mesh", "facets", "rims", "rim edges", "loop",
                "seconds", "mesh MB", "extra MB", "ratio", "peer");
    for (int n : {300, 500, options.grid}) {
        UniOb mesh;
        Make_Grid_Mesh(mesh, n);
        const std::string name = "grid " + std::to_string(n) + " x " + std::to_string(n);
        const char* peer = n == 300    ? "0.029 s"
                           : n == 500  ? "0.069 s"
                           : n == 1000 ? "bad_alloc (asks 40 GB)"
                                       : "-";
        Bench_Detect(name.c_str(), mesh, options.repeat, peer);
    }
    if (std::filesystem::exists(options.bunny)) {
        const float saved = Coincidence_Tolerance;
        Coincidence_Tolerance = 0.0f;
        UniOb bunny;
        const Status read = Read_STL(bunny, options.bunny);
        Coincidence_Tolerance = saved;
        if (!read) {
            std::fprintf(stderr, "orvex bench facet: %s\n", read.message.c_str());
            return 1;
        }
        Bench_Detect("bunny (tolerance 0)", bunny, std::max(options.repeat, 10),
                     "0.015 s (223 edges, 5 loops)");
    } else {
        std::printf("%s is absent: no bunny row\n", options.bunny.c_str());
    }
    std::printf(
        "targets: faster than the peer on every row it runs, the 1000 x 1000 grid under 0.3 s, "
        "extra memory under 3x the mesh's own\n");
    return 0;
}

// Facets made from a mesh and released again: the first step of Transfer, and the pool's share.
int Section_Facets(const FacetBenchOptions& options) {
    UniOb mesh;
    Make_Grid_Mesh(mesh, options.grid);
    TriOb object;
    const bool reset = Reset_Peak_Memory();
    const double before = Peak_Memory_MB();
    FillFromMeshes(object, &mesh);
    const double extra = std::max(0.0, Peak_Memory_MB() - before);
    ClearFacets(object);
    const double fill = Best_Seconds(options.repeat, [&] { FillFromMeshes(object, &mesh); });
    const double clear = Best_Seconds(1, [&] { ClearFacets(object); });
    std::printf(
        "FillFromMeshes of the %d x %d grid (%u facets): %.3f s, ClearFacets %.3f s, %.0f MB%s "
        "(%zu bytes a facet)\n",
        options.grid, options.grid, mesh.Face_Count, fill, clear, extra,
        reset ? "" : " (peak not reset: a lower bound)", sizeof(TRI_FACET));
    return 0;
}

struct Section {
    const char* name;
    std::function<int(const FacetBenchOptions&)> run;
};

// The sections in the order they run. Transfer and triangulation join here, each as one function.
std::vector<Section> Sections() {
    return {
        {"boundary", Section_Boundary},
        {"facets", Section_Facets},
        {"transfer", [](const FacetBenchOptions& o) { return Bench_Facet_Transfer(o.grid, o.repeat); }},
        {"triangulate", [](const FacetBenchOptions& o) { return Bench_Facet_Triangulate(o.repeat); }},
    };
}

int Run_Bench_Facet(const FacetBenchOptions& options) {
    int exitCode = 0;
    bool any = false;
    for (const Section& section : Sections()) {
        if (!options.section.empty() && options.section != section.name) continue;
        any = true;
        if (section.run(options) != 0) exitCode = 1;
        std::printf("\n");
    }
    if (!any) {
        std::fprintf(stderr, "orvex bench facet: no section '%s'\n", options.section.c_str());
        return 1;
    }
    return exitCode;
}

}  // namespace

void Add_Bench_Facet_Command(CLI::App& app, RunState& state) {
    CLI::App* bench = Bench_Group(app);
    auto options = std::make_shared<FacetBenchOptions>();
    CLI::App* facet = bench->add_subcommand("facet",
                                            "Facets and rims: DetectBoundary on generated grids and the "
                                            "bunny, facets made from a grid; time and memory");
    facet
        ->add_option("--grid", options->grid, "Squares per side of the big grid (default 1000: 2M triangles)")
        ->check(CLI::Range(1, 4000));
    facet->add_option("--repeat", options->repeat, "Runs per case, the best counts (default 3)")
        ->check(CLI::Range(1, 100));
    facet->add_option("--bunny", options->bunny,
                      "The bunny STL (default ../shared/data/mesh_bunny_zipper.stl)");
    std::string names;
    for (const Section& section : Sections()) names += std::string(names.empty() ? "" : ", ") + section.name;
    facet->add_option("--section", options->section, "Run only this section (" + names + ")");
    facet->callback([options, &state] { state.exitCode = Run_Bench_Facet(*options); });
}

}  // namespace orvex::cli
