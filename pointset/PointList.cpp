// POINT_LIST: construction, the node pools, clearing, counting, bounds and rotation.

#include "pointset/PointList.h"

#include <algorithm>
#include <iterator>

#include "pointset/PointPool.h"

namespace orvex {

POINT_LIST::POINT_LIST()
    : pointPool_(std::make_shared<PointPool>()), facePool_(std::make_unique<FacePool>()) {}

POINT_LIST::~POINT_LIST() {
    if (partner_) partner_->partner_ = nullptr;
}

VEC_LIST* POINT_LIST::NewPoint(unsigned floats) {
    return pointPool_->New(floats);
}

void POINT_LIST::DeletePoint(VEC_LIST* node) {
    pointPool_->Delete(node);
}

std::size_t POINT_LIST::LivePoints() const {
    return pointPool_->Live();
}

CON_FACE_LIST_VEC* POINT_LIST::NewFace() {
    return facePool_->New();
}

void POINT_LIST::DeleteFace(CON_FACE_LIST_VEC* face) {
    facePool_->Delete(face);
}

void POINT_LIST::Clear() {
    // A partner's hull may have been built over nodes that are on this list now.
    if (partner_ && partner_->hull.next && (!partner_->points.next || partner_->hullUsesAnyOf(points.next)))
        partner_->ClearHull();
    if (partner_ && partner_->points.next) {
        // The shared pool holds the partner's points too: only ours go back.
        while (VEC_LIST* p = points.next) {
            points.next = p->next;
            pointPool_->Delete(p);
        }
    } else {
        // Outside a hull run every live node is on the list, so the pool can go wholesale: ten
        // million points are released without walking them.
        points.next = nullptr;
        pointPool_->Reset();
    }
    hull.next = nullptr;
    facePool_->Reset();
    boundsMin = Vec3{};
    boundsMax = Vec3{};
    // The old hull's mass and box would otherwise be drawn around the next cloud.
    centroid = Vec3{};
    volume = 0.0f;
    for (Vec3& axis : boxAxes) axis = Vec3{};
    std::fill(std::begin(boxExtent), std::end(boxExtent), 0.0f);
    coloured = false;
}

void POINT_LIST::ClearHull() {
    std::size_t faces = 0;
    for (const CON_FACE_LIST_VEC* f = hull.next; f; f = f->next) ++faces;
    if (faces == facePool_->Live()) {
        facePool_->Reset();
    } else {
        // Some faces live outside the list (a run in progress holds them): return only ours.
        while (CON_FACE_LIST_VEC* f = hull.next) {
            hull.next = f->next;
            facePool_->Delete(f);
        }
    }
    hull.next = nullptr;
}

unsigned POINT_LIST::Count(int kind) const {
    unsigned n = 0;
    if (kind == 0) {
        for (const VEC_LIST* p = points.next; p; p = p->next) ++n;
    } else if (kind == 1) {
        for (const CON_FACE_LIST_VEC* f = hull.next; f; f = f->next) ++n;
    }
    return n;
}

void POINT_LIST::UpdateBounds() {
    const VEC_LIST* p = points.next;
    if (!p) return;
    boundsMin = boundsMax = Vec3{p->values[0], p->values[1], p->values[2]};
    for (p = p->next; p; p = p->next) {
        for (int i = 0; i < 3; ++i) {
            const float v = p->values[i];
            if (v > boundsMax[i]) boundsMax[i] = v;
            if (v < boundsMin[i]) boundsMin[i] = v;
        }
    }
}

namespace {
// x := R x for the upper-left 3 x 3 block of `m` (row i is m[4i .. 4i + 2]).
void Rotate3(const Matrix4& m, float* x) {
    const double a = x[0], b = x[1], c = x[2];
    for (int i = 0; i < 3; ++i) x[i] = float(m[4 * i] * a + m[4 * i + 1] * b + m[4 * i + 2] * c);
}
}  // namespace

void POINT_LIST::Rotate(const Matrix4& rotation) {
    for (VEC_LIST* p = points.next; p; p = p->next) Rotate3(rotation, p->values);
    // The offsets stay: a rotation about the origin keeps every plane's distance from it.
    for (CON_FACE_LIST_VEC* f = hull.next; f; f = f->next) Rotate3(rotation, f->normal);
}

}  // namespace orvex
