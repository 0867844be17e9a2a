// The text STL parser on any bytes, against a second reading of the same grammar whose numbers come
// from the C library's strtof. Promises: the facets are exactly those before the first malformed
// token, every number is what strtof gives for its token (hexadecimal numerals are refused), a
// failure names the line of the token that stopped it, and facets already in the list stay.

#include <limits>
#include <optional>
#include <span>
#include <string_view>

#include "fuzz/FuzzSupport.h"
#include "mesh/StlAscii.h"

namespace orvex::fuzz {

namespace {

bool Same_Word(std::string_view token, std::string_view word) {
    if (token.size() != word.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i) {
        char c = token[i];
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
        if (c != word[i]) return false;
    }
    return true;
}

bool Solid_Word(std::string_view token) {
    return token.size() >= 5 && Same_Word(token.substr(0, 5), "solid");
}

struct Reference {
    std::vector<StlFacet> facets;
    bool ok = true;
    unsigned line = 0;  // of the token that stopped the reading
};

using Reader = Word_Scanner;

enum class Number { Yes, No };

// strtof's reading of a whole token, without its hexadecimal numerals.
Number Strtof_Token(std::string_view token, float& value) {
    if (token.empty()) return Number::No;
    const std::string copy(token);
    char* end = nullptr;
    value = std::strtof(copy.c_str(), &end);
    if (end != copy.c_str() + copy.size()) return Number::No;
    std::size_t i = (copy[0] == '+' || copy[0] == '-') ? 1 : 0;
    if (copy.size() > i + 1 && copy[i] == '0' && (copy[i + 1] == 'x' || copy[i + 1] == 'X'))
        return Number::No;
    return Number::Yes;
}

Reference Read_Reference(std::string_view text) {
    Reference ref;
    Reader in(text);
    auto fail = [&]() {
        ref.ok = false;
        ref.line = in.Line();
        return ref;
    };
    auto word = [&](std::string_view w) { return Same_Word(in.Next(), w); };
    auto vec = [&](Vec3& v) {
        for (int a = 0; a < 3; ++a) {
            if (Strtof_Token(in.Next(), v[a]) != Number::Yes) return false;
        }
        return true;
    };
    if (!Solid_Word(in.Next())) return fail();
    in.Skip_Line();
    for (;;) {
        std::string_view token = in.Next();
        if (token.empty()) return ref;
        if (Same_Word(token, "endsolid")) {
            in.Skip_Line();
            token = in.Next();
            if (token.empty()) return ref;
            if (!Solid_Word(token)) return fail();
            in.Skip_Line();
            continue;
        }
        if (!Same_Word(token, "facet")) return fail();
        StlFacet facet;
        if (!word("normal") || !vec(facet.normal) || !word("outer") || !word("loop")) return fail();
        for (Vec3& corner : facet.corner)
            if (!word("vertex") || !vec(corner)) return fail();
        if (!word("endloop") || !word("endfacet")) return fail();
        ref.facets.push_back(facet);
    }
}

bool Same_Number(float a, float b) {
    return (std::isnan(a) && std::isnan(b)) || Same_Bits(a, b);
}

bool Same_Facet(const StlFacet& a, const StlFacet& b) {
    for (int a3 = 0; a3 < 3; ++a3) {
        if (!Same_Number(a.normal[a3], b.normal[a3])) return false;
        for (int c = 0; c < 3; ++c)
            if (!Same_Number(a.corner[c][a3], b.corner[c][a3])) return false;
    }
    return true;
}

std::string Facet_Text(const char* v[9]) {
    std::string text = "facet normal 0 0 1\n outer loop\n";
    for (int c = 0; c < 3; ++c)
        text += std::string("  vertex ") + v[3 * c] + " " + v[3 * c + 1] + " " + v[3 * c + 2] + "\n";
    return text + " endloop\nendfacet\n";
}

}  // namespace

void Make_Seeds(const std::string& dir) {
    const char* plain[9] = {"0", "0", "0", "1", "0", "0", "0", "1", "0"};
    const char* forms[9] = {"+1.5", "-0", "1e-60", "1e+60", ".5", "5.", "1E3", "-2.5e-3", "0.000001"};
    const char* tiny[9] = {"1e-45", "1e-39", "-1e-38", "3.4028235e38", "-3.4028234e38", "1e-320",
                           "0",     "0",     "0"};
    const char* big[9] = {"1e39", "0", "0", "1", "0", "0", "0", "1", "0"};
    const char* odd[9] = {"inf", "nan", "0x1p3", "1", "0", "0", "0", "1", "0"};
    Write_Seed(dir, "triangle", "solid t\n" + Facet_Text(plain) + "endsolid t\n");
    Write_Seed(dir, "number-forms", "SOLID forms\n" + Facet_Text(forms) + Facet_Text(plain) + "ENDSOLID\n");
    Write_Seed(dir, "tiny-numbers", "solid\n" + Facet_Text(tiny));
    Write_Seed(dir, "overflow", "solid o\n" + Facet_Text(big) + Facet_Text(plain) + "endsolid o\n");
    Write_Seed(dir, "inf-nan-hex", "solid x\n" + Facet_Text(odd) + "endsolid x\n");
    Write_Seed(
        dir, "two-solids",
        "solid a\n" + Facet_Text(plain) + "endsolid a\nsolid b\n" + Facet_Text(forms) + "endsolid b\n");
    Write_Seed(dir, "bad-token",
               "solid b\r\n" + Facet_Text(plain) + "facet normal 0 0 1\nouter loop\nvertex 1 2\n");
    Write_Seed(dir, "not-solid", std::string("facet normal 0 0 1\n"));
}

}  // namespace orvex::fuzz

using namespace orvex;
using namespace orvex::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const unsigned char> bytes(data, size);
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    const StlFacet earlier{{7, 7, 7}, {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}};
    std::vector<StlFacet> facets{earlier};
    const Status status = Parse_Stl_Ascii(bytes, "fuzz.stl", facets);
    FUZZ_CHECK(!facets.empty() && Same_Facet(facets[0], earlier), "the facet already in the list changed");
    facets.erase(facets.begin());

    const Reference ref = Read_Reference(text);
    FUZZ_CHECK(status.ok == ref.ok, "status %s, the reference %s at line %u: %s", status.ok ? "ok" : "failed",
               ref.ok ? "ok" : "failed", ref.line, status.message.c_str());
    FUZZ_CHECK(facets.size() == ref.facets.size(), "%zu facets, the reference %zu", facets.size(),
               ref.facets.size());
    for (std::size_t k = 0; k < facets.size(); ++k)
        FUZZ_CHECK(Same_Facet(facets[k], ref.facets[k]), "facet %zu differs from strtof's", k);
    if (!status.ok) {
        const std::string where = ": line " + std::to_string(ref.line) + ":";
        FUZZ_CHECK(status.message.find(where) != std::string::npos, "'%s' does not name line %u",
                   status.message.c_str(), ref.line);
    }
    return 0;
}
