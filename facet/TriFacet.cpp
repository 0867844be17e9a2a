#include "facet/TriFacet.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <string_view>
#include <vector>

#include "geometry/AtomicFile.h"
#include "geometry/CFloat.h"

#if defined(__SANITIZE_ADDRESS__)
#define ORVEX_FACET_POOL 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ORVEX_FACET_POOL 0
#endif
#endif
#ifndef ORVEX_FACET_POOL
#define ORVEX_FACET_POOL 1
#endif

namespace orvex {

namespace {

#if ORVEX_FACET_POOL
// Facets come from blocks that grow geometrically; a freed facet goes on a free list. When the last
// facet is gone the blocks are returned, so a big cut gives its memory back once both parts are
// emptied. Sanitizer builds use the plain heap so a facet used after delete is caught.
union Slot {
    Slot* next;
    alignas(TRI_FACET) unsigned char bytes[sizeof(TRI_FACET)];
};

struct FacetPool {
    std::mutex lock;
    std::vector<std::unique_ptr<Slot[]>> blocks;
    Slot* free = nullptr;
    std::size_t live = 0;
    std::size_t nextBlock = 256;
};

// Never destroyed: facets may outlive every other static.
FacetPool& Pool() {
    static FacetPool* pool = new FacetPool;
    return *pool;
}
#endif

}  // namespace

void* TRI_FACET::operator new(std::size_t size) {
#if ORVEX_FACET_POOL
    if (size != sizeof(TRI_FACET)) return ::operator new(size);
    FacetPool& pool = Pool();
    std::lock_guard<std::mutex> hold(pool.lock);
    if (!pool.free) {
        std::unique_ptr<Slot[]> block(new Slot[pool.nextBlock]);
        for (std::size_t i = 0; i < pool.nextBlock; ++i)
            block[i].next = i + 1 < pool.nextBlock ? &block[i + 1] : nullptr;
        pool.free = &block[0];
        pool.blocks.push_back(std::move(block));
        if (pool.nextBlock < (std::size_t(1) << 16)) pool.nextBlock *= 2;
    }
    Slot* slot = pool.free;
    pool.free = slot->next;
    ++pool.live;
    return slot;
#else
    return ::operator new(size);
#endif
}

void TRI_FACET::operator delete(void* p) noexcept {
    if (!p) return;
#if ORVEX_FACET_POOL
    FacetPool& pool = Pool();
    std::lock_guard<std::mutex> hold(pool.lock);
    Slot* slot = static_cast<Slot*>(p);
    slot->next = pool.free;
    pool.free = slot;
    if (--pool.live == 0) {
        pool.blocks.clear();
        pool.free = nullptr;
        pool.nextBlock = 256;
    }
#else
    ::operator delete(p);
#endif
}

TRI_FACET::~TRI_FACET() {
    ClearLists(*this);
}

void ComputePlane(TRI_FACET& facet) {
    Facet_Normal(facet.Normal, facet.Corner0, facet.Corner1, facet.Corner2);
    facet.Offset = Dot(facet.Normal, facet.Corner1);
}

int PlaneSide(const TRI_FACET& facet, const Vec3& point) {
    const float s = Dot(facet.Normal, point) - facet.Offset;
    if (s > 1e-8f) return 1;
    if (s >= -1e-8f) return 0;
    return -1;
}

void ClearLists(TRI_FACET& facet) {
    Free_Vec_List(facet.Segments);
    Free_Vec_List(facet.Cut_Path);
}

void Free_Facet_List(TRI_FACET*& head) {
    while (head) {
        TRI_FACET* next = head->Next;
        delete head;
        head = next;
    }
}

namespace {

bool Is_Blank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && Is_Blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && Is_Blank(s.back())) s.remove_suffix(1);
    return s;
}

// Six comma-separated finite numbers, blanks around each allowed.
bool Parse_Record(std::string_view line, float out[6]) {
    for (int k = 0; k < 6; ++k) {
        const std::size_t comma = line.find(',');
        if ((comma == std::string_view::npos) != (k == 5)) return false;
        const std::optional<float> value = Parse_C_Float(Trim(line.substr(0, comma)), false);
        if (!value || !std::isfinite(*value)) return false;
        out[k] = *value;
        if (k < 5) line.remove_prefix(comma + 1);
    }
    return true;
}

