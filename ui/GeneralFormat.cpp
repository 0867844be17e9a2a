#include "ui/GeneralFormat.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace orvex {

QString Format_General(double value, int precision, int exponentDigits) {
    if (std::isnan(value)) return QStringLiteral("NAN");
    if (std::isinf(value)) return value > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
    precision = std::clamp(precision, 1, 18);
    exponentDigits = std::clamp(exponentDigits, 0, 4);
    if (value == 0.0) return QStringLiteral("0");

    // 18 significant digits of the binary value, then rounded half away from zero to `precision`
    // digits, as the framework's decimal conversion does (8.5 at one digit is 9, not the 8 of printf).
    // The layout decision uses the rounded exponent, so 9.6 at one digit counts as 1E1.
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.17e", std::fabs(value));
    std::string all;
    const char* p = buffer;
    for (; *p && *p != 'e'; ++p) {
        if (*p >= '0' && *p <= '9') all.push_back(*p);
    }
    int exponent = std::atoi(p + 1) + 1;  // value = 0.d1d2... x 10^exponent
    std::string kept = all.substr(0, static_cast<size_t>(precision));
    if (static_cast<size_t>(precision) < all.size() && all[static_cast<size_t>(precision)] >= '5') {
        int i = precision - 1;
        while (i >= 0 && kept[static_cast<size_t>(i)] == '9') kept[static_cast<size_t>(i--)] = '0';
        if (i >= 0) {
            ++kept[static_cast<size_t>(i)];
        } else {
            kept.insert(kept.begin(), '1');
            kept.pop_back();
            ++exponent;
        }
    }
    while (kept.size() > 1 && kept.back() == '0') kept.pop_back();
    const QString digits = QString::fromLatin1(kept.data(), static_cast<qsizetype>(kept.size()));

    QString text = value < 0 ? QStringLiteral("-") : QString();
    if (exponent <= precision && exponent >= -3) {
        if (exponent <= 0) {
            text += QStringLiteral("0.") + QString(-exponent, QLatin1Char('0')) + digits;
        } else if (digits.size() <= exponent) {
            text += digits + QString(exponent - digits.size(), QLatin1Char('0'));
        } else {
            text += digits.left(exponent) + QLatin1Char('.') + digits.mid(exponent);
        }
        return text;
    }
    text += digits.left(1);
    if (digits.size() > 1) text += QLatin1Char('.') + digits.mid(1);
    const int shown = exponent - 1;
    text += QLatin1Char('E');
    if (shown < 0) text += QLatin1Char('-');
    text += QString::number(std::abs(shown)).rightJustified(exponentDigits, QLatin1Char('0'));
    return text;
}

}  // namespace orvex
