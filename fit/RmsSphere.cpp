#include "fit/RmsSphere.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <new>

#include "geometry/AtomicFile.h"
#include "geometry/GeneralNumber.h"
#include "pointset/PointList.h"

namespace orvex {

namespace {

// Sums are gathered per block and then added up, which keeps ten million terms accurate enough
// for the downhill test of a step near the optimum.
constexpr std::uint32_t kBlock = 4096;

// One pass over the points, all about a trial centre (ca, cb, cc) relative to the centroid and a
// radius R: the objective and what its first and second derivatives need.
struct Sums {
    double E = 0;   // Σ f²
    double f = 0;   // Σ f
    double fx = 0;  // Σ f dx
    double fy = 0;  // Σ f dy
    double fz = 0;  // Σ f dz
    double xx = 0;  // Σ dx²
    double yy = 0;  // Σ dy²
    double zz = 0;  // Σ dz²
};

enum { kR = 0, kA = 1, kB = 2, kC = 3 };

// (v - m) in units of a power of two, halved first so that the difference of two huge values
// cannot overflow; w2 is twice the unit's inverse. The same bits as (v - m) * w in normal ranges.
inline double Scaled(double v, double m, double w2) {
    return (v * 0.5 - m * 0.5) * w2;
}

// The exponent of a power of two at or just above `extent`, kept where its fourth power and
// inverse are representable enough to matter.
int Unit_Exponent(double extent) {
    if (!(extent > 0) || !std::isfinite(extent)) return 0;
    int exponent = 0;
    std::frexp(extent, &exponent);
    return std::clamp(exponent, -1000, 1000);
}

// `q` holds the points, taken relative to the centroid `m` in the units of `w2` (see Scaled).
Sums Evaluate(const std::vector<SpherePoint>& q, std::size_t n, const double m[3], double w2,
              const double p[4]) {
    Sums total;
    const double R2 = p[kR] * p[kR];
    for (std::size_t start = 0; start < n; start += kBlock) {
        const std::size_t end = std::min(n, start + kBlock);
        Sums s;
        for (std::size_t i = start; i < end; ++i) {
            const double dx = Scaled(q[i].x, m[0], w2) - p[kA], dy = Scaled(q[i].y, m[1], w2) - p[kB],
                         dz = Scaled(q[i].z, m[2], w2) - p[kC];
            const double dx2 = dx * dx, dy2 = dy * dy, dz2 = dz * dz;
            const double f = dx2 + dy2 + dz2 - R2;
            s.E += f * f;
            s.f += f;
            s.fx += f * dx;
            s.fy += f * dy;
            s.fz += f * dz;
            s.xx += dx2;
            s.yy += dy2;
            s.zz += dz2;
        }
        total.E += s.E;
        total.f += s.f;
        total.fx += s.fx;
        total.fy += s.fy;
        total.fz += s.fz;
        total.xx += s.xx;
        total.yy += s.yy;
        total.zz += s.zz;
    }
    return total;
}

double Gradient(const Sums& s, const double p[4], int k) {
    switch (k) {
        case kR:
            return -4.0 * p[kR] * s.f;
        case kA:
            return -4.0 * s.fx;
        case kB:
            return -4.0 * s.fy;
        default:
            return -4.0 * s.fz;
    }
}

double Curvature(const Sums& s, const double p[4], int k, double n) {
    switch (k) {
        case kR:
            return -4.0 * s.f + 8.0 * n * p[kR] * p[kR];
        case kA:
            return 4.0 * s.f + 8.0 * s.xx;
        case kB:
            return 4.0 * s.f + 8.0 * s.yy;
        default:
            return 4.0 * s.f + 8.0 * s.zz;
    }
}

// Eigen-decomposition of a symmetric N x N matrix by cyclic Jacobi rotations: A becomes diagonal
// (the eigenvalues), the columns of V the eigenvectors.
template <int N>
void Jacobi(double (&A)[N][N], double (&V)[N][N]) {
    for (int i = 0; i < N; ++i)
        for (int j = 0; j < N; ++j) V[i][j] = i == j ? 1.0 : 0.0;
    for (int sweep = 0; sweep < 50; ++sweep) {
        double off = 0;
        for (int p = 0; p < N; ++p)
            for (int q = p + 1; q < N; ++q) off += std::fabs(A[p][q]);
        if (off == 0.0) return;
        for (int p = 0; p < N - 1; ++p)
            for (int q = p + 1; q < N; ++q) {
                if (A[p][q] == 0.0) continue;
                const double theta = (A[q][q] - A[p][p]) / (2.0 * A[p][q]);
                const double t =
                    (theta >= 0 ? 1.0 : -1.0) / (std::fabs(theta) + std::sqrt(theta * theta + 1.0));
                const double c = 1.0 / std::sqrt(t * t + 1.0), s = t * c;
                for (int k = 0; k < N; ++k) {
                    const double akp = A[k][p], akq = A[k][q];
                    A[k][p] = c * akp - s * akq;
                    A[k][q] = s * akp + c * akq;
                }
                for (int k = 0; k < N; ++k) {
                    const double apk = A[p][k], aqk = A[q][k];
                    A[p][k] = c * apk - s * aqk;
                    A[q][k] = s * apk + c * aqk;
                }
                for (int k = 0; k < N; ++k) {
                    const double vkp = V[k][p], vkq = V[k][q];
                    V[k][p] = c * vkp - s * vkq;
                    V[k][q] = s * vkp + c * vkq;
                }
            }
    }
}

// Eigenvalues at most this fraction of the largest count as zero: the points then lie in a plane
// (or on a line) as far as their coordinates can tell.
constexpr double kRankTolerance = 1e-10;

std::string Fixed(double value) {
    char text[400];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 6);
    if (result.ec != std::errc()) return "nan";
    return std::string(text, result.ptr);
}

}  // namespace

