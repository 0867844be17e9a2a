// Read_OBJ: tinyobjloader parses, our own checks build the mesh.
//
// A large file is cut at line ends into pieces parsed side by side. In a piece the common lines
// (v, vt, vn, and f with plain integer corners) are cut into fields here and their numbers read by
// tinyobjloader's own number parser; every other line that could add a record goes, with its
// neighbours, through tinyobjloader's LoadObjWithCallback, and the mtllib lines through it once
// at the end. The pieces keep the raw indices with the list sizes at each face, so joining them in
// file order resolves relative indices and forward references exactly as one pass would.

#include "mesh/ObjReader.h"

// The parser is compiled here, not linked, so the sanitizers and the fuzzer see inside it.
#define TINYOBJLOADER_IMPLEMENTATION
#include <tiny_obj_loader.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <exception>
#include <filesystem>
#include <istream>
#include <limits>
#include <streambuf>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "geometry/Clock.h"
#include "geometry/NumberScanner.h"
#include "mesh/LineChunks.h"
#include "mesh/ThreadRanges.h"

namespace orvex {

namespace {

using namespace mesh_file_detail;

constexpr std::size_t kMaxVertices = std::size_t(std::numeric_limits<int>::max()) - 3;
// Corners of one face record; a longer face (a line of gigabytes) is dropped.
constexpr std::size_t kMaxCorners = (std::size_t(1) << 29) - 1;
// Lines, or faces when joining, between looks at the cancel request.
constexpr std::uint64_t kCancelEvery = std::uint64_t(1) << 18;
// Pieces per thread: a thread that finishes early takes another, on a machine others share.
constexpr unsigned kPiecesPerThread = 4;

// The bytes as a stream, without copying them.
class SpanBuffer : public std::streambuf {
public:
    SpanBuffer(const char* begin, const char* end) {
        char* b = const_cast<char*>(begin);
        setg(b, b, b + (end - begin));
    }
};

// Materials are not used: only whether the named file is there, for the note.
class MaterialProbe : public tinyobj::MaterialReader {
public:
    explicit MaterialProbe(std::filesystem::path folder) : folder_(std::move(folder)) {}
    bool operator()(const std::string& file, std::vector<tinyobj::material_t>*, std::map<std::string, int>*,
                    std::string*, std::string*) override {
        std::error_code error;
        if (std::filesystem::is_regular_file(folder_ / file, error)) return true;
        missing.push_back(file);
        return false;
    }
    std::vector<std::string> missing;

private:
    std::filesystem::path folder_;
};

// The list sizes within a piece from its face `face` on.
struct CountMark {
    std::uint64_t face;
    std::uint64_t v, vt, vn;
};

inline bool Finite(const Vec3& p) {
    return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
}

// What one piece of the file gives, in file order, with every index as the file gives it. While
// all its faces are triangles of v indices alone they are kept as such; from the first other face
// on, each face is stored as its corner count times four, plus 1 when it names vt and 2 when it
// names vn, then its v indices, then its vt and its vn indices when it names them.
struct ObjPiece {
    std::vector<Vec3> positions;
    std::uint64_t nonFinite = 0;
    std::vector<TexCoord> vt;
    std::uint64_t normals = 0;
    bool plain = true;
    std::vector<FaceIndex> triangles;
    std::vector<int> faceData;
    std::uint64_t faces = 0;
    std::uint64_t fanTriangles = 0;  // before any is dropped
    bool namesVt = false;
    std::vector<CountMark> marks;
    std::string materialLines;  // for the one pass that looks for the material files
    std::uint64_t lines = 0;
    // The join's results.
    std::uint64_t dropped = 0;
    std::size_t written = 0;

