// The cutting sections of orvex bench facet: Transfer of a generated grid along a circle, and the
// triangulation of long comb rings, beside the peer's figures measured on this kind of machine.

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "cli/Commands.h"
#include "facet/Transfer.h"
#include "facet/Triangulate.h"
#include "geometry/PeakMemory.h"
#include "mesh/Topology.h"

namespace orvex::cli {

namespace {

double Seconds_Since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// `count` points on the circle, not closed (the last stretch is left out), normals +z.
BOUNDARY_LOOP Circle(double cx, double cy, double radius, int count) {
    BOUNDARY_LOOP loop;
    for (int i = 0; i < count; ++i) {
        const double t = 2.0 * 3.14159265358979323846 * i / count;
        loop.Points.push_back(
            {float(cx + radius * std::cos(t)), float(cy + radius * std::sin(t)), 0.0f, 0.0f, 0.0f, 1.0f});
    }
    return loop;
}

bool Same_Facets(const TriOb& a, const TriOb& b) {
    const TRI_FACET *f = a.Head.Next, *g = b.Head.Next;
    for (; f && g; f = f->Next, g = g->Next)
        if (std::memcmp(&f->Normal, &g->Normal, 13 * sizeof(float)) != 0) return false;
    return !f && !g;
}

// Facets of a part whose centroid the stretch-by-stretch sum puts in the other part.
std::size_t Misplaced(const TriOb& part, const BOUNDARY_LOOP& curve, bool inside, std::size_t every) {
    std::size_t wrong = 0, i = 0;
    for (const TRI_FACET* f = part.Head.Next; f; f = f->Next, ++i) {
        if (i % every) continue;
        const double cx = (double(f->Corner0.x) + f->Corner1.x + f->Corner2.x) / 3.0;
        const double cy = (double(f->Corner0.y) + f->Corner1.y + f->Corner2.y) / 3.0;
        const double cz = (double(f->Corner0.z) + f->Corner1.z + f->Corner2.z) / 3.0;
        if ((Winding_Sum(curve, cx, cy, cz) > 0.0) != inside) ++wrong;
    }
    return wrong;
}

}  // namespace

int Bench_Facet_Transfer(int grid, int repeat) {
    std::printf("Transfer of a %d x %d grid along a 1,000-point circle of radius 300, normals (0, 0, 1)\n",
                grid, grid);
    const double centre = grid / 2.0;
    const BOUNDARY_LOOP circle = Circle(centre, centre, 300.0, 1000);
    int exitCode = 0;
    {
        UniOb mesh;
        Make_Bench_Grid(mesh, grid);
        std::printf("%9s %8s %8s %8s %8s %8s %8s %9s %9s %7s %6s %8s\n", "facets", "fill", "cut", "weld",
                    "split", "classify", "total s", "part1", "part2", "split", "whole", "peak MB");
        for (int run = 0; run < std::max(1, std::min(repeat, 2)); ++run) {
            Reset_Peak_Memory();
            TriOb part1, part2;
            const TransferReport r = Transfer(part1, part2, &mesh, circle);
            const double peak = Peak_Memory_MB();
            std::printf("%9zu %8.3f %8.3f %8.3f %8.3f %8.3f %8.3f %9zu %9zu %7zu %6zu %8.0f\n", r.facets,
                        r.msFill / 1e3, r.cut.msIntersect / 1e3, r.cut.msWeld / 1e3, r.cut.msSplit / 1e3,
                        r.msClassify / 1e3, r.msTotal / 1e3, r.part1, r.part2, r.cut.split, r.cut.keptWhole,
                        peak);
            if (run == 0) {
                std::printf(
                    "  pairs tested %zu (the plain loops: %zu), cut records %zu, made %zu, "
                    "classify: %zu by the planar winding, %zu summed\n",
                    r.cut.tests, r.cut.cutters * r.facets, r.cut.weldRecords, r.cut.made, r.classify.shortcut,
                    r.classify.full);
                std::printf("  area %.6f of %.0f\n", r.area1 + r.area2, double(grid) * grid);
                const std::size_t wrong =
                    Misplaced(part1, circle, false, 997) + Misplaced(part2, circle, true, 97);
                std::printf("  sampled facets placed otherwise than the stretch-by-stretch sum: %zu\n",
                            wrong);
                if (wrong) exitCode = 1;
            }
        }
    }
    // The filter and the planar winding against the plain loops, where those finish in a second.
    {
        UniOb small;
        Make_Bench_Grid(small, 100);
        const BOUNDARY_LOOP ring = Circle(50.0, 50.0, 30.0, 1000);
        TriOb a1, a2, b1, b2;
        TransferOptions plain;
        plain.cut.spatialFilter = false;
        plain.classify.planarShortcut = false;
        const auto start = std::chrono::steady_clock::now();
        Transfer(b1, b2, &small, ring, plain);
        const double plainSeconds = Seconds_Since(start);
        Transfer(a1, a2, &small, ring);
        const bool same = Same_Facets(a1, b1) && Same_Facets(a2, b2);
        std::printf(
            "100 x 100 grid, circle of radius 30: filtered and planar = plain loops: %s (plain %.2f s)\n",
            same ? "yes" : "NO", plainSeconds);
        if (!same) exitCode = 1;
    }
    std::printf("targets: under 3 s, peak memory under 1 GB\n");
    return exitCode;
}

namespace {

// A base and `teeth` teeth standing on it, counter-clockwise: 4 teeth + 2 nodes.
std::vector<Vec3> Comb_Ring(int teeth) {
    std::vector<Vec3> p{{0.0f, 0.0f, 0.0f}, {2.0f * teeth, 0.0f, 0.0f}};
    for (int t = teeth - 1; t >= 0; --t) {
        const float x = 2.0f * t;
        p.push_back({x + 1.5f, 1.0f, 0.0f});
        p.push_back({x + 1.5f, 10.0f, 0.0f});
        p.push_back({x + 0.5f, 10.0f, 0.0f});
        p.push_back({x + 0.5f, 1.0f, 0.0f});
    }
    return p;
}

}  // namespace

int Bench_Facet_Triangulate(int repeat) {
    std::printf(
        "TriangulateCut of comb rings (peer: VTK vtkPolygon::Triangulate, 1,000 nodes 0.005 s, "
        "10,000 nodes 0.44 s and fails)\n");
    std::printf("%7s %10s %10s %10s %9s %9s %11s\n", "nodes", "seconds", "no grid s", "same ears", "facets",
                "dropped", "area kept");
    int exitCode = 0;
    for (int teeth : {250, 2500}) {
        const std::vector<Vec3> comb = Comb_Ring(teeth);
        double area = 0.0;
        for (std::size_t i = 0; i < comb.size(); ++i) {
            const Vec3& a = comb[i];
            const Vec3& b = comb[(i + 1) % comb.size()];
            area += 0.5 * (double(a.x) * b.y - double(a.y) * b.x);
        }
        double best = -1.0;
        std::size_t made = 0;
        double kept = 0.0;
        RingReport report;
        for (int run = 0; run < repeat; ++run) {
            TRI_FACET facet;
            facet.Normal = {0.0f, 0.0f, 1.0f};
            for (auto it = comb.rbegin(); it != comb.rend(); ++it) {
                auto* r = new VEC_LIST(4);
                r->values[0] = it->x, r->values[1] = it->y, r->values[2] = it->z, r->values[3] = 0.0f;
                r->next = facet.Segments;
                facet.Segments = r;
            }
            facet.Cut_Path = new VEC_LIST(4);  // a lone point: no triangle from the second polygon
            std::fill(facet.Cut_Path->values, facet.Cut_Path->values + 4, 0.0f);
            report = {};
            const auto start = std::chrono::steady_clock::now();
            made = TriangulateCut(facet, &report);
            const double s = Seconds_Since(start);
            best = best < 0 ? s : std::min(best, s);
            kept = 0.0;
            for (const TRI_FACET* f = facet.Next; f; f = f->Next) {
                const Vec3 x = Cross(f->Corner1 - f->Corner0, f->Corner2 - f->Corner0);
                kept += 0.5 * x.z;
            }
            Free_Facet_List(facet.Next);
        }
        // The same ring without the edge grid: the ears must not change.
        auto ears_of = [&](bool grid, double& seconds) {
            Poly_2D poly;
            for (std::size_t i = 0; i < comb.size(); ++i) poly.Append(comb[i].x, comb[i].y, int(i));
            UpdateTurns(poly);
            std::vector<Ear> ears;
            const auto start = std::chrono::steady_clock::now();
            Triangulate_Ring(poly, ears, nullptr, grid);
            seconds = Seconds_Since(start);
            return ears;
        };
        double gridSeconds = 0.0, plainSeconds = 0.0;
        const auto fast = ears_of(true, gridSeconds);
        const auto plain = ears_of(false, plainSeconds);
        bool same = fast.size() == plain.size();
        for (std::size_t i = 0; same && i < fast.size(); ++i)
            for (int k = 0; k < 3; ++k) same = same && fast[i].source[k] == plain[i].source[k];
        const bool areaKept = std::fabs(kept - area) <= 1e-6 * area;
        std::printf("%7zu %10.4f %10.4f %10s %9zu %9u %11s\n", comb.size(), best, plainSeconds,
                    same ? "yes" : "NO", made, report.nodesDropped, areaKept ? "yes" : "NO");
        if (!same || !areaKept || report.nodesDropped) exitCode = 1;
    }
    std::printf("target: 10,000 nodes under 0.5 s, every ring triangulated, no node lost\n");
    return exitCode;
}

}  // namespace orvex::cli
