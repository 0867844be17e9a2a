#pragma once
// VertexMerger: the vertex merging of the STL reader, giving exactly the indices of the plain
// HYPER_POINT tree (StlMergeTree.h) without walking it for every corner.
//
// Why the answers are the same:
// - The tree's answer for a point depends only on its coordinates and on the nodes made before,
//   and a node's region (the points whose walk passes through it) never changes once it exists.
//   A corner bit-identical to an earlier one therefore walks the earlier corner's path and ends
//   where that one ended (at the node it merged into, or at the node it made, which is within
//   any tolerance >= 0 of it). An exact-bits hash answers every such repeat.
// - A new point merges into the first node on its path within the tolerance. When no node at all
//   lies within the tolerance, the point becomes a new vertex wherever the walk would have put it,
//   so the walk is not needed. A grid finds the near nodes: cells about an edge wide (given by
//   the caller), and cells that fill up (dense spots, poles of a scan) split into smaller ones,
//   never narrower than 4 tolerances.
// - Otherwise the near nodes are few. A node's region is an axis-aligned box fixed at its birth;
//   the near node of lowest index whose box holds the point is the first near node on its path.
//   Boxes come from the tree, which is built only then, in index order, each insertion starting
//   from the deepest node of the previous path that holds the point (scan-ordered input walks
//   about ten steps instead of a few hundred), or lower still from a node just after one on that
//   path (neighbours of a scan hang in parallel chains), eight insertions descending side by side
//   so that their cache misses overlap.
// - When even the fine cells are crowded, or a lookup would meet more than 27 cells, the point
//   walks the tree with the plain test.
// - Given a bound on the points, the work is shared by two threads that never wait for each other
//   until the end: the caller's thread numbers the distinct points (exact table); placing them in
//   the grid in order, which finds the earlier distinct points within the tolerance, is done by
//   whichever thread holds the placing turn (the second when it has caught up, the caller's when
//   the points waiting pile up); the second thread takes the placed points in order and decides
//   each: no near vertex among those, a new vertex; otherwise the boxes (the tree is the second
//   thread's alone) or a walk. Insert then gives the point's number, and Index() the vertex after
//   Finish(). Every vertex is the distinct point that made it, so the near vertices are among the
//   near points and the answers are those of one thread.
// Any tolerance is taken: NaN and negative ones act as 0, an infinite one merges every finite
// point into the first (as the plain test does). For finite coordinates the indices are always
// the plain tree's; the work per point is bounded by the scan limit or by one walk of the tree.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <thread>
#include <utility>
#include <vector>

#include "geometry/Vec3.h"

namespace orvex {

// A zero-filled array in its own mapping, on huge pages where the system allows: the merger's
// tables are probed at random, and with 4 KB pages nearly every probe would also miss the TLB.
template <class T>
class ZeroTable {
public:
    ZeroTable() = default;
    ~ZeroTable() { Release(); }
    ZeroTable(const ZeroTable&) = delete;
    ZeroTable& operator=(const ZeroTable&) = delete;

    void Reset(std::size_t count);   // count zero elements; the old contents are gone
    void Resize(std::size_t count);  // keeps the first elements; new ones are zero
    void Swap(ZeroTable& other) {
        std::swap(data_, other.data_);
        std::swap(count_, other.count_);
        std::swap(capacity_, other.capacity_);
    }
    T& operator[](std::size_t i) { return data_[i]; }
    const T& operator[](std::size_t i) const { return data_[i]; }
    T& Mutable(std::size_t i) const { return data_[i]; }
    std::size_t size() const { return count_; }
    const T* data() const { return data_; }
    T* begin() { return data_; }
    T* end() { return data_ + count_; }

private:
    static std::size_t Bytes(std::size_t capacity);
    void Release();
    T* data_ = nullptr;
    std::size_t count_ = 0;
    std::size_t capacity_ = 0;
};

struct MergeStats {
    std::uint64_t exactHits = 0;      // corners answered by the exact-bits table
    std::uint64_t nearQueries = 0;    // new points with a node within the tolerance
    std::uint64_t treeWalks = 0;      // new points resolved by walking the tree from the root
    std::uint64_t treeNodes = 0;      // nodes placed in the tree
    std::uint64_t guessedStarts = 0;  // tree insertions started below the previous path
    std::uint64_t splitCells = 0;     // crowded grid cells split into fine ones
};

class VertexMerger {
public:
    // spacing: a typical distance between neighbouring corners, used only to size the grid cells;
    // expectedVertices sizes the tables (they grow as needed; small inputs get small tables).
    // scanLimit: grid nodes looked at for one point before it walks the tree instead (tests lower
    // it to reach that path). maxPoints: when not 0, the two-thread merge for at most this many
    // distinct points (more throws std::length_error). idleWork: with two threads, the second calls
    // it whenever it has caught up with the points, until it returns false (a short piece of the
    // caller's work a call, done by Finish(); it must not throw).
    VertexMerger(float tolerance, float spacing, std::size_t expectedVertices, unsigned scanLimit = 4096,
                 std::size_t maxPoints = 0, std::function<bool()> idleWork = {});
    ~VertexMerger();
    VertexMerger(const VertexMerger&) = delete;
    VertexMerger& operator=(const VertexMerger&) = delete;

