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

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace orvex {

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
