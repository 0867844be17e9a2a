#include "geometry/NumberScanner.h"

#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <optional>

#include "geometry/CFloat.h"

namespace orvex {

namespace {

constexpr std::size_t kBlock = std::size_t(1) << 20;
constexpr std::size_t kSmallestBlock = 256;
constexpr std::size_t kShownText = 24;

bool Is_Space(char c) {
    return c == ' ' || c == '\n' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

// A whole small file fits in one block, so a short read allocates and clears little; a file whose
// size is unknown (a pipe) starts with the full block.
std::size_t First_Block(std::FILE* file) {
    if (!file) return kSmallestBlock;
    struct stat info;
    if (fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode)) return kBlock;
    const auto bytes = std::uint64_t(info.st_size) + 1;
    return std::size_t(std::clamp<std::uint64_t>(bytes, kSmallestBlock, kBlock));
}

// from_chars takes no leading '+', the C library does.
const char* Skip_Plus(const char* begin, const char* end) {
    return (end - begin > 1 && begin[0] == '+' && begin[1] != '-' && begin[1] != '+') ? begin + 1 : begin;
}

}  // namespace

NumberScanner::NumberScanner(std::FILE* file) : file_(file), buffer_(First_Block(file)) {}

bool NumberScanner::refill() {
    if (eof_ || !file_) return false;
    // Keep the unread tail, then read after it.
    if (pos_ > 0) {
        std::memmove(buffer_.data(), buffer_.data() + pos_, size_ - pos_);
        size_ -= pos_;
        pos_ = 0;
    }
    if (size_ == buffer_.size()) {
        // A token longer than the whole block; the block was sized from a file that has grown since.
        if (buffer_.size() >= kBlock) return false;
        buffer_.resize(std::min(kBlock, 2 * buffer_.size()));
    }
    const std::size_t got = std::fread(buffer_.data() + size_, 1, buffer_.size() - size_, file_);
    size_ += got;
    if (got == 0) {
        eof_ = true;
        if (std::ferror(file_)) readFailed_ = true;
        return false;
    }
    return true;
}

bool NumberScanner::nextToken(const char*& begin, const char*& end) {
    for (;;) {
        while (pos_ < size_ && Is_Space(buffer_[pos_])) {
            if (buffer_[pos_] == '\n') ++line_;
            ++pos_;
        }
        if (pos_ < size_) break;
        if (!refill()) return false;
    }
    tokenLine_ = line_;
    std::size_t stop = pos_;
    for (;;) {
        while (stop < size_ && !Is_Space(buffer_[stop])) ++stop;
        if (stop < size_ || eof_) break;
        // refill moves the unread text to the front of the block, whether or not more comes.
        const std::size_t offset = stop - pos_;
        const bool more = refill();
        stop = pos_ + offset;
        if (!more) break;  // end of file, or a token as long as the whole block
    }
    begin = buffer_.data() + pos_;
    end = buffer_.data() + stop;
    truncated_ = stop == size_ && !eof_;
    return true;
}

NumberScanner::Result NumberScanner::notANumber(const char* begin, const char* end, bool notFinite) {
    const std::size_t length = std::size_t(end - begin);
    badText_.assign(begin, std::min(length, kShownText));
    if (length > kShownText) badText_ += "...";
    notFinite_ = notFinite;
    // The reading stops here; the position stays on the token.
    return Result::NotANumber;
}

NumberScanner::Result NumberScanner::NextFloat(float& value) {
    const char* begin;
    const char* end;
    if (!nextToken(begin, end)) return Result::End;
    if (truncated_) return notANumber(begin, end);
    const std::optional<float> parsed = Parse_C_Float({begin, std::size_t(end - begin)}, true);
    if (!parsed || !std::isfinite(*parsed)) return notANumber(begin, end, parsed.has_value());
    value = *parsed;
    pos_ += std::size_t(end - begin);
    return Result::Number;
}

NumberScanner::Result NumberScanner::NextInt(long long& value) {
    const char* begin;
    const char* end;
    if (!nextToken(begin, end)) return Result::End;
    if (truncated_) return notANumber(begin, end);
    long long parsed = 0;
    const auto [stop, error] = std::from_chars(Skip_Plus(begin, end), end, parsed);
    if (error != std::errc{} || stop != end) return notANumber(begin, end);
    value = parsed;
    pos_ += std::size_t(end - begin);
    return Result::Number;
}

bool NumberScanner::NextWord(std::string& word, std::size_t keep) {
    const char* begin;
    const char* end;
    if (!nextToken(begin, end)) return false;
    word.assign(begin, std::min(std::size_t(end - begin), keep));
    pos_ += std::size_t(end - begin);
    // A token longer than the block goes on past it: drop the rest without keeping it.
    while (truncated_) {
        pos_ = size_ = 0;
        if (!refill()) {
            truncated_ = false;
            break;
        }
        while (pos_ < size_ && !Is_Space(buffer_[pos_])) ++pos_;
        truncated_ = pos_ == size_ && !eof_;
    }
    return true;
}

}  // namespace orvex
