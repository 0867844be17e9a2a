#include "render/SmallViews.h"

#include <algorithm>
#include <cmath>

#include "geometry/Color.h"
#include "render/GL.h"
#include "render/SceneDraw.h"

namespace orvex {

namespace {

constexpr float kPi = 3.14159265358979f;

// Background, viewport and the parallel projection one eye unit per pixel, eye on +z.
void Begin_Small_Frame(int width, int height, const DisplayOptions& options) {
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    float bg[3];
    Color_To_RGB(options.BG_Color, bg);
    glClearColor(bg[0], bg[1], bg[2], 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-(width / 2), width / 2, -(height / 2), height / 2, -5000, 5000);
    gluLookAt(0, 0, 1, 0, 0, 0, 0, 1, 0);
}

}  // namespace

void Render_Instance_View(int width, int height, const Matrix4& viewMatrix, const ViewState& view,
                          const DisplayOptions& options, const SceneObjects& objects) {
    Begin_Small_Frame(width, height, options);
    glMultMatrixf(viewMatrix.data());
    const Vec3 v{viewMatrix[2] * 0.3f, viewMatrix[6] * 0.3f, viewMatrix[10] * 0.3f};
    const float distance = std::max(Point_Distance(view.Scene_Min, view.Scene_Max), 1e-12f);
    const float q = static_cast<float>(std::min(width, height)) / distance;
    glScalef(q, q, q);
    glTranslatef(-(view.Scene_Min.x + view.Scene_Max.x) / 2, -(view.Scene_Min.y + view.Scene_Max.y) / 2,
                 -(view.Scene_Min.z + view.Scene_Max.z) / 2);
    const DrawContext ctx{view, options, objects, width, height};
    Draw_Objects(ctx, v);
    glFinish();
}

void Render_Plane_Frame(int width, int height, const DisplayOptions& options) {
    Begin_Small_Frame(width, height, options);
    glFinish();
}

void Fill_Logo_Table(LogoTable& table) {
    // A ring with a "V" in it: the ring shades from gold to orange down the rows, the V is cyan,
    // the field dark blue.
    const float cx = 31.0f, cy = 38.5f;
    for (int row = 0; row < kLogoRows; ++row) {
        for (int col = 0; col < kLogoColumns; ++col) {
            const float x = col - cx, y = row - cy;
            const float r = std::sqrt(x * x + y * y);
            const float t = static_cast<float>(row) / (kLogoRows - 1);
            int red = 10, green = 16, blue = 60 + row / 2;
            if (r >= 22.0f && r <= 29.0f) {
                red = 250;
                green = static_cast<int>(210 - 110 * t);
                blue = 30;
            } else if (r < 22.0f) {
                // The two strokes of the V meet at the bottom of the ring's inside.
                const float top = cy - 14.0f, bottom = cy + 14.0f;
                if (row >= top && row <= bottom) {
                    const float half = 12.0f * (bottom - row) / (bottom - top);
                    const float d = std::fabs(std::fabs(x) - half);
                    if (d <= 2.5f) {
                        red = 40;
                        green = 220;
                        blue = 235;
                    }
                }
            }
            table[row * kLogoColumns + col] = static_cast<std::uint32_t>(red | green << 8 | blue << 16);
        }
    }
}

unsigned Make_Logo_Texture(const LogoTable& table) {
    std::array<unsigned char, 64 * 64 * 4> texels{};
    for (int i = 0; i < 64; ++i) {
        for (int j = 0; j < 64; ++j) {
            unsigned char* t = &texels[(i * 64 + j) * 4];
            const std::uint32_t colour = j < kLogoColumns ? table[(i + 7) * kLogoColumns + j] : 0;
            t[0] = colour & 0xFF;
            t[1] = (colour >> 8) & 0xFF;
            t[2] = (colour >> 16) & 0xFF;
            t[3] = 255;
        }
    }
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_DECAL);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 64, 64, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    return name;
}

AboutAnimation::AboutAnimation() {
    Mat4_Identity(A);
}

