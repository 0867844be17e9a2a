#include "render/FittedSphere.h"

#include <cmath>

#include "fit/RmsSphere.h"
#include "render/GL.h"

namespace orvex {

bool Fitted_Sphere_Shown(double radius) {
    return std::isfinite(radius) && radius > 0.01;
}

void Draw_Fitted_Sphere(const RMSSPHERE& sphere) {
    if (!Fitted_Sphere_Shown(sphere.R)) return;
    if (!std::isfinite(sphere.a) || !std::isfinite(sphere.b) || !std::isfinite(sphere.c)) return;
    GLUquadric* quadric = gluNewQuadric();
    if (!quadric) return;  // GLU could not allocate it: no sphere this frame
    glColor3f(0.5f, 0.5f, 0.5f);
    glPushMatrix();
    glTranslated(sphere.a, sphere.b, sphere.c);
    gluSphere(quadric, sphere.R, 100, 100);
    glPopMatrix();
    gluDeleteQuadric(quadric);
}

}  // namespace orvex
