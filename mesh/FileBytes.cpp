// FileBytes: a regular file is mapped, anything else is read to its end.
#include "mesh/FileBytes.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace orvex {

FileBytes::~FileBytes() {
    if (map_) munmap(map_, size_);
}

std::span<const unsigned char> FileBytes::Bytes() const {
    if (map_) return {static_cast<const unsigned char*>(map_), size_};
    return {buffer_.data(), buffer_.size()};
}

Status FileBytes::Open(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return Status::Error(path + ": cannot open: " + std::strerror(errno));
    struct stat info;
    Status status;
    if (fstat(fd, &info) != 0) {
        status = Status::Error(path + ": cannot read: " + std::strerror(errno));
    } else if (S_ISDIR(info.st_mode)) {
        status = Status::Error(path + ": is a folder, not a file");
    } else {
        if (S_ISREG(info.st_mode) && info.st_size > 0) {
            void* map = mmap(nullptr, std::size_t(info.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
            if (map != MAP_FAILED) {
                map_ = map;
                size_ = std::size_t(info.st_size);
                madvise(map_, size_, MADV_SEQUENTIAL);
                ::close(fd);
                return Status::Ok();
            }
        }
        unsigned char chunk[1 << 16];
        for (;;) {
            const ssize_t got = ::read(fd, chunk, sizeof chunk);
            if (got == 0) break;
            if (got < 0) {
                if (errno == EINTR) continue;
                status = Status::Error(path + ": cannot read: " + std::strerror(errno));
                break;
            }
            buffer_.insert(buffer_.end(), chunk, chunk + got);
        }
    }
    ::close(fd);
    return status;
}

}  // namespace orvex
