#include "geometry/AtomicFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace orvex {

namespace {
mode_t Process_Umask() {
    static const mode_t mask = [] {
        mode_t m = umask(022);
        umask(m);
        return m;
    }();
    return mask;
}
}  // namespace

AtomicFile::~AtomicFile() { Discard(); }

Status AtomicFile::Open(const std::string& target) {
    Discard();
    target_ = target;
    failed_ = false;
    error_.clear();
    // Writing to a device (/dev/null, /dev/full) cannot go through a rename; write it in place.
    if (target.rfind("/dev/", 0) == 0) {
        file_ = std::fopen(target.c_str(), "wb");
        if (!file_) return Status::Error(target + ": cannot open for writing: " + std::strerror(errno));
        temp_.clear();
        return Status::Ok();
    }
    std::vector<char> name(target.begin(), target.end());
    const char suffix[] = ".tmpXXXXXX";
    name.insert(name.end(), suffix, suffix + sizeof(suffix));
    int fd = mkstemp(name.data());
    if (fd < 0) return Status::Error(target + ": cannot create a file there: " + std::strerror(errno));
    // mkstemp makes the file private; give it the permissions a plain fopen would have.
    fchmod(fd, 0666 & ~Process_Umask());
    file_ = fdopen(fd, "wb");
    if (!file_) {
        ::close(fd);
        std::remove(name.data());
        return Status::Error(target + ": cannot open for writing: " + std::strerror(errno));
    }
    temp_.assign(name.data());
    std::setvbuf(file_, nullptr, _IOFBF, 1 << 20);
    return Status::Ok();
}

void AtomicFile::NoteError(const char* what) {
    if (failed_) return;
    failed_ = true;
    error_ = target_ + ": " + what + ": " + std::strerror(errno ? errno : EIO);
}

void AtomicFile::Write(const void* data, std::size_t size) {
    if (!file_ || failed_ || size == 0) return;
    if (std::fwrite(data, 1, size, file_) != size) NoteError("write failed");
}

void AtomicFile::Printf(const char* format, ...) {
    if (!file_ || failed_) return;
    va_list args;
    va_start(args, format);
    int written = std::vfprintf(file_, format, args);
    va_end(args);
    if (written < 0) NoteError("write failed");
}

void AtomicFile::WriteAt(long offset, const void* data, std::size_t size) {
    if (!file_ || failed_) return;
    long end = std::ftell(file_);
    if (end < 0 || std::fseek(file_, offset, SEEK_SET) != 0) return NoteError("seek failed");
    Write(data, size);
    if (std::fseek(file_, end, SEEK_SET) != 0) NoteError("seek failed");
}

Status AtomicFile::Commit() {
    if (!file_) return Status::Error(target_.empty() ? "no file open" : target_ + ": not open");
    errno = 0;
    if (std::fflush(file_) != 0) NoteError("write failed");
    if (std::fclose(file_) != 0) NoteError("close failed");
    file_ = nullptr;
    if (!failed_ && !temp_.empty() && std::rename(temp_.c_str(), target_.c_str()) != 0)
        NoteError("cannot replace the file");
    if (failed_) {
        if (!temp_.empty()) std::remove(temp_.c_str());
        temp_.clear();
        return Status::Error(error_);
    }
    temp_.clear();
    return Status::Ok();
}

void AtomicFile::Discard() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    if (!temp_.empty()) std::remove(temp_.c_str());
    temp_.clear();
}

}  // namespace orvex
