// StlRecordStream: records buffered a megabyte at a time, the count checked and patched at the end.

#include "volume/StlRecordStream.h"

#include <limits>

namespace orvex {

namespace {
constexpr std::size_t kBufferedRecords = 20000;  // about a megabyte
}

Status StlRecordStream::Open(const std::string& path, std::uint32_t count) {
    used_ = 0;
    records_ = 0;
    tooMany_ = false;
    buffer_.resize(kBufferedRecords * kStlRecordBytes);
    if (Status opened = file_.Open(path); !opened) return opened;
    unsigned char preamble[kStlPreambleBytes];
    Stl_Put_Preamble(preamble, count);
    file_.Write(preamble, sizeof preamble);
    return Status::Ok();
}

void StlRecordStream::Flush() {
    if (records_ > std::numeric_limits<std::uint32_t>::max()) tooMany_ = true;
    if (!tooMany_) file_.Write(buffer_.data(), used_);
    used_ = 0;
}

Status StlRecordStream::Commit(bool patchCount) {
    Flush();
    if (tooMany_) {
        const std::string target = file_.Target();
        file_.Discard();
        return Status::Error(target + ": " + std::to_string(records_) +
                             " triangles are more than one STL file can count");
    }
    if (patchCount) {
        const std::uint32_t count = std::uint32_t(records_);
        file_.WriteAt(long(kStlHeaderBytes), &count, sizeof count);
    }
    return file_.Commit();
}

}  // namespace orvex
