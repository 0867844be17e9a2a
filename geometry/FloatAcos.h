#pragma once
// float(std::acos(x)) without the library's full double work in nearly every case, for the corner
// angles every pass over a mesh takes. Same bits: see Acos_To_Float.

#include <cmath>

namespace orvex {

namespace detail {

// (asin(r) - r) / r for z = r^2 <= 1/4, as a ratio of polynomials (the classic minimax pair, good
// to about 2^-58 relative), evaluated in pairs of terms: a short chain of dependent operations.
inline double Asin_Tail(double z) {
    const double z2 = z * z, z4 = z2 * z2;
    const double p = z * ((1.66666666666666657415e-01 + z * -3.25565818622400915405e-01) +
                          z2 * (2.01212532134862925881e-01 + z * -4.00555345006794114027e-02) +
                          z4 * (7.91534994289814532176e-04 + z * 3.47933107596021167570e-05));
    const double q = (1.0 + z * -2.40339491173441421878e+00) +
                     z2 * (2.02094576023350569471e+00 + z * -6.88283971605453293030e-01) +
                     z4 * 7.70381505559019352791e-02;
    return p / q;
}

}  // namespace detail

// The same float as float(std::acos(x)) for every x, NaN included. The approximation y is within
// about 1e-15 of acos(x) relative, and the library's double within one unit in its last place, so
// both lie within y x 2^-36 of each other; when y minus and plus that margin round to the same
// float, so does the library's value (rounding to float is monotonic). Otherwise (about one call
// in 10^4, near a float rounding boundary) the library decides.
inline float Acos_To_Float(double x) {
    constexpr double kPi = 3.14159265358979311600e+00;
    constexpr double kHalfPi = 1.57079632679489655800e+00;
    const double ax = std::fabs(x);
    double y;
    if (ax <= 0.5) {
        y = kHalfPi - (x + x * detail::Asin_Tail(x * x));
    } else {
        // acos|x| = 2 asin(sqrt((1 - |x|) / 2)), with 1 - |x| exact here.
        const double z = (1.0 - ax) * 0.5;
        const double s = std::sqrt(z);
        const double a = 2.0 * (s + s * detail::Asin_Tail(z));
        y = x > 0 ? a : kPi - a;
    }
    // acos is never below 0, and y > 0 whenever x < 1; y = 0, NaN or |x| > 1 fail the test.
    const double margin = y * 0x1p-36;
    const float lo = static_cast<float>(y - margin);
    if (margin > 0.0 && lo == static_cast<float>(y + margin)) return lo;
    return static_cast<float>(std::acos(x));
}

}  // namespace orvex
