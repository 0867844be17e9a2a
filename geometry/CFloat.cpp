#include "geometry/CFloat.h"

#include <locale.h>
#include <stdlib.h>

#include <charconv>
#include <string>

namespace orvex {

namespace {

bool Is_Hex_Digit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

}  // namespace

std::optional<float> Parse_C_Float(std::string_view token, bool hex) {
    std::string_view body = token;
    const bool negative = !body.empty() && body.front() == '-';
    if (!body.empty() && (body.front() == '+' || body.front() == '-')) body.remove_prefix(1);
    // from_chars reads no "0x" and, after our sign, would take a second one.
    if (body.empty() || body.front() == '+' || body.front() == '-') return std::nullopt;
    std::chars_format format = std::chars_format::general;
    if (body.size() > 2 && body[0] == '0' && (body[1] == 'x' || body[1] == 'X')) {
        if (!hex) return std::nullopt;
        body.remove_prefix(2);
        // strtof wants a digit after "0x" (it would read "0xinf" as 0 and stop).
        if (!(Is_Hex_Digit(body[0]) || (body[0] == '.' && body.size() > 1 && Is_Hex_Digit(body[1]))))
            return std::nullopt;
        format = std::chars_format::hex;
    }
    float magnitude = 0.0f;
    const char* end = body.data() + body.size();
    const auto [ptr, error] = std::from_chars(body.data(), end, magnitude, format);
    if (ptr != end) return std::nullopt;
    if (error == std::errc::result_out_of_range) {
        // The value rounds to 0, a denormal or infinity: strtof decides which from the value itself.
        static const locale_t c_locale = newlocale(LC_ALL_MASK, "C", locale_t(0));
        const std::string numeral(token);
        return strtof_l(numeral.c_str(), nullptr, c_locale);
    }
    if (error != std::errc{}) return std::nullopt;
    return negative ? -magnitude : magnitude;
}

}  // namespace orvex
