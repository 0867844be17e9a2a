// Rectangle selection and the selection edits (give back, delete, swap) over a set and its
// selection sharing one pool, with the hulls and colours they touch.

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "pointset/PointSelection.h"

namespace orvex {
namespace {

using Point = std::array<float, 3>;

std::vector<Point> Points_Of(const POINT_LIST& set) {
    std::vector<Point> out;
    for (const VEC_LIST* p = set.points.next; p; p = p->next)
        out.push_back({p->values[0], p->values[1], p->values[2]});
    return out;
}

void Add(POINT_LIST& set, Point p, const float* rgb = nullptr) {
    VEC_LIST* node = set.NewPoint(rgb ? 6 : 3);
    std::copy(p.begin(), p.end(), node->values);
    if (rgb) std::copy(rgb, rgb + 3, node->values + 3);
    set.InsertFront(node);
}

// Identity view on a 128 x 128 area (exact in floats): screen x = 64 + x, screen y = 64 - y.
SelectionView Plain_View() {
    SelectionView view;
    view.Width = 128;
    view.Height = 128;
    return view;
}

class PointSelectionTest : public ::testing::Test {
protected:
    PointSelectionTest() { set.SharePointsWith(selection); }

    POINT_LIST set;
    POINT_LIST selection;
};

TEST_F(PointSelectionTest, AllPointsMoveReversedInTheComplementColour) {
    for (int i = 0; i < 20; ++i) Add(set, {float(i) - 10, float(i % 7) - 3, float(i)});
    set.colour[0] = 0.25f, set.colour[1] = 0.5f, set.colour[2] = 1.0f, set.colour[3] = 0.75f;
    const std::vector<Point> before = Points_Of(set);
    EXPECT_EQ(Select_Points(set, selection, Plain_View(), Selection_Rect(90, 95, 2, 3)), 20u);
    EXPECT_EQ(set.points.next, nullptr);
    EXPECT_EQ(Points_Of(selection), std::vector<Point>(before.rbegin(), before.rend()));
    EXPECT_FALSE(selection.coloured);
    EXPECT_FLOAT_EQ(selection.colour[0], 0.75f);
    EXPECT_FLOAT_EQ(selection.colour[1], 0.5f);
    EXPECT_FLOAT_EQ(selection.colour[2], 0.0f);
    EXPECT_FLOAT_EQ(selection.colour[3], 1.0f);  // alpha of the selection's own colour

    // A second selection goes in front of the first.
    Give_Back_Selection(set, selection);
    EXPECT_EQ(Points_Of(set), std::vector<Point>(before.rbegin(), before.rend()));
    EXPECT_EQ(selection.points.next, nullptr);
}

TEST_F(PointSelectionTest, ColouredPointsInvertAndComeBack) {
    const float rgb[3] = {0.1f, 0.6f, 0.9f};
    for (int i = 0; i < 5; ++i) Add(set, {float(i), 0, 0}, rgb);
    set.coloured = true;
    ASSERT_EQ(Select_Points(set, selection, Plain_View(), Selection_Rect(0, 0, 100, 100)), 5u);
    EXPECT_TRUE(selection.coloured);
    for (const VEC_LIST* p = selection.points.next; p; p = p->next) {
        EXPECT_FLOAT_EQ(p->values[3], 0.9f);
        EXPECT_FLOAT_EQ(p->values[4], 0.4f);
        EXPECT_NEAR(p->values[5], 0.1f, 1e-6f);
    }
    Give_Back_Selection(set, selection);
    EXPECT_TRUE(selection.coloured);  // empty, still coloured
    for (const VEC_LIST* p = set.points.next; p; p = p->next) {
        EXPECT_NEAR(p->values[3], 0.1f, 1e-6f);
        EXPECT_NEAR(p->values[5], 0.9f, 1e-6f);
    }
}

TEST_F(PointSelectionTest, EdgesAreStrictAndPositionsTruncated) {
    Add(set, {-54.0f, 0.0f, 0.0f});   // screen (10, 64)
    Add(set, {-53.5f, 10.5f, 0.0f});  // screen (10.5, 53.5): truncated to (10, 53)
    SelectionView view = Plain_View();
    EXPECT_EQ(Select_Points(set, selection, view, Selection_Rect(10, 0, 60, 100)), 0u);
    EXPECT_EQ(Select_Points(set, selection, view, Selection_Rect(9, 53, 60, 64)), 0u);
    EXPECT_EQ(Select_Points(set, selection, view, Selection_Rect(9, 52, 11, 65)), 2u);
    // Zero width or height selects nothing, even through a point.
    Give_Back_Selection(set, selection);
    EXPECT_EQ(Select_Points(set, selection, view, Selection_Rect(10, 0, 10, 100)), 0u);
    EXPECT_EQ(Select_Points(set, selection, view, Selection_Rect(0, 64, 100, 64)), 0u);
    EXPECT_EQ(Select_Points(set, selection, view, Selection_Rect(10, 64, 10, 64)), 0u);
}

TEST_F(PointSelectionTest, MappingFollowsZoomPivotAndTranslation) {
    Add(set, {12.0f, 7.0f, 100.0f});
    SelectionView view = Plain_View();
    view.Zoom = 2.0f;
    view.Pivot = {10.0f, 5.0f, 0.0f};
    view.Model[12] = 20.0f;  // 20 pixels right
    view.Model[13] = -6.0f;  // 6 down
    float sx = 0, sy = 0;
    Selection_Screen_Point(view, set.points.next->values, sx, sy);
    EXPECT_FLOAT_EQ(sx, 64.0f + 4.0f + 20.0f);
    EXPECT_FLOAT_EQ(sy, 64.0f - 4.0f + 6.0f);
    // A turn of 90 degrees about the view axis: scene x shows as screen up.
    SelectionView turned = Plain_View();
    turned.Model = {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    const float p[3] = {10.0f, 0.0f, 0.0f};
    Selection_Screen_Point(turned, p, sx, sy);
    EXPECT_FLOAT_EQ(sx, 64.0f);
    EXPECT_FLOAT_EQ(sy, 54.0f);
}

TEST_F(PointSelectionTest, BoundsAfterDeleteAndSwapInsertKeepsThem) {
    Add(set, {-5, -5, -5});
    Add(set, {5, 5, 5});
    Add(set, {1, 2, 3});
    set.UpdateBounds();
    Select_Points(set, selection, Plain_View(), Selection_Rect(68, 58, 74, 64));  // (5, 5, 5)
    ASSERT_EQ(Points_Of(selection), (std::vector<Point>{{5, 5, 5}}));
    EXPECT_EQ(set.boundsMax.x, 5.0f);  // not recomputed by the selection
    Swap_Selection(set, selection);
    EXPECT_EQ(set.boundsMin, (Vec3{5, 5, 5}));
    EXPECT_EQ(set.boundsMax, (Vec3{5, 5, 5}));
    EXPECT_EQ(selection.boundsMin, (Vec3{-5, -5, -5}));
    EXPECT_EQ(selection.boundsMax, (Vec3{1, 2, 3}));
    Swap_Selection(set, selection);
    Delete_Selection(set, selection);
    EXPECT_EQ(set.boundsMin, (Vec3{-5, -5, -5}));
    EXPECT_EQ(set.boundsMax, (Vec3{1, 2, 3}));
    EXPECT_EQ(selection.points.next, nullptr);
    EXPECT_EQ(set.LivePoints(), 2u);  // the deleted point went back to the shared pool
    EXPECT_EQ(Points_Of(set).size(), 2u);
    // Insert leaves the bounds alone.
    Select_Points(set, selection, Plain_View(), Selection_Rect(0, 0, 100, 100));
    Give_Back_Selection(set, selection);
    EXPECT_EQ(set.boundsMin, (Vec3{-5, -5, -5}));
}

// A cube's corners and a few points inside: the hull's corners are the eight, and the hull run
// keeps only them.
void Fill_Cube(POINT_LIST& set) {
    for (int i = 0; i < 8; ++i)
        Add(set, {i & 1 ? 10.0f : -10.0f, i & 2 ? 10.0f : -10.0f, i & 4 ? 10.0f : -10.0f});
    for (int i = 0; i < 6; ++i) Add(set, {float(i) - 3, float(i % 3), 1.0f});
    ASSERT_TRUE(set.QuickHullBest().ok);
    ASSERT_NE(set.hull.next, nullptr);
}
// Two cube corners ((10, 10, +-10), screen (74, 54)).
const SelectionRect kCorner = Selection_Rect(69, 49, 79, 59);

TEST_F(PointSelectionTest, DeletingHullCornersDropsTheHull) {
    Fill_Cube(set);
    ASSERT_EQ(Select_Points(set, selection, Plain_View(), kCorner), 2u);
    EXPECT_NE(set.hull.next, nullptr);  // the hull still stands over the moved corners
    Delete_Selection(set, selection);
    EXPECT_EQ(set.hull.next, nullptr);
    EXPECT_EQ(Points_Of(set).size(), 6u);
}

TEST_F(PointSelectionTest, SwapThenDeleteOrClearKeepsEverythingLive) {
    Fill_Cube(set);
    Select_Points(set, selection, Plain_View(), kCorner);
    Swap_Selection(set, selection);  // the set now holds the two corners, its hull the rest
    Delete_Selection(set, selection);
    EXPECT_EQ(set.hull.next, nullptr);
    EXPECT_EQ(Points_Of(set).size(), 2u);

    POINT_LIST a, b;
    a.SharePointsWith(b);
    Fill_Cube(a);
    Select_Points(a, b, Plain_View(), kCorner);
    Swap_Selection(a, b);
    a.Clear();  // what freeing all objects does: the selection stays
    EXPECT_EQ(a.hull.next, nullptr);
    EXPECT_EQ(Points_Of(b).size(), 6u);
    EXPECT_EQ(b.LivePoints(), 6u);
    EXPECT_EQ(b.boundsMax, (Vec3{10, 10, 10}));
}

TEST_F(PointSelectionTest, PlainPointsEnteringAColouredSetTakeItsColour) {
    // An XYC file, a selection given back: the empty selection stays coloured.
    const float rgb[3] = {0.2f, 0.3f, 0.4f};
    for (int i = 0; i < 4; ++i) Add(set, {float(i), 0, 0}, rgb);
    set.coloured = true;
    Select_Points(set, selection, Plain_View(), Selection_Rect(0, 0, 100, 100));
    Give_Back_Selection(set, selection);
    ASSERT_TRUE(selection.coloured);
    // Then an XYZ file.
    set.Clear();
    for (int i = 0; i < 4; ++i) Add(set, {float(i), 1, 0});
    selection.colour[0] = 0.5f, selection.colour[1] = 0.6f, selection.colour[2] = 0.7f;
    Swap_Selection(set, selection);  // C: the coloured selection gets the plain points
    int n = 0;
    for (const VEC_LIST* p = selection.points.next; p; p = p->next, ++n) {
        ASSERT_EQ(selection.PointFloats(p), 6u);
        EXPECT_EQ(p->values[1], 1.0f);
        EXPECT_FLOAT_EQ(p->values[4], 0.6f);
    }
    EXPECT_EQ(n, 4);
    // A coloured set's selection meets plain points selected earlier.
    POINT_LIST a, b;
    a.SharePointsWith(b);
    Add(a, {0, 0, 0});
    Select_Points(a, b, Plain_View(), Selection_Rect(0, 0, 100, 100));
    a.coloured = true;
    Add(a, {1, 1, 1}, rgb);
    Select_Points(a, b, Plain_View(), Selection_Rect(0, 0, 100, 100));
    for (const VEC_LIST* p = b.points.next; p; p = p->next) ASSERT_EQ(b.PointFloats(p), 6u);
    Give_Back_Selection(a, b);
    for (const VEC_LIST* p = a.points.next; p; p = p->next) ASSERT_EQ(a.PointFloats(p), 6u);
}

TEST_F(PointSelectionTest, UnpairedSetsAreLeftAlone) {
    POINT_LIST other;
    Add(other, {0, 0, 0});
    EXPECT_EQ(Select_Points(other, set, Plain_View(), Selection_Rect(0, 0, 100, 100)), 0u);
    Swap_Selection(other, set);
    EXPECT_EQ(Points_Of(other).size(), 1u);
    EXPECT_EQ(set.points.next, nullptr);
}

}  // namespace
}  // namespace orvex
