#pragma once
// The general float format of reports and messages: `significant` digits, rounded half away from
// zero; fixed notation while at most `significant` digits stand before the decimal point and the
// value, written 0.d x 10^e, has e >= `lowestFixed` (-4: from 0.00001, as in the benchmark reports;
// -3: from 0.0001, as in the window's messages), scientific otherwise ("1.23E03", "4.5E-06": the
// exponent has a sign only when negative and is padded to `exponentDigits` digits, 0 to 4).
// Trailing zeros and a bare decimal point are dropped.

#include <string>

namespace orvex {

std::string General_Number(double value, int significant, int exponentDigits = 2, int lowestFixed = -4);

}  // namespace orvex
