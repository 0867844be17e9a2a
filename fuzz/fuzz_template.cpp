// The template reader on any bytes, read into a mesh that already holds one record, against a
// second reading that takes its words between C white space and its numbers from strtoll/strtof.
// Promises: when every SIZE block (any case) has a whole, non-negative count followed by that many
// records of nine whole numbers, the status is ok and the template is the last block (or the old
// record when there is none); otherwise the status fails, names the file, and the old record stays.

#include <cerrno>
#include <string>

#include "analysis/ReadTemplate.h"
#include "fuzz/FuzzSupport.h"

namespace orvex::fuzz {

namespace {

constexpr float kOld = 1234.5f;

bool Whole_Float(std::string_view word, float& value) {
    const std::string token(word);
    if (token.find('\0') != std::string::npos) return false;
    char* end = nullptr;
    value = std::strtof(token.c_str(), &end);
    return end == token.c_str() + token.size();
}

bool Whole_Count(std::string_view word, long long& count) {
    const std::string token(word);
    if (token.empty() || token.find('\0') != std::string::npos || token[0] == ' ') return false;
    if (token.size() > 1 && token[0] == '+' && (token[1] == '+' || token[1] == '-')) return false;
    errno = 0;
    char* end = nullptr;
    count = std::strtoll(token.c_str(), &end, 10);
    return errno == 0 && end == token.c_str() + token.size() && count >= 0;
}

bool Is_Size(std::string_view word) {
    if (word.size() != 4) return false;
    for (int k = 0; k < 4; ++k)
        if ((word[k] | 0x20) != "size"[k]) return false;
    return true;
}

// False when the file must be refused.
bool Read_Reference(std::string_view text, bool& sized, std::vector<Record10>& records) {
    Word_Scanner words(text);
    for (std::string_view word = words.Next(); !word.empty(); word = words.Next()) {
        if (!Is_Size(word)) continue;
        long long count = 0;
        if (!Whole_Count(words.Next(), count)) return false;
        std::vector<Record10> block;
        for (long long r = 0; r < count; ++r) {
            Record10 record{};
            for (int k = 0; k < 9; ++k) {
                const std::string_view value = words.Next();
                if (value.empty() || !Whole_Float(value, record[k])) return false;
            }
            block.push_back(record);
        }
        records = std::move(block);
        sized = true;
    }
    return true;
}

}  // namespace

void Make_Seeds(const std::string& dir) {
    Write_Seed(
        dir, "two.txt",
        "SIZE\t2\n1.000000\t-2.500000\t3.250000\t0.000000\t0.000000\t1.000000\t-0.500000\t0.250000\t0."
        "750000\n"
        "-1000.500000\t0.000000\t0.000000\t1.000000\t0.000000\t0.000000\t0.000000\t0.000000\t1.000000\n");
    Write_Seed(dir, "blocks.txt", "x SIZE 1 1 2 3 4 5 6 7 8 9 size 1 0x1p3 inf nan -0 1e-40 1e40 7 8 9\n");
    Write_Seed(dir, "short.txt", "SIZE 3\n1 2 3 4 5 6 7 8 9\n");
    Write_Seed(dir, "none.txt", "no blocks here 1 2 3\n");
}

}  // namespace orvex::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace orvex;
    const std::string text(reinterpret_cast<const char*>(data), size);
    UniOb mesh;
    mesh.AllocTemplates(1);
    mesh.Template_Records[0][0] = orvex::fuzz::kOld;
    const Status status = ReadTemplate_Text(mesh, text, "fuzz.txt");
    FUZZ_CHECK(mesh.Template_Count == mesh.Template_Records.size(), "count %u of %zu records",
               mesh.Template_Count, mesh.Template_Records.size());

    bool sized = false;
    std::vector<Record10> expected;
    const bool good = orvex::fuzz::Read_Reference(text, sized, expected);
    FUZZ_CHECK(status.ok == good, "status %d, reference %d: %s", int(status.ok), int(good),
               status.message.c_str());
    if (!good || !sized) {
        FUZZ_CHECK(mesh.Template_Count == 1 && mesh.Template_Records[0][0] == orvex::fuzz::kOld,
                   "old record lost");
        if (!good)
            FUZZ_CHECK(status.message.rfind("fuzz.txt: ", 0) == 0, "message: %s", status.message.c_str());
        return 0;
    }
    FUZZ_CHECK(mesh.Template_Records.size() == expected.size(), "%zu records, reference %zu",
               mesh.Template_Records.size(), expected.size());
    for (std::size_t r = 0; r < expected.size(); ++r)
        for (int k = 0; k < 10; ++k)
            FUZZ_CHECK(orvex::fuzz::Same_Bits(mesh.Template_Records[r][k], expected[r][k]),
                       "record %zu value %d", r, k);
    return 0;
}