    // The vertex index of p, or with two threads the number of p's distinct point, for Index().
    int Insert(const Vec3& p) { return Insert(p, Hash(p)); }
    // The same with Hash(p) taken already (by the caller's look-ahead).
    int Insert(const Vec3& p, std::uint64_t hash);
    static std::uint64_t Hash(const Vec3& p);
    // Starts loading the table slot of a corner that will be inserted soon.
    void Prefetch(std::uint64_t hash) const;
    // Ends the second thread's work (no Insert after it); the calls below want it. Safe to call more
    // than once.
    void Finish();
    // The vertex of what Insert gave.
    int Index(int inserted) const {
        return threaded_ ? int(vertexOf_[std::size_t(inserted)] & kIndexBits) : inserted;
    }
    // Whether the point of what Insert gave merged into a vertex another point made (whose position
    // is not its own).
    bool Merged(int inserted) const { return threaded_ && (vertexOf_[std::size_t(inserted)] & kMerged) != 0; }
    // Whether Index() is not the identity (some distinct point merged into an earlier vertex).
    bool Renumbered() const { return threaded_ && vertexCount_ != pointCount_; }

    unsigned Count() const { return vertexCount_; }
    std::span<const Vec3> Positions() const { return {positions_.data(), vertexCount_}; }
    MergeStats Stats() const { return stats_; }

private:
    struct ExactSlot {
        std::uint32_t key[3];
        std::uint32_t valuePlusOne;  // 0: empty
    };
    // Open addressing from cell coordinates to the newest node of the cell; a cell's nodes are
    // chained through nextInCell_, newest first.
    struct CellSlot {
        std::int32_t key[3];
        std::uint32_t headPlusOne;  // 0: empty; kSplit: the cell's nodes moved to the fine grid
    };
    struct CellGrid {
        double inverse = 1.0;
        ZeroTable<CellSlot> cellSlots;
        std::size_t used = 0;
        int shift = 0;

        void Init(double cellSize, std::size_t expected);
        std::int32_t CellOf(double coordinate) const;
        CellSlot* Find(const std::int32_t key[3]) const;
        void Grow();
    };
    struct TreeNode {
        Vec3 position;
        std::uint32_t child[8];
        std::uint32_t unused;  // 48 bytes: a node seldom straddles two cache lines
    };
    struct Box {
        float lo[3];  // inclusive
        float hi[3];  // exclusive
    };
    // A distinct point with earlier points within the tolerance (two threads): those points
    // (count of them from nearList_[first]), or a walk when the grid gave up.
    static constexpr std::uint32_t kWalk = 0xFFFFFFFFu;
    struct NearPoint {
        std::uint32_t point;
        std::uint32_t count;  // kWalk: walk the tree
        std::uint64_t first;
    };
    static constexpr std::uint32_t kMerged = 0x80000000u;  // in vertexOf_: into an earlier vertex
    static constexpr std::uint32_t kIndexBits = 0x7FFFFFFFu;

    enum class Scan { Done, SeeFine, Restart, Crowded };