// Lines of at most Lop_Line_Limit bytes; a longer one comes back marked too long.
class LineReader {
public:
    explicit LineReader(std::FILE* file) : file_(file) {}

    bool Next(std::string& line, bool& tooLong) {
        line.clear();
        tooLong = false;
        bool any = false;
        for (;;) {
            if (at_ == size_) {
                size_ = std::fread(buffer_, 1, sizeof buffer_, file_);
                at_ = 0;
                if (size_ == 0) return any && Finish(line, tooLong);
            }
            any = true;
            const char* begin = buffer_ + at_;
            const void* lf = std::memchr(begin, '\n', size_ - at_);
            const std::size_t take = lf ? std::size_t(static_cast<const char*>(lf) - begin) : size_ - at_;
            // One byte of slack for the CR of a CRLF end.
            if (!tooLong && line.size() + take > Lop_Line_Limit + 1) tooLong = true;
            if (!tooLong) line.append(begin, take);
            at_ += take;
            if (lf) {
                ++at_;
                return Finish(line, tooLong);
            }
        }
    }
    bool Failed() const { return std::ferror(file_) != 0; }

private:
    static bool Finish(std::string& line, bool& tooLong) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() > Lop_Line_Limit) tooLong = true;
        return true;
    }

    std::FILE* file_;
    char buffer_[65536];
    std::size_t at_ = 0;
    std::size_t size_ = 0;
};

}  // namespace

Status ReadLOP(TRI_FACET& facet, const std::string& path, LopReadReport* report) {
    ClearLists(facet);
    LopReadReport local;
    LopReadReport& r = report ? *report : local;
    r = {};
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return Status::Error(path + ": cannot open the file");
    auto reader = std::make_unique<LineReader>(file);
    std::string line;
    bool tooLong = false;
    unsigned lineNumber = 0;
    std::string problem;
    while (reader->Next(line, tooLong)) {
        ++lineNumber;
        if (tooLong) {
            problem = "longer than 4096 bytes";
        } else {
            if (Trim(line).empty()) continue;
            float values[6];
            if (Parse_Record(line, values)) {
                auto* record = new VEC_LIST(6);
                std::copy(values, values + 6, record->values);
                record->next = facet.Segments;
                facet.Segments = record;
                ++r.records;
                continue;
            }
            problem = "not six comma-separated finite numbers";
        }
        r.badLine = lineNumber;
        break;
    }
    const bool readError = r.badLine == 0 && reader->Failed();
    std::fclose(file);
    if (r.records % 2 == 1) {
        VEC_LIST* last = facet.Segments;
        facet.Segments = last->next;
        delete last;
        --r.records;
        r.droppedOdd = true;
    }
    std::string message;
    if (readError) message = path + ": read error after line " + std::to_string(lineNumber);
    if (r.badLine)
        message = path + ": line " + std::to_string(r.badLine) + " is " + problem + "; " +
                  std::to_string(r.records + (r.droppedOdd ? 1 : 0)) + " records before it are kept";
    if (r.droppedOdd) {
        if (message.empty()) message = path;
        message +=
            r.badLine ? ", the last of them" : ": the last of " + std::to_string(r.records + 1) + " records";
        message += " has no partner and is dropped";
    }
    if (!message.empty()) return Status::Error(message);
    return Status::Ok();
}

Status WriteLOP(const TRI_FACET& facet, const std::string& name) {
    const std::string path = name + ".lop";
    if (!facet.Segments) return Status::Error(path + ": nothing written, there are no line segments");
    AtomicFile file;
    if (Status s = file.Open(path); !s) return s;
    for (const VEC_LIST* r = facet.Segments; r; r = r->next) {
        const float* v = r->values;
        file.Printf("%f,%f,%f,", double(v[0]), double(v[1]), double(v[2]));
        file.Printf("%f,%f,%f\n", double(v[3]), double(v[4]), double(v[5]));
    }
    return file.Commit();
}

}  // namespace orvex