namespace {

float Pulse(int n) {
    return 0.2f + 0.8f * std::sin(kPi * static_cast<float>(n % 500) / 500.0f);
}

// The logo on a 64 x 64 grid; `both` waves it along y as well as x.
void Draw_Logo_Sheet(int n, unsigned texture, bool both) {
    const float scale = both ? 0.5f + 1.4f * (0.5f + 0.5f * std::sin(n * 0.021f))
                             : 0.5f + 1.4f * (0.5f + 0.5f * std::sin(n * 0.013f));
    glScalef(scale, scale, scale);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
    const auto z = [&](int i, int j) {
        float value = 3.0f * std::sin(i / 8.0f + 0.4f * n);
        if (both) value += 3.0f * std::sin(j / 8.0f + 0.3f * n);
        return value;
    };
    glBegin(GL_QUADS);
    for (int i = 0; i < 63; ++i) {
        for (int j = 0; j < 63; ++j) {
            const int corners[4][2] = {{i, j}, {i + 1, j}, {i + 1, j + 1}, {i, j + 1}};
            for (const auto& c : corners) {
                // Texel row = i runs down the image, so rows go from top (+y) to bottom.
                glTexCoord2f(c[1] / 63.0f, c[0] / 63.0f);
                glVertex3f(static_cast<float>(c[1] - 31), static_cast<float>(32 - c[0]), z(c[0], c[1]));
            }
        }
    }
    glEnd();
    glBindTexture(GL_TEXTURE_2D, 0);
    glDisable(GL_TEXTURE_2D);
}

void Draw_Box(float cx, float cy, float cz, float h) {
    static const int faces[6][4] = {{0, 1, 3, 2}, {4, 6, 7, 5}, {0, 4, 5, 1},
                                    {2, 3, 7, 6}, {0, 2, 6, 4}, {1, 5, 7, 3}};
    static const float normals[6][3] = {{-1, 0, 0}, {1, 0, 0}, {0, -1, 0}, {0, 1, 0}, {0, 0, -1}, {0, 0, 1}};
    glBegin(GL_QUADS);
    for (int f = 0; f < 6; ++f) {
        glNormal3fv(normals[f]);
        for (int k = 0; k < 4; ++k) {
            const int v = faces[f][k];
            glVertex3f(cx + ((v & 4) ? h : -h), cy + ((v & 2) ? h : -h), cz + ((v & 1) ? h : -h));
        }
    }
    glEnd();
}

void Draw_Ball(float cx, float cy, float cz, float radius) {
    constexpr int kSlices = 16, kStacks = 10;
    for (int s = 0; s < kStacks; ++s) {
        const float a0 = kPi * s / kStacks - kPi / 2, a1 = kPi * (s + 1) / kStacks - kPi / 2;
        glBegin(GL_QUAD_STRIP);
        for (int k = 0; k <= kSlices; ++k) {
            const float b = 2 * kPi * k / kSlices;
            for (float a : {a1, a0}) {
                const float nx = std::cos(a) * std::cos(b), ny = std::cos(a) * std::sin(b), nz = std::sin(a);
                glNormal3f(nx, ny, nz);
                glVertex3f(cx + radius * nx, cy + radius * ny, cz + radius * nz);
            }
        }
        glEnd();
    }
}

int Lattice_Side(int m, int period, int low) {
    // low, low + 1, ... up and back down again over `period` spins.
    const int k = m % period;
    const int half = period / 2;
    return low + (k <= half ? k : period - k);
}

}  // namespace

