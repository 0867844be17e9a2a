#pragma once
// NumberScanner: white-space separated numbers from a text file, as the point files hold them.
// It reads what the C library's "%f" and "%d" read, with two differences that keep files portable
// and bad text out: the decimal point is always '.', whatever the locale, and a number must end at
// white space or the end of the file ("3abc" is not a number; scanf would take the 3). Infinite
// and undefined values ("inf", "nan", 1e99 as a float) are not numbers either.
// The file is read in blocks of 1 MiB, so a ten-million point file costs no more memory than that.

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

    // Line (from 1) where the last token looked at starts.
    std::uint64_t Line() const { return tokenLine_; }
    // The last token that was not a number, shortened for a message.
    const std::string& BadText() const { return badText_; }
    // The file could not be read to its end (an I/O error, not its contents).
    bool ReadFailed() const { return readFailed_; }

private:
    // Skips white space and makes the whole next token available as [begin, end); false at the end.
    bool nextToken(const char*& begin, const char*& end);
    bool refill();  // appends more of the file after what is unread; false when nothing more came
    Result notANumber(const char* begin, const char* end);

    std::FILE* file_;
    std::vector<char> buffer_;
    std::size_t pos_ = 0;
    std::size_t size_ = 0;
    bool eof_ = false;
    bool readFailed_ = false;
    bool truncated_ = false;  // the token fills the whole block and goes on
    std::uint64_t line_ = 1;
    std::uint64_t tokenLine_ = 1;
    std::string badText_;
};

}  // namespace orvex
