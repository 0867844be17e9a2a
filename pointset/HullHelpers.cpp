// The steps the three hull algorithms share: face planes, the above and visible tests, MarkVisible,
// CarveHorizon, the cone, the key sort, filling outside sets and the final clean-up.
//
// Distances are normal . (q - v[0]) in double with the face's float normal, which is the stored
// normal . q - offset with the offset kept unrounded. Above and visible are decided by the sign of
// the plane through the face's corners: from the distance when it clears its rounding bound, from
// the exact orientation otherwise. So a point on a face plane is never outside, a point above it
// always is, and the hull stays exactly convex: the faces an apex sees form one disc, and a point
// outside the grown hull always lies above one of the new faces it is tested against.

#include "pointset/HullHelpers.h"

#include <cmath>
#include <cstdlib>
#include <new>
#include <utility>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

#include "geometry/Clock.h"
#include "geometry/Random.h"
#include "geometry/Vec3.h"
#include "pointset/ExactOrient.h"

namespace orvex {

namespace {

constexpr double kUnit = 1.0 / 9007199254740992.0;  // 2^-53

// A face's plane prepared for many distance evaluations, with per-axis weights that bound the
// difference between the computed distance and the exact one of the plane through the corners.
struct PlaneProbe {
    double n[3] = {0, 0, 0}, o[3] = {0, 0, 0}, w[3] = {0, 0, 0};
    const float *a = nullptr, *b = nullptr, *c = nullptr;

