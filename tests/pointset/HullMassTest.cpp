// Volume and centroid of a hull, and the box along the principal axes of its inertia, on hulls
// built face by face whose answers are known by hand.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

#include "pointset/PointList.h"

namespace orvex {
namespace {

using Tri = std::array<int, 3>;

// Puts `corners` in the point list and one hull face per triangle, each turned so that its normal
// points away from the mean of the corners (every hull here is convex around that mean).
void Make_Hull(POINT_LIST& set, const std::vector<Vec3>& corners, const std::vector<Tri>& tris) {
    set.Clear();
    std::vector<VEC_LIST*> nodes;
    Vec3 mean;
    for (const Vec3& c : corners) {
        VEC_LIST* node = set.NewPoint(3);
        node->values[0] = c.x;
        node->values[1] = c.y;
        node->values[2] = c.z;
        set.InsertFront(node);
        nodes.push_back(node);
        mean += c * (1.0f / float(corners.size()));
    }
    CON_FACE_LIST_VEC** tail = &set.hull.next;
    for (Tri t : tris) {
        Vec3 n = Cross(corners[t[1]] - corners[t[0]], corners[t[2]] - corners[t[0]]);
        if (Dot(n, corners[t[0]] - mean) < 0) {
            std::swap(t[1], t[2]);
            n = n * -1.0f;
        }
        CON_FACE_LIST_VEC* f = set.NewFace();
        for (int i = 0; i < 3; ++i) f->v[i] = nodes[t[i]];
        f->offset = Dot(n, corners[t[0]]);
        Vec3_Normalize(n);
        for (int i = 0; i < 3; ++i) f->normal[i] = n[i];
        *tail = f;
        tail = &f->next;
    }
    set.UpdateBounds();
}

const std::vector<Tri> kTetraFaces = {{0, 1, 2}, {0, 1, 3}, {0, 2, 3}, {1, 2, 3}};

// Corner i of a box: bit 2 picks x, bit 1 y, bit 0 z.
const std::vector<Tri> kBoxFaces = {{0, 1, 3}, {0, 3, 2}, {4, 6, 7}, {4, 7, 5}, {0, 4, 5}, {0, 5, 1},
                                    {2, 3, 7}, {2, 7, 6}, {0, 2, 6}, {0, 6, 4}, {1, 5, 7}, {1, 7, 3}};

std::vector<Vec3> Box_Corners(Vec3 half, Vec3 centre, const float R[9] = nullptr) {
    std::vector<Vec3> out;
    for (int i = 0; i < 8; ++i) {
        const Vec3 local{(i & 4) ? half.x : -half.x, (i & 2) ? half.y : -half.y, (i & 1) ? half.z : -half.z};
        Vec3 turned = local;
        if (R) {
            for (int r = 0; r < 3; ++r)
                turned[r] = R[3 * r] * local.x + R[3 * r + 1] * local.y + R[3 * r + 2] * local.z;
        }
        out.push_back(turned + centre);
    }
    return out;
}

float Abs_Dot(const Vec3& a, const Vec3& b) {
    return std::fabs(Dot(a, b));
}

// ---- Volume and centroid ----------------------------------------------------------------------

TEST(HullMassProperties, UnitCornerTetrahedron) {
    POINT_LIST set;
    Make_Hull(set, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, kTetraFaces);
    set.coloured = true;
    set.HullMassProperties();
    EXPECT_NEAR(set.volume, 1.0 / 6.0, 1e-7);
    EXPECT_NEAR(set.centroid.x, 0.25, 1e-6);
    EXPECT_NEAR(set.centroid.y, 0.25, 1e-6);
    EXPECT_NEAR(set.centroid.z, 0.25, 1e-6);
    EXPECT_FALSE(set.coloured);
}

TEST(HullMassProperties, TetrahedronFarFromTheOriginKeepsItsVolume) {
    // Volumes of the origin cones are ~1e9 here and cancel to 1/6 x 8 = 1.33.
    POINT_LIST set;
    const Vec3 o{3000, -2000, 1000};
    Make_Hull(set, {o, o + Vec3{2, 0, 0}, o + Vec3{0, 2, 0}, o + Vec3{0, 0, 2}}, kTetraFaces);
    set.HullMassProperties();
    EXPECT_NEAR(set.volume, 8.0 / 6.0, 1e-5);
    EXPECT_NEAR(set.centroid.x, 3000.5, 1e-3);
    EXPECT_NEAR(set.centroid.y, -1999.5, 1e-3);
    EXPECT_NEAR(set.centroid.z, 1000.5, 1e-3);
}

TEST(HullMassProperties, BoxVolumeIsTheProductOfItsSides) {
    POINT_LIST set;
    Make_Hull(set, Box_Corners({4, 2, 1}, {10, 20, -5}), kBoxFaces);
    set.HullMassProperties();
    EXPECT_NEAR(set.volume, 8 * 4 * 2, 1e-4);
    EXPECT_NEAR(set.centroid.x, 10, 1e-5);
    EXPECT_NEAR(set.centroid.y, 20, 1e-5);
    EXPECT_NEAR(set.centroid.z, -5, 1e-5);
}

TEST(HullMassProperties, OriginInsideOrOutsideGivesTheSameAnswer) {
    POINT_LIST inside, outside;
    Make_Hull(inside, Box_Corners({1, 1, 1}, {0, 0, 0}), kBoxFaces);
    Make_Hull(outside, Box_Corners({1, 1, 1}, {5, 5, 5}), kBoxFaces);
    inside.HullMassProperties();
    outside.HullMassProperties();
    EXPECT_NEAR(inside.volume, 8, 1e-5);
    EXPECT_NEAR(outside.volume, 8, 1e-5);
    EXPECT_NEAR(outside.centroid.x - inside.centroid.x, 5, 1e-5);
}

// ---- The principal-axes box -------------------------------------------------------------------

TEST(InertiaBox, AxisAlignedBoxGivesTheCoordinateAxesAndItsHalfSides) {
    POINT_LIST set;
    Make_Hull(set, Box_Corners({4, 2, 1}, {10, 20, -5}), kBoxFaces);
    set.HullMassProperties();
    set.InertiaBox();
    // The matrix is the negated inertia: its smallest eigenvalue belongs to the axis of largest
    // moment (the short z side), the largest to the long x side.
    EXPECT_NEAR(Abs_Dot(set.boxAxes[0], {0, 0, 1}), 1, 1e-5);
    EXPECT_NEAR(Abs_Dot(set.boxAxes[1], {0, 1, 0}), 1, 1e-5);
    EXPECT_NEAR(Abs_Dot(set.boxAxes[2], {1, 0, 0}), 1, 1e-5);
    const float half[3] = {1, 2, 4};
    for (int j = 0; j < 3; ++j) {
        EXPECT_NEAR(Dot(set.boxAxes[j], set.boxAxes[j]), 1, 1e-5);
        EXPECT_NEAR(set.boxExtent[2 * j], -half[j], 1e-4) << "axis " << j;
        EXPECT_NEAR(set.boxExtent[2 * j + 1], half[j], 1e-4) << "axis " << j;
    }
}

TEST(InertiaBox, TurnedBoxGivesTheTurnedAxes) {
    // A rotation by 30 degrees about z: the box's own axes are its columns.
    const float c = std::cos(0.5235988f), s = std::sin(0.5235988f);
    const float R[9] = {c, -s, 0, s, c, 0, 0, 0, 1};
    POINT_LIST set;
    Make_Hull(set, Box_Corners({5, 2, 0.5f}, {-3, 7, 2}, R), kBoxFaces);
    set.HullMassProperties();
    set.InertiaBox();
    EXPECT_NEAR(Abs_Dot(set.boxAxes[0], {0, 0, 1}), 1, 1e-5);
    EXPECT_NEAR(Abs_Dot(set.boxAxes[1], {-s, c, 0}), 1, 1e-5);
    EXPECT_NEAR(Abs_Dot(set.boxAxes[2], {c, s, 0}), 1, 1e-5);
    EXPECT_NEAR(set.boxExtent[4], -5, 1e-3);
    EXPECT_NEAR(set.boxExtent[5], 5, 1e-3);
    EXPECT_NEAR(set.boxExtent[2], -2, 1e-3);
    EXPECT_NEAR(set.boxExtent[3], 2, 1e-3);
}

TEST(InertiaBox, ExtentsCoverEveryPointOfTheList) {
    // A point inside the box does not move the extents; the box encloses all points.
    POINT_LIST set;
    Make_Hull(set, Box_Corners({3, 2, 1}, {0, 0, 0}), kBoxFaces);
    VEC_LIST* inner = set.NewPoint(3);
    inner->values[0] = 1;
    inner->values[1] = 1;
    inner->values[2] = 0.5f;
    set.InsertFront(inner);
    set.HullMassProperties();
    set.InertiaBox();
    for (const VEC_LIST* p = set.points.next; p; p = p->next) {
        const Vec3 d = Vec3{p->values[0], p->values[1], p->values[2]} - set.centroid;
        for (int j = 0; j < 3; ++j) {
            const float e = Dot(d, set.boxAxes[j]);
            EXPECT_GE(e, set.boxExtent[2 * j] - 1e-4f);
            EXPECT_LE(e, set.boxExtent[2 * j + 1] + 1e-4f);
        }
    }
}

// ---- Degenerate input -------------------------------------------------------------------------

TEST(HullMassDegenerate, NoHullChangesNothing) {
    POINT_LIST set;
    VEC_LIST* p = set.NewPoint(3);
    p->values[0] = p->values[1] = p->values[2] = 1;
    set.InsertFront(p);
    set.volume = 7;
    set.centroid = {1, 2, 3};
    set.coloured = true;
    set.boxExtent[0] = 9;
    set.HullMassProperties();
    set.InertiaBox();
    EXPECT_EQ(set.volume, 7);
    EXPECT_EQ(set.centroid.y, 2);
    EXPECT_TRUE(set.coloured);
    EXPECT_EQ(set.boxExtent[0], 9);
}

TEST(HullMassDegenerate, FlatHullHasNoVolumeAndFiniteBox) {
    // Two triangles back to back: a closed surface enclosing nothing.
    POINT_LIST set;
    Make_Hull(set, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {});
    std::vector<VEC_LIST*> nodes;
    for (VEC_LIST* q = set.points.next; q; q = q->next) nodes.push_back(q);
    CON_FACE_LIST_VEC* up = set.NewFace();
    CON_FACE_LIST_VEC* down = set.NewFace();
    up->v[0] = down->v[0] = nodes[0];
    up->v[1] = down->v[2] = nodes[1];
    up->v[2] = down->v[1] = nodes[2];
    up->next = down;
    set.hull.next = up;
    set.HullMassProperties();
    set.InertiaBox();
    EXPECT_NEAR(set.volume, 0, 1e-7);
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(std::isfinite(set.centroid[i]));
    for (int j = 0; j < 6; ++j) EXPECT_TRUE(std::isfinite(set.boxExtent[j]));
}

}  // namespace
}  // namespace orvex