bool RMSSPHERE::SetPoints(std::uint32_t n) {
    if (n == 0) return true;
    a = b = c = R = 0;
    maxError = minError = meanAbsError = rmsError = gradientSum = iterations = 0;
    count = 0;
    try {
        points.assign(n, SpherePoint{0, 0, 0});
    } catch (const std::bad_alloc&) {
        std::vector<SpherePoint>().swap(points);
        return false;
    }
    count = n;
    return true;
}

bool RMSSPHERE::Fit() {
    if (count < 3 || points.size() < count) return false;
    note.clear();
    traceStatus = Status::Ok();
    AtomicFile trace;
    bool tracing = !tracePath.empty();
    if (tracing) {
        traceStatus = trace.Open(tracePath);
        tracing = traceStatus.ok;
    }
    a = b = c = R = 0;
    maxError = minError = meanAbsError = rmsError = gradientSum = iterations = 0;
    const std::size_t n = count;
    const double dn = double(n);

    const auto finishTrace = [&] {
        if (tracing) traceStatus = trace.Commit();
    };

    bool coincident = true, finite = true;
    double mx = 0, my = 0, mz = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const SpherePoint& p = points[i];
        mx += p.x;
        my += p.y;
        mz += p.z;
        if (p.x != points[0].x || p.y != points[0].y || p.z != points[0].z) coincident = false;
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) finite = false;
    }
    if (finite && std::isfinite(mx) && std::isfinite(my) && std::isfinite(mz)) {
        mx /= dn;
        my /= dn;
        mz /= dn;
    } else if (finite) {
        mx = my = mz = 0;  // the sum overflowed: the sum of the shares does not
        for (std::size_t i = 0; i < n; ++i) {
            mx += points[i].x / dn;
            my += points[i].y / dn;
            mz += points[i].z / dn;
        }
    }
    if (!finite) {
        note = "Some points have no finite coordinates: no sphere fitted.";
        finishTrace();
        return true;
    }
    if (coincident) {
        a = points[0].x;
        b = points[0].y;
        c = points[0].z;
        note = "All points coincide: the sphere has radius 0.";
        finishTrace();
        return true;
    }

    // Everything below is taken relative to the centroid, so the sums lose no digits to a far-away
    // origin, and in units of a power of two near the largest offset, so fourth powers neither
    // overflow nor vanish. Derivatives go back to the caller's units: E by s⁴, gradients by s³.
    const double m[3] = {mx, my, mz};
    double half = 0;
    for (std::size_t i = 0; i < n; ++i)
        half = std::max({half, std::fabs(points[i].x * 0.5 - mx * 0.5),
                         std::fabs(points[i].y * 0.5 - my * 0.5), std::fabs(points[i].z * 0.5 - mz * 0.5)});
    const int exponent = half > 0 ? Unit_Exponent(half) + 1 : 0;
    const double w2 = std::ldexp(1.0, 1 - exponent), unit = std::ldexp(1.0, exponent);
    const double toE = std::ldexp(1.0, 4 * exponent), toGradient = std::ldexp(1.0, 3 * exponent);
    double S[3][3] = {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}};
    double T[3] = {0, 0, 0};
    double Q = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double x = Scaled(points[i].x, mx, w2), y = Scaled(points[i].y, my, w2),
                     z = Scaled(points[i].z, mz, w2);
        const double r2 = x * x + y * y + z * z;
        S[0][0] += x * x;
        S[0][1] += x * y;
        S[0][2] += x * z;
        S[1][1] += y * y;
        S[1][2] += y * z;
        S[2][2] += z * z;
        T[0] += x * r2;
        T[1] += y * r2;
        T[2] += z * r2;
        Q += r2;
    }
    S[1][0] = S[0][1];
    S[2][0] = S[0][2];
    S[2][1] = S[1][2];

    // With centred points the normal equations of min Σ (2 u·q + k − |q|²)² over the centre u and
    // k = R² − |u|² fall apart into S u = T / 2 and k = Q / n; the rank of the 4 x 4 system is the
    // rank of S plus one. Directions S cannot see get no centre component (minimum norm).
    double V[3][3];
    Jacobi(S, V);
    const double lambdaMax = std::max({S[0][0], S[1][1], S[2][2]});
    double u[3] = {0, 0, 0};
    int rank = 0;
    for (int k = 0; k < 3; ++k) {
        const double lambda = S[k][k];
        if (!(lambda > kRankTolerance * lambdaMax)) continue;
        ++rank;
        const double proj = 0.5 * (V[0][k] * T[0] + V[1][k] * T[1] + V[2][k] * T[2]) / lambda;
        for (int j = 0; j < 3; ++j) u[j] += proj * V[j][k];
    }
    if (rank == 2)
        note = "The points lie in a plane: the centre is taken in that plane.";
    else if (rank < 2)
        note = "The points lie on a line: the centre is taken on that line.";

    double p[4];
    p[kR] = std::sqrt(std::max(0.0, Q / dn + u[0] * u[0] + u[1] * u[1] + u[2] * u[2]));
    p[kA] = u[0];
    p[kB] = u[1];
    p[kC] = u[2];

    // Newton sweeps from there, one parameter at a time. A step is taken only where the second
    // derivative is positive, the new value finite (and R not negative) and the objective lower;
    // a sweep that changes nothing ends the fit, as every later sweep would repeat it.
    double g[4] = {100, 100, 100, 100};
    double dE = 100;
    long steps = 0;
    Sums current = Evaluate(points, n, m, w2, p);
    for (;;) {
        if (dE <= 1e-16 &&
            (std::fabs(g[0]) + std::fabs(g[1]) + std::fabs(g[2]) + std::fabs(g[3])) * toGradient <= 0.0001)
            break;
        const double E0 = current.E;
        bool changed = false;
        for (int k : {kR, kA, kB, kC}) {
            while (std::fabs(g[k]) * toGradient > 0.00001) {
                g[k] = Gradient(current, p, k);
                const double h = Curvature(current, p, k, dn);
                const bool last = steps > 100;
                ++steps;
                const double next = p[k] - g[k] / h;
                if (!(h > 0) || !std::isfinite(next) || next == p[k] || (k == kR && next < 0)) break;
                double trial[4] = {p[0], p[1], p[2], p[3]};
                trial[k] = next;
                const Sums s = Evaluate(points, n, m, w2, trial);
                if (!(s.E < current.E)) break;
                p[k] = next;
                current = s;
                changed = true;
                if (last) break;
            }
        }
        dE = current.E == E0 ? 0.0 : std::fabs(current.E - E0) * toE;
        for (int k = 0; k < 4; ++k) g[k] = Gradient(current, p, k);
        const double sum = std::fabs(g[kA]) + std::fabs(g[kB]) + std::fabs(g[kC]) + std::fabs(g[kR]);
        gradientSum = sum == 0 ? 0.0 : sum * toGradient;
        if (tracing) trace.Printf("%.10lf       %.10lf\n", dE, gradientSum);
        const bool limit = steps > 1000;
        ++steps;
        if (limit || !changed) break;
    }
    finishTrace();
    iterations = double(steps);
    a = mx + p[kA] * unit;
    b = my + p[kB] * unit;
    c = mz + p[kC] * unit;
    R = p[kR] * unit;

    if (p[kR] > 0) {
        double sumAbs = 0, sumSq = 0, lo = 0, hi = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const double dx = Scaled(points[i].x, mx, w2) - p[kA], dy = Scaled(points[i].y, my, w2) - p[kB],
                         dz = Scaled(points[i].z, mz, w2) - p[kC];
            const double e = std::sqrt(dx * dx + dy * dy + dz * dz) - p[kR];
            if (i == 0 || e < lo) lo = e;
            if (i == 0 || e > hi) hi = e;
            sumAbs += std::fabs(e);
            sumSq += e * e;
        }
        maxError = hi / p[kR];
        minError = lo / p[kR];
        meanAbsError = sumAbs / (dn * p[kR]);
        rmsError = std::sqrt(sumSq / dn / p[kR] / p[kR]);
    }
    return true;
}