    PlaneProbe() = default;
    explicit PlaneProbe(const Face* f) : a(f->v[0]->values), b(f->v[1]->values), c(f->v[2]->values) {
        const double e1[3] = {double(b[0]) - a[0], double(b[1]) - a[1], double(b[2]) - a[2]};
        const double e2[3] = {double(c[0]) - a[0], double(c[1]) - a[1], double(c[2]) - a[2]};
        const double nd[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                              e1[0] * e2[1] - e1[1] * e2[0]};
        const double p[3] = {std::fabs(e1[1] * e2[2]) + std::fabs(e1[2] * e2[1]),
                             std::fabs(e1[2] * e2[0]) + std::fabs(e1[0] * e2[2]),
                             std::fabs(e1[0] * e2[1]) + std::fabs(e1[1] * e2[0])};
        for (int i = 0; i < 3; ++i) {
            n[i] = f->normal[i];
            o[i] = a[i];
            // float rounding of the normal + error of the double cross product + of the sum
            const double delta =
                std::fabs(n[i] - nd[i]) + 3.02 * kUnit * p[i] + 1.01 * kUnit * std::fabs(nd[i]);
            w[i] = 1.1 * delta + 5.0 * kUnit * std::fabs(n[i]) + 1e-300;
        }
    }
    double Bound(double d0, double d1, double d2) const {
        return w[0] * std::fabs(d0) + w[1] * std::fabs(d1) + w[2] * std::fabs(d2);
    }
    // The bound for any point whose coordinates stay within `largest` in magnitude.
    double Bound_Within(double largest) const {
        return (w[0] + w[1] + w[2]) *
               (largest + std::fmax(std::fabs(o[0]), std::fmax(std::fabs(o[1]), std::fabs(o[2]))));
    }
};

// Exactly above the plane of f's corners, given the computed distance: decided by the distance
// when it is clear of the rounding bound, by the exact sign otherwise.
inline bool Above(const PlaneProbe& pr, double wide, double dist, double d0, double d1, double d2,
                  const float* q) {
    if (dist > wide) return true;
    if (dist < -wide) return false;
    const double bound = pr.Bound(d0, d1, d2);
    if (dist > bound) return true;
    if (dist < -bound) return false;
    return Orient3d_Exact_Sign(pr.a, pr.b, pr.c, q) > 0;
}

// On or above the plane of f's corners: f is visible from q.
bool Sees(const Face* f, const float* q) {
    const PlaneProbe pr(f);
    const double d0 = double(q[0]) - pr.o[0], d1 = double(q[1]) - pr.o[1], d2 = double(q[2]) - pr.o[2];
    const double dist = pr.n[0] * d0 + pr.n[1] * d1 + pr.n[2] * d2;
    const double bound = pr.Bound(d0, d1, d2);
    if (dist > bound) return true;
    if (dist < -bound) return false;
    return Orient3d_Exact_Sign(pr.a, pr.b, pr.c, q) >= 0;
}

// Stable ascending merge sort; the quicksort falls back to it when its partitions degenerate,
// and both give the same order because both keep equal keys in list order.
Face* Merge_Sort(Face* head) {
    if (!head || !head->next) return head;
    Face* slow = head;
    for (Face* fast = head->next; fast && fast->next; fast = fast->next->next) slow = slow->next;
    Face* second = slow->next;
    slow->next = nullptr;
    Face* a = Merge_Sort(head);
    Face* b = Merge_Sort(second);
    Face sentinel;
    Face* tail = &sentinel;
    while (a && b) {
        Face*& from = b->key < a->key ? b : a;
        tail->next = from;
        tail = from;
        from = from->next;
    }
    tail->next = a ? a : b;
    return sentinel.next;
}

void Quick_Sort(Face* head, Face*& outHead, Face*& outTail, int depth) {
    if (!head || !head->next) {
        outHead = outTail = head;
        return;
    }
    if (depth > 48) {
        outHead = Merge_Sort(head);
        for (outTail = outHead; outTail->next;) outTail = outTail->next;
        return;
    }
    Face* pivot = head;
    Face *lessHead = nullptr, *lessTail = nullptr, *greaterHead = nullptr, *greaterTail = nullptr;
    Face* equalTail = pivot;
    for (Face* f = head->next; f;) {
        Face* next = f->next;
        f->next = nullptr;
        if (f->key < pivot->key) {
            (lessTail ? lessTail->next : lessHead) = f;
            lessTail = f;
        } else if (f->key == pivot->key) {
            equalTail->next = f;
            equalTail = f;
        } else {
            (greaterTail ? greaterTail->next : greaterHead) = f;
            greaterTail = f;
        }
        f = next;
    }
    equalTail->next = nullptr;
    Quick_Sort(lessHead, lessHead, lessTail, depth + 1);
    Quick_Sort(greaterHead, greaterHead, greaterTail, depth + 1);
    outHead = pivot;
    if (lessHead) {
        lessTail->next = pivot;
        outHead = lessHead;
    }
    equalTail->next = greaterHead;
    outTail = greaterHead ? greaterTail : equalTail;
}

}  // namespace

void SortFacesByKey(Face*& head, Face*& tail) {
    Quick_Sort(head, head, tail, 0);
}

struct HullRun::FillSlot {
    PlaneProbe probe;
    double wide = 0.0;
    EntryArray part[2];        // as in OutsideSet
    std::size_t furthest = 0;  // index of the furthest point in part[furthestPart]
    int furthestPart = 0;
    bool hasFurthest = false;
    float best = 0.0f, threshold = 0.0f;
};

HullRun::EntryArray::EntryArray(EntryArray&& other) noexcept
    : data(std::exchange(other.data, nullptr)),
      size(std::exchange(other.size, 0)),
      capacity(std::exchange(other.capacity, 0)) {}

HullRun::EntryArray& HullRun::EntryArray::operator=(EntryArray&& other) noexcept {
    if (this != &other) {
        Release();
        data = std::exchange(other.data, nullptr);
        size = std::exchange(other.size, 0);
        capacity = std::exchange(other.capacity, 0);
    }
    return *this;
}

void HullRun::EntryArray::Grow() {
    const std::size_t more = capacity ? 2 * capacity : 1;
    void* grown = std::realloc(data, more * sizeof(Entry));
    if (!grown) throw std::bad_alloc();
    data = static_cast<Entry*>(grown);
    capacity = more;
}

void HullRun::EntryArray::Release() {
    std::free(data);
    data = nullptr;
    size = capacity = 0;
}

HullRun::HullRun(POINT_LIST& pointSet, Progress* progress, const char* name)
    : set(pointSet), progress_(progress), name_(name) {}

void HullRun::SetPlane(Face* f) {
    const float* a = f->v[0]->values;
    const float* b = f->v[1]->values;
    const float* c = f->v[2]->values;
    const double e1[3] = {double(b[0]) - a[0], double(b[1]) - a[1], double(b[2]) - a[2]};
    const double e2[3] = {double(c[0]) - a[0], double(c[1]) - a[1], double(c[2]) - a[2]};
    f->normal[0] = float(e1[1] * e2[2] - e1[2] * e2[1]);
    f->normal[1] = float(e1[2] * e2[0] - e1[0] * e2[2]);
    f->normal[2] = float(e1[0] * e2[1] - e1[1] * e2[0]);
    f->offset =
        float(double(f->normal[0]) * a[0] + double(f->normal[1]) * a[1] + double(f->normal[2]) * a[2]);
}

Face* HullRun::NextFaceWithOutside(Face* head, Face*& tail, bool countVisits) {
    Face* prev = head;
    Face* f = head->next;
    while (f) {
        if (countVisits) ++c[4];
        if (f->visited) {
            prev->next = f->next;
            if (tail == f) tail = prev;
            set.DeleteFace(f);
            ++c[6];
            f = prev->next;
            continue;
        }
        if (f->outsideHead) return f;
        prev = f;
        f = f->next;
    }
    return nullptr;
}

VEC_LIST* HullRun::TakeApex(Face* f) {
    VEC_LIST* p = f->outsideHead;
    rest_ = {std::uint32_t(p->tag), 1};
    spliced_.clear();
    p->tag = 0;
    set.InsertFront(p);
    f->outsideHead = f->outsideTail = nullptr;
    newFaces.next = nullptr;
    newTail_ = nullptr;
    ++c[3];
    ReportProgress();
    return p;
}

void HullRun::MarkVisible(Face* f, VEC_LIST* apex) {
    f->visited = true;
    if (f->outsideHead) {
        // Spliced in front of the pending points: they are walked last spliced, first.
        spliced_.push_back({std::uint32_t(f->outsideHead->tag), 0});
        f->outsideHead->tag = 0;
        f->outsideHead = f->outsideTail = nullptr;
    }
    for (int i = 0; i < 3; ++i) {
        if (f->nbr[i]->visited) continue;
        f->edgeState[i] = Sees(f->nbr[i], apex->values) ? 1 : 0;
        ++c[9];
        ++c[10];
    }
    for (int i = 0; i < 3; ++i) {
        if (f->edgeState[i] == -1) {
            f->startEdge = (i + 1) % 3;
            break;
        }
    }
}

void HullRun::MakeConeFace(Face* f, int e, VEC_LIST* apex, bool searchDown) {
    Face* m = f->nbr[e];
    int slot = -1;
    for (int k = 0; k < 3 && slot < 0; ++k) {
        const int s = searchDown ? 2 - k : k;
        if (m->nbr[s] == f) slot = s;
    }
    if (slot < 0) {
        broken_ = true;  // the neighbour does not link back: the mesh is damaged
        return;
    }
    Face* g = set.NewFace();
    m->nbr[slot] = g;
    g->v[0] = apex;
    g->v[1] = m->v[(slot + 1) % 3];
    g->v[2] = m->v[slot];
    g->nbr[1] = m;
    SetPlane(g);
    g->next = newFaces.next;
    newFaces.next = g;
    if (!newTail_) newTail_ = g;
}

void HullRun::CarveHorizon(Face* start, VEC_LIST* apex) {
    // The recursion of the definition, unrolled onto a stack so that a horizon of any size cannot
    // exhaust the call stack; faces are visited and cone faces made in the same order.
    MarkVisible(start, apex);
    stack_.clear();
    stack_.push_back({start, 0});
    while (!stack_.empty()) {
        Frame& top = stack_.back();
        if (top.k == 2) {
            stack_.pop_back();
            continue;
        }
        Face* f = top.face;
        const int e = (f->startEdge + top.k) % 3;
        ++top.k;
        if (f->edgeState[e] == 0) {
            MakeConeFace(f, e, apex, true);
        } else if (f->edgeState[e] == 1 && !f->nbr[e]->visited) {
            Face* n = f->nbr[e];
            MarkVisible(n, apex);
            stack_.push_back({n, 0});
        }
    }
}

void HullRun::CarveFromRoot(Face* f, VEC_LIST* apex) {
    MarkVisible(f, apex);
    for (int k = 0; k < 3; ++k) {
        const int e = (f->startEdge + k) % 3;
        if (f->edgeState[e] == 0)
            MakeConeFace(f, e, apex, false);
        else if (f->edgeState[e] == 1 && !f->nbr[e]->visited)
            CarveHorizon(f->nbr[e], apex);
    }
}

bool HullRun::ConeIsOneLoop() {
    Face* first = newFaces.next;
    if (broken_ || !first) return false;
    // In list order each face's horizon edge must end where the previous one starts, all the way
    // round, and no horizon corner may come twice.
    constexpr std::uint8_t kSeen = 0x80;
    bool ok = true;
    std::size_t n = 0;
    Face* g = first;
    for (; g; g = g->next) {
        ++n;
        VEC_LIST* start = g->v[1];
        if (start->flag & kSeen) ok = false;
        start->flag |= kSeen;
        Face* previous = g->next ? g->next : first;
        if (previous->v[2] != start) ok = false;
    }
    for (g = first; g; g = g->next) g->v[1]->flag &= std::uint8_t(~kSeen);
    return ok && n >= 3;
}

void HullRun::CloseCone(bool randomKeys) {
    Face* first = newFaces.next;
    for (Face* g = first; g; g = g->next) {
        Face* following = g->next ? g->next : first;
        g->nbr[0] = following;
        following->nbr[2] = g;
        if (randomKeys) {
            g->key = -float(Random_Below(1024));
        } else {
            g->key = -float(double(g->normal[0]) * g->normal[0] + double(g->normal[1]) * g->normal[1] +
                            double(g->normal[2]) * g->normal[2]);
        }
    }
}

HullRun::~HullRun() {
    // Every run ends here, built or not: the points marked inside go now.
    DeleteInside();
}

std::uint32_t HullRun::NewSet() {
    if (freeSets_.empty()) {
        if (sets_.empty()) sets_.emplace_back();  // index 0 means "none"
        sets_.emplace_back();
        return std::uint32_t(sets_.size() - 1);
    }
    const std::uint32_t index = freeSets_.back();
    freeSets_.pop_back();
    return index;
}

void HullRun::ReleaseSet(std::uint32_t index) {
    // Small arrays are kept for the next set; large ones go back, or a run that keeps millions of
    // points outside for long (the incremental hull) would hold every array it ever grew.
    constexpr std::size_t kKeep = 256;
    for (EntryArray& part : sets_[index].part) {
        if (part.capacity > kKeep)
            part.Release();
        else
            part.size = 0;
    }
    freeSets_.push_back(index);
}

void HullRun::GatherPending() {
    // The walk order: the sets spliced last come first, the apex's own set (without the apex)
    // last; within a set its front part latest first, then its back part.
    spans_.clear();
    auto add = [&](const Piece& piece) {
        const EntryArray& front = sets_[piece.set].part[0];
        const EntryArray& back = sets_[piece.set].part[1];
        std::size_t skip = piece.from;
        if (front.size > skip)
            spans_.push_back({front.data + front.size - 1 - skip, std::ptrdiff_t(front.size - skip), -1});
        skip = skip > front.size ? skip - front.size : 0;
        if (back.size > skip) spans_.push_back({back.data + skip, std::ptrdiff_t(back.size - skip), 1});
    };
    for (auto piece = spliced_.rbegin(); piece != spliced_.rend(); ++piece) add(*piece);
    if (rest_.set) add(rest_);
}

void HullRun::DeleteInside() {
    // Deleting a node writes to it; done at once, every inside point would cost a cache miss of
    // its own, done here the nodes are met in table order.
    for (std::size_t word = 0; word < inside_.size(); ++word) {
        for (std::uint64_t bits = inside_[word]; bits; bits &= bits - 1)
            set.DeletePoint(nodes_[word * 64 + std::size_t(__builtin_ctzll(bits))]);
        inside_[word] = 0;
    }
}

void HullRun::ReleasePending() {
    for (const Piece& piece : spliced_) ReleaseSet(piece.set);
    spliced_.clear();
    if (rest_.set) ReleaseSet(rest_.set);
    rest_ = {0, 0};
    pendingFrom_ = nodes_.size();  // the node table is pending for the first fill only
}

namespace {
// The planes of one fill in blocks of four faces, in single precision, for a first look at every
// distance at once: nx[4] ny[4] nz[4] ox[4] oy[4] oz[4] low[4] high[4]. A face whose
// single-precision distance lies below `low` is surely below its plane by more than the exact
// test's margin; above `high`, surely above by more than it.
constexpr int kBlockFloats = 32;
// Up to this many faces a fill looks at all of them at once, with a bit each in a mask.
constexpr int kMaskFaces = 63;
}  // namespace

// Each point is tested against the faces in turn and goes to the first one it lies exactly above;
// points above none are marked inside. Returns the number of point-face tests. slots_[n] is a
// stand-in face that takes the inside points and keeps none, so that where a point goes is
// decided without a branch: which face, front or back and inside or not are as good as random,
// and a mispredicted branch for each would cost more than the arithmetic.
template <int Blocks, class Source>
std::uint64_t HullRun::FillFrom(const Source& source, int n, bool firstFit) {
    FillSlot* const slots = slots_.data();
    [[maybe_unused]] const float* const blocks = blocks_.data();
    std::uint64_t* const inside = inside_.data();
    FillSlot& none = slots[n];
    std::uint64_t tests = 0;
    const std::ptrdiff_t count = source.Count();
    for (std::ptrdiff_t i = 0; i < count; ++i) {
        const Entry& e = source.At(i);
        const float* v = &e.x;  // x, y, z side by side, for the exact test
        const double x = e.x, y = e.y, z = e.z;
        int k = n;
        // The faces the point may lie above, and those it surely lies above, as bit masks.
        std::uint64_t maybe = 0, sure = 0;
        bool masked = false, exact = true;
#if defined(__SSE2__)
        if (n <= kMaskFaces) {
            masked = true;
            const __m128 px = _mm_set1_ps(e.x), py = _mm_set1_ps(e.y), pz = _mm_set1_ps(e.z);
            // With one or two blocks (most cones) the count is known and the loop unrolled.
            const int blockCount = Blocks > 0 ? Blocks : (n + 3) / 4;
            for (int b = 0; b < 4 * blockCount; b += 4) {
                const float* col = blocks + (b / 4) * kBlockFloats;
                const __m128 d = _mm_add_ps(
                    _mm_add_ps(_mm_mul_ps(_mm_loadu_ps(col), _mm_sub_ps(px, _mm_loadu_ps(col + 12))),
                               _mm_mul_ps(_mm_loadu_ps(col + 4), _mm_sub_ps(py, _mm_loadu_ps(col + 16)))),
                    _mm_mul_ps(_mm_loadu_ps(col + 8), _mm_sub_ps(pz, _mm_loadu_ps(col + 20))));
                maybe |= std::uint64_t(_mm_movemask_ps(_mm_cmpge_ps(d, _mm_loadu_ps(col + 24)))) << b;
                sure |= std::uint64_t(_mm_movemask_ps(_mm_cmpgt_ps(d, _mm_loadu_ps(col + 28)))) << b;
            }
            // Faces before the first maybe are surely below; when that one is surely above, it
            // takes the point (none takes it when no face may).
            const std::uint64_t first = maybe & (0 - maybe);
            if (!(first & ~sure)) {
                k = __builtin_ctzll(maybe | (std::uint64_t(1) << n));
                exact = false;
            }
        }
#endif
        double dist;
        if (exact) {
            // The faces in order, each by its double distance and the exact test where that is
            // in doubt; with more faces than bits, or without the single-precision look, all of
            // them.
            k = n;
            for (int j = 0; j < n; ++j) {
                if (masked && !(maybe >> j & 1)) continue;
                const PlaneProbe& pr = slots[j].probe;
                const double d0 = x - pr.o[0], d1 = y - pr.o[1], d2 = z - pr.o[2];
                const double dj = pr.n[0] * d0 + pr.n[1] * d1 + pr.n[2] * d2;
                if (Above(pr, slots[j].wide, dj, d0, d1, d2, v)) {
                    k = j;
                    break;
                }
            }
        }
        {
            const PlaneProbe& pr = slots[k].probe;  // all zero for the stand-in
            dist = pr.n[0] * (x - pr.o[0]) + pr.n[1] * (y - pr.o[1]) + pr.n[2] * (z - pr.o[2]);
        }
        tests += std::uint64_t(k + (k != n));  // n tests for an inside point, k + 1 otherwise
        inside[e.id >> 6] |= std::uint64_t(k == n) << (e.id & 63);

        FillSlot& s = slots[k];
        const float stored = float(dist);
        const int part =
            (!firstFit && stored > s.threshold && (s.part[0].size | s.part[1].size) != 0) ? 0 : 1;
        s.part[part].Push(e);
        // A point above the plane by less than the rounding of its distance may carry a stored
        // distance below the starting maximum; it then never becomes the furthest point. (By its
        // stored distance alone it would not count as outside.) The stand-in's maximum is
        // infinite.
        if (!firstFit && stored > s.best) {
            s.best = stored;
            s.hasFurthest = true;
            s.furthestPart = part;
            s.furthest = s.part[part].size - 1;
            s.threshold = float(0.66 * stored);
        }
        none.part[0].size = none.part[1].size = 0;
    }
    return tests;
}

template <class Source>
std::uint64_t HullRun::FillWith(const Source& source, int n, bool firstFit) {
    if (n <= 4) return FillFrom<1>(source, n, firstFit);
    if (n <= 8) return FillFrom<2>(source, n, firstFit);
    return FillFrom<0>(source, n, firstFit);
}

void HullRun::FillOutsideSets(Face* const* faces, int n, FillRule rule) {
    GatherPending();
    if (int(slots_.size()) < n + 1) slots_.resize(std::size_t(n) + 1);
    for (int k = 0; k <= n; ++k) {
        FillSlot& s = slots_[k];
        s.probe = k < n ? PlaneProbe(faces[k]) : PlaneProbe();
        s.wide = k < n ? s.probe.Bound_Within(largest_) : 0.0;
        s.part[0].size = s.part[1].size = 0;
        s.hasFurthest = false;
        s.best = k == n ? INFINITY : rule == FillRule::FurthestKeyMaximum ? faces[k]->key : -1.0f;
        s.threshold = threshold_;
    }
    for (EntryArray& part : slots_[n].part)
        if (part.capacity == 0) part.Grow();
    FillSlot* const slots = slots_.data();
    blocks_.assign(std::size_t((n + 3) / 4) * kBlockFloats, 0.0f);
    for (int k = 0; k < (n + 3) / 4 * 4; ++k) {
        float* col = blocks_.data() + (k / 4) * kBlockFloats + k % 4;
        if (k >= n) {
            col[24] = col[28] = INFINITY;  // padding: no distance reaches it
            continue;
        }
        const PlaneProbe& pr = slots[k].probe;
        // The normal and the corner are floats already. The single-precision distance is off by
        // at most four roundings of the terms' sizes, plus underflow near zero.
        constexpr double kSingle = 1.0 / 16777216.0;  // 2^-24
        double terms = 0.0;
        for (int i = 0; i < 3; ++i) {
            col[4 * i] = float(pr.n[i]);
            col[12 + 4 * i] = float(pr.o[i]);
            terms += std::fabs(pr.n[i]) * (largest_ + std::fabs(pr.o[i]));
        }
        const double margin = slots[k].wide + 6.0 * kSingle * terms + 1e-42;
        col[24] = std::nextafter(float(-margin), -INFINITY);
        col[28] = std::nextafter(float(margin), INFINITY);
    }
    const bool firstFit = rule == FillRule::FirstFit;
    std::uint64_t tests = 0;
    for (const Span& span : spans_) {
        struct {
            const Entry* first;
            std::ptrdiff_t count, step;
            std::ptrdiff_t Count() const { return count; }
            const Entry& At(std::ptrdiff_t i) const { return first[i * step]; }
        } source{span.first, span.count, span.step};
        tests += FillWith(source, n, firstFit);
    }
    if (nodes_.size() > pendingFrom_) {
        // The first fill: the points straight from their nodes, in list order.
        struct {
            VEC_LIST* const* nodes;
            std::ptrdiff_t count;
            mutable Entry made;
            std::ptrdiff_t Count() const { return count; }
            const Entry& At(std::ptrdiff_t i) const {
                if (i + 16 < count) __builtin_prefetch(nodes[i + 16]->values);
                const float* v = nodes[i]->values;
                made = {v[0], v[1], v[2], std::uint32_t(&nodes[i] - base)};
                return made;
            }
            VEC_LIST* const* base;
        } source{
            nodes_.data() + pendingFrom_, std::ptrdiff_t(nodes_.size() - pendingFrom_), {}, nodes_.data()};
        tests += FillWith(source, n, firstFit);
    }
    ReleasePending();
    c[8] += std::uint32_t(n);
    c[9] += std::uint32_t(tests);
    for (int k = 0; k < n; ++k) {
        FillSlot& s = slots[k];
        Face* f = faces[k];
        f->outsideHead = f->outsideTail = nullptr;
        if (s.part[0].Empty() && s.part[1].Empty()) continue;
        threshold_ = s.threshold;
        if (rule == FillRule::FurthestKeyMaximum) f->key = s.best;
        const std::uint32_t index = NewSet();
        EntryArray& front = sets_[index].part[0];
        EntryArray& back = sets_[index].part[1];
        std::swap(front, s.part[0]);  // the slot keeps the released set's storage
        std::swap(back, s.part[1]);
        Entry& first = front.Empty() ? back.data[0] : front.data[front.size - 1];
        const Entry& last = back.Empty() ? front.data[0] : back.data[back.size - 1];
        // The furthest point moves to the front, the first one takes its place.
        if (s.hasFurthest) std::swap(first, sets_[index].part[s.furthestPart].data[s.furthest]);
        VEC_LIST* head = nodes_[first.id];
        head->tag = std::int32_t(index);
        f->outsideHead = head;
        f->outsideTail = nodes_[last.id];
    }
}

std::vector<Face*>& HullRun::TakeNewFaces() {
    order_.clear();
    for (Face* g = newFaces.next; g;) {
        Face* next = g->next;
        g->next = nullptr;
        order_.push_back(g);
        g = next;
    }
    newFaces.next = newTail_ = nullptr;
    return order_;
}

Status HullRun::Finish() {
    c[1] = set.Count(0);
    c[2] = set.Count(1);
    for (Face* f = set.hull.next; f; f = f->next) {
        Vec3 n{f->normal[0], f->normal[1], f->normal[2]};
        Vec3_Normalize(n);
        f->normal[0] = n.x;
        f->normal[1] = n.y;
        f->normal[2] = n.z;
    }
    if (c[2] < 2 * (c[1] - 2)) {
        // Some listed points are no face's corner (an apex swallowed them). The marks start clean
        // and end clean, so that a second run on the result sees no stale ones.
        for (VEC_LIST* p = set.points.next; p; p = p->next) p->flag = 0;
        for (Face* f = set.hull.next; f; f = f->next)
            for (VEC_LIST* v : f->v) v->flag = 1;
        VEC_LIST* prev = &set.points;
        while (VEC_LIST* p = prev->next) {
            if (p->flag == 0) {
                prev->next = p->next;
                set.DeletePoint(p);
            } else {
                p->flag = 0;
                prev = p;
            }
        }
        c[1] = set.Count(0);
    }
    set.stats = c;
    Report_Progress(progress_, 1.0, name_);
    return Status::Ok();
}

Status HullRun::Fail(std::vector<Face*> faceLists, const std::string& why) {
    faceLists.push_back(newFaces.next);
    newFaces.next = nullptr;
    set.hull.next = nullptr;
    for (Face* f : faceLists) {
        while (f) {
            Face* next = f->next;
            if (f->outsideHead) spliced_.push_back({std::uint32_t(f->outsideHead->tag), 0});
            set.DeleteFace(f);
            f = next;
        }
    }
    GatherPending();
    for (const Span& span : spans_)
        for (std::ptrdiff_t i = 0; i < span.count; ++i) set.InsertFront(nodes_[span.first[i * span.step].id]);
    for (std::size_t i = pendingFrom_; i < nodes_.size(); ++i) set.InsertFront(nodes_[i]);
    ReleasePending();
    for (VEC_LIST* p = set.points.next; p; p = p->next) p->flag = 0, p->tag = 0;
    c[1] = set.Count(0);
    c[2] = 0;
    set.stats = c;
    return Status::Error(std::string("hull not built: ") + why);
}

void HullRun::ReportProgress() {
    if (!progress_ || (++reports_ & 0xfff) != 0) return;
    const double total = c[0] ? double(c[0]) : 1.0;
    progress_->Report(double(c[3]) / total, name_);
}

}  // namespace orvex
