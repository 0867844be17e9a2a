#include "geometry/LinearAlgebra.h"

#include <array>
#include <cmath>
#include <utility>
#include <vector>

namespace orvex {

namespace {

// Partial pivoting and elimination over the first n columns of an n-row system `width` floats
// wide. A result smaller than threshold x (the old value, with its sign) is cancellation noise and
// becomes 0; column i of the rows below the pivot is left as it was, nobody reads it.
void Forward_Eliminate(float* a, int n, int width, double threshold) {
    auto at = [&](int r, int c) -> float& { return a[std::size_t(r) * width + c]; };
    for (int i = 0; i < n - 1; ++i) {
        int p = i;
        for (int r = i + 1; r < n; ++r)
            if (std::fabs(at(r, i)) > std::fabs(at(p, i))) p = r;
        if (p != i)
            for (int k = 0; k < width; ++k) std::swap(at(i, k), at(p, k));
        const float pivot = at(i, i);
        if (pivot == 0.0f) continue;
        for (int j = i + 1; j < n; ++j) {
            const float factor = at(j, i) / pivot;
            for (int k = i + 1; k < width; ++k) {
                const float old = at(j, k);
                const float value = old - at(i, k) * factor;
                at(j, k) = threshold * old > std::fabs(value) ? 0.0f : value;
            }
        }
    }
}

// Solves the upper triangle against right-hand column m into x (double, n values).
void Back_Substitute(const float* a, int n, int width, int m, double* x) {
    auto at = [&](int r, int c) { return double(a[std::size_t(r) * width + c]); };
    for (int i = n - 1; i >= 0; --i) {
        double sum = at(i, m);
        for (int j = i + 1; j < n; ++j) sum -= at(i, j) * x[j];
        x[i] = sum / at(i, i);
    }
}

// Divides by |v| x 1.00000001; false when the length is zero or not finite (v is then unchanged).
bool Normalise(int n, const double* v, float* out) {
    double q = 0.0;
    for (int i = 0; i < n; ++i) q += v[i] * v[i];
    const double l = std::sqrt(q) * 1.00000001;
    if (!(l > 0.0) || !std::isfinite(l)) return false;
    for (int i = 0; i < n; ++i) out[i] = float(v[i] / l);
    return true;
}

void Multiply(int n, const float* M, const float* v, double* out) {
    for (int i = 0; i < n; ++i) {
        double sum = 0.0;
        for (int j = 0; j < n; ++j) sum += double(M[std::size_t(n) * i + j]) * v[j];
        out[i] = sum;
    }
}

}  // namespace

bool Gauss_Solve(int n, float* system) {
    if (n < 1 || !system) return false;
    const int width = n + 1;
    Forward_Eliminate(system, n, width, 2.38418e-7);
    // Any zero pivot makes the system singular. (A float product of the pivots would also call
    // well-posed systems with small pivots singular once it underflows.)
    for (int i = 0; i < n; ++i)
        if (system[std::size_t(i) * width + i] == 0.0f) return false;

    std::array<double, 32> small;
    std::vector<double> large;
    double* x = small.data();
    if (n > int(small.size())) {
        large.resize(n);
        x = large.data();
    }
    Back_Substitute(system, n, width, n, x);
    // Near-singular: report it rather than hand out inf or NaN, and keep the eliminated column.
    for (int i = 0; i < n; ++i)
        if (!std::isfinite(float(x[i]))) return false;
    for (int i = 0; i < n; ++i) system[std::size_t(i) * width + n] = float(x[i]);
    return true;
}

bool Mat_Inverse(const float* A, float* out, int n) {
    if (n < 1 || !A || !out) return false;
    const int width = 2 * n;
    std::vector<float> a(std::size_t(n) * width, 0.0f);
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) a[std::size_t(i) * width + j] = A[std::size_t(i) * n + j];
        a[std::size_t(i) * width + n + i] = 1.0f;
    }

    // The float machine epsilon, found the way the threshold has always been found.
    volatile float eps = 1.0f;
    for (;;) {
        volatile float probe = eps * 0.98f + 1.0f;
        if (!(probe - 1.0f > 0.0f)) break;
        eps = eps / 2.0f;
    }
    Forward_Eliminate(a.data(), n, width, 4.0 * eps);

    bool ok = a[std::size_t(n - 1) * width + n - 1] != 0.0f;
    if (ok) {
        std::vector<double> x(n);
        for (int m = n; m < width; ++m) {
            Back_Substitute(a.data(), n, width, m, x.data());
            for (int i = 0; i < n; ++i) a[std::size_t(i) * width + m] = float(x[i]);
        }
    }
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            float v = a[std::size_t(i) * width + n + j];
            if (!std::isfinite(v)) {
                v = 0.0f;
                ok = false;
            }
            out[std::size_t(i) * n + j] = v;
        }
    }
    return ok;
}

