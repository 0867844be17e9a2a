#include "facet/Transfer.h"

#include <chrono>
#include <cmath>

namespace orvex {

namespace {

double Ms_Between(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

}  // namespace

double Facet_Area(const TriOb& object) {
    double sum = 0.0;
    for (const TRI_FACET* f = object.Head.Next; f; f = f->Next) {
        const double ux = double(f->Corner1.x) - f->Corner0.x, uy = double(f->Corner1.y) - f->Corner0.y,
                     uz = double(f->Corner1.z) - f->Corner0.z;
        const double vx = double(f->Corner2.x) - f->Corner0.x, vy = double(f->Corner2.y) - f->Corner0.y,
                     vz = double(f->Corner2.z) - f->Corner0.z;
        const double x = uy * vz - uz * vy, y = uz * vx - ux * vz, z = ux * vy - uy * vx;
        sum += 0.5 * std::sqrt(x * x + y * y + z * z);
    }
    return sum;
}

TransferReport Transfer(TriOb& part1, TriOb& part2, const UniOb* meshes, const BOUNDARY_LOOP& curve,
                        const TransferOptions& options) {
    TransferReport report;
    const auto t0 = std::chrono::steady_clock::now();
    FillFromMeshes(part1, meshes);
    report.facets = part1.FacetCount();
    const auto t1 = std::chrono::steady_clock::now();
    CutAlongCurve(part1, curve, &report.cut, options.cut);
    const auto t2 = std::chrono::steady_clock::now();
    ClassifyByCurve(part1, curve, part2, &report.classify, options.classify);
    const auto t3 = std::chrono::steady_clock::now();
    report.msFill = Ms_Between(t0, t1);
    report.msCut = Ms_Between(t1, t2);
    report.msClassify = Ms_Between(t2, t3);
    report.msTotal = Ms_Between(t0, t3);
    report.part1 = part1.FacetCount();
    report.part2 = part2.FacetCount();
    report.area1 = Facet_Area(part1);
    report.area2 = Facet_Area(part2);
    return report;
}

}  // namespace orvex