    void Vertex(float x, float y, float z) {
        positions.push_back(Vec3{x, y, z});
        if (!Finite(positions.back())) ++nonFinite;
    }
    void TexCoordLine(float u, float v) {
        vt.push_back(TexCoord{std::isfinite(u) ? u : 0.0f, std::isfinite(v) ? v : 0.0f});
    }
    void Mark() {
        if (marks.empty() || marks.back().v != positions.size() || marks.back().vt != vt.size() ||
            marks.back().vn != normals)
            marks.push_back(CountMark{faces, positions.size(), vt.size(), normals});
        ++faces;
    }
    void Triangle(int a, int b, int c) {
        if (!plain) {
            const int corners[9] = {a, 0, 0, b, 0, 0, c, 0, 0};
            Face(corners, 3);
            return;
        }
        Mark();
        ++fanTriangles;
        triangles.push_back(FaceIndex{a, b, c});
    }
    // `corners` holds v, vt, vn for each corner.
    void Face(const int* corners, std::size_t count) {
        unsigned flags = 0;
        for (std::size_t k = 0; k < count && count <= kMaxCorners; ++k)
            flags |= (corners[3 * k + 1] ? 1u : 0u) | (corners[3 * k + 2] ? 2u : 0u);
        if (plain && count == 3 && flags == 0) {
            Triangle(corners[0], corners[3], corners[6]);
            return;
        }
        if (plain) {
            plain = false;
            faceData.reserve(4 * triangles.size() + 64);
            for (const FaceIndex& t : triangles) faceData.insert(faceData.end(), {3 << 2, t[0], t[1], t[2]});
            triangles = {};
        }
        Mark();
        if (count > kMaxCorners) {
            faceData.push_back(0);  // dropped as a face too short would be
            return;
        }
        if (count >= 3) fanTriangles += count - 2;
        namesVt |= (flags & 1) != 0;
        const std::size_t at = faceData.size();
        const std::size_t lists = 1 + (flags & 1) + (flags >> 1);
        faceData.resize(at + 1 + count * lists);
        int* out = faceData.data() + at;
        *out++ = int((count << 2) | flags);
        for (std::size_t part = 0; part < 3; ++part) {
            if (part > 0 && !(flags & (1u << (part - 1)))) continue;
            for (std::size_t k = 0; k < count; ++k) *out++ = corners[3 * k + part];
        }
    }
};

void On_Vertex(void* user, tinyobj::real_t x, tinyobj::real_t y, tinyobj::real_t z, tinyobj::real_t) {
    static_cast<ObjPiece*>(user)->Vertex(x, y, z);
}

void On_Normal(void* user, tinyobj::real_t, tinyobj::real_t, tinyobj::real_t) {
    ++static_cast<ObjPiece*>(user)->normals;
}

void On_TexCoord(void* user, tinyobj::real_t u, tinyobj::real_t v, tinyobj::real_t) {
    static_cast<ObjPiece*>(user)->TexCoordLine(u, v);
}

void On_Face(void* user, tinyobj::index_t* indices, int count) {
    if (count < 0) {  // its count overflowed: a face far too long
        static_cast<ObjPiece*>(user)->Face(nullptr, kMaxCorners + 1);
        return;
    }
    std::vector<int> corners(3 * std::size_t(count));
    for (std::size_t k = 0; k < std::size_t(count); ++k) {
        corners[3 * k] = indices[k].vertex_index;
        corners[3 * k + 1] = indices[k].texcoord_index;
        corners[3 * k + 2] = indices[k].normal_index;
    }
    static_cast<ObjPiece*>(user)->Face(corners.data(), std::size_t(count));
}

// Lines through tinyobjloader's own loop, records into the piece. Without a material reader it
// passes over mtllib lines; those are looked at once for the whole file.
void Parse_With_Tinyobj(ObjPiece& piece, const char* begin, const char* end) {
    SpanBuffer buffer(begin, end);
    std::istream stream(&buffer);
    tinyobj::callback_t callback;
    callback.vertex_cb = On_Vertex;
    callback.normal_cb = On_Normal;
    callback.texcoord_cb = On_TexCoord;
    callback.index_cb = On_Face;
    std::string warnings, errors;
    tinyobj::LoadObjWithCallback(stream, callback, &piece, nullptr, &warnings, &errors);
}

// The first '\n', '\r' or '\0' at or after p, or end.
inline const char* Line_Stop(const char* p, const char* end) {
#ifdef __SSE2__
    const __m128i newline = _mm_set1_epi8('\n'), ret = _mm_set1_epi8('\r'), zero = _mm_setzero_si128();
    while (end - p >= 16) {
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const int hits = _mm_movemask_epi8(_mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi8(b, newline), _mm_cmpeq_epi8(b, ret)), _mm_cmpeq_epi8(b, zero)));
        if (hits) return p + __builtin_ctz(unsigned(hits));
        p += 16;
    }
#endif
    while (p < end && *p != '\n' && *p != '\r' && *p != '\0') ++p;
    return p;
}

