#include "pointset/PointPool.h"

#include <algorithm>
#include <cassert>
#include <new>
#include <stdexcept>

namespace orvex {

namespace {

constexpr std::size_t kFirstChunk = 256;
constexpr std::size_t kLargestChunk = std::size_t(1) << 17;
constexpr unsigned kFloatsOfKind[2] = {3, 6};

std::size_t Next_Capacity(std::size_t chunks) {
    // 256, 512, ... doubling until the largest size, then constant.
    const std::size_t shift = std::min<std::size_t>(chunks, 9);
    return std::min(kFirstChunk << shift, kLargestChunk);
}

}  // namespace

// ---- PointPool --------------------------------------------------------------------------------

PointPool::~PointPool() = default;

PointPool::Chunk& PointPool::growChunk(int kind) {
    std::vector<Chunk>& chunks = chunks_[kind];
    Chunk chunk;
    chunk.capacity = Next_Capacity(chunks.size());
    const std::size_t nodeBytes = chunk.capacity * sizeof(VEC_LIST);
    const std::size_t arrayBytes = chunk.capacity * kFloatsOfKind[kind] * sizeof(float);
    // Not value-initialised: ten million coordinates need not be zeroed before they are written.
    chunk.storage.reset(new std::byte[nodeBytes + arrayBytes]);
    chunk.nodes = reinterpret_cast<VEC_LIST*>(chunk.storage.get());
    chunk.arrays = reinterpret_cast<float*>(chunk.storage.get() + nodeBytes);
    reservedBytes_ += nodeBytes + arrayBytes;

    const ArrayRange range{chunk.arrays, chunk.arrays + chunk.capacity * kFloatsOfKind[kind], kind};
    auto at = std::upper_bound(ranges_.begin(), ranges_.end(), range.begin,
                               [](const float* p, const ArrayRange& r) { return p < r.begin; });
    ranges_.insert(at, range);
    chunks.push_back(std::move(chunk));
    return chunks.back();
}

int PointPool::kindOf(const float* values) const {
    // Points deleted one after another mostly lie in the same chunk: try the last one first.
    if (lastRange_ < ranges_.size()) {
        const ArrayRange& last = ranges_[lastRange_];
        if (values >= last.begin && values < last.end) return last.kind;
    }
    auto at = std::upper_bound(ranges_.begin(), ranges_.end(), values,
                               [](const float* p, const ArrayRange& r) { return p < r.begin; });
    if (at == ranges_.begin()) return -1;
    --at;
    if (!(values < at->end)) return -1;
    lastRange_ = std::size_t(at - ranges_.begin());
    return at->kind;
}

VEC_LIST* PointPool::New(unsigned floats) {
    if (floats > 6) throw std::invalid_argument("point nodes hold 3 or 6 floats");
    const int kind = floats <= 3 ? 0 : 1;
    VEC_LIST* node = free_[kind];
    if (node) {
        free_[kind] = node->next;
        node->tag = 0;
        node->flag = 0;
        node->next = nullptr;
    } else {
        Chunk* chunk = chunks_[kind].empty() ? nullptr : &chunks_[kind].back();
        if (!chunk || chunk->used == chunk->capacity) chunk = &growChunk(kind);
        const std::size_t slot = chunk->used++;
        node = new (chunk->nodes + slot)
            VEC_LIST(chunk->arrays + slot * kFloatsOfKind[kind], VEC_LIST::External{});
    }
    ++live_;
    return node;
}

void PointPool::Delete(VEC_LIST* node) {
    if (!node) return;
    const int kind = node->ownsValues ? -1 : kindOf(node->values);
    if (kind < 0) {
        delete node;
        return;
    }
    assert(live_ > 0);
    node->next = free_[kind];
    free_[kind] = node;
    --live_;
}

unsigned PointPool::Floats(const VEC_LIST* node) const {
    const int kind = !node || node->ownsValues ? -1 : kindOf(node->values);
    return kind < 0 ? 0 : kFloatsOfKind[kind];
}

void PointPool::Reset() {
    // The nodes hold no resources of their own (their arrays are pool memory), so they are not
    // destroyed one by one.
    for (auto& chunks : chunks_) {
        chunks.clear();
        chunks.shrink_to_fit();
    }
    ranges_.clear();
    ranges_.shrink_to_fit();
    free_[0] = free_[1] = nullptr;
    live_ = 0;
    reservedBytes_ = 0;
}

// ---- FacePool ---------------------------------------------------------------------------------

FacePool::~FacePool() = default;

CON_FACE_LIST_VEC* FacePool::New() {
    CON_FACE_LIST_VEC* face = free_;
    if (face) {
        free_ = face->next;
        *face = CON_FACE_LIST_VEC{};
    } else {
        Chunk* chunk = chunks_.empty() ? nullptr : &chunks_.back();
        if (!chunk || chunk->used == chunk->capacity) {
            Chunk fresh;
            fresh.capacity = Next_Capacity(chunks_.size());
            const std::size_t bytes = fresh.capacity * sizeof(CON_FACE_LIST_VEC);
            fresh.storage.reset(new std::byte[bytes]);
            fresh.faces = reinterpret_cast<CON_FACE_LIST_VEC*>(fresh.storage.get());
            reservedBytes_ += bytes;
            chunks_.push_back(std::move(fresh));
            chunk = &chunks_.back();
        }
        face = new (chunk->faces + chunk->used++) CON_FACE_LIST_VEC{};
    }
    ++live_;
    return face;
}

void FacePool::Delete(CON_FACE_LIST_VEC* face) {
    if (!face) return;
    assert(live_ > 0);
    face->next = free_;
    free_ = face;
    --live_;
}

void FacePool::Reset() {
    chunks_.clear();
    chunks_.shrink_to_fit();
    free_ = nullptr;
    live_ = 0;
    reservedBytes_ = 0;
}

}  // namespace orvex
