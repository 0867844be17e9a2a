#pragma once
// The hull benchmarks: the density routine (hulls of clouds with 0 to 10 tenths of their points on
// a sphere, table "CH_ratio.txt") and the size routine (cube, ball and sphere clouds of 10 to ten
// million points, table "CH_Distance.txt"), each running Quick Hull Best, Quick Hull Special and
// the incremental hull `repeats` times per configuration on the caller's point set. The tables are
// written through an atomic file in the current working folder; the report lines, the progress
// texts and each new cloud go to the caller through hooks, so the window and orvex show the same.
// Invariants: a run that fails leaves the previous table in place; a run stopped through its
// Progress (checked between runs) keeps the table of the configurations finished so far, whole
// lines only, with a closing line that says so. Every configuration regenerates the set, so
// afterwards it holds the last cloud and its hull.

#include <functional>
#include <string>

#include "geometry/Progress.h"
#include "geometry/Status.h"
#include "pointset/PointList.h"

namespace orvex {

constexpr const char* kDensityBenchmarkFile = "CH_ratio.txt";
constexpr const char* kSizeBenchmarkFile = "CH_Distance.txt";
// Beyond this many repeats the measured arrays alone would exhaust memory. Clouds of the density
// routine are bounded like New File's (kMaxGeneratedPoints); the size routine tops out at ten million.
constexpr int kMaxBenchmarkRepeats = 100000;
constexpr unsigned kLargestBenchmarkCloud = 10000000;

enum class HullAlgorithm { Best = 0, Special = 1, Incremental = 2 };
constexpr int kHullAlgorithmCount = 3;

// "Quick Hull Best", "Quick Hull Special", "Incremental".
const char* Hull_Algorithm_Name(HullAlgorithm algorithm);
// The report rule naming the algorithm: "==================Quick Hull Best algorithm================".
std::string Hull_Algorithm_Line(HullAlgorithm algorithm);
Status Run_Hull_Algorithm(POINT_LIST& set, HullAlgorithm algorithm, Progress* progress = nullptr);

// Report lines, tab-separated; integers in decimal, ratios at 3 significant digits, averages at 8.
// Tool button 16: ms, s0 .. s5, s6/s0, s8/s0, s9/s0, s10/s0, s11.
std::string Hull_Button_Line(int ms, const HullStats& s);
// One benchmark run: s12, s0, s1, s2, s3, s5, s8/s0, s9/s0, s10/s0, s11.
std::string Hull_Run_Line(const HullStats& s);
// The averages of a configuration, a[i] being the mean of counter i (8 to 10 per input point).
std::string Hull_Average_Line(const float a[15]);

// Mean, half range and standard deviation of one measured array (population statistics; the
// deviation stays 0 when the variance is 1e-8 or less).
struct Spread {
    float mean = 0.0f;
    float halfRange = 0.0f;
    float deviation = 0.0f;
};
Spread Spread_Of(const float* values, int n);

struct HullBenchmarkSettings {
    int repeats = 1;                              // Mesh Formation `Repeat_Convex`
    unsigned pointCount = 10000;                  // density routine: New File `point_size`
    unsigned maxPoints = kLargestBenchmarkCloud;  // size routine: larger clouds are left out
    std::string file;                             // empty: the routine's own table in the current folder
};

struct HullBenchmarkHooks {
    std::function<void(const std::string& line)> memo;  // a line for the "Detail" window
    // Progress text: line 0 is the step (" Creating random 1000 points...", " Calculating convex
    // hull : 1000"), line 1 the share done ("42 % completed"), drawn half a line below it.
    std::function<void(const std::string& text, int line)> text;
    std::function<void(const POINT_LIST& set)> generated;  // a new cloud: its bounds become the scene
    std::function<void()> repaint;                         // after each run, before line 1
};

struct HullBenchmarkResult {
    Status status;
    int elapsedMs = 0;       // from the first report line (density) or the headers (size) to the end
    bool stopped = false;    // cancelled between runs; the table holds the finished configurations
    long long runsDone = 0;  // hull runs finished, of runsTotal
    long long runsTotal = 0;
};

// "Stopped by the user after 5 of 189 runs."
std::string Stopped_Line(const HullBenchmarkResult& result);

HullBenchmarkResult Run_Density_Benchmark(POINT_LIST& set, const HullBenchmarkSettings& settings,
                                          const HullBenchmarkHooks& hooks, Progress* progress = nullptr);
HullBenchmarkResult Run_Size_Benchmark(POINT_LIST& set, const HullBenchmarkSettings& settings,
                                       const HullBenchmarkHooks& hooks, Progress* progress = nullptr);

}  // namespace orvex
