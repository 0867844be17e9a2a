#pragma once
// The whole of a file as bytes: mapped read-only when it is a regular file, read to its end
// otherwise (pipes, devices, files that cannot be mapped). A folder or an unreadable file gives a
// message naming it.

#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "geometry/Status.h"

namespace orvex {

class FileBytes {
public:
    FileBytes() = default;
    ~FileBytes();
    FileBytes(const FileBytes&) = delete;
    FileBytes& operator=(const FileBytes&) = delete;
    Status Open(const std::string& path);
    std::span<const unsigned char> Bytes() const;

private:
    void* map_ = nullptr;
    std::size_t size_ = 0;
    std::vector<unsigned char> buffer_;
};

}  // namespace orvex
