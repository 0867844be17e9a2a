#include "geometry/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

namespace orvex {

AtomicFile::Temp_Maker AtomicFile::Make_Temp = ::mkstemp;

namespace {

mode_t Process_Umask() {
    static const mode_t mask = [] {
        mode_t m = umask(022);
        umask(m);
        return m;
    }();
    return mask;
}

// The file a save must change: the end of the chain of symbolic links `path` names (which need
// not exist yet). Relative links count from the folder of the link. 0 or an errno.
int Resolve_Links(std::string path, std::string& resolved) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            resolved = path;
            return 0;
        }
        std::vector<char> link(st.st_size > 0 ? std::size_t(st.st_size) + 1 : 256);
        for (;;) {
            const ssize_t n = ::readlink(path.c_str(), link.data(), link.size());
            if (n < 0) return errno;
            if (std::size_t(n) < link.size()) {
                link.resize(std::size_t(n));
                break;
            }
            link.resize(2 * link.size());
        }
        std::string next(link.begin(), link.end());
        if (next.empty()) return ENOENT;
        if (next[0] != '/') {
            const std::size_t slash = path.rfind('/');
            if (slash != std::string::npos) next = path.substr(0, slash + 1) + next;
        }
        path = std::move(next);
    }
    return ELOOP;
}

std::string Describe(const std::string& target, const char* what, int error) {
    return target + ": " + what + ": " + std::strerror(error);
}

// An anonymous file in the temporary folder: it vanishes with its last descriptor.
std::FILE* Scratch_File() {
    std::error_code ignored;
    std::filesystem::path folder = std::filesystem::temp_directory_path(ignored);
    if (folder.empty()) folder = "/tmp";
    std::string name = (folder / "orvex-save-XXXXXX").string();
    const int fd = ::mkstemp(name.data());
    if (fd < 0) return nullptr;
    ::unlink(name.c_str());
    std::FILE* file = ::fdopen(fd, "w+b");
    if (!file) ::close(fd);
    return file;
}

}  // namespace

AtomicFile::~AtomicFile() {
    Discard();
}

Status AtomicFile::Open(const std::string& target) {
    Discard();
    target_ = target;
    failed_ = false;
    error_.clear();
    if (int error = Resolve_Links(target, path_); error != 0)
        return Status::Error(Describe(target, "cannot follow the link", error));

    struct stat existing;
    const bool exists = ::stat(path_.c_str(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode)) return Status::Error(target + ": is a folder");
    // A device (/dev/null, /dev/full) or pipe cannot be replaced by a rename; write it in place.
    if (exists && !S_ISREG(existing.st_mode)) {
        file_ = std::fopen(path_.c_str(), "wb");
        if (!file_) return Status::Error(Describe(target, "cannot open for writing", errno));
        mode_ = Mode::Direct;
        open_ = true;
        return Status::Ok();
    }
    if (exists && ::access(path_.c_str(), W_OK) != 0)
        return Status::Error(Describe(target, "cannot replace the file", errno));

    std::vector<char> name(path_.begin(), path_.end());
    const char suffix[] = ".tmpXXXXXX";
    name.insert(name.end(), suffix, suffix + sizeof(suffix));
    const int fd = Make_Temp(name.data());
    if (fd < 0) {
        const int error = errno;
        // A read-only folder with a writable file in it: the file can still be rewritten.
        if (exists && (error == EACCES || error == EPERM || error == EROFS)) return Open_In_Place(error);
        return Status::Error(Describe(target, "cannot create a file there", error));
    }
    // mkstemp makes the file private: give it the old file's permissions, or those a plain fopen
    // would give a new one. Keeping the owner needs privileges; without them it is left as is.
    if (exists) {
        const bool sameOwner = existing.st_uid == ::geteuid() && existing.st_gid == ::getegid();
        const bool owned = sameOwner || ::fchown(fd, existing.st_uid, existing.st_gid) == 0;
        ::fchmod(fd, existing.st_mode & (owned ? 07777 : 0777));  // set-id bits only for their owner
    } else {
        ::fchmod(fd, 0666 & ~Process_Umask());
    }
    file_ = ::fdopen(fd, "wb");
    if (!file_) {
        const int error = errno;
        ::close(fd);
        std::remove(name.data());
        return Status::Error(Describe(target, "cannot open for writing", error));
    }
    temp_.assign(name.data());
    mode_ = Mode::Beside;
    open_ = true;
    std::setvbuf(file_, nullptr, _IOFBF, 1 << 20);
    return Status::Ok();
}

