#include "render/Camera.h"

#include <cmath>
#include <cstdio>

namespace orvex {

namespace {
constexpr double kPi = 3.14159265358979323846;

void Iso_View(Matrix4& M, float a) {
    Matrix4 work;
    Mat4_Rotation({0, 0, 1}, a, M);
    Mat4_Rotation({1, 0, 0}, kIsoAlpha, work);
    Mat4_PostMultiply(M, work);
}

// Column-major 4x4 in double, the way GL multiplies its matrix stack: current := current x next.
using Gl4 = double[16];

void Gl_Identity(Gl4 m) {
    for (int i = 0; i < 16; ++i) m[i] = (i % 5 == 0) ? 1.0 : 0.0;
}

void Gl_Mult(Gl4 current, const Gl4 next) {
    double out[16];
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r) {
            double sum = 0;
            for (int k = 0; k < 4; ++k) sum += current[4 * k + r] * next[4 * c + k];
            out[4 * c + r] = sum;
        }
    for (int i = 0; i < 16; ++i) current[i] = out[i];
}

void Normalize3(double v[3]) {
    const double l = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (l == 0.0) return;  // as GLU does: a zero vector stays zero
    for (int i = 0; i < 3; ++i) v[i] /= l;
}

void Cross3(const double a[3], const double b[3], double out[3]) {
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

// gluLookAt(0, 0, D, 0, 0, 0, 0, D, 0).
void Gl_Look_At(Gl4 current, double D) {
    double f[3] = {0, 0, -D}, up[3] = {0, D, 0}, s[3], u[3];
    Normalize3(f);
    Normalize3(up);
    Cross3(f, up, s);
    Normalize3(s);
    Cross3(s, f, u);
    Gl4 m;
    Gl_Identity(m);
    for (int i = 0; i < 3; ++i) {
        m[4 * i + 0] = s[i];
        m[4 * i + 1] = u[i];
        m[4 * i + 2] = -f[i];
    }
    Gl_Mult(current, m);
    Gl4 t;
    Gl_Identity(t);
    t[14] = -D;
    Gl_Mult(current, t);
}
}  // namespace

bool Standard_View(Matrix4& M, int code) {
    switch (code) {
        case kViewIsoEastNorth:
            Iso_View(M, 2.3561945f);
            return true;
        case kViewIsoWestNorth:
            Iso_View(M, -2.3561945f);
            return true;
        case kViewIsoWestSouth:
            Iso_View(M, -0.7853982f);
            return true;
        case kViewIsoEastSouth:
            Iso_View(M, 0.7853982f);
            return true;
        case kViewTop:
            Mat4_Identity(M);
            return true;
        case kViewBottom:
            Mat4_Identity(M);
            M[5] = M[10] = -1.0f;
            return true;
        case kViewLeft:
            Mat4_Zero(M);
            M[2] = -1.0f, M[4] = -1.0f, M[9] = 1.0f, M[15] = 1.0f;
            return true;
        case kViewRight:
            Mat4_Zero(M);
            M[2] = 1.0f, M[4] = 1.0f, M[9] = 1.0f, M[15] = 1.0f;
            return true;
        case kViewFront:
            Mat4_Identity(M);
            M[5] = 0.0f, M[10] = 0.0f, M[6] = -1.0f, M[9] = 1.0f;
            return true;
        case kViewBack:
            Mat4_Zero(M);
            M[0] = -1.0f, M[6] = 1.0f, M[9] = 1.0f, M[15] = 1.0f;
            return true;
        default:
            return false;
    }
}

void Numbered_View(Matrix4& M, int number) {
    static constexpr int kCodes[7] = {0, kViewTop, kViewFront, kViewLeft, kViewBottom, kViewBack, kViewRight};
    if (number < 1 || number > 6 || !Standard_View(M, kCodes[number])) Mat4_Identity(M);
}

void Camera_From_Trackbars(ViewState& view, int rSize, int theta, int phi) {
    view.Camera_Distance = float(rSize);
    Standard_View(view.Model_Matrix, kViewRight);
    Mat4_Rotation({0, 1, 0}, float(-theta * kPi / 180.0), view.Work_Matrix);
    Mat4_PostMultiply(view.Model_Matrix, view.Work_Matrix);
    Mat4_Rotation({1, 0, 0}, float(-phi * kPi / 180.0), view.Work_Matrix);
    Mat4_PostMultiply(view.Model_Matrix, view.Work_Matrix);
}

Vec3 View_Vector(const ViewState& view) {
    const Vec3 t = View_Toward(view.Model_Matrix);
    return {t.x / view.Zoom_Scale, t.y / view.Zoom_Scale, t.z / view.Zoom_Scale};
}

Vec3 Scene_Pivot(const ViewState& view, bool pivotChecked) {
    if (!pivotChecked) return {0, 0, 0};
    return (view.Scene_Min + view.Scene_Max) * 0.5f;
}

ProjectionNumbers Projection_Numbers(int width, int height, int perspectiveMode, float perspRatio) {
    ProjectionNumbers p;
    p.perspective = perspectiveMode == 1;
    if (p.perspective) {
        const double f = perspRatio;
        p.right = width * f * 0.01;
        p.left = -p.right;
        p.top = height * f * 0.01;
        p.bottom = -p.top;
        p.zNear = 10.0;
        p.zFar = 100000.0;
    } else {
        // Integer halves: one eye unit is exactly one pixel.
        const int w2 = width / 2, h2 = height / 2;
        p.left = -w2, p.right = w2, p.bottom = -h2, p.top = h2;
        p.zNear = -10000.0;
        p.zFar = 10000.0;
    }
    return p;
}

bool Project_Scene_Point(const ViewState& view, bool pivotChecked, int width, int height, const Vec3& p,
                         Vec3& window) {
    const ProjectionNumbers n = Projection_Numbers(width, height, view.Perspective_Mode, view.Persp_Ratio);
    Gl4 m;
    Gl_Identity(m);
    const double rl = n.right - n.left, tb = n.top - n.bottom, fn = n.zFar - n.zNear;
    if (rl == 0.0 || tb == 0.0) return false;
    if (n.perspective) {
        m[0] = 2 * n.zNear / rl;
        m[5] = 2 * n.zNear / tb;
        m[8] = (n.right + n.left) / rl;
        m[9] = (n.top + n.bottom) / tb;
        m[10] = -(n.zFar + n.zNear) / fn;
        m[11] = -1.0;
        m[14] = -2 * n.zFar * n.zNear / fn;
        m[15] = 0.0;
    } else {
        m[0] = 2 / rl;
        m[5] = 2 / tb;
        m[10] = -2 / fn;
        m[12] = -(n.right + n.left) / rl;
        m[13] = -(n.top + n.bottom) / tb;
        m[14] = -(n.zFar + n.zNear) / fn;
    }
    Gl_Look_At(m, view.Camera_Distance);
    Gl4 model;
    for (int i = 0; i < 16; ++i) model[i] = view.Model_Matrix[i];
    Gl_Mult(m, model);

    const Vec3 c = Scene_Pivot(view, pivotChecked);
    const double s = view.Zoom_Scale;
    const double q[3] = {s * (double(p.x) - c.x), s * (double(p.y) - c.y), s * (double(p.z) - c.z)};
    double clip[4];
    for (int r = 0; r < 4; ++r) clip[r] = m[r] * q[0] + m[4 + r] * q[1] + m[8 + r] * q[2] + m[12 + r];
    if (clip[3] == 0.0) return false;
    window.x = float((clip[0] / clip[3] + 1.0) * 0.5 * width);
    window.y = float((clip[1] / clip[3] + 1.0) * 0.5 * height);
    window.z = float((clip[2] / clip[3] + 1.0) * 0.5);
    return true;
}

std::string Frame_Rate_Text(int ms) {
    if (ms <= 16) return " >60 fps. ";
    const float rate = 1000.0f / float(ms);
    // Two significant digits, halves rounded away from zero, then shown with one decimal.
    const int digits = int(std::floor(std::log10(double(rate)))) + 1;
    const double scale = std::pow(10.0, 2 - digits);
    const double rounded = std::floor(double(rate) * scale + 0.5) / scale;
    // Below 1 fps two significant digits are more than one decimal holds: round again, halves up.
    const double tenths = std::floor(rounded * 10.0 + 0.5);
    char text[32];
    std::snprintf(text, sizeof text, "%.1f fps. ", tenths / 10.0);
    return text;
}

}  // namespace orvex
