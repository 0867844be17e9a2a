#pragma once
// A binary STL written as it is produced: the preamble, then records gathered in a buffer of a
// megabyte and handed to an AtomicFile in large writes, then (when the count was not known at
// the start) the count patched at byte 80 before the file replaces its target.

#include <cstdint>
#include <string>
#include <vector>

#include "geometry/AtomicFile.h"
#include "mesh/StlFormat.h"

namespace orvex {

class StlRecordStream {
public:
    // Opens the temporary file and writes the preamble with `count`.
    Status Open(const std::string& path, std::uint32_t count);

    void Add(const StlFacet& facet, std::uint16_t attribute) {
        Stl_Put_Record(buffer_.data() + used_, facet, attribute);
        used_ += kStlRecordBytes;
        ++records_;
        if (used_ == buffer_.size()) Flush();
    }

    std::uint64_t Records() const { return records_; }
    // A failed write, or more records than a count can hold: the writer may stop early.
    bool Failed() const { return file_.Failed() || tooMany_; }

    // Writes what is buffered; with `patchCount` the number of records replaces the count. More
    // records than a 32-bit count can hold fail rather than write a wrong count.
    Status Commit(bool patchCount);
    void Discard() { file_.Discard(); }

private:
    void Flush();

    AtomicFile file_;
    std::vector<unsigned char> buffer_;
    std::size_t used_ = 0;
    std::uint64_t records_ = 0;
    bool tooMany_ = false;
};

}  // namespace orvex
