#include "render/SfmDraw.h"

#include <algorithm>
#include <cstddef>

#include "render/Camera.h"
#include "render/FontLists.h"
#include "render/GL.h"
#include "render/ViewState.h"
#include "sfm/SFMData.h"

namespace orvex {

namespace {

void Draw_Points(const SFMData& data, int size) {
    const std::size_t n = std::min(std::size_t(std::max(data.pointCount, 0)), data.points.size() / 6);
    glPointSize(float(size));
    glBegin(GL_POINTS);
    for (std::size_t i = 0; i < n; ++i) {
        const float* p = data.Point(int(i));
        glColor3fv(p + 3);
        glVertex3fv(p);
    }
    glEnd();
}

void Draw_Camera(const SFMData& data, int c) {
    const Vec3 centre = Camera_Centre(data, c);
    glPointSize(3.0f);
    glBegin(GL_POINTS);
    glVertex3fv(centre.data());
    glEnd();
    if (!Camera_Has_Pyramid(data, c)) return;
    const std::array<Vec3, 4> k = Pyramid_Corners(data, c);  // (a, b), (a, -b), (-a, b), (-a, -b)
    Matrix4 pose;
    Camera_GL_Matrix(data, c, pose);
    const float s = data.scales[std::size_t(c)];
    glPushMatrix();
    glMultMatrixf(pose.data());
    glScalef(s, s, s);
    glBegin(GL_LINE_LOOP);
    glVertex3f(0.0f, 0.0f, 0.0f);
    glVertex3fv(k[0].data());
    glVertex3fv(k[1].data());
    glVertex3f(0.0f, 0.0f, 0.0f);
    glVertex3fv(k[2].data());
    glVertex3fv(k[3].data());
    glEnd();
    glBegin(GL_LINES);
    glVertex3fv(k[2].data());
    glVertex3fv(k[0].data());
    glVertex3fv(k[3].data());
    glVertex3fv(k[1].data());
    glEnd();
    glPopMatrix();
}

}  // namespace

void Draw_SFM(const SFMData& data, const ViewState& view, const float contrast[3], int size) {
    if (data.Empty()) return;
    const int cameras = int(std::min<std::size_t>(
        {std::size_t(std::max(data.cameraCount, 0)), data.poses.size(), data.poseValid.size(),
         data.scales.size(), data.intrinsics.size() / 9, data.names.size()}));
    // 1. The points in their own colours.
    Draw_Points(data, size);
    // 2. The cameras.
    glColor3fv(contrast);
    for (int c = 0; c < cameras; ++c)
        if (Camera_Drawable(data, c)) Draw_Camera(data, c);
    glPointSize(1.0f);
    // 3. The names, 4.5 pixels' worth of scene above each centre.
    if (!data.labelled || cameras == 0) return;
    glColor3f(0.0f, 1.0f, 0.0f);
    if (!Build_Font_Lists()) return;
    const Vec3 up = View_Up(view.Model_Matrix) * (4.5f / view.Zoom_Scale);
    for (int c = 0; c < cameras; ++c) {
        if (!Camera_Drawable(data, c)) continue;
        const Vec3 at = Camera_Centre(data, c) + up;
        glRasterPos3fv(at.data());
        Print_Label(data.names[std::size_t(c)].c_str());
    }
}

}  // namespace orvex
