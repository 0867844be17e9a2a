#pragma once
// What every fuzz target shares: a promise check that aborts (libFuzzer then keeps the input), an
// in-memory file for the readers that take a path, and the seed-making mode.
//
// Seeds: run a target with ORVEX_FUZZ_SEEDS=DIR and it writes its seed files into DIR and exits
// instead of fuzzing (scripts/fuzz.sh does this). Each target defines Make_Seeds.

#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#define FUZZ_CHECK(condition, ...)                                                                 \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "broken promise at %s:%d: %s: ", __FILE__, __LINE__, #condition); \
            std::fprintf(stderr, __VA_ARGS__);                                                     \
            std::fputc('\n', stderr);                                                              \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

namespace orvex::fuzz {

using Bytes = std::vector<unsigned char>;

// The reference readers' tokens: words between C white space, with the line each word starts on.
class Word_Scanner {
public:
    explicit Word_Scanner(std::string_view text) : text_(text) {}

    static bool Is_Space(char c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
    }
    // The next word, empty at the end of the text.
    std::string_view Next() {
        while (at_ < text_.size() && Is_Space(text_[at_])) {
            if (text_[at_] == '\n') ++line_;
            ++at_;
        }
        tokenLine_ = line_;
        const std::size_t start = at_;
        while (at_ < text_.size() && !Is_Space(text_[at_])) ++at_;
        return text_.substr(start, at_ - start);
    }
    void Skip_Line() {
        while (at_ < text_.size() && text_[at_] != '\n') ++at_;
    }
    unsigned Line() const { return tokenLine_; }

private:
    std::string_view text_;
    std::size_t at_ = 0;
    unsigned line_ = 1;
    unsigned tokenLine_ = 1;
};

// Bit-for-bit equality, so that -0 differs from 0 and NaN equals the same NaN.
inline bool Same_Bits(float a, float b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// A regular file that lives in memory: readers that open a path read it through /proc/self/fd.
class MemoryFile {
public:
    MemoryFile() : fd_(memfd_create("orvex-fuzz", MFD_CLOEXEC)) {
        FUZZ_CHECK(fd_ >= 0, "memfd_create failed");
        path_ = "/proc/self/fd/" + std::to_string(fd_);
    }
    ~MemoryFile() { close(fd_); }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    const std::string& Path() const { return path_; }
    void Set(const unsigned char* data, std::size_t size) {
        FUZZ_CHECK(ftruncate(fd_, 0) == 0, "ftruncate failed");
        std::size_t done = 0;
        while (done < size) {
            const ssize_t wrote = pwrite(fd_, data + done, size - done, off_t(done));
            FUZZ_CHECK(wrote > 0, "pwrite failed");
            done += std::size_t(wrote);
        }
    }

private:
    int fd_;
    std::string path_;
};

inline void Append(Bytes& out, const void* data, std::size_t size) {
    const auto* p = static_cast<const unsigned char*>(data);
    out.insert(out.end(), p, p + size);
}
inline void Append(Bytes& out, const std::string& text) {
    Append(out, text.data(), text.size());
}

inline void Write_Seed(const std::string& dir, const std::string& name, const Bytes& bytes) {
    const std::string path = dir + "/" + name;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    FUZZ_CHECK(file, "cannot write %s", path.c_str());
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
}
inline void Write_Seed(const std::string& dir, const std::string& name, const std::string& text) {
    Write_Seed(dir, name, Bytes(text.begin(), text.end()));
}

// Defined by each target: writes its seed files into dir.
void Make_Seeds(const std::string& dir);

}  // namespace orvex::fuzz

// The seed-making mode, before libFuzzer starts.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (const char* dir = std::getenv("ORVEX_FUZZ_SEEDS")) {
        orvex::fuzz::Make_Seeds(dir);
        std::exit(0);
    }
    return 0;
}