bool Load_Points(RMSSPHERE& sphere, const POINT_LIST& set) {
    const unsigned n = set.Count(0);
    if (!sphere.SetPoints(n)) return false;
    if (n == 0) return true;
    unsigned i = 0;
    for (const VEC_LIST* p = set.points.next; p && i < n; p = p->next, ++i)
        sphere.points[i] = {p->values[0], p->values[1], p->values[2]};
    return true;
}

std::string Sphere_Detail_Line(const RMSSPHERE& s) {
    const double values[10] = {
        s.a, s.b, s.c, s.R, s.maxError, s.minError, s.meanAbsError, s.rmsError, s.gradientSum, s.iterations};
    std::string line;
    for (int i = 0; i < 10; ++i) {
        if (i) line += ',';
        line += General_Number(values[i], 15, 0, -3);
    }
    return line;
}

std::string Sphere_Log_Text(const RMSSPHERE& s) {
    // The prefixes are Big5 bytes; split literals keep a hex escape from eating the next letter.
    std::string text = "RMS-sphere report:\n";
    text +=
        "\xA4\xA4\xA4\xDF\xC2\x49"
        "Center (X,Y,Z)=(" +
        Fixed(s.a) + "," + Fixed(s.b) + "," + Fixed(s.c) + ")\n";
    text +=
        "\xA5\x62\xAE\x7C"
        "Radius (R)=(" +
        Fixed(s.R) + ")\n";
    text +=
        "\xB3\xCC\xA4\x6A\xA5\x62\xAE\x7C\xBB\x7E\xAE\x74"
        "MAX Radius Upper error (normalized)= " +
        Fixed(s.maxError) + "\n";
    text +=
        "\xB3\xCC\xA4\x70\xA5\x62\xAE\x7C\xBB\x7E\xAE\x74"
        "MIN Radius Lower error (normalized)= " +
        Fixed(s.minError) + "\n";
    text +=
        "\xA5\xAD\xA7\xA1\xBB\x7E\xAE\x74"
        "Average Radius error (normalized)= " +
        Fixed(s.meanAbsError) + "\n";
    text +=
        "\xBB\x7E\xAE\x74\xC5\xDC\xB2\xA7"
        "Radius Variance(normalized)= " +
        Fixed(s.rmsError) + "\n";
    text += "Residual error. fabs(X)+fabs(Y)+fabs(Z)+fabs(R)= " + Fixed(s.gradientSum) + "\n";
    return text;
}

