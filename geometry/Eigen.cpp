#include "geometry/Eigen.h"

#include <cmath>
#include <stdexcept>
#include <utility>

namespace orvex {

namespace {
constexpr int kMaxSweeps = 32;
}

Eigen::Eigen(int n)
    : iSize(n >= 2 ? n : throw std::invalid_argument("iSize >= 2")),
      matrix_(std::size_t(n) * n, 0.0f),
      diag_(n, 0.0f),
      sub_(n, 0.0f) {}

void Eigen::SetMatrix(const float* const* rows) {
    for (int r = 0; r < iSize; ++r)
        for (int c = 0; c < iSize; ++c) matrix_[r * iSize + c] = rows[r][c];
}

void Eigen::SetMatrix(const float* rowMajor) {
    matrix_.assign(rowMajor, rowMajor + matrix_.size());
}

void Eigen::Solve() {
    TridiagonalReduce();
    QlIterate();  // an eigenvalue left unsettled after 32 sweeps keeps the value it reached
    SortIncreasing();
}

void Eigen::TridiagonalReduce() {
    if (iSize == 3) {
        // One Householder reflection in the (1, 2) plane; only the upper triangle is read.
        float* m = matrix_.data();
        const float m00 = m[0], m01 = m[1], m02 = m[2], m11 = m[4], m12 = m[5], m22 = m[8];
        diag_[0] = m00;
        sub_[2] = 0.0f;
        if (m02 != 0.0f) {
            const float L = std::sqrt(m01 * m01 + m02 * m02);
            const float u = m01 / L, v = m02 / L;
            const float q = 2.0f * u * m12 + v * (m22 - m11);
            diag_[1] = m11 + v * q;
            diag_[2] = m22 - v * q;
            sub_[0] = L;
            sub_[1] = m12 - u * q;
            const float rows[9] = {1, 0, 0, 0, u, v, 0, v, -u};
            matrix_.assign(rows, rows + 9);
        } else {
            diag_[1] = m11;
            diag_[2] = m22;
            sub_[0] = m01;
            sub_[1] = m12;
            const float rows[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
            matrix_.assign(rows, rows + 9);
        }
        return;
    }

    // Other sizes: Householder reduction with accumulated transforms (the EISPACK tred2 scheme),
    // carried in double. The upper triangle is mirrored first so that both paths read the same
    // half of the matrix.
    const int n = iSize;
    std::vector<double> V(std::size_t(n) * n), d(n), e(n);
    auto at = [&](int r, int c) -> double& { return V[std::size_t(r) * n + c]; };
    for (int r = 0; r < n; ++r)
        for (int c = 0; c < n; ++c) at(r, c) = matrix_[r <= c ? r * n + c : c * n + r];

    for (int j = 0; j < n; ++j) d[j] = at(n - 1, j);
    for (int i = n - 1; i > 0; --i) {
        double scale = 0.0, h = 0.0;
        for (int k = 0; k < i; ++k) scale += std::fabs(d[k]);
        if (scale == 0.0) {
            e[i] = d[i - 1];
            for (int j = 0; j < i; ++j) {
                d[j] = at(i - 1, j);
                at(i, j) = 0.0;
                at(j, i) = 0.0;
            }
        } else {
            for (int k = 0; k < i; ++k) {
                d[k] /= scale;
                h += d[k] * d[k];
            }
            double f = d[i - 1];
            double g = std::sqrt(h);
            if (f > 0) g = -g;
            e[i] = scale * g;
            h -= f * g;
            d[i - 1] = f - g;
            for (int j = 0; j < i; ++j) e[j] = 0.0;
            for (int j = 0; j < i; ++j) {
                f = d[j];
                at(j, i) = f;
                g = e[j] + at(j, j) * f;
                for (int k = j + 1; k <= i - 1; ++k) {
                    g += at(k, j) * d[k];
                    e[k] += at(k, j) * f;
                }
                e[j] = g;
            }
            f = 0.0;
            for (int j = 0; j < i; ++j) {
                e[j] /= h;
                f += e[j] * d[j];
            }
            const double hh = f / (h + h);
            for (int j = 0; j < i; ++j) e[j] -= hh * d[j];
            for (int j = 0; j < i; ++j) {
                f = d[j];
                g = e[j];
                for (int k = j; k <= i - 1; ++k) at(k, j) -= (f * e[k] + g * d[k]);
                d[j] = at(i - 1, j);
                at(i, j) = 0.0;
            }
        }
        d[i] = h;
    }
    for (int i = 0; i < n - 1; ++i) {
        at(n - 1, i) = at(i, i);
        at(i, i) = 1.0;
        const double h = d[i + 1];
        if (h != 0.0) {
            for (int k = 0; k <= i; ++k) d[k] = at(k, i + 1) / h;
            for (int j = 0; j <= i; ++j) {
                double g = 0.0;
                for (int k = 0; k <= i; ++k) g += at(k, i + 1) * at(k, j);
                for (int k = 0; k <= i; ++k) at(k, j) -= g * d[k];
            }
        }
        for (int k = 0; k <= i; ++k) at(k, i + 1) = 0.0;
    }
    for (int j = 0; j < n; ++j) {
        d[j] = at(n - 1, j);
        at(n - 1, j) = 0.0;
    }
    at(n - 1, n - 1) = 1.0;

    // tred2 couples entries i - 1 and i through e[i]; the QL step wants sub[i] between i and i + 1.
    for (int i = 0; i < n; ++i) diag_[i] = float(d[i]);
    for (int i = 0; i + 1 < n; ++i) sub_[i] = float(e[i + 1]);
    sub_[n - 1] = 0.0f;
    for (std::size_t i = 0; i < V.size(); ++i) matrix_[i] = float(V[i]);
}

bool Eigen::QlIterate() {
    const int n = iSize;
    float* diag = diag_.data();
    float* sub = sub_.data();
    for (int i0 = 0; i0 < n; ++i0) {
        int sweep = 0;
        for (; sweep < kMaxSweeps; ++sweep) {
            int i2 = i0;
            for (; i2 <= n - 2; ++i2) {
                const float t = std::fabs(diag[i2]) + std::fabs(diag[i2 + 1]);
                if (std::fabs(sub[i2]) + t == t) break;
            }
            if (i2 == i0) break;

            float g = (diag[i0 + 1] - diag[i0]) / (2.0f * sub[i0]);
            float r = std::sqrt(g * g + 1.0f);
            g = diag[i2] - diag[i0] + sub[i0] / (g < 0.0f ? g - r : g + r);
            float sn = 1.0f, cs = 1.0f, p = 0.0f;
            for (int i3 = i2 - 1; i3 >= i0; --i3) {
                float f = sn * sub[i3];
                const float b = cs * sub[i3];
                if (std::fabs(f) >= std::fabs(g)) {
                    cs = g / f;
                    r = std::sqrt(cs * cs + 1.0f);
                    sub[i3 + 1] = f * r;
                    sn = 1.0f / r;
                    cs *= sn;
                } else {
                    sn = f / g;
                    r = std::sqrt(sn * sn + 1.0f);
                    sub[i3 + 1] = g * r;
                    cs = 1.0f / r;
                    sn *= cs;
                }
                g = diag[i3 + 1] - p;
                r = (diag[i3] - g) * sn + 2.0f * b * cs;
                p = sn * r;
                diag[i3 + 1] = g + p;
                g = cs * r - b;
                for (int k = 0; k < n; ++k) {
                    float* row = &matrix_[std::size_t(k) * n];
                    f = row[i3 + 1];
                    row[i3 + 1] = sn * row[i3] + cs * f;
                    row[i3] = cs * row[i3] - sn * f;
                }
            }
            diag[i0] -= p;
            sub[i0] = g;
            sub[i2] = 0.0f;
        }
        if (sweep == kMaxSweeps) return false;
    }
    return true;
}

void Eigen::SortIncreasing() {
    const int n = iSize;
    for (int i0 = 0; i0 + 1 < n; ++i0) {
        int best = i0;
        for (int i1 = i0 + 1; i1 < n; ++i1)
            if (diag_[i1] < diag_[best]) best = i1;
        if (best == i0) continue;
        std::swap(diag_[i0], diag_[best]);
        for (int k = 0; k < n; ++k)
            std::swap(matrix_[std::size_t(k) * n + i0], matrix_[std::size_t(k) * n + best]);
    }
}

}  // namespace orvex