// The fast paths read a line [p, e) that holds no '\n', '\r' or '\0' and ends at a '\n' or '\r':
// every scan stops at e without a bounds check.
inline bool Blank(char c) {
    return c == ' ' || c == '\t';
}
inline bool Field_End(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}
inline const char* Skip_Blanks(const char* p) {
    while (Blank(*p)) ++p;
    return p;
}

// The first blank or line end at or after p. `safe` is the last place 16 bytes can be read from
// (null when there is none).
inline const char* Field_Stop(const char* p, const char* safe) {
#ifdef __SSE2__
    const __m128i space = _mm_set1_epi8(' '), tab = _mm_set1_epi8('\t'), newline = _mm_set1_epi8('\n'),
                  ret = _mm_set1_epi8('\r');
    for (; safe && p <= safe; p += 16) {
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const int hits =
            _mm_movemask_epi8(_mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(b, space), _mm_cmpeq_epi8(b, tab)),
                                           _mm_or_si128(_mm_cmpeq_epi8(b, newline), _mm_cmpeq_epi8(b, ret))));
        if (hits) return p + __builtin_ctz(unsigned(hits));
    }
#endif
    while (!Field_End(*p)) ++p;
    return p;
}

// tinyobjloader's tryParseDouble takes the eighth and later digits after the point with a
// std::pow(10.0, -read) each: these are the same values, taken once.
constexpr int kTenthsKnown = 40;
const double* Tenths() {
    static const std::array<double, kTenthsKnown> tenths = [] {
        std::array<double, kTenthsKnown> t{1.0, 0.1, 0.01, 0.001, 0.0001, 0.00001, 0.000001, 0.0000001};
        for (int read = 8; read < kTenthsKnown; ++read) t[std::size_t(read)] = std::pow(10.0, -read);
        return t;
    }();
    return tenths.data();
}

// tinyobjloader's parseReal: the field up to the next blank through its tryParseDouble, `fallback`
// when that fails.
inline float Real_Field(const char*& p, const char* safe, double fallback) {
    p = Skip_Blanks(p);
    const char* q = Field_Stop(p, safe);
    double value = fallback;
    obj_detail::Obj_Real(p, q, &value);
    p = q;
    return float(value);
}

// atoi on a plain integer field (a sign, up to ten digits, then a '/', a blank or the line end);
// null for anything else, whose line then goes to tinyobjloader whole.
inline const char* Int_Field(const char* p, const char* dataEnd, int& value) {
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    std::uint64_t n;
    const int digits = Read_Digits(p, dataEnd, 11, n);
    const char* q = p + digits;
    if (digits == 0 || digits > 10 || (*q != '/' && !Field_End(*q))) return nullptr;
    if (n > (negative ? 0x80000000ull : 0x7FFFFFFFull)) return nullptr;
    value = negative ? int(-std::int64_t(n)) : int(n);
    return q;
}

// tinyobjloader's face line (after "f" and its blank) when every corner is v, v/vt, v//vn or
// v/vt/vn of plain integers; false for any other form.
bool Face_Fields(const char* p, const char* dataEnd, std::vector<int>& corners, std::size_t& count) {
    count = 0;
    p = Skip_Blanks(p);
    while (!Field_End(*p)) {
        int v = 0, vt = 0, vn = 0;
        if (!(p = Int_Field(p, dataEnd, v))) return false;
        if (*p == '/') {
            ++p;
            if (*p == '/') {
                if (!(p = Int_Field(p + 1, dataEnd, vn))) return false;
            } else {
                if (!(p = Int_Field(p, dataEnd, vt))) return false;
                if (*p == '/' && !(p = Int_Field(p + 1, dataEnd, vn))) return false;
            }
            if (!Field_End(*p)) return false;  // "1/2/3/4" is not plain
        }
        if (corners.size() < 3 * (count + 1)) corners.resize(std::max<std::size_t>(48, 2 * corners.size()));
        int* c = corners.data() + 3 * count++;
        c[0] = v;
        c[1] = vt;
        c[2] = vn;
        p = Skip_Blanks(p);
    }
    return true;
}

