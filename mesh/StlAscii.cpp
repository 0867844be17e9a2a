// A small tokenizer over the whole text; every token knows its line for the error message.

#include "mesh/StlAscii.h"

#include <optional>
#include <string_view>

#include "geometry/CFloat.h"

namespace orvex {

namespace {

constexpr std::size_t kProgressStep = 1u << 16;

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

bool SameWord(std::string_view token, std::string_view word) {
    if (token.size() != word.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i) {
        char c = token[i];
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
        if (c != word[i]) return false;
    }
    return true;
}

class Tokens {
public:
    explicit Tokens(std::span<const unsigned char> text)
        : at_(reinterpret_cast<const char*>(text.data())), end_(at_ + text.size()) {}

    // The next whitespace-separated token; empty at the end of the text.
    std::string_view Next() {
        while (at_ < end_ && IsSpace(*at_)) {
            if (*at_ == '\n') ++line_;
            ++at_;
        }
        tokenLine_ = line_;
        const char* start = at_;
        while (at_ < end_ && !IsSpace(*at_)) ++at_;
        return {start, std::size_t(at_ - start)};
    }
    // Skips the rest of the current line (a solid's name).
    void SkipLine() {
        while (at_ < end_ && *at_ != '\n') ++at_;
    }
    unsigned TokenLine() const { return tokenLine_; }
    double Fraction(const unsigned char* begin, std::size_t size) const {
        return size ? double(at_ - reinterpret_cast<const char*>(begin)) / double(size) : 1.0;
    }

private:
    const char* at_;
    const char* end_;
    unsigned line_ = 1;
    unsigned tokenLine_ = 1;
};

std::string Quoted(std::string_view word) {
    std::string out;
    out.reserve(word.size() + 2);
    out.push_back('\'');
    out.append(word);
    out.push_back('\'');
    return out;
}

// A shown token: at most 24 characters, anything unprintable as '?'.
std::string Shown(std::string_view token) {
    if (token.empty()) return "end of file";
    std::string shown;
    for (std::size_t i = 0; i < token.size() && i < 24; ++i) {
        const unsigned char c = static_cast<unsigned char>(token[i]);
        shown.push_back((c >= 32 && c < 127) ? char(c) : '?');
    }
    if (token.size() > 24) shown.append("...");
    return Quoted(shown);
}

// The float strtof gives in the C locale for the whole token. A numeral beyond the float range
// becomes an infinity (the caller leaves its facet out as non-finite), one below it zero or a
// denormal. Hexadecimal numerals are refused.
bool ParseFloat(std::string_view token, float& value) {
    const std::optional<float> parsed = Parse_C_Float(token, false);
    if (parsed) value = *parsed;
    return parsed.has_value();
}

}  // namespace

Status Parse_Stl_Ascii(std::span<const unsigned char> text, const std::string& name,
                       std::vector<StlFacet>& facets, Progress* progress) {
    Tokens tokens(text);
    auto fail = [&](const std::string& expected, std::string_view found) {
        return Status::Error(name + ": line " + std::to_string(tokens.TokenLine()) + ": expected " +
                             expected + ", found " + Shown(found));
    };
    auto readVec = [&](Vec3& v) -> Status {
        for (int a = 0; a < 3; ++a) {
            std::string_view token = tokens.Next();
            if (!ParseFloat(token, v[a])) return fail("a number", token);
        }
        return Status::Ok();
    };

    std::string_view token = tokens.Next();
    if (token.size() < 5 || !SameWord(token.substr(0, 5), "solid")) return fail("'solid'", token);
    tokens.SkipLine();

    for (;;) {
        token = tokens.Next();
        if (token.empty()) return Status::Ok();  // a missing "endsolid" costs nothing
        if (SameWord(token, "endsolid")) {
            tokens.SkipLine();
            token = tokens.Next();
            if (token.empty()) return Status::Ok();
            if (token.size() < 5 || !SameWord(token.substr(0, 5), "solid"))
                return fail("'solid' or the end", token);
            tokens.SkipLine();
            continue;
        }
        if (!SameWord(token, "facet")) return fail("'facet' or 'endsolid'", token);

        StlFacet facet;
        token = tokens.Next();
        if (!SameWord(token, "normal")) return fail("'normal'", token);
        if (Status s = readVec(facet.normal); !s) return s;
        for (std::string_view word : {"outer", "loop"}) {
            token = tokens.Next();
            if (!SameWord(token, word)) return fail(Quoted(word), token);
        }
        for (Vec3& corner : facet.corner) {
            token = tokens.Next();
            if (!SameWord(token, "vertex")) return fail("'vertex'", token);
            if (Status s = readVec(corner); !s) return s;
        }
        for (std::string_view word : {"endloop", "endfacet"}) {
            token = tokens.Next();
            if (!SameWord(token, word)) return fail(Quoted(word), token);
        }
        facets.push_back(facet);
        if (facets.size() % kProgressStep == 0) {
            Report_Progress(progress, tokens.Fraction(text.data(), text.size()), "Reading STL");
            if (Cancel_Requested(progress)) return Status::Error(name + ": reading cancelled");
        }
    }
}

}  // namespace orvex
