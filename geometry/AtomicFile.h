#pragma once
// Every file the program writes goes through AtomicFile: the data goes to a temporary file in the
// target folder and replaces the target only when everything was written. A failed write (full
// disk, missing folder) leaves the old file, no partial one, and a message saying what failed.

#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <string>

#include "geometry/Status.h"

namespace orvex {

class AtomicFile {
public:
    AtomicFile() = default;
    ~AtomicFile();  // an uncommitted file is discarded
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    Status Open(const std::string& target);
    void Write(const void* data, std::size_t size);
    void Printf(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // Overwrites bytes already written (a count patched at the end of a streamed file).
    void WriteAt(long offset, const void* data, std::size_t size);
    // Flushes, renames over the target and reports the first error seen since Open.
    Status Commit();
    void Discard();

    bool Failed() const { return failed_; }
    const std::string& Target() const { return target_; }

private:
    void NoteError(const char* what);

    std::FILE* file_ = nullptr;
    std::string target_;
    std::string temp_;
    bool failed_ = false;
    std::string error_;
};

}  // namespace orvex