// The face line "a b c" of three plain v indices, the common one, as Face_Fields reads it; false for
// any other (which Face_Fields then takes).
inline bool Plain_Triangle(const char* p, const char* dataEnd, int (&v)[3]) {
    for (int k = 0; k < 3; ++k) {
        if (!(p = Int_Field(Skip_Blanks(p), dataEnd, v[k]))) return false;
        if (k < 2 && !Blank(*p)) return false;
    }
    p = Skip_Blanks(p);
    return *p == '\n' || *p == '\r';
}

// Parses the lines in [begin, end) into the piece. Lines the fast path does not take are gathered
// into runs for tinyobjloader; lines that add no record (comments, groups, objects, materials)
// ride along with a run or are passed over.
void Parse_Piece(ObjPiece& piece, const char* begin, const char* end, const char* dataEnd,
                 std::atomic<bool>& stop, Progress* progress) {
    // The last place 16 bytes of the data can be read from; none in a short text.
    const char* const safe = dataEnd - begin >= 16 ? dataEnd - 16 : nullptr;
    enum class Kind { None, Fast, Slow };
    std::vector<int> corners;
    int triangle[3];
    const char* runBegin = nullptr;
    const char* runEnd = nullptr;
    auto flush = [&] {
        if (runBegin) Parse_With_Tinyobj(piece, runBegin, runEnd);
        runBegin = runEnd = nullptr;
    };
    std::uint64_t& lines = piece.lines;
    for (const char* p = begin; p < end;) {
        if ((++lines & (kCancelEvery - 1)) == 0) {
            if (Cancel_Requested(progress)) stop = true;
            if (stop.load(std::memory_order_relaxed)) return;
        }
        const char* e = Line_Stop(p, end);
        // A line with a '\0' (where tinyobjloader stops reading it) or without an end goes to it whole.
        Kind kind = e == end || *e == '\0' ? Kind::Slow : Kind::None;
        if (kind == Kind::Slow)
            while (e < end && *e != '\n' && *e != '\r') ++e;
        const char* next = e;
        if (e < end) {
            next = e + 1;
            if (*e == '\r' && next < end && *next == '\n') ++next;
        }
        const char* t = p;
        while (t < e && Blank(*t)) ++t;
        if (t < e && *t == 'm') piece.materialLines.append(t, e).push_back('\n');
        if (kind == Kind::None && t < e) {
            // Past the line end the next two reads see its '\n' or '\r'.
            const char c1 = t + 1 < e ? t[1] : '\n';
            const char c2 = t + 2 < e ? t[2] : '\n';
            if (t[0] == 'v' && Blank(c1)) {
                flush();
                const char* q = t + 2;
                const float x = Real_Field(q, safe, 0.0);
                const float y = Real_Field(q, safe, 0.0);
                const float z = Real_Field(q, safe, 0.0);
                piece.Vertex(x, y, z);
                kind = Kind::Fast;
            } else if (t[0] == 'v' && c1 == 't' && Blank(c2)) {
                flush();
                const char* q = t + 3;
                const float u = Real_Field(q, safe, 0.0);
                const float v = Real_Field(q, safe, 0.0);
                piece.TexCoordLine(u, v);
                kind = Kind::Fast;
            } else if (t[0] == 'v' && c1 == 'n' && Blank(c2)) {
                flush();
                ++piece.normals;
                kind = Kind::Fast;
            } else if (t[0] == 'f' && Blank(c1) && Plain_Triangle(t + 2, dataEnd, triangle)) {
                flush();
                piece.Triangle(triangle[0], triangle[1], triangle[2]);
                kind = Kind::Fast;
            } else if (t[0] == 'f' && Blank(c1)) {
                std::size_t count = 0;
                kind = Face_Fields(t + 2, dataEnd, corners, count) ? Kind::Fast : Kind::Slow;
                if (kind == Kind::Fast) {
                    flush();
                    // "f" alone names no face.
                    if (count == 3 &&
                        !(corners[1] | corners[2] | corners[4] | corners[5] | corners[7] | corners[8]))
                        piece.Triangle(corners[0], corners[3], corners[6]);
                    else if (count > 0)
                        piece.Face(corners.data(), count);
                }
            }
        }
        if (kind == Kind::Slow && !(runBegin && runEnd == p)) {
            flush();
            runBegin = p;
        }
        if (kind == Kind::Slow || (kind == Kind::None && runBegin && runEnd == p)) runEnd = next;
        p = next;
    }
    flush();
}

