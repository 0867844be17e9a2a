// The point-file readers (RAN, XYZ, XYC; the first byte chooses) on any text, read into a set that
// already holds points, against a second reading whose numbers come from strtof and strtoll.
// Promises: the old points are gone; the set holds exactly the complete records before the first
// token that is not a number (a RAN file: at most the count it announces), newest first, each
// value what strtof gives for its token (colours: the integer, clamped to 0..255, over 255); the
// status is ok exactly when the file ended cleanly (a RAN file: with all its points); a bad token
// is named with its line; the bounds are those of the points read; the old hull and its centroid,
// volume and box are gone.

#include <cerrno>
#include <climits>
#include <string_view>

#include "fuzz/FuzzSupport.h"
#include "pointset/PointList.h"

namespace orvex::fuzz {

namespace {

enum class Token { Number, End, Bad };

struct Reference {
    std::vector<std::array<float, 6>> records;
    bool clean = true;  // ended at the end of the text, between records
    bool bad = false;   // stopped at a token that is not a number
    unsigned badLine = 0;
    bool countOk = true;      // RAN: the count is a number and possible
    long long announced = 0;  // RAN
};

class Scan {
public:
    explicit Scan(std::string_view text) : words_(text) {}

    bool Next(std::string& token) {
        const std::string_view word = words_.Next();
        if (word.empty()) return false;
        token.assign(word);
        return true;
    }
    Token Float(float& value) {
        std::string token;
        if (!Next(token)) return Token::End;
        char* end = nullptr;
        value = std::strtof(token.c_str(), &end);
        if (end != token.c_str() + token.size() || !std::isfinite(value)) return Token::Bad;
        return Token::Number;
    }
    Token Integer(long long& value) {
        std::string token;
        if (!Next(token)) return Token::End;
        char* end = nullptr;
        errno = 0;
        value = std::strtoll(token.c_str(), &end, 10);
        if (end != token.c_str() + token.size() || errno == ERANGE) return Token::Bad;
        return Token::Number;
    }
    unsigned Line() const { return words_.Line(); }

private:
    Word_Scanner words_;
};

Reference Read_Reference(std::string_view text, int format) {
    Reference ref;
    Scan scan(text);
    unsigned long long limit = ~0ull;
    if (format == 0) {
        const Token t = scan.Integer(ref.announced);
        if (t != Token::Number || ref.announced < 0 || ref.announced > (long long)UINT32_MAX) {
            ref.countOk = false;
            return ref;
        }
        limit = (unsigned long long)ref.announced;
    }
    const int floats = 3, ints = format == 2 ? 3 : 0;
    while (ref.records.size() < limit) {
        std::array<float, 6> record{};
        for (int k = 0; k < floats + ints; ++k) {
            Token t;
            if (k < floats) {
                t = scan.Float(record[k]);
            } else {
                long long byte = 0;
                t = scan.Integer(byte);
                record[k] = float(byte < 0 ? 0 : (byte > 255 ? 255 : byte)) / 255.0f;
            }
            if (t == Token::Number) continue;
            if (t == Token::End && k == 0) return ref;
            ref.clean = false;
            ref.bad = t != Token::End;
            ref.badLine = scan.Line();
            return ref;
        }
        ref.records.push_back(record);
    }
    return ref;
}

std::string Record(const char* x, const char* y, const char* z) {
    return std::string(x) + " " + y + " " + z + "\n";
}

}  // namespace

void Make_Seeds(const std::string& dir) {
    const std::string three =
        Record("1", "2", "3") + Record("-4.5", "+5e-3", "6.000000") + Record(".5", "5.", "1E3");
    const std::string tiny = Record("1e-45", "1e-39", "-1e-38") + Record("1e-507", "3.4028235e38", "0");
    const std::string ran(1, '\0');
    Write_Seed(dir, "ran", ran + "3\n" + three);
    Write_Seed(dir, "ran-short", ran + "5\n" + three);
    Write_Seed(dir, "ran-negative", ran + "-1\n" + three);
    Write_Seed(dir, "ran-huge-count", ran + "99999999999\n" + three);
    Write_Seed(dir, "ran-tiny", ran + "2\n" + tiny);
    Write_Seed(dir, "xyz", "\x01" + three + "\r\n\t");
    Write_Seed(dir, "xyz-lone-x", "\x01" + Record("1", "2", "3") + "4");
    Write_Seed(dir, "xyz-bad", "\x01" + three + "7 8 3abc\n");
    Write_Seed(dir, "xyz-inf-nan-hex", "\x01" + three + "inf 1 2\nnan 1 2\n1e39 0 0\n0x1p3 1 2\n");
    Write_Seed(dir, "xyz-tiny", "\x01" + tiny);
    Write_Seed(dir, "xyc",
               "\x02"
               "1 2 3 255 0 128\n-1 -2 -3 0 255 300\n4 5 6 -7 +8 9\n");
    Write_Seed(dir, "xyc-short",
               "\x02"
               "1 2 3 255 0\n");
    Write_Seed(dir, "empty", std::string(1, '\x01'));
}

}  // namespace orvex::fuzz

