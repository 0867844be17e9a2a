// The strict conversions the display-options reader (and every command) applies to what the user
// typed into a field, on any text: UTF-8 or raw UTF-16 (the first byte chooses). Promises: an
// accepted float is finite, within float range, and the float of what strtod reads from the whole
// trimmed text; an accepted integer is what strtol reads, within int range; a plain decimal number
// (digits, sign, point, exponent) that strtod or strtol reads whole and that fits is accepted
// (below the double range it may be refused);
// the conversion error's message names the field and holds the text.

#include <QString>
#include <cerrno>
#include <climits>
#include <limits>

#include "fuzz/FuzzSupport.h"
#include "ui/StrictConversion.h"

namespace orvex::fuzz {

namespace {

// The trimmed text when it is plain ASCII, else nothing.
bool Ascii(const QString& text, std::string& out) {
    out.clear();
    for (QChar c : text) {
        if (c.unicode() == 0 || c.unicode() > 127) return false;
        out.push_back(char(c.unicode()));
    }
    return true;
}

bool Plain_Decimal(const std::string& s, bool integer) {
    if (s.empty()) return false;
    for (char c : s) {
        const bool digit = c >= '0' && c <= '9';
        const bool sign = c == '+' || c == '-';
        if (!digit && !sign && (integer || (c != '.' && c != 'e' && c != 'E'))) return false;
    }
    return true;
}

}  // namespace

void Make_Seeds(const std::string& dir) {
    const char* texts[] = {
        "1",          "  2.5 ",     "-0",          "+7",    "1e3",   "1E-3", ".5",  "5.",  "1e38",  "3.5e38",
        "1e-45",      "1e-400",     "inf",         "nan",   "0x1p3", "1,5",  "",    "   ", "abc",   "1 2",
        "2147483647", "2147483648", "-2147483648", "00012", "1e",    "e5",   "--1", "+-1", "1.2.3", "\t3\n"};
    int n = 0;
    for (const char* t : texts) Write_Seed(dir, "utf8-" + std::to_string(n++), std::string(1, '\0') + t);
    // Non-ASCII spaces and digits, as UTF-16: NO-BREAK SPACE around 4, ARABIC-INDIC 3.
    const char16_t wide[] = {0x00A0, u'4', 0x00A0, 0x0663, 0x2009, u'5'};
    Bytes bytes{1};
    Append(bytes, wide, sizeof wide);
    Write_Seed(dir, "utf16", bytes);
}

}  // namespace orvex::fuzz

using namespace orvex;
using namespace orvex::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const QString text =
        (data[0] & 1) ? QString(reinterpret_cast<const QChar*>(data + 1), qsizetype((size - 1) / 2))
                      : QString::fromUtf8(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    std::string plain;
    const bool ascii = Ascii(text.trimmed(), plain);

    const std::optional<float> f = Strict_To_Float(text);
    if (f) {
        FUZZ_CHECK(std::isfinite(*f), "accepted a non-finite float");
        FUZZ_CHECK(ascii, "accepted a float from non-ASCII text");
        char* end = nullptr;
        const double wide = std::strtod(plain.c_str(), &end);
        FUZZ_CHECK(end == plain.c_str() + plain.size(), "'%s' accepted, strtod stops early", plain.c_str());
        FUZZ_CHECK(Same_Bits(*f, float(wide)), "'%s' gave %a, strtod %a", plain.c_str(), double(*f), wide);
    } else if (ascii && Plain_Decimal(plain, false)) {
        char* end = nullptr;
        errno = 0;
        const double wide = std::strtod(plain.c_str(), &end);
        // Qt refuses what underflows a double (1e-400); a field never means that either.
        const bool fits =
            std::isfinite(wide) && std::fabs(wide) <= std::numeric_limits<float>::max() && errno == 0;
        FUZZ_CHECK(!(end == plain.c_str() + plain.size() && fits), "'%s' refused, strtod reads %g",
                   plain.c_str(), wide);
    }

    const std::optional<int> i = Strict_To_Int(text);
    if (i) {
        FUZZ_CHECK(ascii, "accepted an integer from non-ASCII text");
        char* end = nullptr;
        errno = 0;
        const long wide = std::strtol(plain.c_str(), &end, 10);
        FUZZ_CHECK(end == plain.c_str() + plain.size() && errno == 0 && wide == *i,
                   "'%s' gave %d, strtol %ld", plain.c_str(), *i, wide);
    } else if (ascii && Plain_Decimal(plain, true)) {
        char* end = nullptr;
        errno = 0;
        const long wide = std::strtol(plain.c_str(), &end, 10);
        FUZZ_CHECK(!(end == plain.c_str() + plain.size() && errno == 0 && wide >= INT_MIN && wide <= INT_MAX),
                   "'%s' refused, strtol reads %ld", plain.c_str(), wide);
    }

    const ConversionError error{QStringLiteral("Spectrum_Color_Intensity"), text, !f};
    const QString message = error.Message();
    FUZZ_CHECK(message.startsWith(QStringLiteral("Spectrum_Color_Intensity: '")) && message.contains(text),
               "the message does not show the field and the text");
    return 0;
}
