// The start of every hull run: the input checks and the first tetrahedron. The quick hulls take
// the four extreme points by their scores, the incremental hull the first four points. Those four
// are kept whenever they span a solid; when they do not (coplanar or coincident extremes, four
// coplanar first points), the corners from the first flat one on are replaced by the points
// farthest from the corners before them, and a set that is a point, a line or a plane is refused.

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <utility>

#include "geometry/Vec3d.h"
#include "pointset/ExactOrient.h"
#include "pointset/HullHelpers.h"

namespace orvex {

namespace {

using D3 = Vec3d;

D3 Of(const VEC_LIST* p) {
    return {p->values[0], p->values[1], p->values[2]};
}

// How far q lies from the first `kind` corners: from the point A (1), the line AB (2), the plane
// ABC (3).
struct CornerMeasure {
    int kind;
    D3 a{}, axis{};
    double axisLength = 1.0;

    CornerMeasure(int k, VEC_LIST* const* corner) : kind(k) {
        a = Of(corner[0]);
        if (kind >= 2) axis = Minus(Of(corner[1]), a);
        if (kind == 3) axis = Cross(axis, Minus(Of(corner[2]), a));
        if (kind >= 2) axisLength = Length(axis);
    }
    double operator()(const VEC_LIST* q) const {
        const D3 d = Minus(Of(q), a);
        if (kind == 1) return Length(d);
        if (kind == 2) return Length(Cross(d, axis)) / axisLength;
        return std::fabs(Dot(d, axis)) / axisLength;
    }
};

// The extreme scores x + y + z, -x - y + z, -x + y - z, x - y - z, summed left to right in double
// and stored as float. The four share their first sums: negating is exact, so -x - y is -(x + y)
// and -x + y is -(x - y) to the bit.
inline void Scores(const float* v, float score[4]) {
    const double sum = double(v[0]) + v[1], difference = double(v[0]) - v[1];
    score[0] = float(sum + v[2]);
    score[1] = float(v[2] - sum);
    score[2] = float(-difference - v[2]);
    score[3] = float(difference - v[2]);
}

std::string Number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

}  // namespace

Status HullRun::Refuse(const std::string& why) {
    set.stats = c;
    return Status::Error("hull not built: " + why);
}

Status HullRun::Begin(bool scores) {
    set.ClearHull();
    c.fill(0);
    // One walk over the list checks the points, gathers them in list order for the first fill and,
    // for the quick hulls, keeps each score's eight best positions (by score, then list order).
    // It reads every point of the set, so it is kept to a few vector operations a point.
    nodes_.clear();
    nodes_.reserve(set.LivePoints());  // exactly once, not doubling through ten million
    pendingFrom_ = 0;
    for (Leaders& l : leaders_) l.size = 0;
    // Lanes 0..2 of the vectors are x, y, z, lane 3 stays 0. A NaN never becomes a bound (each
    // comparison with it fails and keeps the bound) and is caught by the magnitude test instead.
    using Float4 = float __attribute__((vector_size(16)));
    using Int4 = std::int32_t __attribute__((vector_size(16)));
    auto load = [](const float* v) { return Float4{v[0], v[1], v[2], 0.0f}; };
    Float4 low{}, high{}, largest{};
    Int4 notFinite{};
    if (const VEC_LIST* first = set.points.next) low = high = load(first->values);
    // Once a score's list holds eight, only a score above its last one gets in.
    float floor[4] = {0, 0, 0, 0};
    for (VEC_LIST* p = set.points.next; p; p = p->next) {
        const float* v = p->values;
        const Float4 q = load(v);
        low = q < low ? q : low;
        high = q > high ? q : high;
        const Float4 magnitude = Float4(Int4(q) & 0x7fffffff);
        notFinite |= ~(magnitude <= FLT_MAX);
        largest = magnitude > largest ? magnitude : largest;
        if (scores) {
            float score[4];
            Scores(v, score);
            const std::uint32_t at = std::uint32_t(nodes_.size());
            if (at < Leaders::kLeaders || ((score[0] > floor[0]) | (score[1] > floor[1]) |
                                           (score[2] > floor[2]) | (score[3] > floor[3]))) {
                for (int s = 0; s < 4; ++s) {
                    if (at < Leaders::kLeaders || score[s] > floor[s]) leaders_[s].Offer(score[s], at);
                    if (leaders_[s].size == Leaders::kLeaders)
                        floor[s] = leaders_[s].score[Leaders::kLeaders - 1];
                }
            }
        }
        nodes_.push_back(p);
    }
    const std::size_t count = nodes_.size();
    c[0] = std::uint32_t(count);
    Report_Progress(progress_, 0.0, name_);
    if (count < 4) return Refuse("a hull needs at least four points, the set holds " + std::to_string(count));
    if (count > UINT32_MAX) return Refuse("a hull takes at most 4294967295 points");
    if (notFinite[0] | notFinite[1] | notFinite[2])
        return Refuse("the set holds a coordinate that is not a finite number");
    const float widest = std::fmax(largest[0], std::fmax(largest[1], largest[2]));
    // The plane coefficients are floats of the size of the cube of the coordinates.
    if (widest > 1e12)
        return Refuse("coordinates reach " + Number(widest) +
                      ", beyond the 1e12 a hull in single precision can take");
    double diagonal = 0.0;
    for (int k = 0; k < 3; ++k) diagonal += (double(high[k]) - low[k]) * (double(high[k]) - low[k]);
    diagonal = std::sqrt(diagonal);
    if (diagonal == 0.0) return Refuse("all points coincide");
    if (widest < 1e-10)
        return Refuse("all points lie within 1e-10 of the origin, too small for single precision");
    // Flatness is judged against both the extent and the rounding of coordinates of this size, so
    // that a rotated planar grid counts as flat although rounding gives it some thickness.
    flatTol_ = 1e-6 * diagonal + 8.0 * FLT_EPSILON * widest;
    largest_ = widest;
    return Status::Ok();
}

void HullRun::Leaders::Offer(float value, std::uint32_t at) {
    // Later positions rank after earlier ones of the same score.
    if (size == kLeaders && !(value > score[kLeaders - 1])) return;
    int j = size < kLeaders ? size++ : kLeaders - 1;
    for (; j > 0 && score[j - 1] < value; --j) {
        score[j] = score[j - 1];
        position[j] = position[j - 1];
    }
    score[j] = value;
    position[j] = at;
}

Status HullRun::ChooseExtremeCorners() {
    // Step s takes the first point of the list with the largest score s, exchanges its coordinates
    // with those of the list's first node and unlinks that node; nodes 0 .. s - 1 are gone by then.
    // The best unchanged position is among the score's eight leaders, since at most six positions
    // have been unlinked or given other coordinates; those are scored with what they hold now.
    std::uint32_t changed[4];
    for (std::uint32_t s = 0; s < 4; ++s) {
        std::uint32_t best = 0;
        float bestScore = 0.0f;
        bool found = false;
        auto consider = [&](std::uint32_t at) {
            if (at < s) return;
            float scores[4];
            Scores(nodes_[at]->values, scores);
            const float score = scores[s];
            if (!found || score > bestScore || (score == bestScore && at < best)) {
                found = true;
                best = at;
                bestScore = score;
            }
        };
        for (int i = 0; i < leaders_[s].size; ++i) consider(leaders_[s].position[i]);
        for (std::uint32_t t = 0; t < s; ++t) consider(changed[t]);
        consider(s);
        std::swap(nodes_[s]->values, nodes_[best]->values);
        changed[s] = best;
        corners_.node[s] = nodes_[s];
        if (s == 3) threshold_ = bestScore;
    }
    return TakeCorners();
}

Status HullRun::ChooseFirstCorners() {
    for (int s = 0; s < 4; ++s) corners_.node[s] = nodes_[s];
    return TakeCorners();
}

Status HullRun::TakeCorners() {
    set.points.next = nodes_.size() > 4 ? nodes_[4] : nullptr;
    for (VEC_LIST* corner : corners_.node) corner->next = nullptr;
    pendingFrom_ = 4;
    return CheckCorners();
}

void HullRun::RestoreCorners(int from, int to) {
    for (int i = to - 1; i >= from; --i) set.InsertFront(corners_.node[i]);
}

VEC_LIST* HullRun::TakeFarthest(int kind) {
    const CornerMeasure measure(kind, corners_.node);
    VEC_LIST* best = nullptr;
    double bestDistance = flatTol_;
    for (VEC_LIST* p = set.points.next; p; p = p->next) {
        const double d = measure(p);
        if (d > bestDistance) {
            best = p;
            bestDistance = d;
        }
    }
    if (!best) return nullptr;
    VEC_LIST* first = set.points.next;
    std::swap(first->values, best->values);
    set.points.next = first->next;
    first->next = nullptr;
    return first;
}

Status HullRun::CheckCorners() {
    int flat = 4;
    for (int k = 1; k < 4 && flat == 4; ++k) {
        if (CornerMeasure(k, corners_.node)(corners_.node[k]) <= flatTol_) flat = k;
    }
    if (flat == 4) return Status::Ok();
    nodes_.clear();  // the list changes: it is gathered again for the first fill
    pendingFrom_ = 0;
    RestoreCorners(flat, 4);
    for (int k = flat; k < 4; ++k) {
        corners_.node[k] = TakeFarthest(k);
        if (!corners_.node[k]) {
            RestoreCorners(0, k);
            static const char* const kWhy[4] = {"", "all points coincide", "all points lie on one line",
                                                "all points lie in one plane"};
            return Refuse(kWhy[k]);
        }
    }
    return Status::Ok();
}

void HullRun::BuildTetrahedron() {
    VEC_LIST *A = corners_.node[0], *B = corners_.node[1], *C = corners_.node[2], *D = corners_.node[3];
    if (Orient3d_Exact_Sign(A->values, B->values, C->values, D->values) < 0) std::swap(C, D);
    VEC_LIST* const rows[4][3] = {{A, C, B}, {A, B, D}, {A, D, C}, {B, C, D}};
    static constexpr int kNeighbours[4][3] = {{2, 3, 1}, {0, 3, 2}, {1, 3, 0}, {0, 2, 1}};
    Face* faces[4];
    for (Face*& f : faces) f = set.NewFace();
    for (int r = 3; r >= 0; --r) {
        Face* f = faces[r];
        for (int k = 0; k < 3; ++k) {
            f->v[k] = rows[r][k];
            f->nbr[k] = faces[kNeighbours[r][k]];
        }
        SetPlane(f);
        f->next = set.hull.next;
        set.hull.next = f;
    }
    if (nodes_.empty())
        for (VEC_LIST* p = set.points.next; p; p = p->next) nodes_.push_back(p);
    inside_.assign((nodes_.size() + 63) / 64, 0);
    set.points.next = A;
    A->next = B;
    B->next = C;
    C->next = D;
    D->next = nullptr;
}

}  // namespace orvex
