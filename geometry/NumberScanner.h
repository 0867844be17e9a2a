#pragma once
// NumberScanner: white-space separated numbers from a text file, as the point files hold them.
// A float is what the C library's strtof (and so "%f") makes of the token, bit for bit: decimal and
// hexadecimal ("0x1.8p3") forms, and a number too small for a float is 0 or a denormal with its
// sign. Three differences keep files portable and bad text out: the decimal point is always '.',
// whatever the locale; a number must end at white space or the end of the file ("3abc" is not a
// number; scanf would take the 3); and values a float holds only as infinity or NaN ("inf", "nan",
// 1e60) are refused, so no point of a file is ever non-finite. "%d" is read likewise, in decimal.
// The file is read in blocks of at most 1 MiB, sized down to the file, so a ten-million point file
// costs no more memory than that and a small one costs little.

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace orvex {

// Read_Digits: the decimal digits at p, at most `most` (up to 19) of them: returns how many there
// are and puts their value in `value`. Eight at a time when eight bytes are there to load, so the
// length of a number costs no branch.
[[gnu::always_inline]] inline int Read_Digits(const char* p, const char* end, int most,
                                              std::uint64_t& value) {
    std::uint64_t total = 0;
    int count = 0;
    if constexpr (std::endian::native == std::endian::little) {
        // Most numbers end inside their first eight bytes: one word, no scaling.
        if (end - p >= 8) {
            std::uint64_t word;
            std::memcpy(&word, p, 8);
            const std::uint64_t shifted = word - 0x3030303030303030u;
            const std::uint64_t other = (shifted | (shifted + 0x7676767676767676u)) & 0x8080808080808080u;
            const int n = other ? std::countr_zero(other) >> 3 : 8;
            if (n == 0) {
                value = 0;
                return 0;
            }
            if (n < 8 && n <= most) {
                std::uint64_t v = (word & 0x0F0F0F0F0F0F0F0Fu) << (8 * (8 - n));
                v = (v * 2561) >> 8;
                v = ((v & 0x00FF00FF00FF00FFu) * 6553601) >> 16;
                value = ((v & 0x0000FFFF0000FFFFu) * 42949672960001u) >> 32;
                return n;
            }
        }
        while (end - p - count >= 8 && count < most) {
            std::uint64_t word;
            std::memcpy(&word, p + count, 8);
            // A byte's high bit is set past '9' (by the addition) or below '0' (by the subtraction);
            // a borrow only reaches the bytes after the first such byte.
            const std::uint64_t shifted = word - 0x3030303030303030u;
            const std::uint64_t other = (shifted | (shifted + 0x7676767676767676u)) & 0x8080808080808080u;
            int n = other ? std::countr_zero(other) >> 3 : 8;
            n = std::min(n, most - count);
            if (n == 0) break;
            // The n digits at the top of the word, zeros below them: three multiplies give the value.
            std::uint64_t v = (word & 0x0F0F0F0F0F0F0F0Fu) << (8 * (8 - n));
            v = (v * 2561) >> 8;
            v = ((v & 0x00FF00FF00FF00FFu) * 6553601) >> 16;
            v = ((v & 0x0000FFFF0000FFFFu) * 42949672960001u) >> 32;
            static constexpr std::uint64_t kScale[] = {1,      10,      100,      1000,     10000,
                                                       100000, 1000000, 10000000, 100000000};
            total = total * kScale[n] + v;
            count += n;
            if (n < 8) {
                value = total;
                return count;
            }
        }
    }
    while (count < most && p + count < end && unsigned(p[count] - '0') < 10u)
        total = total * 10 + unsigned(p[count++] - '0');
    value = total;
    return count;
}

// Parse_Plain_Double: the quick route for the decimal numbers text meshes are written in. Reads
// [-]digits[.digits][(e|E)[+|-]digits] (at least one digit before the exponent) at begin and
// returns the end of it with the value std::from_chars gives for the same text, bit for bit:
// at most 18 digits whose value fits 2^53, and a power of ten up to 22, are one exact product or
// quotient, so the one rounding of the division or multiplication is the correct one. Any other
// text (more digits, a larger exponent, '+', inf, nan, hex) returns nullptr and is left to
// std::from_chars. It does not look at what follows the number.
[[gnu::always_inline]] inline const char* Parse_Plain_Double(const char* begin, const char* end,
                                                             double& value) {
    static constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    static constexpr std::uint64_t kScale[] = {1,
                                               10,
                                               100,
                                               1000,
                                               10000,
                                               100000,
                                               1000000,
                                               10000000,
                                               100000000,
                                               1000000000,
                                               10000000000,
                                               100000000000,
                                               1000000000000,
                                               10000000000000,
                                               100000000000000,
                                               1000000000000000,
                                               10000000000000000,
                                               100000000000000000,
                                               1000000000000000000,
                                               10000000000000000000u};
    const char* p = begin;
    const bool negative = p < end && *p == '-';
    if (negative) ++p;
    std::uint64_t digits = 0;
    int count = Read_Digits(p, end, 19, digits);
    p += count;
    int scale = 0;
    if (p < end && *p == '.') {
        ++p;
        std::uint64_t fraction = 0;
        const int places = Read_Digits(p, end, 19 - count, fraction);
        p += places;
        digits = digits * kScale[places] + fraction;
        count += places;
        scale = -places;
    }
    // Nineteen digits may be more than a 64-bit integer holds: leave them to the full parser.
    if (count == 0 || count > 18 || (p < end && unsigned(*p - '0') < 10u)) return nullptr;
    if (p < end && (*p == 'e' || *p == 'E')) {
        const char* q = p + 1;
        const bool down = q < end && *q == '-';
        if (q < end && (*q == '-' || *q == '+')) ++q;
        int exponent = 0;
        const char* first = q;
        while (q < end && unsigned(*q - '0') < 10u && q - first < 5) exponent = exponent * 10 + (*q++ - '0');
        if (q == first || (q < end && unsigned(*q - '0') < 10u)) return nullptr;
        scale += down ? -exponent : exponent;
        p = q;
    }
    if (digits > (std::uint64_t(1) << 53) || scale < -22 || scale > 22) {
        if (digits != 0) return nullptr;
        scale = 0;  // zero whatever the power
    }
    double v = double(digits);
    v = scale < 0 ? v / kPow10[-scale] : v * kPow10[scale];
    value = negative ? -v : v;
    return p;
}

class NumberScanner {
public:
    enum class Result { Number, End, NotANumber };

    explicit NumberScanner(std::FILE* file);

    Result NextFloat(float& value);
    Result NextInt(long long& value);
    // The next token as text, of any length: its first `keep` characters go to word, the rest is
    // passed over. False at the end of the file.
    bool NextWord(std::string& word, std::size_t keep);

    // Line (from 1) where the last token looked at starts.
    std::uint64_t Line() const { return tokenLine_; }
    // The last token that was not a number, shortened for a message.
    const std::string& BadText() const { return badText_; }
    // That token is a number, but one a float holds only as infinity or NaN.
    bool NotFinite() const { return notFinite_; }
    // The file could not be read to its end (an I/O error, not its contents).
    bool ReadFailed() const { return readFailed_; }
    // Bytes of the block the file is read through.
    std::size_t BlockBytes() const { return buffer_.size(); }

private:
    // Skips white space and makes the whole next token available as [begin, end); false at the end.
    bool nextToken(const char*& begin, const char*& end);
    bool refill();  // appends more of the file after what is unread; false when nothing more came
    Result notANumber(const char* begin, const char* end, bool notFinite = false);

    std::FILE* file_;
    std::vector<char> buffer_;
    std::size_t pos_ = 0;
    std::size_t size_ = 0;
    bool eof_ = false;
    bool readFailed_ = false;
    bool truncated_ = false;  // the token fills the whole block and goes on
    bool notFinite_ = false;
    std::uint64_t line_ = 1;
    std::uint64_t tokenLine_ = 1;
    std::string badText_;
};

}  // namespace orvex
