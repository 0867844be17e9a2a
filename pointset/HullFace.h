#pragma once
// CON_FACE_LIST_VEC: one face of a convex hull. Corners run counter-clockwise seen from outside,
// so (v[1] - v[0]) x (v[2] - v[0]) points out; edge i runs from v[i] to v[(i + 1) mod 3] and nbr[i]
// is the face across it. The plane is normal . x = offset with the normal not normalised until a
// run ends. Faces come from the point set's face pool and go back to it.

#include <cstdint>

#include "geometry/VecList.h"

namespace orvex {

struct CON_FACE_LIST_VEC {
    VEC_LIST* v[3] = {nullptr, nullptr, nullptr};
    VEC_LIST* outsideHead = nullptr;
    VEC_LIST* outsideTail = nullptr;
    std::int32_t edgeState[3] = {-1, -1, -1};
    std::int32_t startEdge = 0;
    bool visited = false;
    float normal[3] = {0.0f, 0.0f, 0.0f};
    float offset = 0.0f;
    float key = -1.0f;
    CON_FACE_LIST_VEC* next = nullptr;
    CON_FACE_LIST_VEC* nbr[3] = {nullptr, nullptr, nullptr};
};

}  // namespace orvex
