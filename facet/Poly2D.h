#pragma once
// Poly_2D: a planar polygon as a circular doubly linked ring of nodes (x, y and the node's Turn),
// cut into triangles by ear clipping. A counter-clockwise ring has positive Turn at its convex
// nodes. The crossing test of a candidate diagonal asks every edge of the ring; for long rings a
// uniform grid of the edges answers the same question from the few edges near the diagonal.

#include <cstddef>
#include <deque>
#include <memory>
#include <vector>

namespace orvex {

struct VEC_DLINK {
    float Coords[3] = {0.0f, 0.0f, 0.0f};  // x, y in the polygon plane, then Turn
    VEC_DLINK* Prev = nullptr;
    VEC_DLINK* Next = nullptr;
    int Source = -1;     // which input point the node stands for
    unsigned Order = 0;  // position in the ring as built; unlinking keeps the order
    unsigned Stamp = 0;  // last grid query that looked at the node's edge
    bool Linked = false;
    bool LongEdge = false;  // its edge is on the grid's list of long edges
};

// The three nodes of a clipped ear, in ring order.
struct Ear {
    float x[3], y[3];
    int source[3];
};

class EdgeGrid;
class RingIndex;

class Poly_2D {
public:
    Poly_2D();
    ~Poly_2D();
    Poly_2D(const Poly_2D&) = delete;
    Poly_2D& operator=(const Poly_2D&) = delete;

    // Adds a node at the end of the ring (before Current, which stays the first node added).
    VEC_DLINK* Append(float x, float y, int source = -1);
    // Takes v out of the ring; Current moves to v's Next when it was v. The node's memory stays
    // with the polygon until the polygon goes.
    void Unlink(VEC_DLINK* v);
    // With the Turns set: builds the edge grid for IsDiagonal and an index of the nodes by Turn
    // and by the convex / reflex patterns ClipEar looks for, so that neither scans the ring. The
    // answers stay those of the scans. Worth it from a few dozen nodes on; Append drops both.
    void Accelerate();
    // Renews the Turns of a and b (neighbours now) and what the index holds about them.
    void Renew(VEC_DLINK* a, VEC_DLINK* b);
    void Clear();

    VEC_DLINK* Current = nullptr;

private:
    friend bool IsDiagonal(const Poly_2D& poly, const VEC_DLINK* a, const VEC_DLINK* b);
    friend bool IsConvex(const Poly_2D& poly);
    friend bool ClipEar(Poly_2D& poly, Ear& ear);
    friend std::size_t VertexCount(const Poly_2D& poly);
    friend VEC_DLINK* First_Flat_Node(Poly_2D& poly);
    std::deque<VEC_DLINK> nodes_;
    std::size_t count_ = 0;
    std::unique_ptr<EdgeGrid> grid_;
    std::unique_ptr<RingIndex> index_;
};

std::size_t VertexCount(const Poly_2D& poly);
// Turn of v from its neighbours a = Prev, b = Next: (v - a) x (b - a), taken in double.
void UpdateTurn(VEC_DLINK* v);
// Every node's Turn; nothing for fewer than three nodes.
void UpdateTurns(Poly_2D& poly);
// Every Turn at least 1e-8, starting at Current.
bool IsConvex(const Poly_2D& poly);
// True when the segment a-b crosses no edge of the ring (crossings judged with
// Coincidence_Tolerance; touching is no crossing).
bool IsDiagonal(const Poly_2D& poly, const VEC_DLINK* a, const VEC_DLINK* b);
// Cuts one ear: the most convex node when a reflex neighbour lets it go, else the first node
// after it that qualifies. False when no node qualifies (the ring is unchanged then but for
// Current).
bool ClipEar(Poly_2D& poly, Ear& ear);
// The first node from Current on with |Turn| <= 1e-8, or null.
VEC_DLINK* First_Flat_Node(Poly_2D& poly);

constexpr double Turn_Tolerance = 1e-8;
inline bool Is_Convex_Node(const VEC_DLINK* v) {
    return v->Coords[2] > Turn_Tolerance;
}
inline bool Is_Reflex_Node(const VEC_DLINK* v) {
    return v->Coords[2] < -Turn_Tolerance;
}

}  // namespace orvex
