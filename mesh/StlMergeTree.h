#pragma once
// HYPER_POINT and the plain merging tree: the definition of which STL corners become one vertex.
// A new point walks down from the root; at each node it is merged when every axis differs by at
// most the tolerance (Near_Within), otherwise it moves to the child of its octant
// o = 4[P.x < C.x] + 2[P.y < C.y] + [P.z < C.z], and becomes that child when there is none.
// Only the nodes on that path are compared, so two close points split by an earlier point stay
// apart. Indices are dense, in order of first appearance.
//
// This is the reference: StlMerge.h gives the same indices much faster and is what the reader
// uses. Nodes live in one pool; node k holds vertex index k, because nodes are made in that order.

#include <cstdint>
#include <vector>

#include "geometry/Vec3.h"

namespace orvex {

struct HYPER_POINT {
    static constexpr std::uint32_t kNone = 0xFFFFFFFFu;
    std::uint32_t child[8] = {kNone, kNone, kNone, kNone, kNone, kNone, kNone, kNone};
    Vec3 position;
    int index = 0;
};

inline int Hyper_Octant(const Vec3& p, const Vec3& c) {
    return 4 * (p.x < c.x) + 2 * (p.y < c.y) + (p.z < c.z);
}

class HyperPointTree {
public:
    explicit HyperPointTree(float tolerance) : tolerance_(tolerance) {}

    // The index of p: the first node on its path within the tolerance, else a new node.
    int Insert(const Vec3& p);
    unsigned Count() const { return static_cast<unsigned>(nodes_.size()); }
    const std::vector<HYPER_POINT>& Nodes() const { return nodes_; }

private:
    float tolerance_;
    std::vector<HYPER_POINT> nodes_;
};

}  // namespace orvex
