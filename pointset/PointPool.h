#pragma once
// PointPool and FacePool: bulk storage behind one point set. Nodes and their coordinate arrays are
// carved from chunks that grow geometrically (256 slots up to 131072), so ten million points cost
// 24 bytes a node plus the floats and a few dozen allocations. A deleted node goes on a free list
// and keeps the array it holds at that moment; Reset releases every chunk at once.
// Invariants: a pooled point node always holds exactly one pooled array (the hulls exchange arrays
// between nodes, which only permutes them); a 3-float and a 6-float array are told apart by the
// chunk their address lies in, never by the node. Nodes move only between two point sets that
// share one pool (POINT_LIST::SharePointsWith); otherwise copy the coordinates into a new node.

#include <cstddef>
#include <memory>
#include <vector>

#include "geometry/VecList.h"
#include "pointset/HullFace.h"

namespace orvex {

class PointPool {
public:
    PointPool() = default;
    ~PointPool();
    PointPool(const PointPool&) = delete;
    PointPool& operator=(const PointPool&) = delete;

    // A node with an array of 3 floats (floats <= 3) or 6 floats (4..6); flag and tag 0, next null,
    // the values uninitialised. More than 6 floats is a programming error (std::invalid_argument).
    VEC_LIST* New(unsigned floats);
    // Back to the free list. A node that never came from a pool is destroyed the ordinary way.
    void Delete(VEC_LIST* node);
    // Forgets every node (live or free) and releases all memory.
    void Reset();

    std::size_t Live() const { return live_; }
    std::size_t ReservedBytes() const { return reservedBytes_; }
    // 3 or 6 for a node whose array this pool holds, 0 for any other node.
    unsigned Floats(const VEC_LIST* node) const;

private:
    struct Chunk {
        std::unique_ptr<std::byte[]> storage;
        VEC_LIST* nodes = nullptr;
        float* arrays = nullptr;
        std::size_t capacity = 0;
        std::size_t used = 0;
    };
    struct ArrayRange {
        const float* begin;
        const float* end;
        int kind;
    };
    static constexpr int kKinds = 2;  // kind 0: 3 floats, kind 1: 6 floats

    Chunk& growChunk(int kind);
    int kindOf(const float* values) const;  // -1 for an array no chunk holds

    std::vector<Chunk> chunks_[kKinds];
    std::vector<ArrayRange> ranges_;  // sorted by begin
    mutable std::size_t lastRange_ = 0;
    VEC_LIST* free_[kKinds] = {nullptr, nullptr};
    std::size_t live_ = 0;
    std::size_t reservedBytes_ = 0;
};

class FacePool {
public:
    FacePool() = default;
    ~FacePool();
    FacePool(const FacePool&) = delete;
    FacePool& operator=(const FacePool&) = delete;

    // A default-initialised face.
    CON_FACE_LIST_VEC* New();
    void Delete(CON_FACE_LIST_VEC* face);
    void Reset();

    std::size_t Live() const { return live_; }
    std::size_t ReservedBytes() const { return reservedBytes_; }

private:
    struct Chunk {
        std::unique_ptr<std::byte[]> storage;
        CON_FACE_LIST_VEC* faces = nullptr;
        std::size_t capacity = 0;
        std::size_t used = 0;
    };

    std::vector<Chunk> chunks_;
    CON_FACE_LIST_VEC* free_ = nullptr;
    std::size_t live_ = 0;
    std::size_t reservedBytes_ = 0;
};

}  // namespace orvex
