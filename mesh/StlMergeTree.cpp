// The plain merging tree, walked from the root for every point.

#include "mesh/StlMergeTree.h"

namespace orvex {

int HyperPointTree::Insert(const Vec3& p) {
    const auto next = static_cast<std::uint32_t>(nodes_.size());
    if (!nodes_.empty()) {
        // The walk always ends: every step goes one level deeper and the tree is finite, even for
        // NaN coordinates, which compare false everywhere.
        std::uint32_t at = 0;
        for (;;) {
            HYPER_POINT& node = nodes_[at];
            if (Near_Within(node.position, p, tolerance_)) return node.index;
            std::uint32_t& child = node.child[Hyper_Octant(p, node.position)];
            if (child == HYPER_POINT::kNone) {
                child = next;
                break;
            }
            at = child;
        }
    }
    HYPER_POINT& made = nodes_.emplace_back();
    made.position = p;
    made.index = static_cast<int>(next);
    return made.index;
}

}  // namespace orvex
