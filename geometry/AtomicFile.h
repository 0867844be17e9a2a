#pragma once
// Every file the program writes goes through AtomicFile: the data goes to a temporary file in the
// target folder and replaces the target only when everything was written. A failed write (full
// disk, missing folder) leaves the old file, no partial one, and a message saying what failed.
//
// A save through a symbolic link changes the file at the end of the link chain and keeps the
// links; an existing file keeps its permission bits. A file the user cannot write is not
// replaced. Where the folder refuses new files but the file itself is writable, the content is
// gathered in a scratch file elsewhere and copied over the file only once it is complete (a
// failure during that copy is reported, and may leave the file incomplete). Devices (/dev/null)
// are written in place.

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
    // Flushes the new content and reports the first error seen since Open; the target is not
    // touched yet. Files that must change together are all finished before any is committed.
    Status Finish();
    // Finishes if that was not done, then replaces the target; reports the first error.
    Status Commit();
    void Discard();

    bool Failed() const { return failed_; }
    const std::string& Target() const { return target_; }

    // Creates the temporary file from a mkstemp template (mkstemp itself unless a test replaces
    // it to act out a folder that refuses new files, which root cannot otherwise see).
    using Temp_Maker = int (*)(char* name_template);
    static Temp_Maker Make_Temp;

private:
    enum class Mode { Beside, Direct, InPlace };

    Status Open_In_Place(int tempError);
    void NoteError(const char* what);
    void Copy_Into_Target();

    Mode mode_ = Mode::Beside;
    std::FILE* file_ = nullptr;  // the temporary, the device, or the scratch copy
    int targetFd_ = -1;          // InPlace: the file being rewritten
    bool open_ = false;
    bool finished_ = false;
    std::string target_;  // as the caller named it, for messages
    std::string path_;    // the file the links lead to
    std::string temp_;
    bool failed_ = false;
    std::string error_;
};

}  // namespace orvex
