#include "render/PointSetDraw.h"

#include <cmath>

#include "pointset/PointList.h"
#include "render/Boxes.h"
#include "render/GL.h"

namespace orvex {

namespace {
bool Has_Points(const POINT_LIST& set) {
    return set.points.next != nullptr;
}
}  // namespace

void Draw_Point_Set_Points(const POINT_LIST& set, int w) {
    if (!Has_Points(set)) return;
    glColor4fv(set.colour);
    glPointSize(float(w));
    glBegin(GL_POINTS);
    if (set.coloured) {
        for (const VEC_LIST* p = set.points.next; p; p = p->next) {
            glColor3fv(p->values + 3);
            glVertex3fv(p->values);
        }
    } else {
        for (const VEC_LIST* p = set.points.next; p; p = p->next) glVertex3fv(p->values);
    }
    glEnd();
    glPointSize(1.0f);
}

void Draw_Point_Set_Box(const POINT_LIST& set, int w) {
    if (!Has_Points(set)) return;
    DrawBoxAxisAligned(set.boundsMin, set.boundsMax, w);
}

void Draw_Point_Set_Regions(const POINT_LIST& set) {
    if (!Has_Points(set)) return;
    GLUquadric* quadric = gluNewQuadric();
    if (!quadric) return;
    for (const VEC_LIST* p = set.points.next; p; p = p->next) {
        const float x = p->values[0], y = p->values[1], z = p->values[2];
        double radius;
        int slices, stacks;
        if (z > 90.01f) {
            const float g = (z - 90.0f) / 90.0f;
            glColor4f(g, g, g, 1.0f);
            radius = 1.0, slices = 20, stacks = 20;
        } else if (z < 89.99f) {
            const float g = (90.0f - z) / 60.0f;
            glColor4f(g, g, g, 1.0f);
            radius = 1.5, slices = 3, stacks = 2;
        } else {
            // Every other band of two units across y; the remainder keeps the sign of y.
            const double band = std::fmod(std::trunc(double(y)), 4.0);
            if (band != 2.0 && band != 3.0) continue;
            glColor3f(0.5f, 0.5f, 0.5f);
            radius = 0.2, slices = 4, stacks = 4;
        }
        glPushMatrix();
        glTranslatef(x, y, z);
        gluSphere(quadric, radius, slices, stacks);
        glPopMatrix();
    }
    gluDeleteQuadric(quadric);
}

}  // namespace orvex
