#include "facet/Poly2D.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <utility>

#include "mesh/StlReader.h"

namespace orvex {

namespace {

double Cross2(double px, double py, double qx, double qy) {
    const double c = px * qy - py * qx;
    return std::fabs(c) < 1e-8 ? 0.0 : c;
}

float Crossing_Tolerance() {
    return Usable_Tolerance(Coincidence_Tolerance) ? Coincidence_Tolerance : 0.0f;
}

// True when a-b crosses the edge u-s by the rule of IsDiagonal.
bool Crosses(const VEC_DLINK* a, const VEC_DLINK* b, const VEC_DLINK* u, const VEC_DLINK* s, double tol) {
    const double ux = u->Coords[0], uy = u->Coords[1];
    const double ex = double(s->Coords[0]) - ux, ey = double(s->Coords[1]) - uy;
    const double ha = Cross2(a->Coords[0] - ux, a->Coords[1] - uy, ex, ey);
    const double hb = Cross2(b->Coords[0] - ux, b->Coords[1] - uy, ex, ey);
    if (!(ha * hb < -tol)) return false;
    const double ax = a->Coords[0], ay = a->Coords[1];
    const double dx = double(b->Coords[0]) - ax, dy = double(b->Coords[1]) - ay;
    const double gu = Cross2(ux - ax, uy - ay, dx, dy);
    const double gs = Cross2(s->Coords[0] - ax, s->Coords[1] - ay, dx, dy);
    return gu * gs < -tol;
}

}  // namespace

// Every live edge (u, u.Next) is listed under u in each cell its bounding box touches; edges made
// by clipping are added, dead ones stay listed and are skipped when met.
class EdgeGrid {
public:
    explicit EdgeGrid(const Poly_2D& poly, std::size_t count) {
        const VEC_DLINK* v = poly.Current;
        minX_ = maxX_ = v->Coords[0];
        minY_ = maxY_ = v->Coords[1];
        do {
            minX_ = std::min(minX_, double(v->Coords[0]));
            maxX_ = std::max(maxX_, double(v->Coords[0]));
            minY_ = std::min(minY_, double(v->Coords[1]));
            maxY_ = std::max(maxY_, double(v->Coords[1]));
            v = v->Next;
        } while (v != poly.Current);
        const double w = maxX_ - minX_, h = maxY_ - minY_, n = double(count);
        double side = (w > 0.0 && h > 0.0) ? std::sqrt(w * h / n) : std::max(w, h) / n;
        if (!(side > 0.0) || !std::isfinite(side)) side = 1.0;
        nx_ = int(std::clamp(std::ceil(w / side), 1.0, 4.0 * n));
        ny_ = int(std::clamp(std::ceil(h / side), 1.0, 4.0 * n));
        scaleX_ = w > 0.0 ? nx_ / w : 0.0;
        scaleY_ = h > 0.0 ? ny_ / h : 0.0;
        margin_ = 1e-6 * std::max(w, h);
        cells_.resize(std::size_t(nx_) * std::size_t(ny_));
        v = poly.Current;
        do {
            Add(const_cast<VEC_DLINK*>(v));
            v = v->Next;
        } while (v != poly.Current);
    }

    void Add(VEC_DLINK* u) {
        int x0, x1, y0, y1;
        Edge_Range(u, x0, x1, y0, y1);
        // Clipping along a long side makes long edges one after another, each gone at the next
        // ear: they wait on one short list instead of in hundreds of cells each.
        if (Is_Long(x0, x1, y0, y1)) {
            if (!u->LongEdge) longEdges_.push_back(u);
            u->LongEdge = true;
            return;
        }
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) cells_[std::size_t(y) * nx_ + x].push_back(u);
    }

