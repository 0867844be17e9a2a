#include "geometry/GeneralNumber.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace orvex {

std::string General_Number(double value, int significant, int exponentDigits, int lowestFixed) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
    if (value == 0.0) return "0";
    significant = std::clamp(significant, 1, 18);
    exponentDigits = std::clamp(exponentDigits, 0, 4);

    // Eighteen digits of the binary value, then rounded to `significant` in decimal, so 2.5 at one
    // digit is 3 (printf would give the even 2). The layout follows the rounded value: 999.6 at
    // three digits is 1000 and so 1E03.
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.17e", std::fabs(value));
    std::string all;
    const char* p = buffer;
    for (; *p && *p != 'e'; ++p) {
        if (*p >= '0' && *p <= '9') all.push_back(*p);
    }
    int exponent = std::atoi(p + 1) + 1;  // |value| = 0.d1 d2 ... x 10^exponent
    const auto keep = static_cast<std::size_t>(significant);
    std::string digits = all.substr(0, keep);
    if (keep < all.size() && all[keep] >= '5') {
        std::size_t i = keep;
        while (i > 0 && digits[i - 1] == '9') digits[--i] = '0';
        if (i > 0) {
            ++digits[i - 1];
        } else {
            digits.insert(digits.begin(), '1');
            digits.pop_back();
            ++exponent;
        }
    }
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
    const int count = static_cast<int>(digits.size());

    std::string text = value < 0 ? "-" : "";
    // An exponent of -4 means four zeros after the point: 0.1 x 10^-4.
    if (exponent <= significant && exponent >= lowestFixed) {
        if (exponent <= 0) {
            text += "0." + std::string(static_cast<std::size_t>(-exponent), '0') + digits;
        } else if (count <= exponent) {
            text += digits + std::string(static_cast<std::size_t>(exponent - count), '0');
        } else {
            text += digits.substr(0, static_cast<std::size_t>(exponent)) + '.' +
                    digits.substr(static_cast<std::size_t>(exponent));
        }
        return text;
    }
    text += digits[0];
    if (count > 1) text += '.' + digits.substr(1);
    const int shown = exponent - 1;
    char tail[16];
    std::snprintf(tail, sizeof tail, "E%s%0*d", shown < 0 ? "-" : "", exponentDigits, std::abs(shown));
    return text + tail;
}

}  // namespace orvex
