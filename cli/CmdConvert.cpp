// orvex convert IN OUT [--merge TOL]: a mesh between .stl, .ply and .obj by the extensions, printing
// the statistics line of what was written. Also what orvex info prints for a .ply or .obj file.

#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "cli/Commands.h"
#include "geometry/Clock.h"
#include "mesh/LoadPipeline.h"
#include "mesh/PlyObjCommon.h"
#include "mesh/PlyWriter.h"
#include "mesh/StlReader.h"

namespace orvex::cli {

namespace {

struct ConvertOptions {
    std::string input;
    std::string output;
    std::optional<float> merge;
};

void Print_Statistics(const UniOb& mesh) {
    std::printf("%u Facets. %u Points. %g Area. %g Vol. \n", mesh.Face_Count, mesh.Vertex_Count,
                double(mesh.Area), double(mesh.Volume));
}

void Print_Notes(const char* command, const MeshFileReport& report) {
    for (const std::string& note : report.notes)
        std::fprintf(stderr, "orvex %s: note: %s\n", command, note.c_str());
}

int Run_Convert(const ConvertOptions& options) {
    const bool known =
        Is_Ply_Name(options.output) || Is_Obj_Name(options.output) ||
        (options.output.size() >= 4 && (options.output.substr(options.output.size() - 4) == ".stl" ||
                                        options.output.substr(options.output.size() - 4) == ".STL"));
    if (!known) {
        std::fprintf(stderr, "orvex convert: %s: give an output name ending in .stl, .ply or .obj\n",
                     options.output.c_str());
        return 1;
    }
    UniOb mesh;
    MeshFileReport report;
    MeshFileOptions readOptions;
    readOptions.report = &report;
    if (options.merge) readOptions.mergeTolerance = *options.merge;
    const Status read = Read_Mesh_File(mesh, options.input, readOptions);
    Print_Notes("convert", report);
    int exitCode = 0;
    if (!read) {
        std::fprintf(stderr, "orvex convert: %s\n", read.message.c_str());
        exitCode = 1;
    }
    if (mesh.IsEmpty()) return 1;
    const Status written = Write_Mesh_File(&mesh, options.output);
    if (!written) {
        std::fprintf(stderr, "orvex convert: %s\n", written.message.c_str());
        return 1;
    }
    std::printf("%s\n", options.output.c_str());
    Print_Statistics(mesh);
    return exitCode;
}

}  // namespace

bool Is_Ply_Or_Obj(const std::string& path) {
    return Is_Ply_Name(path) || Is_Obj_Name(path);
}

int Run_Mesh_File_Info(const std::string& path, std::optional<float> merge) {
    UniOb mesh;
    MeshFileReport report;
    MeshFileOptions options;
    options.report = &report;
    options.runPipeline = false;
    if (merge) options.mergeTolerance = *merge;
    const Status read = Read_Mesh_File(mesh, path, options);
    const int pipelineStart = Millisecond_Clock();
    Run_Load_Pipeline(mesh);
    const int pipelineMs = Millisecond_Clock() - pipelineStart;
    Print_Notes("info", report);
    int exitCode = 0;
    if (!read) {
        std::fprintf(stderr, "orvex info: %s\n", read.message.c_str());
        exitCode = 1;
    }
    if (mesh.IsEmpty()) return 1;
    std::printf("%s\n", path.c_str());
    Print_Statistics(mesh);
    std::printf("Format: %s, %llu faces read, %llu dropped\n", report.format.c_str(),
                static_cast<unsigned long long>(report.facesRead),
                static_cast<unsigned long long>(report.facesDropped));
    std::printf("Colours: %s\nTexture coordinates: %s\n", report.colors ? "yes" : "no",
                report.texCoords ? "yes" : "no");
    if (report.verticesMerged)
        std::printf("Merged: %llu vertices\n", static_cast<unsigned long long>(report.verticesMerged));
    std::printf("Load time: %d ms (read), %d ms (normals, rings, curvature, measures)\n", mesh.Load_Time,
                pipelineMs);
    std::printf("Box: (%g, %g, %g) .. (%g, %g, %g)\n", double(mesh.Box_Min.x), double(mesh.Box_Min.y),
                double(mesh.Box_Min.z), double(mesh.Box_Max.x), double(mesh.Box_Max.y),
                double(mesh.Box_Max.z));
    return exitCode;
}

void Add_Convert_Command(CLI::App& app, RunState& state) {
    auto options = std::make_shared<ConvertOptions>();
    CLI::App* convert = app.add_subcommand(
        "convert",
        "Convert a mesh between STL, PLY and OBJ by the file extensions (binary STL, binary PLY with colours "
        "and texture coordinates when present, OBJ with vt when present); prints the statistics of what was "
        "written");
    convert->add_option("input", options->input, "Mesh file: .stl, .ply or .obj")->required();
    convert->add_option("output", options->output, "Output file: .stl, .ply or .obj")->required();
    convert
        ->add_option(
            "--merge", options->merge,
            "Weld vertices closer than this on every axis (PLY and OBJ keep their vertices otherwise; "
            "STL always merges, by default identical corners only)")
        ->check(CLI::Validator(Check_Tolerance, "TOLERANCE"));
    convert->callback([options, &state] { state.exitCode = Run_Convert(*options); });
}

}  // namespace orvex::cli
