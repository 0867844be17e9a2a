// Exact vertex merging: an exact-bits table for repeats, a grid for near nodes, and the tree of
// boxes built only when a point has near nodes.

#include "mesh/StlMerge.h"

#include <sys/mman.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>
#include <system_error>

#include "mesh/StlMergeTree.h"

namespace orvex {

namespace {

constexpr std::uint32_t kNone = 0xFFFFFFFFu;
constexpr std::uint32_t kSplit = 0xFFFFFFFFu;  // as a cell's headPlusOne
// A coarse cell holding more nodes than this moves them to the fine grid.
constexpr unsigned kSplitAt = 32;
constexpr std::size_t kMinSlots = 64;
// Grid cells looked at for one point; more (a cell size far below the tolerance) walks the tree.
constexpr std::uint64_t kMaxScanCells = 27;
// Two threads: distinct points handed over at once, and the second thread's spins before it sleeps.
constexpr std::uint32_t kPublishEvery = 1024;
// Often enough that the second thread, placing as they come, seldom waits long enough to sleep.
constexpr std::uint32_t kAnnounceEvery = 256;
// Points waiting to be placed before the caller places them itself, and the most the second thread
// places at a turn before it looks at its decisions again.
constexpr std::uint32_t kPlaceBacklog = 8192;
constexpr std::uint32_t kDeciderPlaces = 1024;
constexpr unsigned kDeciderSpins = 4096;
constexpr std::size_t kNearListPerPoint = 8;

inline void Cpu_Relax() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

std::uint64_t Mix3(std::uint32_t a, std::uint32_t b, std::uint32_t c) {
    std::uint64_t h = ((std::uint64_t(a) << 32) | b) * 0x9E3779B97F4A7C15ull;
    h ^= std::uint64_t(c) * 0xC2B2AE3D27D4EB4Full;
    h ^= h >> 29;
    h *= 0xBF58476D1CE4E5B9ull;
    h ^= h >> 32;
    return h;
}

int ShiftFor(std::size_t slots) {
    return 64 - std::countr_zero(slots);
}

std::size_t SlotsFor(std::size_t entries) {
    return std::bit_ceil(std::max(kMinSlots, entries + entries / 2 + 1));
}

// More than 5/8 full: double.
bool Crowded(std::size_t used, std::size_t slots) {
    return used * 8 > slots * 5;
}

}  // namespace

namespace {

constexpr std::size_t kHuge = std::size_t(2) << 20;

}  // namespace

// Small tables come from the heap: a read of a small file (or a fuzzer's input) must not map and
// clear a 2 MiB page per table. Large ones get their own mapping, on huge pages where allowed.
template <class T>
std::size_t ZeroTable<T>::Bytes(std::size_t capacity) {
    const std::size_t bytes = capacity * sizeof(T);
    return bytes < kHuge ? bytes : (bytes + kHuge - 1) / kHuge * kHuge;
}

template <class T>
void ZeroTable<T>::Reset(std::size_t count) {
    Release();
    if (count == 0) return;
    const std::size_t bytes = Bytes(count);
    void* memory = nullptr;
    if (bytes < kHuge) {
        memory = std::calloc(1, bytes);
        if (!memory) throw std::bad_alloc();
    } else {
        // Only the pages written are ever backed, so a table may be sized for the worst case.
        memory =
            mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (memory == MAP_FAILED) throw std::bad_alloc();
        madvise(memory, bytes, MADV_HUGEPAGE);  // a hint: refused, it costs nothing
    }
    data_ = static_cast<T*>(memory);
    count_ = count;
    capacity_ = bytes / sizeof(T);
}

template <class T>
void ZeroTable<T>::Resize(std::size_t count) {
    if (count <= capacity_) {
        // Elements past the old size may hold values from before a shrink: clear them.
        if (count > count_) std::memset(static_cast<void*>(data_ + count_), 0, (count - count_) * sizeof(T));
        count_ = count;
        return;
    }
    const std::size_t wanted = std::max(count, 2 * capacity_);
    const std::size_t oldBytes = Bytes(capacity_), bytes = Bytes(wanted);
    if (oldBytes >= kHuge) {
        // The kernel moves the pages instead of copying them; the new ones arrive zeroed.
        void* moved = mremap(data_, oldBytes, bytes, MREMAP_MAYMOVE);
        if (moved == MAP_FAILED) throw std::bad_alloc();
        madvise(moved, bytes, MADV_HUGEPAGE);
        data_ = static_cast<T*>(moved);
        capacity_ = bytes / sizeof(T);
        if (count > count_)
            std::memset(static_cast<void*>(data_ + count_), 0, (oldBytes / sizeof(T) - count_) * sizeof(T));
        count_ = count;
        return;
    }
    ZeroTable<T> bigger;
    bigger.Reset(wanted);
    if (count_) std::memcpy(static_cast<void*>(bigger.data_), data_, count_ * sizeof(T));
    bigger.count_ = count;
    Swap(bigger);
}

template <class T>
void ZeroTable<T>::Release() {
    if (data_) {
        const std::size_t bytes = Bytes(capacity_);
        if (bytes < kHuge)
            std::free(data_);
        else
            munmap(data_, bytes);
    }
    data_ = nullptr;
    count_ = 0;
    capacity_ = 0;
}

template class ZeroTable<VertexMerger::ExactSlot>;
template class ZeroTable<VertexMerger::CellSlot>;
template class ZeroTable<VertexMerger::TreeNode>;
template class ZeroTable<VertexMerger::Box>;
template class ZeroTable<VertexMerger::NearPoint>;
template class ZeroTable<Vec3>;
template class ZeroTable<std::uint32_t>;

// The scan limit bounds the work when even the fine cells are crowded (a tolerance far above the
// spacing of the data, or many near points kept apart by earlier ones).
VertexMerger::VertexMerger(float tolerance, float spacing, std::size_t expectedVertices, unsigned scanLimit,
                           std::size_t maxPoints, std::function<bool()> idleWork)
    : tolerance_(tolerance >= 0.0f ? tolerance : 0.0f),
      scanLimit_(scanLimit),
      idleWork_(std::move(idleWork)) {
    // |a - b| rounded to float can be at most half an ulp below the true difference.
    queryReach_ = double(tolerance_) * (1.0 + 1e-6);
    // An infinite tolerance merges every finite point into the first: no grid can help.
    walkOnly_ = !std::isfinite(queryReach_);
    // Cells at least 4 reaches wide: the reach box of a point meets at most 2 per axis. Any wider
    // cell is as correct; the sizes only decide how many nodes a lookup meets.
    const double minimum = walkOnly_ ? 1.0 : 4.0 * queryReach_;
    double coarse = std::max(minimum, std::isfinite(spacing) ? double(spacing) : 0.0);
    if (!(coarse > 1e-30)) coarse = 1.0;  // nothing to go by (tolerance 0, degenerate sample)
    // A crowded coarse cell splits into up to 16 x 16 x 16 fine ones.
    fineSize_ = std::max(minimum, coarse / 16.0);
    splitting_ = coarse > 2.0 * fineSize_;

    exact_.Reset(SlotsFor(expectedVertices));
    exactShift_ = ShiftFor(exact_.size());
    coarse_.Init(coarse, expectedVertices);
    if (maxPoints > 0 && maxPoints <= kIndexBits) {
        // Room for the worst case that never moves: the other thread reads it meanwhile. Only the
        // pages used are backed.
        points_.Reset(maxPoints);
        nearPoints_.Reset(maxPoints);
        vertexOf_.Reset(maxPoints);
        nearList_.Reset(kNearListPerPoint * maxPoints);
        positions_.Reset(maxPoints);
        nextInCell_.Reset(maxPoints);
        tree_.Reset(maxPoints);
        boxes_.Reset(maxPoints);
        try {
            decider_ = std::thread([this] { RunDecider(); });
            threaded_ = true;
        } catch (const std::system_error&) {
        }
    }
    if (!threaded_) {
        positions_.Reset(std::max<std::size_t>(expectedVertices, 1));
        nextInCell_.Reset(positions_.size());
    }
}

VertexMerger::~VertexMerger() {
    StopDecider();
}

void VertexMerger::StopDecider() {
    if (!decider_.joinable()) return;
    stop_.store(true);
    Wake();
    decider_.join();
}

std::uint64_t VertexMerger::Hash(const Vec3& p) {
    return Mix3(std::bit_cast<std::uint32_t>(p.x), std::bit_cast<std::uint32_t>(p.y),
                std::bit_cast<std::uint32_t>(p.z));
}

int VertexMerger::Insert(const Vec3& p, std::uint64_t hash) {
    const std::uint32_t key[3] = {std::bit_cast<std::uint32_t>(p.x), std::bit_cast<std::uint32_t>(p.y),
                                  std::bit_cast<std::uint32_t>(p.z)};
    ExactSlot* slot = FindExact(key, hash);
    if (slot->valuePlusOne != 0) {
        ++stats_.exactHits;
        return static_cast<int>(slot->valuePlusOne - 1);
    }
    int index;
    if (threaded_) {
        index = static_cast<int>(pointCount_);
        Queue(p);
    } else {
        index = Resolve(p);  // leaves the exact table alone, so the slot stays valid
    }
    std::memcpy(slot->key, key, sizeof key);
    slot->valuePlusOne = static_cast<std::uint32_t>(index) + 1;
    if (Crowded(++exactUsed_, exact_.size())) GrowExact();
    return index;
}

void VertexMerger::Prefetch(std::uint64_t hash) const {
    __builtin_prefetch(&exact_[hash >> exactShift_]);
}

// The caller's part of a new distinct point with two threads. Placing the points in the grid (and
// listing those with earlier points within the tolerance) is done in order by whichever thread
// holds the placing turn: the second thread whenever it has decided every point placed, this one
// when the points waiting pile up (the second thread busy with the tree).
void VertexMerger::Queue(const Vec3& p) {
    const std::uint32_t k = pointCount_;
    if (k == points_.size()) throw std::length_error("more distinct points than the merger was made for");
    points_[k] = p;
    pointCount_ = k + 1;
    if (pointCount_ % kAnnounceEvery == 0) Announce();
    if (pointCount_ - placed_.load(std::memory_order_relaxed) >= kPlaceBacklog) TryPlace(pointCount_);
}

void VertexMerger::Wake() {
    signal_.fetch_add(1);
    signal_.notify_one();
}

// With RunDecider's sleep (all four in one order): either it sees the new points before it sleeps,
// or this sees it sleeping.
void VertexMerger::Announce() {
    arrived_.store(pointCount_, std::memory_order_seq_cst);
    if (sleeping_.load(std::memory_order_seq_cst)) Wake();
}

bool VertexMerger::TryPlace(std::uint32_t upTo) {
    if (placing_.load(std::memory_order_relaxed) || placing_.exchange(true, std::memory_order_acquire))
        return false;
    struct Turn {
        std::atomic<bool>& placing;
        ~Turn() { placing.store(false, std::memory_order_release); }
    } turn{placing_};
    // A thread that failed while placing may have left the grid half changed.
    if (failed_.load(std::memory_order_acquire)) return true;
    std::uint32_t k = placed_.load(std::memory_order_relaxed);
    for (; k < upTo; ++k) {
        Place(k);
        placed_.store(k + 1, std::memory_order_relaxed);
        if ((k + 1) % kPublishEvery == 0) Publish(k + 1);
    }
    Publish(k);
    return true;
}

// Point k (every earlier one placed): its grid scan, its near list, its place in its cell.
void VertexMerger::Place(std::uint32_t k) {
    const Vec3& p = points_[k];
    Scan result = Scan::Crowded;
    if (!walkOnly_) {
        unsigned looked = 0;
        result = ScanGrid(coarse_, p, looked);
        while (result == Scan::Restart) {
            looked = 0;
            result = ScanGrid(coarse_, p, looked);
        }
        if (result == Scan::SeeFine) result = ScanGrid(fine_, p, looked);
    }
    if (result == Scan::Crowded || !near_.empty()) {
        NearPoint& near = nearPoints_[nearPointCount_++];
        near.point = k;
        if (result == Scan::Crowded || near_.size() > nearList_.size() - nearListCount_) {
            near.count = kWalk;
        } else {
            near.count = static_cast<std::uint32_t>(near_.size());
            near.first = nearListCount_;
            std::copy(near_.begin(), near_.end(), nearList_.begin() + nearListCount_);
            nearListCount_ += near_.size();
        }
    }
    Link(coarse_, k, ownCell_);
}

// The placing turn's: points [0, placed) and their near entries are there for the decisions. As
// in Announce, a second thread gone to sleep meanwhile is woken.
void VertexMerger::Publish(std::uint32_t placed) {
    publishedNear_.store(nearPointCount_, std::memory_order_release);
    publishedPoints_.store(placed, std::memory_order_seq_cst);
    if (sleeping_.load(std::memory_order_seq_cst)) Wake();
}

void VertexMerger::Finish() {
    if (!decider_.joinable()) return;
    // The rest placed here, once the other thread has given up the turn.
    while (!TryPlace(pointCount_)) Cpu_Relax();
    finishing_.store(true);
    Wake();
    decider_.join();
    if (failed_.load()) throw std::bad_alloc();
}

void VertexMerger::RunDecider() {
    try {
        for (;;) {
            if (stop_.load(std::memory_order_acquire)) return;
            // The near points first: a point below the published count has its entry published.
            const bool last = finishing_.load(std::memory_order_acquire);
            const std::uint32_t points = publishedPoints_.load(std::memory_order_acquire);
            const std::uint32_t nearPoints = publishedNear_.load(std::memory_order_acquire);
            if (decided_ < points) {
                Decide(points, nearPoints);
                continue;
            }
            if (last) return;
            // Caught up with the decisions: place the points that came meanwhile.
            const std::uint32_t arrived = arrived_.load(std::memory_order_acquire);
            const std::uint32_t placed = placed_.load(std::memory_order_relaxed);
            if (arrived > placed && TryPlace(std::min(arrived, placed + kDeciderPlaces))) continue;
            // Nothing to place (or the caller is placing): a piece of the caller's work.
            if (idleWork_) {
                if (idleWork_()) continue;
                idleWork_ = nullptr;
            }
            bool more = false;
            for (unsigned spin = 0; spin < kDeciderSpins && !more; ++spin) {
                Cpu_Relax();
                more = publishedPoints_.load(std::memory_order_relaxed) > decided_ ||
                       arrived_.load(std::memory_order_relaxed) > placed_.load(std::memory_order_relaxed) ||
                       finishing_.load(std::memory_order_relaxed) || stop_.load(std::memory_order_relaxed);
            }
            if (more) continue;
            const std::uint32_t seen = signal_.load(std::memory_order_acquire);
            sleeping_.store(true, std::memory_order_seq_cst);
            if (publishedPoints_.load(std::memory_order_seq_cst) == decided_ &&
                arrived_.load(std::memory_order_seq_cst) <= placed_.load(std::memory_order_relaxed) &&
                !finishing_.load(std::memory_order_relaxed) && !stop_.load(std::memory_order_relaxed))
                signal_.wait(seen, std::memory_order_acquire);
            sleeping_.store(false, std::memory_order_relaxed);
        }
    } catch (...) {
        failed_.store(true, std::memory_order_release);
    }
}

void VertexMerger::Decide(std::uint32_t points, std::uint32_t nearPoints) {
    for (; decided_ < points; ++decided_) {
        std::uint32_t vertex;
        if (nearDecided_ < nearPoints && nearPoints_[nearDecided_].point == decided_) {
            vertex = DecideNear(nearPoints_[nearDecided_++]);
        } else {
            vertex = vertexCount_;
            positions_[vertexCount_++] = points_[decided_];
        }
        vertexOf_[decided_] = vertex;
    }
    // Once a file has needed the tree it is kept up with the new vertices here, beside the other
    // thread's work, not all at once when the next near point comes (the far pole of a scan).
    if (built_ > 0) BuildTree();
}

// A point with near points: the near ones that became vertices are its near vertices.
std::uint32_t VertexMerger::DecideNear(const NearPoint& near) {
    const Vec3& p = points_[near.point];
    if (near.count == kWalk) {
        ++stats_.treeWalks;
        if (vertexCount_ > 0) {
            BuildTree();
            for (std::uint32_t at = 0;;) {
                const TreeNode& node = tree_[at];
                if (Near_Within(node.position, p, tolerance_)) return at | kMerged;
                const std::uint32_t child = node.child[Hyper_Octant(p, node.position)];
                if (child == kNone) break;
                at = child;
            }
        }
    } else {
        nearVertices_.clear();
        for (std::uint32_t i = 0; i < near.count; ++i) {
            const std::uint32_t v = vertexOf_[nearList_[near.first + i]];
            if (!(v & kMerged)) nearVertices_.push_back(v);
        }
        if (!nearVertices_.empty()) {
            ++stats_.nearQueries;
            BuildTree();
            std::sort(nearVertices_.begin(), nearVertices_.end());
            for (std::uint32_t n : nearVertices_)
                if (Holds(n, p)) return n | kMerged;
        }
    }
    positions_[vertexCount_] = p;
    return vertexCount_++;
}

int VertexMerger::Resolve(const Vec3& p) {
    if (walkOnly_) return WalkTree(p);
    unsigned looked = 0;
    Scan result = ScanGrid(coarse_, p, looked);
    if (result == Scan::Crowded) return WalkTree(p);
    while (result == Scan::Restart) {
        looked = 0;
        result = ScanGrid(coarse_, p, looked);
    }
    if (result == Scan::SeeFine) result = ScanGrid(fine_, p, looked);
    if (result == Scan::Crowded) return WalkTree(p);
    if (near_.empty()) return MakeVertex(p);

    ++stats_.nearQueries;
    BuildTree();
    // On one path an ancestor is older than its descendants: the lowest index comes first.
    std::sort(near_.begin(), near_.end());
    for (std::uint32_t n : near_)
        if (Holds(n, p)) return static_cast<int>(n);
    return MakeVertex(p);
}

VertexMerger::Scan VertexMerger::ScanGrid(CellGrid& grid, const Vec3& p, unsigned& looked) {
    const bool coarse = &grid == &coarse_;
    if (coarse) {
        near_.clear();
        ownCell_ = nullptr;
    }
    // The point's own coarse cell is among those visited: Link takes it from here.
    const std::int32_t own[3] = {grid.CellOf(p.x), grid.CellOf(p.y), grid.CellOf(p.z)};
    std::int32_t lo[3], hi[3];
    std::uint64_t cells = 1;
    for (int a = 0; a < 3; ++a) {
        lo[a] = grid.CellOf(double(p[a]) - queryReach_);
        hi[a] = grid.CellOf(double(p[a]) + queryReach_);
        cells *= std::min<std::uint64_t>(std::uint64_t(std::int64_t(hi[a]) - lo[a]) + 1, kMaxScanCells + 1);
    }
    // Cells are 4 reaches wide, so this takes a tolerance the grid cannot resolve (or a NaN).
    if (cells > kMaxScanCells) return Scan::Crowded;
    bool seeFine = false;
    for (std::int64_t x = lo[0]; x <= hi[0]; ++x) {
        for (std::int64_t y = lo[1]; y <= hi[1]; ++y) {
            for (std::int64_t z = lo[2]; z <= hi[2]; ++z) {
                const std::int32_t key[3] = {std::int32_t(x), std::int32_t(y), std::int32_t(z)};
                CellSlot* cell = grid.Find(key);
                if (coarse && key[0] == own[0] && key[1] == own[1] && key[2] == own[2]) ownCell_ = cell;
                if (cell->headPlusOne == kSplit) {
                    seeFine = true;
                    continue;
                }
                unsigned inCell = 0;
                for (std::uint32_t n = cell->headPlusOne - 1; n != kNone; n = nextInCell_[n]) {
                    if (coarse && splitting_ && ++inCell > kSplitAt) {
                        Split(*cell);
                        return Scan::Restart;
                    }
                    if (++looked > scanLimit_) return Scan::Crowded;
                    if (Near_Within(GridPosition(n), p, tolerance_)) near_.push_back(n);
                }
            }
        }
    }
    return seeFine ? Scan::SeeFine : Scan::Done;
}

void VertexMerger::Split(CellSlot& cell) {
    if (fine_.cellSlots.size() == 0) fine_.Init(fineSize_, 0);
    for (std::uint32_t n = cell.headPlusOne - 1; n != kNone;) {
        const std::uint32_t after = nextInCell_[n];
        Link(fine_, n);
        n = after;
    }
    cell.headPlusOne = kSplit;
    ++stats_.splitCells;
}

void VertexMerger::Link(CellGrid& grid, std::uint32_t node, CellSlot* found) {
    const Vec3& p = GridPosition(node);
    const std::int32_t key[3] = {grid.CellOf(p.x), grid.CellOf(p.y), grid.CellOf(p.z)};
    CellSlot* cell = found ? found : grid.Find(key);
    if (cell->headPlusOne == kSplit) return Link(fine_, node);
    if (cell->headPlusOne == 0) {
        std::memcpy(cell->key, key, sizeof key);
        nextInCell_[node] = kNone;
        cell->headPlusOne = node + 1;
        if (Crowded(++grid.used, grid.cellSlots.size())) grid.Grow();
    } else {
        nextInCell_[node] = cell->headPlusOne - 1;
        cell->headPlusOne = node + 1;
    }
}

int VertexMerger::MakeVertex(const Vec3& p) {
    const std::uint32_t k = vertexCount_;
    if (k == positions_.size()) positions_.Resize(2 * positions_.size());
    positions_[k] = p;
    vertexCount_ = k + 1;
    if (k == nextInCell_.size()) nextInCell_.Resize(positions_.size());
    Link(coarse_, k);
    return static_cast<int>(k);
}

int VertexMerger::WalkTree(const Vec3& p) {
    ++stats_.treeWalks;
    if (vertexCount_ == 0) return MakeVertex(p);
    BuildTree();
    for (std::uint32_t at = 0;;) {
        const TreeNode& node = tree_[at];
        if (Near_Within(node.position, p, tolerance_)) return static_cast<int>(at);
        const std::uint32_t child = node.child[Hyper_Octant(p, node.position)];
        if (child == kNone) break;
        at = child;
    }
    const int k = MakeVertex(p);
    BuildTree();
    return k;
}

bool VertexMerger::Holds(std::uint32_t node, const Vec3& p) const {
    const Box& b = boxes_[node];
    return b.lo[0] <= p.x && p.x < b.hi[0] && b.lo[1] <= p.y && p.y < b.hi[1] && b.lo[2] <= p.z &&
           p.z < b.hi[2];
}

namespace {

bool Box_Holds(const float lo[3], const float hi[3], const Vec3& p) {
    return lo[0] <= p.x && p.x < hi[0] && lo[1] <= p.y && p.y < hi[1] && lo[2] <= p.z && p.z < hi[2];
}

}  // namespace

// Places every vertex made since the last call, in index order, as the plain tree would have.
// None of them had a near node on its path, so the placement needs no tolerance test.
//
// The descents miss the cache at nearly every step (the nodes passed are old and scattered), so
// a group of vertices descends together, one step each in turn, in the tree as it stood before
// the group: their misses overlap. Then, in index order, each takes the empty slot it reached; a
// slot taken meanwhile by an earlier member of the group means continuing below that member, which
// is exactly where the one-by-one insertion would have gone.
void VertexMerger::BuildTree() {
    const std::uint32_t count = vertexCount_;
    if (built_ == count) return;
    if (tree_.size() < count) {  // with two threads the room is there from the start
        tree_.Resize(count);
        boxes_.Resize(count);
    }
    constexpr float kInf = std::numeric_limits<float>::infinity();
    std::uint32_t k = built_;
    for (std::uint32_t i = k; i < count; ++i) {
        TreeNode& made = tree_[i];
        made.position = positions_[i];
        std::fill(std::begin(made.child), std::end(made.child), kNone);
    }
    if (k == 0) {
        boxes_[0] = Box{{-kInf, -kInf, -kInf}, {kInf, kInf, kInf}};
        path_.assign(1, PathStep{0, boxes_[0]});
        k = 1;
    }
    constexpr unsigned kGroup = 8;
    constexpr std::size_t kShiftTries = 8;
    constexpr std::uint32_t kShiftRetry = 64;
    constexpr int kShiftCreditMax = 64;
    struct Descent {
        Vec3 p;
        std::uint32_t at;
        int octant;
        bool active;
        bool shifted;  // started below the chain
        Box box;
        std::size_t good;
    };
    Descent group[kGroup];
    std::vector<PathStep> lastSteps;
    while (k < count) {
        const unsigned size = unsigned(std::min<std::uint32_t>(kGroup, count - k));
        // Starts: the deepest node of the previous chain that holds each point (the boxes along a
        // chain are nested, and in scan order a point parts from it near its end: gallop back
        // from the end, then bisect). The chain keeps its boxes beside it: its nodes are old and
        // scattered, and reading their boxes would miss the cache.
        for (unsigned m = 0; m < size; ++m) {
            Descent& d = group[m];
            d.p = positions_[k + m];
            std::size_t good = 0, bad = path_.size();
            for (std::size_t step = 1;; step *= 2) {
                if (bad - good <= step) break;
                const std::size_t probe = bad - step;
                if (Box_Holds(path_[probe].box.lo, path_[probe].box.hi, d.p)) {
                    good = probe;
                    break;
                }
                bad = probe;
            }
            while (bad - good > 1) {
                const std::size_t mid = good + (bad - good) / 2;
                if (Box_Holds(path_[mid].box.lo, path_[mid].box.hi, d.p))
                    good = mid;
                else
                    bad = mid;
            }
            d.good = good;
            d.at = path_[good].node;
            d.box = path_[good].box;
            // Neighbours in a scan hang in parallel chains, so the node after each node of the
            // chain (shifted by the place in the group) is often on p's path, deeper than the
            // chain's own start; any node whose box holds p is on its path. The boxes are read side
            // by side, not one after another as in a descent.
            // Unordered input has no such chains: the guess is made only while it pays, and
            // retried now and then.
            d.shifted = false;
            if (shiftCredit_ > 0 || (k + m) % kShiftRetry == 0) {
                for (std::size_t i = path_.size() - 1, tries = 0; i > good && tries < kShiftTries;
                     --i, ++tries) {
                    const std::uint32_t shifted = path_[i].node + 1 + m;
                    if (shifted < k && Holds(shifted, d.p)) {
                        d.at = shifted;
                        d.box = boxes_[shifted];
                        d.shifted = true;
                        ++stats_.guessedStarts;
                        break;
                    }
                }
                shiftCredit_ = d.shifted ? std::min(shiftCredit_ + 4, kShiftCreditMax) : shiftCredit_ - 1;
            }
            d.active = true;
            __builtin_prefetch(&tree_[d.at]);
        }
        lastSteps.clear();
        Descent& last = group[size - 1];
        if (last.shifted) lastSteps.push_back(PathStep{last.at, last.box});
        for (unsigned active = size; active > 0;) {
            for (unsigned m = 0; m < size; ++m) {
                Descent& d = group[m];
                if (!d.active) continue;
                const TreeNode& node = tree_[d.at];
                d.octant = Hyper_Octant(d.p, node.position);
                const std::uint32_t child = node.child[d.octant];
                if (child == kNone) {
                    d.active = false;
                    --active;
                    continue;
                }
                for (int a = 0; a < 3; ++a) {
                    if (d.octant & (4 >> a))
                        d.box.hi[a] = node.position[a];
                    else
                        d.box.lo[a] = node.position[a];
                }
                d.at = child;
                __builtin_prefetch(&tree_[child]);
                if (&d == &last) lastSteps.push_back(PathStep{child, d.box});
            }
        }
        for (unsigned m = 0; m < size; ++m) {
            Descent& d = group[m];
            const std::uint32_t made = k + m;
            for (;;) {
                TreeNode& node = tree_[d.at];
                for (int a = 0; a < 3; ++a) {
                    if (d.octant & (4 >> a))
                        d.box.hi[a] = node.position[a];
                    else
                        d.box.lo[a] = node.position[a];
                }
                const std::uint32_t child = node.child[d.octant];
                if (child == kNone) {
                    node.child[d.octant] = made;
                    boxes_[made] = d.box;
                    if (&d == &last) lastSteps.push_back(PathStep{made, d.box});
                    break;
                }
                d.at = child;  // an earlier member of the group
                d.octant = Hyper_Octant(d.p, tree_[child].position);
                if (&d == &last) lastSteps.push_back(PathStep{child, d.box});
            }
        }
        path_.resize(last.good + 1);
        path_.insert(path_.end(), lastSteps.begin(), lastSteps.end());
        k += size;
    }
    stats_.treeNodes += count - built_;
    built_ = count;
}

VertexMerger::ExactSlot* VertexMerger::FindExact(const std::uint32_t key[3], std::uint64_t hash) {
    const std::size_t mask = exact_.size() - 1;
    for (std::size_t i = hash >> exactShift_;; i = (i + 1) & mask) {
        ExactSlot& slot = exact_[i];
        if (slot.valuePlusOne == 0 ||
            (slot.key[0] == key[0] && slot.key[1] == key[1] && slot.key[2] == key[2]))
            return &slot;
    }
}

void VertexMerger::GrowExact() {
    ZeroTable<ExactSlot> old;
    old.Reset(exact_.size() * 2);
    old.Swap(exact_);
    exactShift_ = ShiftFor(exact_.size());
    for (const ExactSlot& slot : old)
        if (slot.valuePlusOne != 0) *FindExact(slot.key, Mix3(slot.key[0], slot.key[1], slot.key[2])) = slot;
}

void VertexMerger::CellGrid::Init(double cellSize, std::size_t expected) {
    inverse = 1.0 / cellSize;
    cellSlots.Reset(SlotsFor(expected));
    used = 0;
    shift = ShiftFor(cellSlots.size());
}

std::int32_t VertexMerger::CellGrid::CellOf(double coordinate) const {
    // Clamping keeps the map monotone, so every node within reach still lies in a visited cell.
    // (A truncation and a correction: floor() without SSE4.1 costs a dozen instructions.)
    const double v = coordinate * inverse;
    if (!(v > -2147483648.0)) return std::numeric_limits<std::int32_t>::min();
    if (v >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
    const auto t = static_cast<std::int64_t>(v);
    return static_cast<std::int32_t>(t - (v < double(t) ? 1 : 0));
}

VertexMerger::CellSlot* VertexMerger::CellGrid::Find(const std::int32_t key[3]) const {
    const std::size_t mask = cellSlots.size() - 1;
    // Blocks of 4 x 4 x 4 cells share one run of 64 slots: points that follow each other in a
    // scan land in neighbouring cells and find their slots already in cache.
    const std::uint64_t block =
        Mix3(std::uint32_t(key[0] >> 2), std::uint32_t(key[1] >> 2), std::uint32_t(key[2] >> 2));
    const std::size_t within =
        std::size_t(key[0] & 3) | std::size_t(key[1] & 3) << 2 | std::size_t(key[2] & 3) << 4;
    for (std::size_t i = ((block >> shift) + within) & mask;; i = (i + 1) & mask) {
        CellSlot& slot = cellSlots.Mutable(i);
        if (slot.headPlusOne == 0 ||
            (slot.key[0] == key[0] && slot.key[1] == key[1] && slot.key[2] == key[2]))
            return &slot;
    }
}

void VertexMerger::CellGrid::Grow() {
    ZeroTable<CellSlot> old;
    old.Reset(cellSlots.size() * 2);
    old.Swap(cellSlots);
    shift = ShiftFor(cellSlots.size());
    for (const CellSlot& slot : old)
        if (slot.headPlusOne != 0) *Find(slot.key) = slot;
}

}  // namespace orvex
