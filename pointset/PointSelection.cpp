// Rectangle selection and the selection edits, and the pairing of a set with its selection.

#include "pointset/PointSelection.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "pointset/PointPool.h"

namespace orvex {

// ---- POINT_LIST: pairing and colours ----------------------------------------------------------

void POINT_LIST::SharePointsWith(POINT_LIST& partner) {
    if (&partner == this || partner_ == &partner) return;
    if (points.next || partner.points.next || partner_ || partner.partner_) return;  // only fresh sets
    partner.pointPool_ = pointPool_;
    partner_ = &partner;
    partner.partner_ = this;
}

unsigned POINT_LIST::PointFloats(const VEC_LIST* node) const {
    return pointPool_->Floats(node);
}

void POINT_LIST::ColourPlainPoint(VEC_LIST* node) {
    if (pointPool_->Floats(node) != 3) return;
    // Trade arrays with a fresh 6-float node: the pool's invariant (one pooled array a node) holds
    // and the node keeps its identity.
    VEC_LIST* wide = pointPool_->New(6);
    std::copy(node->values, node->values + 3, wide->values);
    std::copy(colour, colour + 3, wide->values + 3);
    std::swap(node->values, wide->values);
    pointPool_->Delete(wide);
}

void POINT_LIST::ColourPlainPoints() {
    for (VEC_LIST* p = points.next; p; p = p->next) ColourPlainPoint(p);
}

bool POINT_LIST::hullUsesAnyOf(const VEC_LIST* first) const {
    std::vector<const VEC_LIST*> corners;
    for (const CON_FACE_LIST_VEC* f = hull.next; f; f = f->next)
        corners.insert(corners.end(), f->v, f->v + 3);
    if (corners.empty()) return false;
    std::sort(corners.begin(), corners.end());
    const auto lo = std::less<const VEC_LIST*>();
    for (const VEC_LIST* p = first; p; p = p->next) {
        if (lo(p, corners.front()) || lo(corners.back(), p)) continue;
        if (std::binary_search(corners.begin(), corners.end(), p, lo)) return true;
    }
    return false;
}

// ---- Selection --------------------------------------------------------------------------------

namespace {

struct Mapping {
    float m0, m1, m4, m5, m8, m9, m12, m13;
    float s, cx, cy, cz, w, h;

    explicit Mapping(const SelectionView& v)
        : m0(v.Model[0]),
          m1(v.Model[1]),
          m4(v.Model[4]),
          m5(v.Model[5]),
          m8(v.Model[8]),
          m9(v.Model[9]),
          m12(v.Model[12]),
          m13(v.Model[13]),
          s(v.Zoom),
          cx(v.Pivot.x),
          cy(v.Pivot.y),
          cz(v.Pivot.z),
          w(float(v.Width)),
          h(float(v.Height)) {}

    // The parallel projection of the frame, written out: eye x and y, then the normalised device
    // coordinates, then pixels with y running down.
    void Map(const float* p, float& sx, float& sy) const {
        const float ux = s * (p[0] - cx), uy = s * (p[1] - cy), uz = s * (p[2] - cz);
        const float qx = m0 * ux + m4 * uy + m8 * uz + m12;
        const float qy = m1 * ux + m5 * uy + m9 * uz + m13;
        const float xn = 2.0f * qx / w, yn = 2.0f * qy / h;
        sx = (xn + 1.0f) * w / 2.0f;
        sy = h / 2.0f - yn * h / 2.0f;
    }
};

void Invert_Rgb(float* rgb) {
    for (int i = 0; i < 3; ++i) rgb[i] = 1.0f - rgb[i];
}

}  // namespace

SelectionRect Selection_Rect(int pressX, int pressY, int releaseX, int releaseY) {
    return {std::min(pressX, releaseX), std::max(pressX, releaseX), std::min(pressY, releaseY),
            std::max(pressY, releaseY)};
}

void Selection_Screen_Point(const SelectionView& view, const float* p, float& sx, float& sy) {
    Mapping(view).Map(p, sx, sy);
}

std::size_t Select_Points(POINT_LIST& set, POINT_LIST& selection, const SelectionView& view,
                          const SelectionRect& rect) {
    if (!set.PairedWith(selection) || view.Width <= 0 || view.Height <= 0) return 0;
    const Mapping mapping(view);
    // Integers of a window's size are exact floats; an undefined position compares false.
    const float xLo = float(rect.X_Lo), xHi = float(rect.X_Hi), yLo = float(rect.Y_Lo),
                yHi = float(rect.Y_Hi);
    VEC_LIST* const oldFront = selection.points.next;
    std::size_t moved = 0;
    VEC_LIST* prev = &set.points;
    for (VEC_LIST* p = prev->next; p;) {
        VEC_LIST* const next = p->next;
        float sx, sy;
        mapping.Map(p->values, sx, sy);
        const float tx = std::trunc(sx), ty = std::trunc(sy);
        if (xLo < tx && tx < xHi && yLo < ty && ty < yHi) {
            prev->next = next;
            selection.InsertFront(p);
            ++moved;
        } else {
            prev = p;
        }
        p = next;
    }
    if (moved == 0) return 0;
    selection.coloured = set.coloured;
    if (set.coloured) {
        for (VEC_LIST* p = selection.points.next; p != oldFront; p = p->next) {
            if (selection.PointFloats(p) == 6)
                Invert_Rgb(p->values + 3);
            else
                selection.ColourPlainPoint(p);
        }
        // Points selected earlier from a plain set are drawn with six floats from now on.
        for (VEC_LIST* p = oldFront; p; p = p->next) selection.ColourPlainPoint(p);
    } else {
        for (int i = 0; i < 3; ++i) selection.colour[i] = 1.0f - set.colour[i];
    }
    return moved;
}

void Give_Back_Selection(POINT_LIST& set, POINT_LIST& selection) {
    if (!set.PairedWith(selection) || !selection.points.next) return;
    VEC_LIST* tail = &set.points;
    while (tail->next) tail = tail->next;
    VEC_LIST* const first = selection.points.next;
    tail->next = first;
    selection.points.next = nullptr;
    if (!set.coloured) return;
    for (VEC_LIST* p = first; p; p = p->next) {
        // A point selected from a plain set has no colour to restore: it takes the set's.
        if (set.PointFloats(p) == 6)
            Invert_Rgb(p->values + 3);
        else
            set.ColourPlainPoint(p);
    }
}

void Delete_Selection(POINT_LIST& set, POINT_LIST& selection) {
    if (!set.PairedWith(selection)) return;
    selection.Clear();
    set.UpdateBounds();
}

void Swap_Selection(POINT_LIST& set, POINT_LIST& selection) {
    if (!set.PairedWith(selection)) return;
    std::swap(set.points.next, selection.points.next);
    if (set.coloured) set.ColourPlainPoints();
    if (selection.coloured) selection.ColourPlainPoints();
    set.UpdateBounds();
    selection.UpdateBounds();
}

}  // namespace orvex