Status Write_Sphere_Log(const RMSSPHERE& sphere, const std::string& path) {
    AtomicFile file;
    if (Status opened = file.Open(path); !opened) return opened;
    const std::string text = Sphere_Log_Text(sphere);
    file.Write(text.data(), text.size());
    return file.Commit();
}

int Refine_Geometric(RMSSPHERE& sphere, int maxSteps) {
    const std::size_t n = sphere.count;
    if (n < 3 || sphere.points.size() < n || !(sphere.R > 0) || !std::isfinite(sphere.R)) return 0;
    // Work relative to the current centre so the increments keep their digits, in units of a power
    // of two near the radius so the squares stay in range.
    const double ox = sphere.a, oy = sphere.b, oz = sphere.c;
    const int exponent = Unit_Exponent(sphere.R);
    const double w2 = std::ldexp(1.0, 1 - exponent), unit = std::ldexp(1.0, exponent);
    double p[4] = {0, 0, 0, sphere.R * 0.5 * w2};  // centre offset x, y, z and R

    struct Normal {
        double M[4][5];  // J^T J | -J^T r
        double cost;     // Σ r²
        double absSum;   // Σ |r|
        double lo, hi;   // smallest and largest r
    };
    const auto build = [&](const double* at) {
        Normal out{};
        double uu[6] = {0, 0, 0, 0, 0, 0}, su[3] = {0, 0, 0}, ru[3] = {0, 0, 0}, sr = 0, cost = 0, used = 0;
        double absSum = 0, lo = HUGE_VAL, hi = -HUGE_VAL;
        for (std::size_t start = 0; start < n; start += kBlock) {
            const std::size_t end = std::min(n, start + kBlock);
            double buu[6] = {0, 0, 0, 0, 0, 0}, bsu[3] = {0, 0, 0}, bru[3] = {0, 0, 0}, bsr = 0, bcost = 0;
            double bused = 0, babs = 0;
            for (std::size_t i = start; i < end; ++i) {
                const double dx = Scaled(sphere.points[i].x, ox, w2) - at[0];
                const double dy = Scaled(sphere.points[i].y, oy, w2) - at[1];
                const double dz = Scaled(sphere.points[i].z, oz, w2) - at[2];
                const double d = std::sqrt(dx * dx + dy * dy + dz * dz);
                const double r = d - at[3];
                bcost += r * r;
                babs += std::fabs(r);
                lo = std::min(lo, r);
                hi = std::max(hi, r);
                // A point at the centre has no direction and adds nothing but its residual.
                const double inverse = d > 0 ? 1.0 / d : 0.0;
                const double ux = dx * inverse, uy = dy * inverse, uz = dz * inverse;
                buu[0] += ux * ux;
                buu[1] += ux * uy;
                buu[2] += ux * uz;
                buu[3] += uy * uy;
                buu[4] += uy * uz;
                buu[5] += uz * uz;
                bsu[0] += ux;
                bsu[1] += uy;
                bsu[2] += uz;
                bru[0] += r * ux;
                bru[1] += r * uy;
                bru[2] += r * uz;
                bsr += r;
                bused += d > 0 ? 1.0 : 0.0;
            }
            for (int k = 0; k < 6; ++k) uu[k] += buu[k];
            for (int k = 0; k < 3; ++k) su[k] += bsu[k], ru[k] += bru[k];
            sr += bsr;
            cost += bcost;
            used += bused;
            absSum += babs;
        }
        // Residual r = |q - c| - R; its gradient is (-u, -1).
        const double J[4][4] = {{uu[0], uu[1], uu[2], su[0]},
                                {uu[1], uu[3], uu[4], su[1]},
                                {uu[2], uu[4], uu[5], su[2]},
                                {su[0], su[1], su[2], used}};
        const double rhs[4] = {ru[0], ru[1], ru[2], sr};  // -J^T r
        for (int i = 0; i < 4; ++i) {
            for (int j = 0; j < 4; ++j) out.M[i][j] = J[i][j];
            out.M[i][4] = rhs[i];
        }
        out.cost = cost;
        out.absSum = absSum;
        out.lo = lo;
        out.hi = hi;
        return out;
    };
    // Minimum-norm Gauss-Newton step: directions the points cannot fix (the normal of points in a
    // plane) get no step, as in the algebraic solve.
    const auto solve = [](const Normal& system, double delta[4]) {
        double A[4][4], V[4][4];
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j) A[i][j] = system.M[i][j];
        Jacobi(A, V);
        const double lambdaMax = std::max({A[0][0], A[1][1], A[2][2], A[3][3]});
        for (int k = 0; k < 4; ++k) delta[k] = 0;
        for (int k = 0; k < 4; ++k) {
            if (!(A[k][k] > kRankTolerance * lambdaMax)) continue;
            double along = 0;
            for (int i = 0; i < 4; ++i) along += V[i][k] * system.M[i][4];
            along /= A[k][k];
            for (int i = 0; i < 4; ++i) delta[i] += along * V[i][k];
        }
        for (int k = 0; k < 4; ++k)
            if (!std::isfinite(delta[k])) return false;
        return true;
    };

    Normal system = build(p);
    int taken = 0;
    for (int step = 0; step < maxSteps; ++step) {
        double delta[4];
        if (!solve(system, delta)) break;
        const double extent = p[3] + std::fabs(p[0]) + std::fabs(p[1]) + std::fabs(p[2]);
        // A step this small would change nothing a user can see: converged, no pass needed.
        if (std::fabs(delta[0]) + std::fabs(delta[1]) + std::fabs(delta[2]) + std::fabs(delta[3]) <=
            1e-8 * extent)
            break;
        // Gauss-Newton step, halved until the geometric cost does not rise.
        double scale = 1.0;
        bool improved = false;
        double before = system.cost;
        for (int halving = 0; halving < 30; ++halving) {
            double trial[4];
            for (int k = 0; k < 4; ++k) trial[k] = p[k] + scale * delta[k];
            if (trial[3] >= 0) {
                Normal next = build(trial);
                if (next.cost <= system.cost) {
                    std::copy(trial, trial + 4, p);
                    system = next;
                    improved = true;
                    break;
                }
            }
            scale *= 0.5;
        }
        if (!improved) break;
        ++taken;
        // Converged once the gain is down to what rounding leaves.
        if (before - system.cost <= 1e-13 * before) break;
    }
    sphere.a = ox + p[0] * unit;
    sphere.b = oy + p[1] * unit;
    sphere.c = oz + p[2] * unit;
    sphere.R = p[3] * unit;

    if (p[3] > 0) {
        sphere.maxError = system.hi / p[3];
        sphere.minError = system.lo / p[3];
        sphere.meanAbsError = system.absSum / (double(n) * p[3]);
        sphere.rmsError = std::sqrt(system.cost / double(n) / p[3] / p[3]);
    }
    return taken;
}

}  // namespace orvex
