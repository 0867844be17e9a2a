#pragma once
// Rectangle selection of a point set in the parallel view, and the three edits of a selection:
// giving it back, deleting it and swapping it with the set. The set and the selection must share
// their point pool (POINT_LIST::SharePointsWith): points move by relinking their nodes, never by
// copying. On an unpaired couple every function does nothing.

#include <cstddef>

#include "geometry/Matrix4.h"
#include "geometry/Vec3.h"
#include "pointset/PointList.h"

namespace orvex {

// The numbers the parallel view maps a scene point with.
struct SelectionView {
    Matrix4 Model{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};  // Model_Matrix
    float Zoom = 1.0f;                                              // Zoom_Scale
    Vec3 Pivot;      // the scene-bounds centre when the pivot is on, else the origin
    int Width = 0;   // client width
    int Height = 0;  // GL area height
};

// A rectangle in GL-area pixels; a point is inside when strictly between both pairs of edges.
struct SelectionRect {
    int X_Lo = 0, X_Hi = 0, Y_Lo = 0, Y_Hi = 0;
};
SelectionRect Selection_Rect(int pressX, int pressY, int releaseX, int releaseY);

// Screen position of p in GL-area pixels (y down), as the selection sees it.
void Selection_Screen_Point(const SelectionView& view, const float* p, float& sx, float& sy);

// Moves every point of `set` whose truncated screen position lies inside `rect` to the front of
// `selection` (so the moved points end up reversed) and colours them in the complement of the set's
// colour. Bounds stay. Returns the number moved.
std::size_t Select_Points(POINT_LIST& set, POINT_LIST& selection, const SelectionView& view,
                          const SelectionRect& rect);
// Appends the selection to the end of the set and empties it; a coloured set undoes the inversion.
// Bounds stay.
void Give_Back_Selection(POINT_LIST& set, POINT_LIST& selection);
// Clears the selection and updates the bounds of the set.
void Delete_Selection(POINT_LIST& set, POINT_LIST& selection);
// Swaps the two point lists (each set keeps its colours and hull) and updates both bounds.
void Swap_Selection(POINT_LIST& set, POINT_LIST& selection);

}  // namespace orvex
