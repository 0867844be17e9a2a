#include "render/HullDraw.h"

#include "render/Boxes.h"
#include "render/GL.h"

namespace orvex {

namespace {
bool Has_Corners(const CON_FACE_LIST_VEC* f) {
    return f->v[0] && f->v[1] && f->v[2];
}
}  // namespace

void Draw_Hull_Faces(const POINT_LIST& set) {
    if (!set.hull.next) return;
    glBegin(GL_TRIANGLES);
    for (const CON_FACE_LIST_VEC* f = set.hull.next; f; f = f->next) {
        if (!Has_Corners(f)) continue;
        glNormal3fv(f->normal);
        for (const VEC_LIST* corner : f->v) glVertex3fv(corner->values);
    }
    glEnd();
}

void Draw_Hull_Loops(const POINT_LIST& set, int w) {
    if (!set.hull.next) return;
    glLineWidth(float(w));
    for (const CON_FACE_LIST_VEC* f = set.hull.next; f; f = f->next) {
        if (!Has_Corners(f)) continue;
        glBegin(GL_LINE_LOOP);
        for (const VEC_LIST* corner : f->v) glVertex3fv(corner->values);
        glEnd();
    }
    glLineWidth(1.0f);
}

void Draw_Hull_Edges(const POINT_LIST& set, const Vec3& v, int w) {
    if (!set.hull.next) return;
    const Vec3 shift = v * (1.41f * float(w));
    glLineWidth(float(w));
    for (const CON_FACE_LIST_VEC* f = set.hull.next; f; f = f->next) {
        if (!Has_Corners(f)) continue;
        glBegin(GL_LINE_LOOP);
        for (const VEC_LIST* corner : f->v) {
            glVertex3f(corner->values[0] + shift.x, corner->values[1] + shift.y, corner->values[2] + shift.z);
        }
        glEnd();
    }
    glLineWidth(1.0f);
}

void Draw_Point_Set_Oriented_Box(const POINT_LIST& set) {
    if (!set.points.next && !set.hull.next) return;
    Vec3 corners[8];
    Oriented_Box_Corners(set.centroid, set.boxAxes, set.boxExtent, corners);
    DrawBoxCorners(corners);
}

}  // namespace orvex