    bool Crossed(const VEC_DLINK* a, const VEC_DLINK* b, double tol) {
        ++stamp_;
        for (std::size_t i = 0; i < longEdges_.size();) {
            VEC_DLINK* u = longEdges_[i];
            int x0, x1, y0, y1;
            if (u->Linked) Edge_Range(u, x0, x1, y0, y1);
            if (!u->Linked || !Is_Long(x0, x1, y0, y1)) {  // gone, or now short and in its cells
                u->LongEdge = false;
                longEdges_[i] = longEdges_.back();
                longEdges_.pop_back();
                continue;
            }
            ++i;
            if (u->Stamp == stamp_) continue;
            u->Stamp = stamp_;
            if (Crosses(a, b, u, u->Next, tol)) return true;
        }
        int x0, x1, y0, y1;
        Range(std::min(a->Coords[0], b->Coords[0]), std::max(a->Coords[0], b->Coords[0]),
              std::min(a->Coords[1], b->Coords[1]), std::max(a->Coords[1], b->Coords[1]), margin_, x0, x1, y0,
              y1);
        for (int y = y0; y <= y1; ++y) {
            for (int x = x0; x <= x1; ++x) {
                for (VEC_DLINK* u : cells_[std::size_t(y) * nx_ + x]) {
                    if (!u->Linked || u->Stamp == stamp_) continue;
                    u->Stamp = stamp_;
                    if (Crosses(a, b, u, u->Next, tol)) return true;
                }
            }
        }
        return false;
    }

private:
    static bool Is_Long(int x0, int x1, int y0, int y1) { return (x1 - x0 + 1) * (y1 - y0 + 1) > 64; }
    void Edge_Range(const VEC_DLINK* u, int& x0, int& x1, int& y0, int& y1) const {
        const VEC_DLINK* s = u->Next;
        Range(std::min(u->Coords[0], s->Coords[0]), std::max(u->Coords[0], s->Coords[0]),
              std::min(u->Coords[1], s->Coords[1]), std::max(u->Coords[1], s->Coords[1]), 0.0, x0, x1, y0,
              y1);
    }
    int Cell(double value, double low, double scale, int count) const {
        const double c = std::floor((value - low) * scale);
        if (!(c > 0.0)) return 0;
        return c >= count ? count - 1 : int(c);
    }
    void Range(double lx, double hx, double ly, double hy, double margin, int& x0, int& x1, int& y0,
               int& y1) const {
        x0 = Cell(lx - margin, minX_, scaleX_, nx_);
        x1 = Cell(hx + margin, minX_, scaleX_, nx_);
        y0 = Cell(ly - margin, minY_, scaleY_, ny_);
        y1 = Cell(hy + margin, minY_, scaleY_, ny_);
    }

    double minX_, maxX_, minY_, maxY_, scaleX_ = 0.0, scaleY_ = 0.0, margin_ = 0.0;
    int nx_ = 1, ny_ = 1;
    unsigned stamp_ = 0;
    std::vector<std::vector<VEC_DLINK*>> cells_;
    std::vector<VEC_DLINK*> longEdges_;
};

// What ClipEar and the triangulation look for, kept per node as Turns and neighbours change: the
// Turn ordered with the ring order breaking ties, the convex nodes with a reflex Prev or Next,
// the flat nodes, and how many nodes are not convex.
class RingIndex {
public:
    explicit RingIndex(const Poly_2D& poly, std::size_t size) : byOrder(size, nullptr), state(size) {
        VEC_DLINK* v = poly.Current;
        do {
            byOrder[v->Order] = v;
            v = v->Next;
        } while (v != poly.Current);
        do {
            Put(v);
            v = v->Next;
        } while (v != poly.Current);
    }

    void Drop(const VEC_DLINK* v) {
        State& s = state[v->Order];
        if (!s.listed) return;
        turns.erase({s.turn, v->Order});
        if (s.prevReflex) prevReflex.erase(v->Order);
        if (s.nextReflex) nextReflex.erase(v->Order);
        if (s.flat) flat.erase(v->Order);
        if (s.notConvex) --notConvex;
        s = State{};
    }
    void Put(const VEC_DLINK* v) {
        State& s = state[v->Order];
        s.listed = true;
        s.turn = v->Coords[2];
        turns.insert({s.turn, v->Order});
        const bool convex = Is_Convex_Node(v);
        s.prevReflex = convex && Is_Reflex_Node(v->Prev);
        s.nextReflex = convex && Is_Reflex_Node(v->Next);
        s.flat = std::fabs(v->Coords[2]) <= Turn_Tolerance;
        s.notConvex = !(v->Coords[2] >= Turn_Tolerance);
        if (s.prevReflex) prevReflex.insert(v->Order);
        if (s.nextReflex) nextReflex.insert(v->Order);
        if (s.flat) flat.insert(v->Order);
        if (s.notConvex) ++notConvex;
    }
    void Refresh(const VEC_DLINK* v) {
        Drop(v);
        if (v->Linked) Put(v);
    }

