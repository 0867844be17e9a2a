#include "sfm/SickScan.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>

#include "geometry/NumberScanner.h"

namespace orvex {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

Status Read_Sick(const std::string& path, VEC_LIST*& scans, SickReadReport* report) {
    SickReadReport local;
    SickReadReport& rep = report ? *report : local;
    rep = {};
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) return Status::Error(path + ": cannot open: " + std::strerror(errno));

    NumberScanner scan(file.get());
    VEC_LIST* head = nullptr;
    VEC_LIST** tail = &head;
    std::unique_ptr<VEC_LIST> group;
    int filled = 0;
    std::string problem;
    for (;;) {
        long long value = 0;
        const NumberScanner::Result r = scan.NextInt(value);
        if (r == NumberScanner::Result::End) break;
        if (r == NumberScanner::Result::NotANumber)
            problem = "\"" + scan.BadText() + "\" is not an integer";
        else if (value < std::numeric_limits<std::int32_t>::min() ||
                 value > std::numeric_limits<std::int32_t>::max())
            problem = std::to_string(value) + " is too large for an integer";
        if (!problem.empty()) {
            rep.badLine = scan.Line();
            break;
        }
        ++rep.integers;
        if (!group) group = std::make_unique<VEC_LIST>(Sick_Record);
        if (filled == 0) group->tag = std::int32_t(value);
        group->values[filled++] = float(value);
        if (filled == Sick_Record) {
            *tail = group.release();
            tail = &(*tail)->next;
            ++rep.scans;
            filled = 0;
        }
    }
    rep.dropped = std::uint64_t(filled);

    std::string message;
    if (!problem.empty())
        message = path + ": line " + std::to_string(rep.badLine) + ": " + problem + "; reading stopped there";
    else if (scan.ReadFailed())
        message = path + ": the file could not be read to its end";
    if (rep.dropped) {
        if (!message.empty()) message += "; ";
        message += path + ": the last " + std::to_string(rep.dropped) +
                   " integers do not make a whole scan of " + std::to_string(Sick_Record) +
                   " and were dropped";
    }
    if (!head) {
        if (message.empty()) message = path + ": no scan in the file";
        return Status::Error(message + "; nothing read");
    }
    Free_Vec_List(scans);
    scans = head;
    if (!message.empty()) return Status::Error(message + " (" + std::to_string(rep.scans) + " scans kept)");
    return Status::Ok();
}

int Scan_Points(const VEC_LIST& scan, Vec3* out) {
    if (!scan.values) return 0;
    int count = 0;
    for (int i = 0; i < Sick_Readings; ++i) {
        const float r = scan.values[i + 1];
        if (!(r >= Scan_Min_Range && r <= Scan_Max_Range)) continue;
        const double angle = i * M_PI / 360.0;
        out[count++] = Vec3{float(r * std::cos(angle)), float(r * std::sin(angle)), 0.0f};
    }
    return count;
}

}  // namespace orvex