int Render_About_Frame(AboutAnimation& s, unsigned logoTexture, int clientHeight, const float rgb[3]) {
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glClearColor(rgb[0], rgb[1], rgb[2], 1.0f);
    const int h = clientHeight - 75;
    glViewport(0, 0, 200, h);
    glEnable(GL_DEPTH_TEST);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();

    const float intensity = 0.6f + 0.4f * std::sin(kPi * static_cast<float>(s.n % 300) / 150.0f);
    const float ambient[4] = {intensity / 2, intensity / 2, intensity / 2, 1.0f};
    const float specular[4] = {intensity, intensity, intensity, 1.0f};
    const float theta = kPi * static_cast<float>(s.n % 720) / 360.0f;
    const float position[4] = {200.0f * std::cos(theta), 300.0f * std::sin(theta), 300.0f, 1.0f};
    glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, ambient);
    glLightfv(GL_LIGHT0, GL_SPECULAR, specular);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
    glLightfv(GL_LIGHT0, GL_POSITION, position);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glEnable(GL_COLOR_MATERIAL);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    const int k = h / 2;
    glOrtho(-100, 100, -k, k, -500, 500);
    gluLookAt(0, -50, 100, 0, 0, 0, 0, 1, 0);

    int interval = 0;
    if (s.n % 90 == 0 && s.n != s.Stepped) {
        s.Stepped = s.n;
        const int pick = (s.n / 90) % 15;
        static const Vec3 axes[6] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {-1, 0, 0}, {0, -1, 0}, {0, 0, -1}};
        if (pick >= 3 && pick <= 8) {
            s.Axis = axes[pick - 3];
        } else {
            auto next = [&s] {
                s.Seed = s.Seed * 1103515245u + 12345u;
                return static_cast<float>((s.Seed >> 16) & 0x7FFF) / 32767.0f * 2.0f - 1.0f;
            };
            Vec3 axis{next(), next(), next()};
            if (Dot(axis, axis) < 1e-6f) axis = {1, 1, 1};
            s.Axis = axis;
        }
        interval = static_cast<int>(20.0f - 10.0f * std::sin(kPi * static_cast<float>(s.n) / 720.0f));
        if (interval < 1) interval = 1;
        if (s.n % 2700 == 0) ++s.c;
        ++s.m;
    }
    Vec3 axis = s.Axis;
    Vec3_Normalize(axis);
    Matrix4 R;
    Mat4_Rotation(axis, (s.c % 2 != 0) ? 0.15f : 0.03f, R);
    Mat4_PostMultiply(s.A, R);
    glMultMatrixf(s.A.data());

    const int picture = ((s.c % 4) + 4) % 4;
    glShadeModel(picture == 3 ? GL_SMOOTH : GL_FLAT);
    if (picture == 0 || picture == 2) {
        glColor3f(1, 1, 1);
        Draw_Logo_Sheet(s.n, logoTexture, picture == 2);
    } else if (picture == 1) {
        const int F = Lattice_Side(s.m, 10, 2);
        const float scale = Pulse(s.n);
        glScalef(scale, scale, scale);
        const float half = static_cast<float>(50 / F) / 2.0f;
        for (int i = 0; i < F; ++i)
            for (int j = 0; j < F; ++j)
                for (int l = 0; l < F; ++l) {
                    glColor3f((i + 1.0f) / F * 0.8f, (j + 1.0f) / F * 0.8f, (l + 1.0f) / F * 0.8f);
                    Draw_Box((i + 1) * 100.0f / (F + 1) - 50, (j + 1) * 100.0f / (F + 1) - 50,
                             (l + 1) * 100.0f / (F + 1) - 50, half);
                }
    } else {
        const int F = Lattice_Side(s.m, 8, 2);
        const float scale = Pulse(s.n) / F;
        glScalef(scale, scale, scale);
        const float offset = 60.0f * (F - 1) / 2.0f;
        for (int i = 0; i < F; ++i)
            for (int j = 0; j < F; ++j)
                for (int l = 0; l < F; ++l) {
                    glColor3f((i + 1.0f) / F * 0.8f, (j + 1.0f) / F * 0.8f, (l + 1.0f) / F * 0.8f);
                    Draw_Ball(60.0f * i - offset, 60.0f * j - offset, 60.0f * l - offset, 25.0f);
                }
    }
    glDisable(GL_LIGHTING);
    glDisable(GL_COLOR_MATERIAL);
    glFlush();
    return interval;
}

}  // namespace orvex