bool Power_Iteration(int n, float* p, const float* M, float tol) {
    if (n < 1 || n > kPowerIterationMaxSize || !p || !M) return false;
    std::array<float, kPowerIterationMaxSize> v;
    std::array<double, kPowerIterationMaxSize> mv;
    for (int i = 0; i < n; ++i) v[i] = (i % 2 == 0) ? 1.0f : -1.0f;

    // When M v vanishes (a zero matrix, or v in its null space) there is no direction to follow:
    // p gets the unit v and the caller hears false instead of reading 0/0.
    Multiply(n, M, v.data(), mv.data());
    if (!Normalise(n, mv.data(), p)) {
        for (int i = 0; i < n; ++i) mv[i] = v[i];
        Normalise(n, mv.data(), p);
        return false;
    }
    double change = 1.0;
    for (int iterations = 0; iterations < 1024 && change > tol; ++iterations) {
        for (int i = 0; i < n; ++i) v[i] = p[i];
        Multiply(n, M, v.data(), mv.data());
        if (!Normalise(n, mv.data(), p)) {
            for (int i = 0; i < n; ++i) p[i] = v[i];
            return false;
        }
        change = 0.0;
        for (int i = 0; i < n; ++i) change += std::fabs(double(v[i]) - p[i]);
    }
    if (p[0] < 0.0f)
        for (int i = 0; i < n; ++i) p[i] = -p[i];
    return true;
}

float Rigid_Fit(Matrix4& M, const Vec3* P, const Vec3* Q, std::size_t count) {
    Mat4_Identity(M);
    if (count == 0 || !P || !Q) return 0.0f;

    double pc[3] = {0, 0, 0}, qc[3] = {0, 0, 0};
    for (std::size_t i = 0; i < count; ++i)
        for (int a = 0; a < 3; ++a) pc[a] += P[i][a], qc[a] += Q[i][a];
    for (int a = 0; a < 3; ++a) pc[a] /= double(count), qc[a] /= double(count);

    double S[3][3] = {};
    for (std::size_t i = 0; i < count; ++i)
        for (int a = 0; a < 3; ++a)
            for (int b = 0; b < 3; ++b) S[a][b] += (Q[i][a] - qc[a]) * (P[i][b] - pc[b]);
    for (auto& row : S)
        for (double& s : row) s /= double(count);

    const double Sxx = S[0][0], Sxy = S[0][1], Sxz = S[0][2];
    const double Syx = S[1][0], Syy = S[1][1], Syz = S[1][2];
    const double Szx = S[2][0], Szy = S[2][1], Szz = S[2][2];
    const double N[16] = {Sxx + Syy + Szz, Syz - Szy,       Szx - Sxz,        Sxy - Syx,
                          Syz - Szy,       Sxx - Syy - Szz, Sxy + Syx,        Szx + Sxz,
                          Szx - Sxz,       Sxy + Syx,       -Sxx + Syy - Szz, Syz + Szy,
                          Sxy - Syx,       Szx + Sxz,       Syz + Szy,        -Sxx - Syy + Szz};
    float Nf[16];
    for (int i = 0; i < 16; ++i) Nf[i] = float(N[i]);

    // A set collapsed to one point leaves N zero: every rotation fits, keep the identity.
    float q[4];
    if (!Power_Iteration(4, q, Nf, 1e-8f)) q[0] = 1.0f, q[1] = q[2] = q[3] = 0.0f;
    const double w = q[0], x = q[1], y = q[2], z = q[3];
    const double R[3][3] = {{w * w + x * x - y * y - z * z, 2 * (x * y - w * z), 2 * (x * z + w * y)},
                            {2 * (x * y + w * z), w * w + y * y - x * x - z * z, 2 * (y * z - w * x)},
                            {2 * (x * z - w * y), 2 * (y * z + w * x), w * w + z * z - x * x - y * y}};

    Matrix4 rotation, translation;
    Mat4_Identity(rotation);
    Mat4_Identity(translation);
    for (int r = 0; r < 3; ++r) {
        double t = pc[r];
        for (int c = 0; c < 3; ++c) {
            rotation[4 * r + c] = float(R[r][c]);
            t -= rotation[4 * r + c] * qc[c];
        }
        translation[4 * r + 3] = float(t);
    }
    Mat4_PreMultiply(translation, rotation);
    M = rotation;

    // The residual measures the rotation alone; the translation is not applied.
    double sum = 0.0;
    for (int r = 0; r < 3; ++r) {
        double axis = 0.0;
        for (std::size_t i = 0; i < count; ++i) {
            const double e = P[i][r] - (double(M[4 * r]) * Q[i].x + double(M[4 * r + 1]) * Q[i].y +
                                        double(M[4 * r + 2]) * Q[i].z);
            axis += e * e;
        }
        sum += axis / double(count);
    }
    return float(std::sqrt(sum));
}

}  // namespace orvex
