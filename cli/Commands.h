#pragma once
// Each orvex subcommand lives in its own file and registers itself on the application here.
// A command reports failure by setting the exit code and printing the reason to stderr.

#include <CLI/CLI.hpp>
#include <functional>
#include <optional>
#include <string>

namespace orvex {
class UniOb;
class POINT_LIST;
struct Status;
}  // namespace orvex

namespace orvex::cli {

struct RunState {
    int exitCode = 0;
};

// Registers every subcommand; defined in CommandList.cpp, one line per command file.
void Add_All_Commands(CLI::App& app, RunState& state);
// The "bench" group every benchmark family registers under, made on first use (CommandList.cpp).
CLI::App* Bench_Group(CLI::App& app);

// orvex info FILE.stl: what a load shows, and the mesh writers on request (CmdInfo.cpp).
void Add_Info_Command(CLI::App& app, RunState& state);
// orvex convert IN OUT [--merge TOL]: STL, PLY and OBJ by extension (CmdConvert.cpp).
void Add_Convert_Command(CLI::App& app, RunState& state);
// What orvex info prints for a .ply or .obj file (a tolerance welds vertices); the exit code
// (CmdConvert.cpp).
bool Is_Ply_Or_Obj(const std::string& path);
int Run_Mesh_File_Info(const std::string& path, std::optional<float> merge);
// orvex bench formats: PLY and OBJ reading beside binary STL (CmdBenchFormats.cpp).
void Add_Bench_Formats_Command(CLI::App& app, RunState& state);
// orvex bench stl: the STL reading benchmark, headless (CmdBench.cpp).
void Add_Bench_Command(CLI::App& app, RunState& state);
// Best wall time of `repeat` runs in milliseconds; -1 when a run failed (CmdBench.cpp).
double Best_Ms(int repeat, const std::function<bool()>& run);
// orvex bench hull: the hull benchmarks of the Run menu, or the algorithms against qhull (CmdBenchHull.cpp).
void Add_Bench_Hull_Command(CLI::App& app, RunState& state);
// orvex bench smooth: the smoothing passes and the attraction on the sphere and the horse
// (CmdBenchSmooth.cpp).
void Add_Bench_Smooth_Command(CLI::App& app, RunState& state);
// orvex bench reduce: triangle reduction on the sphere and the horse (CmdBenchReduce.cpp).
void Add_Bench_Reduce_Command(CLI::App& app, RunState& state);
// orvex bench select: the rectangle selection walk and the selection edits (CmdBenchSelect.cpp).
void Add_Bench_Select_Command(CLI::App& app, RunState& state);
// orvex bench tgl: Read_TGL on the synthetic face with a large picture (CmdBenchTgl.cpp).
void Add_Bench_Tgl_Command(CLI::App& app, RunState& state);
// orvex generate OUT.ran|.xyz|.xyc: a random point set as "New File" makes it (CmdGenerate.cpp).
void Add_Generate_Command(CLI::App& app, RunState& state);
// orvex ct FILE.ct --threshold N (--simple-cube OUT | --marching-cube OUT), and orvex bench ct (CmdCt.cpp).
void Add_Ct_Command(CLI::App& app, RunState& state);
// orvex hull FILE: a hull of a point file, its counters and volume (CmdHull.cpp).
void Add_Hull_Command(CLI::App& app, RunState& state);
// Reads a .ran, .xyz or .xyc file by its extension, in any case; any other is refused with
// "PATH: not a point file (.ran, .xyz or .xyc)" (CmdHull.cpp).
Status Read_Point_File(POINT_LIST& set, const std::string& path);
// orvex sensor --port PATH and orvex sensor-sim: the motion sensor and its simulator (CmdSensor.cpp).
void Add_Sensor_Commands(CLI::App& app, RunState& state);
// orvex smooth FILE.stl (or --serial FILE...) and orvex reduce FILE.stl (CmdSmooth.cpp).
void Add_Smooth_Command(CLI::App& app, RunState& state);
// orvex cut FILE.stl: Transfer along a rim range, both parts and the LOP files written (CmdCut.cpp).
void Add_Cut_Command(CLI::App& app, RunState& state);
// The cutting sections of orvex bench facet; the exit code (CmdBenchCut.cpp).
int Bench_Facet_Transfer(int grid, int repeat);
int Bench_Facet_Triangulate(int repeat);
// A --tolerance text the merger can use, or the message saying why not (CmdInfo.cpp).
std::string Check_Tolerance(std::string& text);
// n x n squares of two triangles in z = 0 wound counter-clockwise, face normals +z: the
// benchmarks' flat mesh (CmdBenchFacet.cpp).
void Make_Bench_Grid(UniOb& mesh, int n);
// What orvex info prints for a .ct file; the exit code (CmdCt.cpp).
int Run_Ct_Info(const std::string& path, int threshold);
// orvex rim FILE.stl: rims, the detected loop and a range of it, written as LOP (CmdRim.cpp).
void Add_Rim_Command(CLI::App& app, RunState& state);
// The range of a rim that orvex rim and orvex cut pick, refine and smooth, as Mesh Formation's boxes
// and the Modify commands do, and the merge tolerance of the read (CmdRim.cpp).
struct RimRangeOptions {
    std::optional<float> tolerance;
    unsigned start = 0;
    unsigned end = 100;
    int refine = 0;
    int smooth = 0;
};
void Add_Rim_Range_Options(CLI::App* command, RimRangeOptions& range, const char* toleranceHelp);
// What orvex info prints for a .lop file: records, segments, bounds; the exit code (CmdRim.cpp).
int Run_Lop_Info(const std::string& path);
// orvex sphere FILE.ran|.xyz|.xyc: the RMS sphere fit of a point file (CmdSphere.cpp).
void Add_Sphere_Command(CLI::App& app, RunState& state);
// orvex bench sphere: the sphere fit on noisy caps and the table scene (CmdBenchSphere.cpp).
void Add_Bench_Sphere_Command(CLI::App& app, RunState& state);
// orvex bench facet: rim detection, and the cutting cases (CmdBenchFacet.cpp).
void Add_Bench_Facet_Command(CLI::App& app, RunState& state);
// orvex face features|verify|train: face features of a TGL scan, and the batches (CmdFace.cpp).
void Add_Face_Command(CLI::App& app, RunState& state);
// orvex bench face: pairing, matching, training and the verification batch (CmdBenchFace.cpp).
void Add_Bench_Face_Command(CLI::App& app, RunState& state);

}  // namespace orvex::cli
