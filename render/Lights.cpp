#include "render/Lights.h"

#include <cmath>

#include "geometry/Color.h"
#include "render/Camera.h"
#include "render/GL.h"

namespace orvex {

namespace {
constexpr double kPi = 3.14159265358979323846;

void Set4(float out[4], float a, float b, float c, float d) {
    out[0] = a, out[1] = b, out[2] = c, out[3] = d;
}

void Scaled(float out[4], float k, const float c[3]) {
    Set4(out, k * c[0], k * c[1], k * c[2], 1.0f);
}

// A scene light 1..3: intensity I, colour c, position R d with d from the light's own angles.
struct SceneLight {
    float I, R;
    float d[3];
    float c[3];
};

SceneLight Scene_Light(const DisplayOptions& o, int index, int colour) {
    const int* p = &o.Light_Params[4 * index];
    SceneLight L;
    L.I = p[0] / 100.0f;
    L.R = float(p[1]);
    const double theta = p[2] * kPi / 180.0, phi = p[3] * kPi / 180.0;
    L.d[0] = float(std::cos(phi) * std::cos(theta));
    L.d[1] = float(std::cos(phi) * std::sin(theta));
    L.d[2] = float(std::sin(phi));
    Color_To_RGB(colour, L.c);
    return L;
}

void Place(LightSetting& s, const SceneLight& L) {
    Set4(s.position, L.R * L.d[0], L.R * L.d[1], L.R * L.d[2], 1.0f);
}

void Spot(LightSetting& s, const SceneLight& L, float cutoff) {
    for (int i = 0; i < 3; ++i) s.spotDirection[i] = -L.d[i];
    s.spotCutoff = cutoff;
    s.spotExponent = 2.0f;
}
}  // namespace

LightSetup Compute_Lights(const DisplayOptions& o, const Matrix4& modelMatrix) {
    LightSetup setup;
    setup.smoothShading = o.Gouraud;
    if (!o.Master_Light && !o.Second_Light && !o.Third_Light && !o.Front_Light) return setup;
    setup.lighting = true;

    if (o.Master_Light) {
        const SceneLight L = Scene_Light(o, 0, o.Master_Color);
        LightSetting& s = setup.light[0];
        s.enabled = true;
        Scaled(s.ambient, 0.3f * L.I, L.c);
        Scaled(s.diffuse, 2.0f * L.I, L.c);
        // Green gets three times the intensity, red and blue twice.
        Set4(s.specular, 2.0f * L.I * L.c[0], 3.0f * L.I * L.c[1], 2.0f * L.I * L.c[2], 1.0f);
        Place(s, L);
    }
    if (o.Second_Light) {
        const SceneLight L = Scene_Light(o, 1, o.Second_Color);
        LightSetting& s = setup.light[1];
        s.enabled = true;
        Scaled(s.diffuse, 1.8f * L.I, L.c);
        Place(s, L);
        Spot(s, L, 30.0f);
    }
    if (o.Third_Light) {
        const SceneLight L = Scene_Light(o, 2, o.Third_Color);
        LightSetting& s = setup.light[2];
        s.enabled = true;
        Scaled(s.diffuse, 2.4f * L.I, L.c);
        Place(s, L);
        Spot(s, L, 45.0f);
    }
    if (o.Front_Light) {
        const float I = o.Light_Params[12] / 100.0f;
        float c[3];
        Color_To_RGB(o.Front_Color, c);
        Vec3 u = View_Toward(modelMatrix);
        Vec3_Normalize(u);
        const float r = 100.0f * float(o.R_Size);
        LightSetting& s = setup.light[3];
        s.enabled = true;
        Scaled(s.ambient, 0.25f * I, c);
        Scaled(s.diffuse, 1.25f * I, c);
        Scaled(s.specular, 1.6f * I, c);
        Set4(s.position, r * u.x, r * u.y, r * u.z, 1.0f);
        if (o.Back_Light) {
            LightSetting& b = setup.light[4];
            b = s;
            Set4(b.position, -r * u.x, -r * u.y, -r * u.z, 0.9f);
        }
    }
    return setup;
}

void Set_Lights(const DisplayOptions& options, const Matrix4& modelMatrix) {
    const LightSetup setup = Compute_Lights(options, modelMatrix);
    glEnable(GL_POLYGON_SMOOTH);
    glShadeModel(setup.smoothShading ? GL_SMOOTH : GL_FLAT);
    if (!setup.lighting) {
        for (int i = 0; i < 5; ++i) glDisable(GLenum(GL_LIGHT0 + i));
        glDisable(GL_LIGHTING);
        return;
    }
    glEnable(GL_LIGHTING);
    for (int i = 0; i < 5; ++i) {
        const GLenum id = GLenum(GL_LIGHT0 + i);
        const LightSetting& s = setup.light[i];
        if (!s.enabled) {
            glDisable(id);
            continue;
        }
        // Every parameter is sent, so values left by another frame or window never leak in.
        glLightfv(id, GL_AMBIENT, s.ambient);
        glLightfv(id, GL_DIFFUSE, s.diffuse);
        glLightfv(id, GL_SPECULAR, s.specular);
        glLightfv(id, GL_POSITION, s.position);
        glLightfv(id, GL_SPOT_DIRECTION, s.spotDirection);
        glLightf(id, GL_SPOT_CUTOFF, s.spotCutoff);
        glLightf(id, GL_SPOT_EXPONENT, s.spotExponent);
        glEnable(id);
    }
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glEnable(GL_COLOR_MATERIAL);
}

}  // namespace orvex