Status AtomicFile::Open_In_Place(int tempError) {
    targetFd_ = ::open(path_.c_str(), O_WRONLY | O_CLOEXEC);
    if (targetFd_ < 0) return Status::Error(Describe(target_, "cannot create a file there", tempError));
    file_ = Scratch_File();
    if (!file_) {
        const int error = errno;
        ::close(targetFd_);
        targetFd_ = -1;
        return Status::Error(Describe(target_, "no room for a scratch copy", error));
    }
    mode_ = Mode::InPlace;
    open_ = true;
    std::setvbuf(file_, nullptr, _IOFBF, 1 << 20);
    return Status::Ok();
}

void AtomicFile::NoteError(const char* what) {
    if (failed_) return;
    failed_ = true;
    error_ = Describe(target_, what, errno ? errno : EIO);
}

void AtomicFile::Write(const void* data, std::size_t size) {
    if (!open_ || failed_ || finished_ || size == 0) return;
    if (std::fwrite(data, 1, size, file_) != size) NoteError("write failed");
}

void AtomicFile::Printf(const char* format, ...) {
    if (!open_ || failed_ || finished_) return;
    va_list args;
    va_start(args, format);
    int written = std::vfprintf(file_, format, args);
    va_end(args);
    if (written < 0) NoteError("write failed");
}

void AtomicFile::WriteAt(long offset, const void* data, std::size_t size) {
    if (!open_ || failed_ || finished_) return;
    long end = std::ftell(file_);
    if (end < 0 || std::fseek(file_, offset, SEEK_SET) != 0) return NoteError("seek failed");
    Write(data, size);
    if (std::fseek(file_, end, SEEK_SET) != 0) NoteError("seek failed");
}

Status AtomicFile::Finish() {
    if (!open_) {
        if (failed_) return Status::Error(error_);
        return Status::Error(target_.empty() ? "no file open" : target_ + ": not open");
    }
    if (!finished_) {
        finished_ = true;
        errno = 0;
        if (std::fflush(file_) != 0) NoteError("write failed");
        // The scratch copy stays open until it has been copied: closing it would delete it.
        if (mode_ != Mode::InPlace) {
            if (std::fclose(file_) != 0) NoteError("close failed");
            file_ = nullptr;
        }
    }
    if (failed_) {
        Discard();
        return Status::Error(error_);
    }
    return Status::Ok();
}

void AtomicFile::Copy_Into_Target() {
    errno = 0;
    const long size = std::ftell(file_);
    if (size < 0 || std::fseek(file_, 0, SEEK_SET) != 0) return NoteError("cannot read the scratch copy");
    std::vector<char> block(1 << 20);
    off_t at = 0;
    while (at < size) {
        const std::size_t want = std::size_t(std::min<off_t>(off_t(block.size()), size - at));
        if (std::fread(block.data(), 1, want, file_) != want)
            return NoteError("cannot read the scratch copy");
        for (std::size_t done = 0; done < want;) {
            const ssize_t n = ::pwrite(targetFd_, block.data() + done, want - done, at + off_t(done));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return NoteError("rewriting in place failed, the file may be incomplete");
            done += std::size_t(n);
        }
        at += off_t(want);
    }
    if (::ftruncate(targetFd_, size) != 0) NoteError("rewriting in place failed, the file may be incomplete");
}

Status AtomicFile::Commit() {
    if (Status finished = Finish(); !finished) return finished;
    errno = 0;
    if (mode_ == Mode::Beside) {
        if (std::rename(temp_.c_str(), path_.c_str()) == 0)
            temp_.clear();  // it is the target now
        else
            NoteError("cannot replace the file");
    } else if (mode_ == Mode::InPlace) {
        Copy_Into_Target();
        if (::close(targetFd_) != 0) NoteError("rewriting in place failed, the file may be incomplete");
        targetFd_ = -1;
    }
    Discard();
    return failed_ ? Status::Error(error_) : Status::Ok();
}

void AtomicFile::Discard() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    if (targetFd_ >= 0) ::close(targetFd_);
    targetFd_ = -1;
    if (!temp_.empty()) std::remove(temp_.c_str());
    temp_.clear();
    open_ = finished_ = false;
}

}  // namespace orvex