// An OBJ index (1-based, or negative from the end of the list so far) as a 0-based one; -1 when it
// names nothing.
inline long long Resolve(int index, std::uint64_t count) {
    const long long r = index > 0 ? static_cast<long long>(index) - 1 : static_cast<long long>(count) + index;
    return std::uint64_t(r) < count ? r : -1;  // 0 lands on count
}

// The file's lists, and the texture coordinates taken by the vertices in file order.
struct Lists {
    std::vector<Vec3> positions;
    std::vector<unsigned char> bad;
    std::vector<TexCoord> vt;
    std::vector<TexCoord> texCoords;  // per vertex, once a corner names one
    std::vector<unsigned char> texSet;
    std::uint64_t texConflicts = 0;
    std::uint64_t nonFinite = 0;
};

// The faces of one piece, whose lists follow `base` (v, vt, vn) entries of the file, as fans into
// out. Texture coordinates are taken only when `texture` (the pieces then run in file order).
// False when cancelled.
bool Join_Faces(ObjPiece& piece, Lists& lists, std::array<std::uint64_t, 3> base, FaceIndex* out,
                bool texture, Progress* progress, const std::atomic<bool>& stop) {
    std::size_t at = 0, mark = 0;
    std::uint64_t vCount = 0, vtCount = 0, vnCount = 0;
    FaceIndex* const first = out;
    if (piece.plain) {
        const bool anyBad = lists.nonFinite > 0;
        for (std::uint64_t face = 0; face < piece.faces; ++face) {
            if (((face + 1) & (kCancelEvery - 1)) == 0 &&
                (progress ? Cancel_Requested(progress) : stop.load(std::memory_order_relaxed)))
                return false;
            while (mark < piece.marks.size() && piece.marks[mark].face == face)
                vCount = std::min<std::uint64_t>(base[0] + piece.marks[mark++].v, lists.positions.size());
            const FaceIndex& t = piece.triangles[face];
            const long long a = Resolve(t[0], vCount), b = Resolve(t[1], vCount), c = Resolve(t[2], vCount);
            if ((a | b | c) < 0 || (anyBad && (lists.bad[std::size_t(a)] | lists.bad[std::size_t(b)] |
                                               lists.bad[std::size_t(c)]))) {
                ++piece.dropped;
                continue;
            }
            *out++ = FaceIndex{int(a), int(b), int(c)};
        }
        piece.written = std::size_t(out - first);
        return true;
    }
    std::vector<int> verts;
    const int* data = piece.faceData.data();
    for (std::uint64_t face = 0; face < piece.faces; ++face) {
        if (((face + 1) & (kCancelEvery - 1)) == 0 &&
            (progress ? Cancel_Requested(progress) : stop.load(std::memory_order_relaxed)))
            return false;
        while (mark < piece.marks.size() && piece.marks[mark].face == face) {
            vCount = std::min<std::uint64_t>(base[0] + piece.marks[mark].v, lists.positions.size());
            vtCount = base[1] + piece.marks[mark].vt;
            vnCount = base[2] + piece.marks[mark].vn;
            ++mark;
        }
        const unsigned head = unsigned(data[at]);
        const std::size_t count = head >> 2;
        const int* v = data + at + 1;
        const int* vt = (head & 1) ? v + count : nullptr;
        const int* vn = (head & 2) ? v + count * ((head & 1) ? 2 : 1) : nullptr;
        at += 1 + count * (1 + (head & 1) + (head >> 1 & 1));
        if (count < 3) {
            ++piece.dropped;
            continue;
        }
        verts.resize(count);
        bool ok = true;
        for (std::size_t k = 0; k < count && ok; ++k) {
            const long long r = Resolve(v[k], vCount);
            // 0 means "not given" for vt and vn.
            ok = r >= 0 && !(lists.nonFinite && lists.bad[std::size_t(r)]) &&
                 (!vt || vt[k] == 0 || Resolve(vt[k], vtCount) >= 0) &&
                 (!vn || vn[k] == 0 || Resolve(vn[k], vnCount) >= 0);
            verts[k] = int(r);
        }
        if (!ok) {
            ++piece.dropped;
            continue;
        }
        if (vt && texture) {
            for (std::size_t k = 0; k < count; ++k) {
                if (vt[k] == 0) continue;
                const TexCoord& t = lists.vt[std::size_t(Resolve(vt[k], vtCount))];
                const std::size_t vertex = std::size_t(verts[k]);
                if (!lists.texSet[vertex]) {
                    lists.texSet[vertex] = 1;
                    lists.texCoords[vertex] = t;
                } else if (lists.texCoords[vertex] != t) {
                    ++lists.texConflicts;
                }
            }
        }
        for (std::size_t k = 1; k + 1 < count; ++k) *out++ = FaceIndex{verts[0], verts[k], verts[k + 1]};
    }
    piece.written = std::size_t(out - first);
    return true;
}

