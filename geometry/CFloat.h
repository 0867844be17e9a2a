#pragma once
// Parse_C_Float: the float the C library's strtof makes of a whole token in the C locale, whatever
// the process locale, for the text readers that promise strtof's numbers. Decimal numerals, "inf"
// and "nan" forms, and with `hex` the "0x" forms; a value beyond the float range is an infinity,
// one below it 0 or a denormal with its sign. Nothing when strtof would not take all of the token
// (a second sign, trailing text, an empty token).

#include <optional>
#include <string_view>

namespace orvex {

std::optional<float> Parse_C_Float(std::string_view token, bool hex);

}  // namespace orvex
