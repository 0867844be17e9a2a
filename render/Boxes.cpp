#include "render/Boxes.h"

#include <initializer_list>

#include "render/GL.h"

namespace orvex {

void Oriented_Box_Corners(const Vec3& o, const Vec3 e[3], const float extent[6], Vec3 corners[8]) {
    // Upper ends: a1 at k1, k2, k5, k6; b1 at k2, k3, k6, k7; c1 at k4 to k7.
    static constexpr int kA[8] = {0, 1, 1, 0, 0, 1, 1, 0};
    static constexpr int kB[8] = {0, 0, 1, 1, 0, 0, 1, 1};
    for (int k = 0; k < 8; ++k) {
        const float a = extent[kA[k]], b = extent[2 + kB[k]], c = extent[4 + (k >= 4 ? 1 : 0)];
        corners[k] = o + e[0] * a + e[1] * b + e[2] * c;
    }
}

void DrawBoxAxisAligned(const Vec3& min, const Vec3& max, int width) {
    glLineWidth(float(width));
    for (float z : {min.z, max.z}) {
        glBegin(GL_LINE_LOOP);
        glVertex3f(min.x, min.y, z);
        glVertex3f(max.x, min.y, z);
        glVertex3f(max.x, max.y, z);
        glVertex3f(min.x, max.y, z);
        glEnd();
    }
    glBegin(GL_LINES);
    glVertex3f(min.x, min.y, min.z);
    glVertex3f(min.x, min.y, max.z);
    glVertex3f(max.x, min.y, min.z);
    glVertex3f(max.x, min.y, max.z);
    glVertex3f(max.x, max.y, min.z);
    glVertex3f(max.x, max.y, max.z);
    glVertex3f(min.x, max.y, min.z);
    glVertex3f(min.x, max.y, max.z);
    glEnd();
    glLineWidth(1.0f);
}

void DrawBoxCorners(const Vec3 corners[8]) {
    static constexpr int kStrip[10] = {0, 1, 2, 3, 0, 4, 5, 6, 7, 4};
    glBegin(GL_LINE_STRIP);
    for (int k : kStrip) glVertex3fv(corners[k].data());
    glEnd();
    glBegin(GL_LINES);
    for (int k = 1; k < 4; ++k) {
        glVertex3fv(corners[k].data());
        glVertex3fv(corners[k + 4].data());
    }
    glEnd();
}

}  // namespace orvex