    // The first node at or after `from` in ring order with the largest Turn.
    VEC_DLINK* Most_Convex(unsigned from) const {
        const float top = turns.rbegin()->first;
        auto it = turns.lower_bound({top, from});
        if (it == turns.end() || it->first != top) it = turns.lower_bound({top, 0u});
        return byOrder[it->second];
    }
    // The members of `set` after `after` in ring order, wrapping, up to but not including it.
    template <class F>
    VEC_DLINK* First_After(const std::set<unsigned>& set, unsigned after, F accept) const {
        for (auto it = set.upper_bound(after); it != set.end(); ++it)
            if (accept(byOrder[*it])) return byOrder[*it];
        for (auto it = set.begin(); it != set.end() && *it < after; ++it)
            if (accept(byOrder[*it])) return byOrder[*it];
        return nullptr;
    }

    struct State {
        float turn = 0.0f;
        bool listed = false, prevReflex = false, nextReflex = false, flat = false, notConvex = false;
    };
    std::set<std::pair<float, unsigned>> turns;
    std::set<unsigned> prevReflex, nextReflex, flat;
    std::vector<VEC_DLINK*> byOrder;
    std::vector<State> state;
    std::size_t notConvex = 0;
};

Poly_2D::Poly_2D() = default;
Poly_2D::~Poly_2D() = default;

VEC_DLINK* Poly_2D::Append(float x, float y, int source) {
    VEC_DLINK& v = nodes_.emplace_back();
    v.Coords[0] = x;
    v.Coords[1] = y;
    v.Source = source;
    v.Order = unsigned(nodes_.size() - 1);
    v.Linked = true;
    if (!Current) {
        v.Prev = v.Next = &v;
        Current = &v;
    } else {
        VEC_DLINK* last = Current->Prev;
        v.Prev = last;
        v.Next = Current;
        last->Next = &v;
        Current->Prev = &v;
    }
    ++count_;
    grid_.reset();  // grid and index are built for a finished ring only
    index_.reset();
    return &v;
}

void Poly_2D::Unlink(VEC_DLINK* v) {
    if (!v || !v->Linked) return;
    v->Linked = false;
    --count_;
    if (count_ == 0) {
        Current = nullptr;
        return;
    }
    VEC_DLINK* a = v->Prev;
    VEC_DLINK* b = v->Next;
    a->Next = b;
    b->Prev = a;
    if (Current == v) Current = b;
    if (grid_ && count_ >= 2) grid_->Add(a);
    if (index_) {
        index_->Drop(v);
        index_->Refresh(a);
        index_->Refresh(b);
    }
}

void Poly_2D::Accelerate() {
    if (count_ < 3) return;
    VEC_DLINK* v = Current;
    do {
        // A NaN Turn has no place in an ordering; such a ring keeps the plain scans.
        if (std::isnan(v->Coords[2])) return;
        v = v->Next;
    } while (v != Current);
    grid_ = std::make_unique<EdgeGrid>(*this, count_);
    index_ = std::make_unique<RingIndex>(*this, nodes_.size());
}

void Poly_2D::Renew(VEC_DLINK* a, VEC_DLINK* b) {
    UpdateTurn(a);
    UpdateTurn(b);
    if (!index_) return;
    index_->Refresh(a->Prev);
    index_->Refresh(a);
    index_->Refresh(b);
    index_->Refresh(b->Next);
}

void Poly_2D::Clear() {
    index_.reset();
    grid_.reset();
    nodes_.clear();
    count_ = 0;
    Current = nullptr;
}

std::size_t VertexCount(const Poly_2D& poly) {
    return poly.count_;
}

void UpdateTurn(VEC_DLINK* v) {
    const VEC_DLINK* a = v->Prev;
    const VEC_DLINK* b = v->Next;
    const double ax = a->Coords[0], ay = a->Coords[1];
    v->Coords[2] =
        float((v->Coords[0] - ax) * (b->Coords[1] - ay) - (v->Coords[1] - ay) * (b->Coords[0] - ax));
}

void UpdateTurns(Poly_2D& poly) {
    if (VertexCount(poly) < 3) return;
    VEC_DLINK* v = poly.Current;
    do {
        UpdateTurn(v);
        v = v->Next;
    } while (v != poly.Current);
}

