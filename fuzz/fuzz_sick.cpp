// The Sick scan reader on any text, read into a list that already holds a scan, against a second
// reading whose integers come from strtoll.
// Promises: with no complete scan before the end or the first token that is not a 32-bit integer,
// the old list stays and the status is not ok; otherwise the list holds exactly those scans in
// file order, each tag and float 0 the scan's first integer, float i + 1 reading i; the report's
// counts, the dropped integers and the line of a bad token are the reference's, and the status is
// ok exactly when the text ended cleanly with nothing dropped; every drawn point lies within the
// range limits.

#include <cerrno>
#include <climits>
#include <string_view>

#include "fuzz/FuzzSupport.h"
#include "sfm/SickScan.h"

namespace orvex::fuzz {

namespace {

struct Reference {
    std::vector<long long> integers;
    bool bad = false;
    unsigned badLine = 0;
};

Reference Read_Reference(std::string_view text) {
    Reference ref;
    Word_Scanner words(text);
    for (;;) {
        const std::string_view word = words.Next();
        if (word.empty()) break;
        const std::string token(word);
        char* end = nullptr;
        errno = 0;
        const long long value = std::strtoll(token.c_str(), &end, 10);
        if (token.find('\0') != std::string::npos || end != token.c_str() + token.size() || errno == ERANGE ||
            value < INT_MIN || value > INT_MAX) {
            ref.bad = true;
            ref.badLine = words.Line();
            break;
        }
        ref.integers.push_back(value);
    }
    return ref;
}

}  // namespace

void Make_Seeds(const std::string& dir) {
    std::string two;
    for (int n = 0; n < 2 * Sick_Record; ++n)
        two += std::to_string(n % Sick_Record == 0 ? 1000 * n : 300 + 7 * n) + (n % 20 == 19 ? "\n" : " ");
    Write_Seed(dir, "two-scans", two);
    Write_Seed(dir, "one-short", two.substr(0, two.rfind(' ')));
    Write_Seed(dir, "bad-token", two + "\n12.5 3 4\n");
    Write_Seed(dir, "ranges", "0 299 300 75000 75001 81870 -5 +7 2147483647 -2147483648 2147483648\n");
    Write_Seed(dir, "empty", std::string());
}

}  // namespace orvex::fuzz

using namespace orvex;
using namespace orvex::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    static MemoryFile file;
    file.Set(data, size);

    VEC_LIST* scans = new VEC_LIST(Sick_Record);
    scans->tag = -77;
    VEC_LIST* const old = scans;
    SickReadReport report;
    const Status status = Read_Sick(file.Path(), scans, &report);
    const Reference ref = Read_Reference(text);
    const std::size_t whole = ref.integers.size() / Sick_Record;
    const std::size_t dropped = ref.integers.size() % Sick_Record;

    FUZZ_CHECK(report.scans == whole, "%llu scans, the reference %zu", (unsigned long long)report.scans,
               whole);
    FUZZ_CHECK(report.integers == ref.integers.size(), "%llu integers, the reference %zu",
               (unsigned long long)report.integers, ref.integers.size());
    FUZZ_CHECK(report.dropped == dropped, "%llu dropped, the reference %zu",
               (unsigned long long)report.dropped, dropped);
    FUZZ_CHECK(report.badLine == ref.badLine, "bad line %llu, the reference %u",
               (unsigned long long)report.badLine, ref.badLine);
    FUZZ_CHECK(bool(status) == (whole > 0 && !ref.bad && dropped == 0), "status %d: %s", int(bool(status)),
               status.message.c_str());
    if (ref.bad) {
        const std::string line = "line " + std::to_string(ref.badLine);
        FUZZ_CHECK(status.message.find(line) != std::string::npos, "the message does not name %s: %s",
                   line.c_str(), status.message.c_str());
    }
    if (whole == 0) {
        FUZZ_CHECK(scans == old && old->tag == -77 && old->next == nullptr,
                   "nothing read, yet the list changed");
        Free_Vec_List(scans);
        return 0;
    }
    std::size_t k = 0;
    Vec3 points[Sick_Readings];
    for (const VEC_LIST* s = scans; s; s = s->next, ++k) {
        FUZZ_CHECK(k < whole, "more scans than the reference");
        const long long* group = &ref.integers[k * Sick_Record];
        FUZZ_CHECK(s->tag == group[0], "scan %zu tag %d, the reference %lld", k, s->tag, group[0]);
        for (int i = 0; i < Sick_Record; ++i)
            FUZZ_CHECK(Same_Bits(s->values[i], float(group[i])), "scan %zu float %d", k, i);
        const int n = Scan_Points(*s, points);
        FUZZ_CHECK(n >= 0 && n <= Sick_Readings, "%d points", n);
        for (int i = 0; i < n; ++i) {
            const double r = std::hypot(double(points[i].x), double(points[i].y));
            FUZZ_CHECK(r >= Scan_Min_Range * 0.999 && r <= Scan_Max_Range * 1.001 && points[i].y >= -1e-3 * r,
                       "scan %zu point %d at range %g", k, i, r);
        }
    }
    FUZZ_CHECK(k == whole, "%zu scans in the list, the reference %zu", k, whole);
    Free_Vec_List(scans);
    return 0;
}
