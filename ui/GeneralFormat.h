#pragma once
// The framework's general float format: `precision` significant digits, trailing zeros and a
// needless decimal point dropped, fixed notation while the decimal exponent lies in -3..precision,
// scientific otherwise ("1E0001", "2.5E-0005"): the exponent carries a sign only when negative and
// is padded with zeros to at least `exponentDigits` digits (0 to 4).

#include <QString>

namespace orvex {

QString Format_General(double value, int precision, int exponentDigits);

// The plain number text of messages: general format with 15 significant digits, no exponent padding.
inline QString Float_To_Str(double value) {
    return Format_General(value, 15, 0);
}

}  // namespace orvex