using namespace orvex;
using namespace orvex::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const int format = data[0] % 3;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    static MemoryFile file;
    file.Set(data + 1, size - 1);

    POINT_LIST set;
    for (int k = 0; k < 4; ++k) {
        VEC_LIST* p = set.NewPoint(3);
        p->values[0] = p->values[1] = p->values[2] = float(k);
        set.InsertFront(p);
    }
    set.UpdateBounds();
    set.centroid = Vec3{1, 2, 3};
    set.volume = 4.0f;
    set.boxAxes[0] = Vec3{1, 0, 0};
    set.boxExtent[5] = 6.0f;
    const Status status = format == 0   ? set.ReadRAN(file.Path())
                          : format == 1 ? set.ReadXYZ(file.Path())
                                        : set.ReadXYC(file.Path());
    FUZZ_CHECK(set.coloured == (format == 2), "coloured is %d after reading format %d", set.coloured, format);
    FUZZ_CHECK(!set.hull.next, "a hull survived the reading");
    FUZZ_CHECK(
        set.centroid == Vec3{} && set.volume == 0.0f && set.boxAxes[0] == Vec3{} && set.boxExtent[5] == 0.0f,
        "the old hull's mass and box survived the reading");
    FUZZ_CHECK(status.ok || !status.message.empty(), "a failure without a message");

    const Reference ref = Read_Reference(text, format);
    std::vector<const VEC_LIST*> points;  // oldest first, as in the file
    for (const VEC_LIST* p = set.points.next; p; p = p->next) points.insert(points.begin(), p);
    FUZZ_CHECK(points.size() == set.Count(0), "Count(0) is %u for %zu points", set.Count(0), points.size());

    const int width = format == 2 ? 6 : 3;
    FUZZ_CHECK(points.size() == ref.records.size(), "%zu points, the reference %zu", points.size(),
               ref.records.size());
    bool wantOk = ref.clean;
    if (format == 0) wantOk = ref.countOk && ref.records.size() == (unsigned long long)ref.announced;
    FUZZ_CHECK(status.ok == wantOk, "status %s: %s", status.ok ? "ok" : "failed", status.message.c_str());
    if (ref.bad && ref.countOk) {
        const std::string where = "line " + std::to_string(ref.badLine) + ": '";
        FUZZ_CHECK(status.message.find(where) != std::string::npos, "'%s' does not name line %u",
                   status.message.c_str(), ref.badLine);
    }
    for (std::size_t n = 0; n < ref.records.size(); ++n)
        for (int k = 0; k < width; ++k)
            FUZZ_CHECK(Same_Bits(points[n]->values[k], ref.records[n][k]),
                       "point %zu value %d: %a, strtof %a", n, k, double(points[n]->values[k]),
                       double(ref.records[n][k]));

    Vec3 lo{}, hi{};
    for (std::size_t n = 0; n < points.size(); ++n)
        for (int a = 0; a < 3; ++a) {
            const float v = points[n]->values[a];
            if (n == 0 || v < lo[a]) lo[a] = v;
            if (n == 0 || v > hi[a]) hi[a] = v;
        }
    FUZZ_CHECK(set.boundsMin == lo && set.boundsMax == hi, "bounds are not those of the points read");
    return 0;
}
