#include "geometry/Statistics.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace orvex {

void Mean_Std(const float* values, std::size_t n, float& mean, float& std) {
    if (n == 0) return;
    double sum = 0.0;
    for (std::size_t i = 0; i < n; ++i) sum += values[i];
    const double m = sum / double(n);
    double var = 0.0;
    for (std::size_t i = 0; i < n; ++i) var += (values[i] - m) * (values[i] - m) / double(n);
    mean = float(m);
    // A (nearly) constant array keeps the deviation the caller had; callers divide by it.
    if (var > 1e-8) std = float(std::sqrt(var));
}

float Value_Range(const float* values, std::size_t n) {
    if (n == 0) return 0.0f;
    const auto [lo, hi] = std::minmax_element(values, values + n);
    return *hi - *lo;
}

float Shape_Index(float k1, float k2) {
    const double s = double(k1) + k2;
    if (std::fabs(s) < 1e-8) return 0.5f;
    const double d = double(k1) - k2;
    if (std::fabs(d) < 1e-6) {
        if (s > 1e-8) return 0.0f;
        if (s < -1e-8) return 1.0f;
    }
    return float(0.5 - std::atan(s / d) / 3.14159265358979323846);
}

double Square(double x) {
    return x * x;
}

void Copy_Floats(float* dst, const float* src, std::size_t n) {
    if (n) std::memmove(dst, src, n * sizeof(float));
}

void Fill_Words(void* dst, std::uint32_t value, std::size_t n) {
    auto* bytes = static_cast<unsigned char*>(dst);
    for (std::size_t i = 0; i < n; ++i) std::memcpy(bytes + i * sizeof value, &value, sizeof value);
}

}  // namespace orvex