bool IsConvex(const Poly_2D& poly) {
    const VEC_DLINK* v = poly.Current;
    if (!v) return false;
    if (poly.index_) return poly.index_->notConvex == 0;
    do {
        if (!(v->Coords[2] >= Turn_Tolerance)) return false;
        v = v->Next;
    } while (v != poly.Current);
    return true;
}

bool IsDiagonal(const Poly_2D& poly, const VEC_DLINK* a, const VEC_DLINK* b) {
    const double tol = Crossing_Tolerance();
    if (poly.grid_) return !poly.grid_->Crossed(a, b, tol);
    const VEC_DLINK* u = poly.Current;
    if (!u) return true;
    do {
        if (Crosses(a, b, u, u->Next, tol)) return false;
        u = u->Next;
    } while (u != poly.Current);
    return true;
}

namespace {

// Records the ear (p, v, n), takes v out and renews the Turns of its neighbours.
void Cut_Ear(Poly_2D& poly, VEC_DLINK* v, Ear& ear) {
    const VEC_DLINK* corners[3] = {v->Prev, v, v->Next};
    for (int k = 0; k < 3; ++k) {
        ear.x[k] = corners[k]->Coords[0];
        ear.y[k] = corners[k]->Coords[1];
        ear.source[k] = corners[k]->Source;
    }
    VEC_DLINK* a = v->Prev;
    VEC_DLINK* b = v->Next;
    poly.Unlink(v);
    poly.Renew(a, b);
}

}  // namespace

bool ClipEar(Poly_2D& poly, Ear& ear) {
    if (VertexCount(poly) < 3) return false;
    VEC_DLINK* v = poly.Current;
    if (poly.index_) {
        v = poly.index_->Most_Convex(v->Order);
    } else {
        for (VEC_DLINK* u = v->Next; u != poly.Current; u = u->Next)
            if (u->Coords[2] > v->Coords[2]) v = u;
    }
    poly.Current = v;
    if (Is_Convex_Node(v)) {
        VEC_DLINK* after = v->Next;
        if ((Is_Reflex_Node(v->Prev) && IsDiagonal(poly, v->Prev, v->Next)) ||
            (Is_Reflex_Node(v->Next) && IsDiagonal(poly, v->Next, v->Prev))) {
            Cut_Ear(poly, v, ear);
            poly.Current = after;
            return true;
        }
    }
    if (poly.index_) {
        const RingIndex& index = *poly.index_;
        if (VEC_DLINK* u = index.First_After(index.prevReflex, v->Order, [&](VEC_DLINK* u) {
                return IsDiagonal(poly, u->Prev, u->Next);
            })) {
            Cut_Ear(poly, u, ear);
            return true;
        }
        if (VEC_DLINK* u = index.First_After(index.nextReflex, v->Order, [&](VEC_DLINK* u) {
                return IsDiagonal(poly, u->Next, u->Prev);
            })) {
            VEC_DLINK* after = u->Next;
            Cut_Ear(poly, u, ear);
            poly.Current = after;
            return true;
        }
        return false;
    }
    for (VEC_DLINK* u = v->Next; u != v; u = u->Next) {
        if (Is_Convex_Node(u) && Is_Reflex_Node(u->Prev) && IsDiagonal(poly, u->Prev, u->Next)) {
            Cut_Ear(poly, u, ear);
            return true;
        }
    }
    for (VEC_DLINK* u = v->Next; u != v; u = u->Next) {
        if (Is_Convex_Node(u) && Is_Reflex_Node(u->Next) && IsDiagonal(poly, u->Next, u->Prev)) {
            VEC_DLINK* after = u->Next;
            Cut_Ear(poly, u, ear);
            poly.Current = after;
            return true;
        }
    }
    return false;
}

VEC_DLINK* First_Flat_Node(Poly_2D& poly) {
    VEC_DLINK* start = poly.Current;
    if (!start) return nullptr;
    if (poly.index_) {
        const auto& flat = poly.index_->flat;
        auto it = flat.lower_bound(start->Order);
        if (it == flat.end()) it = flat.begin();
        return it == flat.end() ? nullptr : poly.index_->byOrder[*it];
    }
    VEC_DLINK* v = start;
    do {
        if (std::fabs(v->Coords[2]) <= Turn_Tolerance) return v;
        v = v->Next;
    } while (v != start);
    return nullptr;
}

}  // namespace orvex