    int Resolve(const Vec3& p);
    void Queue(const Vec3& p);  // two threads: the caller's part of a new distinct point
    void Announce();            // the caller's: the points so far are there to be placed
    void Wake();                // the second thread, asleep or about to be
    // Takes the placing turn if free and places points up to `upTo`; false when the turn was taken.
    bool TryPlace(std::uint32_t upTo);
    void Place(std::uint32_t point);
    const Vec3& GridPosition(std::uint32_t n) const { return threaded_ ? points_[n] : positions_[n]; }
    // Adds the nodes of the grid's cells within reach of p to near_ (the coarse scan starts the
    // list afresh). Restart: a crowded coarse cell was just split; Crowded: too many nodes looked at.
    Scan ScanGrid(CellGrid& grid, const Vec3& p, unsigned& looked);
    void Split(CellSlot& cell);
    // found: the node's cell as the last scan of its point found it (no insertion since), or null.
    void Link(CellGrid& grid, std::uint32_t node, CellSlot* found = nullptr);
    int MakeVertex(const Vec3& p);
    // The second thread.
    void RunDecider();
    void Decide(std::uint32_t points, std::uint32_t nearPoints);
    std::uint32_t DecideNear(const NearPoint& near);
    void Publish(std::uint32_t placed);
    void StopDecider();
    int WalkTree(const Vec3& p);
    void BuildTree();
    bool Holds(std::uint32_t node, const Vec3& p) const;

    ExactSlot* FindExact(const std::uint32_t key[3], std::uint64_t hash);
    void GrowExact();

    float tolerance_;
    unsigned scanLimit_;
    double queryReach_;  // the tolerance, widened for the rounding of the float difference
    bool walkOnly_;      // infinite tolerance: every point walks the tree
    double fineSize_;
    ZeroTable<Vec3> positions_;  // its size is its room; the first vertexCount_ are the vertices
    std::uint32_t vertexCount_ = 0;

    // Two threads. The caller's: the distinct points, announced by their count. The placing turn's:
    // the grid and the near points, handed over by publishing their counts. The second's: what
    // became of each point (vertexOf_).
    bool threaded_ = false;
    ZeroTable<Vec3> points_;
    std::uint32_t pointCount_ = 0;
    ZeroTable<NearPoint> nearPoints_;
    std::uint32_t nearPointCount_ = 0;
    ZeroTable<std::uint32_t> nearList_;  // when full, near points walk instead
    std::uint64_t nearListCount_ = 0;
    ZeroTable<std::uint32_t> vertexOf_;
    std::uint32_t decided_ = 0;      // the second thread's: points decided
    std::uint32_t nearDecided_ = 0;  // and near points among them
    std::thread decider_;
    std::function<bool()> idleWork_;         // the second thread's once started
    std::atomic<std::uint32_t> arrived_{0};  // points there to be placed
    std::atomic<std::uint32_t> placed_{0};   // points placed (exact in the placing turn)
    std::atomic<bool> placing_{false};       // the placing turn is taken
    std::atomic<std::uint32_t> publishedPoints_{0};
    std::atomic<std::uint32_t> publishedNear_{0};
    std::atomic<std::uint32_t> signal_{0};  // bumped to wake the second thread
    std::atomic<bool> sleeping_{false};
    std::atomic<bool> finishing_{false};  // nothing more will be published
    std::atomic<bool> stop_{false};
    std::atomic<bool> failed_{false};  // the second thread ran out of memory

    ZeroTable<ExactSlot> exact_;
    std::size_t exactUsed_ = 0;
    int exactShift_ = 0;

    CellGrid coarse_;
    CellGrid fine_;
    bool splitting_ = false;               // fine cells are smaller than coarse ones
    ZeroTable<std::uint32_t> nextInCell_;  // room for every node from the start

    ZeroTable<TreeNode> tree_;
    ZeroTable<Box> boxes_;
    std::uint32_t built_ = 0;
    // From the root down to the last node placed in the tree, each an ancestor of the next (a
    // guessed start skips the nodes above it), with their boxes.
    struct PathStep {
        std::uint32_t node;
        Box box;
    };
    std::vector<PathStep> path_;
    int shiftCredit_ = 8;  // guesses below the chain still pay off

    std::vector<std::uint32_t> near_;
    CellSlot* ownCell_ = nullptr;              // the scanned point's own coarse cell, when the scan met it
    std::vector<std::uint32_t> nearVertices_;  // the second thread's
    MergeStats stats_;                         // with two threads, each counts its own fields
};

}  // namespace orvex
