// The LOP reader on any bytes, read into a facet that already holds records, against a second
// reading that splits lines itself and takes its numbers from strtof.
// Promises: the old records are gone; Segments holds, newest first, exactly the records of the
// lines before the first line that is not six comma-separated finite numbers (blank lines passed
// over, one CR before the LF dropped, a line over 4096 bytes malformed), less the last when their
// count is odd; each value is what strtof gives for its field; the status is ok exactly when the
// file ended cleanly with an even count; a bad line is named with the file and its number; the
// report agrees.

#include <array>
#include <string_view>

#include "facet/TriFacet.h"
#include "fuzz/FuzzSupport.h"

namespace orvex::fuzz {

namespace {

struct Reference {
    std::vector<std::array<float, 6>> records;
    unsigned badLine = 0;
    bool droppedOdd = false;
};

bool Is_Blank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}

std::string_view Strip(std::string_view s) {
    std::size_t a = 0, b = s.size();
    while (a < b && Is_Blank(s[a])) ++a;
    while (b > a && Is_Blank(s[b - 1])) --b;
    return s.substr(a, b - a);
}

bool Field(std::string_view field, float& value) {
    const std::string token(Strip(field));
    if (token.empty() || token.find_first_of("xX") != std::string::npos) return false;
    if (token.find('\0') != std::string::npos) return false;
    char* end = nullptr;
    value = std::strtof(token.c_str(), &end);
    return end == token.c_str() + token.size() && std::isfinite(value);
}

Reference Read_Reference(std::string_view text) {
    Reference ref;
    unsigned number = 0;
    while (!text.empty()) {
        const std::size_t lf = text.find('\n');
        std::string_view line = text.substr(0, lf);
        text = lf == std::string_view::npos ? std::string_view() : text.substr(lf + 1);
        ++number;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        bool good = line.size() <= 4096;
        if (good && Strip(line).empty()) continue;
        std::array<float, 6> record{};
        std::vector<std::string_view> fields;
        if (good) {
            std::size_t from = 0;
            for (;;) {
                const std::size_t comma = line.find(',', from);
                fields.push_back(line.substr(
                    from, comma == std::string_view::npos ? std::string_view::npos : comma - from));
                if (comma == std::string_view::npos) break;
                from = comma + 1;
            }
            good = fields.size() == 6;
            for (int k = 0; good && k < 6; ++k) good = Field(fields[k], record[k]);
        }
        if (!good) {
            ref.badLine = number;
            break;
        }
        ref.records.push_back(record);
    }
    if (ref.records.size() % 2 == 1) {
        ref.records.pop_back();
        ref.droppedOdd = true;
    }
    return ref;
}

}  // namespace

void Make_Seeds(const std::string& dir) {
    const std::string four = "1,0,0,0,0,1\n2,0,0,0,0,1\n3,0.5,-1,0,1,0\n4,0,0,1,0,0\n";
    Write_Seed(dir, "four", four);
    Write_Seed(dir, "crlf-no-final-lf",
               "1.5, -2e3 ,+.5,0,0,1\r\n\r\n2,0,0,0,0,1\r\n3,0,0,0,0,1\r\n4,0,0,0,0,1");
    Write_Seed(dir, "bad-third", "1,0,0,0,0,1\n2,0,0,0,0,1\n3,0,0,0,0\n4,0,0,0,0,1\n");
    Write_Seed(dir, "odd", "1,0,0,0,0,1\n2,0,0,0,0,1\n3,0,0,0,0,1\n");
    Write_Seed(dir, "inf-nan-hex", four + "inf,0,0,0,0,1\nnan,0,0,0,0,1\n1e39,0,0,0,0,1\n0x1p3,0,0,0,0,1\n");
    Write_Seed(dir, "tiny", "1e-45,1e-39,-1e-38,1e-507,3.4028235e38,0\n-0,0,0,0,0,0\n");
    Write_Seed(dir, "long-line",
               "1,0,0,0,0,1\n2,0,0,0,0,1" + std::string(4086, ' ') + "\r\n3,0,0,0,0,1" +
                   std::string(4086, ' ') + "\n");
    Write_Seed(dir, "empty", std::string());
}

}  // namespace orvex::fuzz

using namespace orvex;
using namespace orvex::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    static MemoryFile file;
    file.Set(data, size);

    TRI_FACET facet;
    for (int k = 0; k < 3; ++k) {
        auto* old = new VEC_LIST(6);
        for (int i = 0; i < 6; ++i) old->values[i] = 99.0f;
        old->next = facet.Segments;
        facet.Segments = old;
    }
    facet.Cut_Path = new VEC_LIST(4);

    LopReadReport report;
    const Status status = ReadLOP(facet, file.Path(), &report);
    const Reference ref = Read_Reference(text);

    FUZZ_CHECK(facet.Cut_Path == nullptr, "the old cut path stayed");
    std::vector<const VEC_LIST*> got;
    for (const VEC_LIST* r = facet.Segments; r; r = r->next) got.push_back(r);
    FUZZ_CHECK(got.size() == ref.records.size(), "%zu records, the reference %zu", got.size(),
               ref.records.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        const std::array<float, 6>& want = ref.records[ref.records.size() - 1 - i];
        for (int k = 0; k < 6; ++k)
            FUZZ_CHECK(Same_Bits(got[i]->values[k], want[k]), "record %zu value %d: %g, the reference %g", i,
                       k, double(got[i]->values[k]), double(want[k]));
    }
    FUZZ_CHECK(report.records == ref.records.size(), "report says %zu records", report.records);
    FUZZ_CHECK(report.badLine == ref.badLine, "stopped at line %u, the reference at %u", report.badLine,
               ref.badLine);
    FUZZ_CHECK(report.droppedOdd == ref.droppedOdd, "odd record dropped: %d", int(report.droppedOdd));
    FUZZ_CHECK(bool(status) == (ref.badLine == 0 && !ref.droppedOdd), "status %d: %s", int(bool(status)),
               status.message.c_str());
    if (ref.badLine) {
        const std::string line = "line " + std::to_string(ref.badLine);
        FUZZ_CHECK(status.message.find(file.Path()) != std::string::npos &&
                       status.message.find(line) != std::string::npos,
                   "the message does not name the file and %s: %s", line.c_str(), status.message.c_str());
    }
    return 0;
}
