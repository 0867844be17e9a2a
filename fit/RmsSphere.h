#pragma once
// RMSSPHERE: a sphere fitted to points by least squares on the difference between each point's
// squared distance from the centre and the squared radius. The fit starts from the direct linear
// solution of that objective (it is linear in a, b, c and a² + b² + c² − R²), then runs Newton
// sweeps over one parameter at a time, taking only finite downhill steps, until a sweep changes
// nothing. Each sweep appends a line to the trace file.

#include <cstdint>
#include <string>
#include <vector>

#include "geometry/Status.h"

namespace orvex {

class POINT_LIST;

struct SpherePoint {
    double x, y, z;
};

class RMSSPHERE {
public:
    // n = 0 changes nothing; otherwise the points are replaced by n zeroed records and every result
    // is reset to 0. False (and an empty set) when the memory cannot be had.
    bool SetPoints(std::uint32_t n);
    // False, with nothing changed and no trace, when fewer than 3 points are held.
    bool Fit();

    std::uint32_t count = 0;
    std::vector<SpherePoint> points;
    double a = 0, b = 0, c = 0;
    double R = 0;
    double maxError = 0;      // largest radial error / R
    double minError = 0;      // smallest radial error / R
    double meanAbsError = 0;  // mean absolute radial error / R
    double rmsError = 0;      // root mean square radial error / R
    double gradientSum = 0;   // |dE/da| + |dE/db| + |dE/dc| + |dE/dR| after the last sweep
    double iterations = 0;    // the step counter at the end of the fit

    // Where Fit writes its trace ("%.10lf       %.10lf\n": change of the objective, gradientSum);
    // empty: no trace.
    std::string tracePath = "test.txt";
    // After Fit: what the user should know about the points (in a plane, on a line, coincident),
    // empty when nothing; and whether the trace was written.
    std::string note;
    Status traceStatus;
};

// Replaces the sphere's points by those of `set` in list order (SetPoints: an empty set keeps the
// previous points). False when the memory cannot be had.
bool Load_Points(RMSSPHERE& sphere, const POINT_LIST& set);

// The Detail line: a, b, c, R, maxError, minError, meanAbsError, rmsError, gradientSum, iterations
// in the general number format (15 significant digits), joined by "," without blanks.
std::string Sphere_Detail_Line(const RMSSPHERE& sphere);

// The bytes of the report log (eight lines, Big5 prefixes, "%f" with '.' whatever the locale).
std::string Sphere_Log_Text(const RMSSPHERE& sphere);
// Writes Sphere_Log_Text to `path` (the window uses "RMS-Sphere.log" in the working folder).
Status Write_Sphere_Log(const RMSSPHERE& sphere, const std::string& path = "RMS-Sphere.log");

// Refines a fitted sphere by Gauss-Newton on the geometric distance Σ (|p − centre| − R)²,
// then recomputes the error fields; iterations and gradientSum keep the algebraic fit's values.
// Returns the Gauss-Newton steps taken; 0 when fewer than 3 points are held or R is 0.
int Refine_Geometric(RMSSPHERE& sphere, int maxSteps = 50);

}  // namespace orvex
