#include "render/SceneDraw.h"

#include <algorithm>
#include <cstdlib>

#include "geometry/Color.h"
#include "mesh/UniOb.h"
#include "render/AuxMarks.h"
#include "render/Axes.h"
#include "render/Camera.h"
#include "render/FacetDraw.h"
#include "render/GL.h"
#include "render/Lights.h"
#include "render/TextureTiles.h"
#include "render/ScenePasses.h"
#include "render/Voxels.h"

namespace orvex {

void Contrast_Color(const DisplayOptions& options, float rgb[3]) {
    Color_To_RGB(std::abs(0xFFFFFF - options.BG_Color), rgb);
}

void Draw_Scene(const DrawContext& ctx) {
    const DisplayOptions& o = ctx.options;
    // Stays for later clears; the frame routine sets it before its own clear as well.
    float bg[3];
    Color_To_RGB(o.BG_Color, bg);
    glClearColor(bg[0], bg[1], bg[2], 1.0f);

    if (o.Coordinate_Checked) {
        float contrast[3];
        Contrast_Color(o, contrast);
        Draw_Axes(!o.Gouraud, contrast);  // at the scene origin, before the pivot shift
    }
    if (o.Pivot_Checked) {
        const Vec3 c = Scene_Pivot(ctx.view, true);
        glTranslatef(-c.x, -c.y, -c.z);
    }
    Draw_Objects(ctx, View_Vector(ctx.view));
}

void Draw_Objects(const DrawContext& ctx, const Vec3& v) {
    const DisplayOptions& o = ctx.options;
    // 1. Lights.
    Set_Lights(o, ctx.view.Model_Matrix);
    // 2. The texture map.
    if (ctx.objects.Texture_Map)
        Draw_Texture_Tiles(*ctx.objects.Texture_Map, o.BG_Color, ctx.objects.Texture_Map_Generation);
    // 3. Lit solids.
    if (o.Shading_Checked) Solid_Pass(ctx, v, o.Transparency);
    // 4. Spectrum colouring.
    if (o.Spectrum) Spectrum_Pass(ctx, v);
    // 5. Everything after this is unlit.
    glDisable(GL_LIGHTING);
    // 6. Wire frames.
    if (o.Wire_Checked) {
        if (o.Hidden_Face)
            Hidden_Line_Pass(ctx, v);
        else
            Plain_Wire_Pass(ctx);
    }
    // 7. Points.
    if (o.Point_Checked) Point_Pass(ctx);
    // 8. Axis-aligned boxes of the meshes and of the point set.
    if (o.Bounding) Bounding_Box_Pass(ctx);
    // 9. The auxiliary marks of every mesh.
    if (o.Aux)
        for (const UniOb* m = ctx.objects.Main_Objects; m; m = m->next) Draw_Aux_Marks(*m);
    // 10. The boundary ribbon, always.
    if (ctx.objects.Boundary_Range) DrawRibbon(*ctx.objects.Boundary_Range, 10.0f);
    // 11. The scene box.
    if (o.Master_Bounding_Box_Checked) Master_Box_Pass(ctx);
    // 12. Principal-axes boxes of the meshes and of the point set.
    if (o.Euler_Bounding) Oriented_Box_Pass(ctx);
    // 13. The CT voxels, always, last, without depth test.
    if (ctx.objects.Volume) Draw_Voxels(*ctx.objects.Volume);
}

void Draw_Inset_View(const DrawContext& ctx) {
    const ViewState& view = ctx.view;
    // The frame keeps the inset inside the GL area; the stored position is left to its owner.
    const int size = view.Inset_Size;
    int x = std::max(view.Inset_X, 5);
    int y = std::max(view.Inset_Y, size + 8);
    x = std::min(x, ctx.width - size - 5);
    y = std::min(y, ctx.height - 5);

    glViewport(x, ctx.height - y, size, size);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    const int h = size / 2;
    glOrtho(-h, h, -h, h, -5000, 5000);

    const GLboolean lit = glIsEnabled(GL_LIGHTING);
    glDisable(GL_LIGHTING);
    glLineWidth(2.0f);
    glColor3f(0.0f, 1.0f, 1.0f);
    const float e = (size - 1) / 2.0f;
    static constexpr int kEdges[12][2] = {{0, 1}, {1, 3}, {3, 2}, {2, 0}, {4, 5}, {5, 7},
                                          {7, 6}, {6, 4}, {0, 4}, {1, 5}, {2, 6}, {3, 7}};
    glBegin(GL_LINES);
    for (const auto& edge : kEdges)
        for (int k : edge) glVertex3f((k & 1) ? e : -e, (k & 2) ? e : -e, (k & 4) ? e : -e);
    glEnd();
    if (lit) glEnable(GL_LIGHTING);
    glLineWidth(1.0f);

    Matrix4 work;
    Numbered_View(work, view.Inset_View);
    glMultMatrixf(work.data());
    const float k = view.Zoom_Scale * 0.707f;
    const Vec3 v{work[2] / k, work[6] / k, work[10] / k};

    const Vec3 extent = view.Scene_Max - view.Scene_Min;
    const float largest = std::max({extent.x, extent.y, extent.z});
    // Empty bounds have a negative extent: nothing to fit, keep the scale at 1.
    const float q = largest > 0.0f ? 0.9f * size / largest : 1.0f;
    glScalef(q, q, q);
    const Vec3 c = Scene_Pivot(view, true);
    glTranslatef(-c.x, -c.y, -c.z);
    Draw_Objects(ctx, v);
    glFinish();
}

}  // namespace orvex