// work(i, main) for every i below count, on up to `threads` threads taking the next index as they
// finish; main is true on the caller's thread, the only one that may ask about cancelling. The
// first exception reaches the caller once all have ended; `stop` tells the others to give up.
template <class Work>
void Run_Pieces(std::size_t count, unsigned threads, std::atomic<bool>& stop, Work&& work) {
    std::atomic<std::size_t> nextIndex{0};
    std::exception_ptr error;
    std::atomic<bool> failed{false};
    auto loop = [&](bool main) {
        try {
            for (std::size_t i; !stop.load(std::memory_order_relaxed) && (i = nextIndex++) < count;)
                work(i, main);
        } catch (...) {
            if (!failed.exchange(true)) error = std::current_exception();
            stop = true;
        }
    };
    std::vector<std::thread> workers;
    for (unsigned t = 1; t < threads && t < count; ++t) {
        try {
            workers.emplace_back(loop, false);
        } catch (const std::system_error&) {
            break;  // the threads there are take the pieces
        }
    }
    loop(true);
    for (std::thread& worker : workers) worker.join();
    if (error) std::rethrow_exception(error);
}

// The reader's body over the given piece starts.
Status Read_Pieces(UniOb& mesh, std::span<const unsigned char> bytes, const std::string& name,
                   const MeshFileOptions& options, MeshFileReport& report, int startMs,
                   const std::vector<std::size_t>& starts) {
    report.format = "OBJ";
    const char* data = reinterpret_cast<const char*>(bytes.data());
    const unsigned threads = Range_Threads(bytes.size());
    std::vector<ObjPiece> pieces(starts.size());
    std::atomic<bool> stop{false};
    const auto cancelled = [&] {
        mesh.FreeFaces();
        mesh.FreeVertices();
        return Status::Error(name + ": reading cancelled");
    };
    Run_Pieces(pieces.size(), threads, stop, [&](std::size_t i, bool main) {
        const std::size_t end = i + 1 < starts.size() ? starts[i + 1] : bytes.size();
        Parse_Piece(pieces[i], data + starts[i], data + end, data + bytes.size(), stop,
                    main ? options.progress : nullptr);
    });
    std::uint64_t lines = 0;
    for (const ObjPiece& piece : pieces) lines += piece.lines;
    if (stop || (lines >= kCancelEvery && Cancel_Requested(options.progress))) return cancelled();

    // The lists in file order; the first piece's arrays are kept, the others appended.
    Lists lists;
    std::vector<std::array<std::uint64_t, 3>> bases;
    std::array<std::uint64_t, 3> base{0, 0, 0};
    std::uint64_t vertices = 0, texCoordCount = 0;
    std::vector<std::size_t> faceStarts;
    std::size_t triangles = 0;
    bool texture = false;
    for (const ObjPiece& piece : pieces) {
        bases.push_back(base);
        base = {base[0] + piece.positions.size(), base[1] + piece.vt.size(), base[2] + piece.normals};
        vertices += piece.positions.size();
        texCoordCount += piece.vt.size();
        faceStarts.push_back(triangles);
        triangles += std::size_t(piece.fanTriangles);
        texture |= piece.namesVt;
    }
    lists.positions = std::move(pieces[0].positions);
    lists.vt = std::move(pieces[0].vt);
    const bool tooManyVertices = vertices > kMaxVertices;
    if (lists.positions.size() > kMaxVertices) lists.positions.resize(kMaxVertices);
    lists.positions.reserve(std::min<std::uint64_t>(vertices, kMaxVertices));
    lists.vt.reserve(texCoordCount);
    bool anyBad = pieces[0].nonFinite > 0;
    for (ObjPiece& piece : pieces) {
        if (&piece == &pieces[0]) continue;
        const std::size_t take = std::min(piece.positions.size(), kMaxVertices - lists.positions.size());
        lists.positions.insert(lists.positions.end(), piece.positions.begin(),
                               piece.positions.begin() + take);
        lists.vt.insert(lists.vt.end(), piece.vt.begin(), piece.vt.end());
        anyBad |= piece.nonFinite > 0;
        piece.positions = {};
        piece.vt = {};
    }
    // Marks only when there is a non-finite vertex to mark.
    if (anyBad) {
        lists.bad.resize(lists.positions.size());
        for (std::size_t v = 0; v < lists.positions.size(); ++v)
            lists.bad[v] = Finite(lists.positions[v]) ? 0 : 1;
    }
    const std::uint64_t nonFinite = lists.nonFinite =
        std::uint64_t(std::count(lists.bad.begin(), lists.bad.end(), 1));

    // The faces: side by side, or in file order when texture coordinates are taken (the first a
    // vertex meets wins).
    std::vector<FaceIndex> faces(triangles);
    if (texture) {
        lists.texCoords.assign(lists.positions.size(), TexCoord{0, 0});
        lists.texSet.assign(lists.positions.size(), 0);
    }
    Run_Pieces(pieces.size(), texture ? 1 : threads, stop, [&](std::size_t i, bool main) {
        if (!Join_Faces(pieces[i], lists, bases[i], faces.data() + faceStarts[i], texture,
                        main ? options.progress : nullptr, stop))
            stop = true;
        pieces[i].faceData = {};
        pieces[i].triangles = {};
    });
    if (stop) return cancelled();
    std::size_t kept = 0;
    std::uint64_t polygons = 0, dropped = 0;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (kept != faceStarts[i])
            std::memmove(faces.data() + kept, faces.data() + faceStarts[i],
                         pieces[i].written * sizeof(FaceIndex));
        kept += pieces[i].written;
        polygons += pieces[i].faces;
        dropped += pieces[i].dropped;
    }
    faces.resize(kept);

    // The mtllib lines, in file order, through tinyobjloader's material handling.
    MaterialProbe materials(std::filesystem::path(name).parent_path());
    {
        std::string lines;
        for (const ObjPiece& piece : pieces) lines += piece.materialLines;
        SpanBuffer buffer(lines.data(), lines.data() + lines.size());
        std::istream stream(&buffer);
        std::string warnings, errors;
        tinyobj::LoadObjWithCallback(stream, tinyobj::callback_t{}, nullptr, &materials, &warnings, &errors);
    }

    report.verticesDeclared = lists.positions.size();
    report.facesDeclared = polygons;
    report.verticesNonFinite = nonFinite;
    for (const std::string& file : materials.missing)
        report.notes.push_back("material file '" + file + "' not found; the mesh takes its own colour");
    if (lists.texConflicts)
        report.notes.push_back(
            std::to_string(lists.texConflicts) +
            " corners name another texture coordinate than their vertex's first; the first is kept");
    std::vector<std::string> problems;
    if (tooManyVertices)
        problems.push_back("more than " + std::to_string(kMaxVertices) + " vertices; the rest were not read");
    if (polygons == 0) return Status::Error(name + ": no faces");

    // A vertex only gets a texture coordinate array when a kept face named one.
    if (!std::count(lists.texSet.begin(), lists.texSet.end(), 1)) lists.texCoords = {};
    std::uint64_t faceDrops = 0;
    if (nonFinite) {
        std::vector<int> noColors;
        faceDrops = Remove_Bad_Vertices(lists.bad, lists.positions, noColors, lists.texCoords, faces);
    }
    report.facesDropped = dropped + faceDrops;
    report.facesRead = polygons - dropped - std::min(faceDrops, polygons - dropped);
    report.texCoords = !lists.texCoords.empty();
    if (faces.empty() && problems.empty() && report.facesDropped == 0) problems.push_back("no usable faces");
    std::vector<int> colors;
    Finish_Mesh(mesh, lists.positions, colors, lists.texCoords, faces, options, report, startMs);
    return Make_Status(name, problems, report);
}

