#pragma once
// The general float format of the benchmark reports: `significant` digits, rounded half away from
// zero; fixed notation while at most `significant` digits stand before the decimal point and the
// value is at least 0.00001, scientific otherwise ("1.23E03", "4.5E-06": the exponent has a sign
// only when negative and at least two digits). Trailing zeros and a bare decimal point are dropped.

#include <string>

namespace orvex {

std::string General_Number(double value, int significant);

}  // namespace orvex
