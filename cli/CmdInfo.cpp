// orvex info FILE.stl: reads the file as the window's open does, prints what the status bar shows
// and more, and writes the mesh outputs that were asked for. Exit code 1 when the read or any
// write failed; a damaged file still shows (and writes) what could be read. A .ct file is a CT
// volume and goes to Run_Ct_Info (CmdCt.cpp); .sfm, .txt (Sick scans) and .jpg go to CmdInfoSfm.cpp.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "geometry/Clock.h"
#include "geometry/GeneralNumber.h"
#include "mesh/LoadPipeline.h"
#include "mesh/MeshWriters.h"
#include "mesh/Reader3ds.h"
#include "mesh/StlReader.h"
#include "mesh/TglReader.h"

namespace orvex::cli {

namespace {

struct InfoOptions {
    std::string input;
    std::optional<float> tolerance;
    std::string writeStl;
    std::vector<float> splitUpperLower;
    std::vector<float> splitVisible;
    std::string outBase;
    std::string faceArray;
    std::string cArrays;
    std::string histograms;
    int threshold = 1200;
};

}  // namespace

// The merger takes a float: "1e39" is infinite as one and would merge nothing sensibly, NaN
// compares false with everything. Only what strtof turns into a finite float >= 0 is taken.
std::string Check_Tolerance(std::string& text) {
    char* end = nullptr;
    const float value = std::strtof(text.c_str(), &end);
    if (end != text.c_str() && *end == '\0' && Usable_Tolerance(value)) return {};
    return "'" + text + "' is not a usable tolerance: give a number from 0 to 3.40282e+38";
}

// .sfm reconstructions, Sick scan logs (.txt) and texture pictures (.jpg): CmdInfoSfm.cpp.
int Run_Sfm_Info(const std::string& path);
int Run_Sick_Info(const std::string& path);
int Run_Jpeg_Info(const std::string& path);

namespace {

// The extension in lower case.
std::string Lower_Extension(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    for (char& c : extension)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return extension;
}

int Run_Aux_Info(const std::string& path, bool& handled) {
    const std::string extension = Lower_Extension(path);
    handled = true;
    if (extension == ".sfm") return Run_Sfm_Info(path);
    if (extension == ".txt") return Run_Sick_Info(path);
    if (extension == ".jpg" || extension == ".jpeg") return Run_Jpeg_Info(path);
    handled = false;
    return 0;
}

bool Is_Ct_File(const std::string& path) {
    const std::string extension = std::filesystem::path(path).extension().string();
    return extension == ".ct" || extension == ".CT";
}

bool Is_Lop_File(const std::string& path) {
    const std::string extension = std::filesystem::path(path).extension().string();
    return extension == ".lop" || extension == ".LOP";
}

void Print_Range(const char* name, const std::vector<float>& values) {
    if (values.empty()) return;
    // fmin and fmax, inline: as library calls they cost more than a million-vertex scan should.
    float low = values[0], high = values[0];
    for (float v : values) {
        if (v < low || std::isnan(low)) low = v;
        if (v > high || std::isnan(high)) high = v;
    }
    std::printf("%s: %g .. %g\n", name, low, high);
}

void Print_Info(const UniOb& mesh, const StlReadReport& report, int pipelineMs) {
    // The status bar's text after an open, then the rest of what a load derives.
    std::printf("%u Facets. %u Points. %g Area. %g Vol. \n", mesh.Face_Count, mesh.Vertex_Count,
                double(mesh.Area), double(mesh.Volume));
    std::printf("Format: %s STL, %llu facets read\n", report.ascii ? "text" : "binary",
                static_cast<unsigned long long>(report.facetsRead));
    std::printf("Load time: %d ms (read and merge), %d ms (normals, rings, curvature, measures)\n",
                mesh.Load_Time, pipelineMs);
    std::printf("Box: (%g, %g, %g) .. (%g, %g, %g)\n", double(mesh.Box_Min.x), double(mesh.Box_Min.y),
                double(mesh.Box_Min.z), double(mesh.Box_Max.x), double(mesh.Box_Max.y),
                double(mesh.Box_Max.z));
    std::printf("Centroid: (%g, %g, %g)\n", double(mesh.Volume_Centroid.x), double(mesh.Volume_Centroid.y),
                double(mesh.Volume_Centroid.z));
    unsigned boundary = 0;
    for (int label : mesh.Vertex_Label) boundary += label == -2 ? 1 : 0;
    std::printf("Boundary vertices: %u\n", boundary);
    Print_Range("Curvature_Max", mesh.Curvature_Max);
    Print_Range("Curvature_Min", mesh.Curvature_Min);
}

bool Report(const Status& status, const char* what) {
    if (status) {
        std::printf("Wrote %s\n", what);
        return true;
    }
    std::fprintf(stderr, "orvex info: %s\n", status.message.c_str());
    return false;
}

// TGL and 3D Studio meshes: what the window's status bar shows after the open, the picture and
// what the reader dropped. The TGL read writes the picture beside the file as the window's does.
int Run_Tgl_3ds_Info(const std::string& path, bool& handled) {
    std::string extension = std::filesystem::path(path).extension().string();
    for (char& c : extension)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    handled = extension == ".tgl" || extension == ".3ds";
    if (!handled) return 0;
    UniOb mesh;
    TglReadReport tgl;
    Read3dsReport tds;
    Status read;
    if (extension == ".tgl") {
        TglReadOptions options;
        options.Report = &tgl;
        read = Read_TGL(mesh, path, options);
    } else {
        read = Read_3DS(mesh, path, &tds);
    }
    if (!read.message.empty()) std::fprintf(stderr, "orvex info: %s\n", read.message.c_str());
    if (!read || mesh.IsEmpty()) return 1;
    const auto general = [](double value) { return General_Number(value, 15, 0, -3); };
    std::printf("%s\n", path.c_str());
    std::printf("%u Facets. %u Points. %s Area. %s Vol. \n", mesh.Face_Count, mesh.Vertex_Count,
                general(mesh.Area).c_str(), general(mesh.Volume).c_str());
    if (extension == ".tgl") {
        std::printf("Format: TGL, %llu faces in the file, %llu dropped\n",
                    static_cast<unsigned long long>(tgl.Faces_Declared),
                    static_cast<unsigned long long>(tgl.Faces_Dropped));
        if (!tgl.Has_Image)
            std::printf("Image: none\n");
        else if (tgl.Image_Width > 0)
            std::printf("Image: %d x %d pixels\n", tgl.Image_Width, tgl.Image_Height);
        else
            std::printf("Image: not decoded, no colours\n");
        if (!tgl.Side_File.empty()) std::printf("Side file: %s\n", tgl.Side_File.c_str());
    } else {
        std::printf("Format: 3D Studio, %llu vertex lists, %llu face lists, %llu faces dropped%s\n",
                    static_cast<unsigned long long>(tds.Vertex_Lists),
                    static_cast<unsigned long long>(tds.Face_Lists),
                    static_cast<unsigned long long>(tds.Faces_Dropped), tds.Stopped ? ", damaged" : "");
        std::printf("Texture coordinates: %s\n", tds.Tex_Coords ? "yes" : "none");
    }
    std::printf("Box: (%g, %g, %g) .. (%g, %g, %g)\n", double(mesh.Box_Min.x), double(mesh.Box_Min.y),
                double(mesh.Box_Min.z), double(mesh.Box_Max.x), double(mesh.Box_Max.y),
                double(mesh.Box_Max.z));
    Print_Range("Curvature_Max", mesh.Curvature_Max);
    Print_Range("Curvature_Min", mesh.Curvature_Min);
    return 0;
}

int Run_Info(const InfoOptions& options) {
    if (options.tolerance) Coincidence_Tolerance = *options.tolerance;  // checked when parsed
    UniOb mesh;
    StlReadReport report;
    StlReadOptions readOptions;
    readOptions.report = &report;
    // With the pipeline inside the read, the merge's second thread starts the face measures.
    const Status read = Read_STL(mesh, options.input, readOptions);
    const int pipelineMs = report.pipelineMs;

    int exitCode = 0;
    if (!read) {
        std::fprintf(stderr, "orvex info: %s\n", read.message.c_str());
        exitCode = 1;
    }
    if (mesh.IsEmpty()) return 1;
    std::printf("%s\n", options.input.c_str());
    Print_Info(mesh, report, pipelineMs);

    const std::string base = options.outBase.empty() ? options.input : options.outBase;
    auto vec = [](const std::vector<float>& v) { return Vec3{v[0], v[1], v[2]}; };
    bool ok = true;
    if (!options.writeStl.empty()) ok &= Report(Write_STL(&mesh, options.writeStl), options.writeStl.c_str());
    if (options.splitUpperLower.size() == 3)
        ok &= Report(Write_STL_Upper_Lower(mesh, base, vec(options.splitUpperLower)),
                     (base + ".upper.stl and " + base + ".lower.stl").c_str());
    if (options.splitVisible.size() == 3)
        ok &= Report(Write_STL_Visible(mesh, base, vec(options.splitVisible)),
                     (base + ".visble.stl and " + base + ".invisble.stl").c_str());
    if (!options.faceArray.empty())
        ok &= Report(Write_Face_Array(mesh, options.faceArray), options.faceArray.c_str());
    if (!options.cArrays.empty())
        ok &= Report(Write_C_Arrays(mesh, options.cArrays), options.cArrays.c_str());
    if (!options.histograms.empty())
        ok &= Report(Write_Histograms(mesh, options.histograms), options.histograms.c_str());
    return ok ? exitCode : 1;
}

}  // namespace

void Add_Info_Command(CLI::App& app, RunState& state) {
    auto options = std::make_shared<InfoOptions>();
    CLI::App* info = app.add_subcommand(
        "info",
        "Read an STL file (binary or text) and print facets, points, area, volume, load time, box, "
        "boundary vertices and curvature ranges; optionally write the mesh outputs. For a CT volume (.ct): "
        "its sizes, value range and the voxels above the threshold. For line segments (.lop): records, "
        "segments "
        "and bounds. For SFM data (.sfm): points, cameras, labels, bounds and each camera; for Sick scans "
        "(.txt): scans, tags and readings; for a texture picture (.jpg): its size and tiles");
    info->add_option("file", options->input,
                     "STL file, TGL (.tgl) or 3D Studio (.3ds) mesh, CT volume (.ct) or line segments (.lop)")
        ->required();
    info->add_option("--threshold", options->threshold,
                     "CT volumes: count the samples above it (default 1200)");
    info->add_option("--tolerance", options->tolerance,
                     "Coincidence_Tolerance for merging corners (default 0.0005)")
        ->check(CLI::Validator(Check_Tolerance, "TOLERANCE"));
    info->add_option("--write-stl", options->writeStl, "Write the mesh as binary STL");
    info->add_option("--split-upper-lower", options->splitUpperLower,
                     "Write BASE.upper.stl (faces whose normal . d > -1e-8) and BASE.lower.stl")
        ->expected(3)
        ->type_name("DX DY DZ");
    info->add_option("--split-visible", options->splitVisible,
                     "Write BASE.visble.stl (faces facing the eye point) and BASE.invisble.stl")
        ->expected(3)
        ->type_name("EX EY EZ");
    info->add_option("--out", options->outBase,
                     "Base name of the split files (default: the input file name)");
    info->add_option("--face-array", options->faceArray, "Write the per-face table");
    info->add_option("--c-arrays", options->cArrays, "Write the C-array dump");
    info->add_option("--histograms", options->histograms, "Write the edge, area and curvature histograms");
    info->callback([options, &state] {
        bool meshKind = false;
        state.exitCode = Run_Tgl_3ds_Info(options->input, meshKind);
        if (meshKind) return;
        bool handled = false;
        state.exitCode = Run_Aux_Info(options->input, handled);
        if (handled) return;
        state.exitCode = Is_Ct_File(options->input)    ? Run_Ct_Info(options->input, options->threshold)
                         : Is_Lop_File(options->input) ? Run_Lop_Info(options->input)
                         : Is_Ply_Or_Obj(options->input)
                             ? Run_Mesh_File_Info(options->input, options->tolerance)
                             : Run_Info(*options);
    });
}

}  // namespace orvex::cli