Status Read_Stream(UniOb& mesh, std::span<const unsigned char> bytes, const std::string& name,
                   const MeshFileOptions& options, MeshFileReport& report, int startMs) {
    const unsigned threads = Range_Threads(bytes.size());
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return Read_Pieces(mesh, bytes, name, options, report, startMs,
                       Line_Chunk_Starts(text, threads > 1 ? threads * kPiecesPerThread : 1));
}

}  // namespace

Status Read_OBJ(UniOb& mesh, std::span<const unsigned char> bytes, const std::string& name,
                const MeshFileOptions& options) {
    return Read_Mesh_Bytes(mesh, bytes, name, options, Read_Stream);
}

Status Read_OBJ_File(UniOb& mesh, const std::string& path, const MeshFileOptions& options) {
    return Read_Mesh_Path(mesh, path, options, Read_Stream);
}

namespace obj_detail {

// A number as [-+]digits[.digits] goes through tryParseDouble's own operations in its order
// (digits, then each later digit times its tenth, then the sign), without its std::pow calls;
// anything else through tryParseDouble itself.
bool Obj_Real(const char* s, const char* end, double* result) {
    const char* c = s;
    char sign = '+';
    if (c != end && (*c == '+' || *c == '-')) sign = *c++;
    if (c == end || !IS_DIGIT(*c)) return Tinyobj_Real(s, end, result);
    double mantissa = 0.0;
    while (c != end && IS_DIGIT(*c)) {
        mantissa *= 10;
        mantissa += static_cast<int>(*c - 0x30);
        ++c;
    }
    if (c != end) {
        if (*c != '.') return Tinyobj_Real(s, end, result);
        ++c;
        const double* tenths = Tenths();
        for (int read = 1; c != end && IS_DIGIT(*c); ++read, ++c) {
            if (read >= kTenthsKnown) return Tinyobj_Real(s, end, result);
            mantissa += static_cast<int>(*c - 0x30) * tenths[read];
        }
        if (c != end) return Tinyobj_Real(s, end, result);
    }
    *result = (sign == '+' ? 1 : -1) * mantissa;
    return true;
}

bool Tinyobj_Real(const char* s, const char* end, double* result) {
    return tinyobj::tryParseDouble(s, end, result);
}

Status Read_OBJ_Pieces(UniOb& mesh, std::span<const unsigned char> bytes, const std::string& name,
                       unsigned pieces, const MeshFileOptions& options) {
    Start_Mesh(mesh);
    MeshFileReport local;
    MeshFileReport& report = options.report ? *options.report : local;
    report = {};
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return Read_Pieces(mesh, bytes, name, options, report, Millisecond_Clock(),
                       Line_Chunk_Starts(text, pieces, 1));
}

}  // namespace obj_detail

}  // namespace orvex
