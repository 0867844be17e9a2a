#include "render/ScenePasses.h"

#include "facet/TriOb.h"
#include "geometry/Color.h"
#include "mesh/UniOb.h"
#include "render/Boxes.h"
#include "render/FacetDraw.h"
#include "render/FittedSphere.h"
#include "render/GL.h"
#include "render/HullDraw.h"
#include "render/MeshPasses.h"
#include "render/PointSetDraw.h"
#include "render/ScanDraw.h"
#include "render/SfmDraw.h"

namespace orvex {

namespace {
// Calls f(mesh) for every drawable mesh of Main_Objects, head first.
template <class F>
void For_Each_Mesh(const DrawContext& ctx, F f) {
    for (const UniOb* m = ctx.objects.Main_Objects; m != nullptr; m = m->next)
        if (Mesh_Drawable(*m)) f(*m);
}

// The colour of a point set's hull, its edges and its oriented box (red, green, blue).
void Set_Point_Set_Color(const POINT_LIST& set) {
    glColor3fv(set.colour);
}

void Set_Contrast_Color(const DrawContext& ctx) {
    float c[3];
    Contrast_Color(ctx.options, c);
    glColor3fv(c);
}

// The cut records in Split_Part1's sentinel at `headWidth`, then every loose facet's segments at
// the chosen width, in the contrast colour; moved along `v` with arrows when v is given.
void Draw_Segment_Lists(const DrawContext& ctx, const Vec3* v, bool arrows, int headWidth) {
    float c[3];
    Contrast_Color(ctx.options, c);
    if (ctx.objects.Split_Part1) DrawSegments(ctx.objects.Split_Part1->Head, v, headWidth, c, arrows);
    for (const TRI_FACET* f = ctx.objects.Facet_List; f; f = f->Next)
        DrawSegments(*f, v, ctx.options.Width, c, arrows);
}

void Draw_Solid_Mesh(const DisplayOptions& o, const UniOb& mesh) {
    glColor4fv(mesh.Color_RGBA);
    if (!o.Texture_Checked) {
        if (o.Gouraud)
            Draw_Mesh_Smooth_Faces(mesh);
        else
            Draw_Mesh_Flat_Faces(mesh);
    } else if (!o.Gouraud) {
        glBindTexture(GL_TEXTURE_2D, mesh.Mesh_Texture);
        glEnable(GL_TEXTURE_2D);
        Draw_Mesh_Texture_Faces(mesh);
        glDisable(GL_TEXTURE_2D);
    } else {
        Draw_Mesh_Vertex_Color_Faces(mesh);
    }
}
}  // namespace

void Draw_Mesh_Edges(const UniOb& mesh, const Vec3& v, int w) {
    glLineWidth(float(w));
    glPushMatrix();
    const float k = 2.0f * float(w);
    glTranslatef(k * v.x, k * v.y, k * v.z);
    Draw_Mesh_Face_Loops(mesh);
    glPopMatrix();
    glLineWidth(1.0f);
}

void Solid_Pass(const DrawContext& ctx, const Vec3& v, bool blended) {
    const DisplayOptions& o = ctx.options;
    // 1.
    if (blended) {
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_COLOR, GL_SRC_COLOR);
    }
    // 2. Meshes.
    For_Each_Mesh(ctx, [&](const UniOb& mesh) { Draw_Solid_Mesh(o, mesh); });
    // 3. The point set's hull.
    if (const POINT_LIST* set = ctx.objects.Point_Set) {
        Set_Point_Set_Color(*set);
        Draw_Hull_Faces(*set);
    }
    // 4. The two split facet objects.
    for (const TriOb* part : {ctx.objects.Split_Part1, ctx.objects.Split_Part2})
        if (part) DrawShaded(*part);
    // 5. The fitted sphere, opaque only.
    if (!blended && ctx.objects.Fitted_Sphere) Draw_Fitted_Sphere(*ctx.objects.Fitted_Sphere);
    // 6.
    if (blended) glDisable(GL_BLEND);
    // 7.
    glDisable(GL_LIGHTING);
    // 8. Edges over the solids, then the hull edges of the point set.
    if (o.Edge_Checked) {
        Set_Contrast_Color(ctx);
        For_Each_Mesh(ctx, [&](const UniOb& mesh) { Draw_Mesh_Edges(mesh, v, o.Width); });
        if (ctx.objects.Point_Set) Draw_Hull_Edges(*ctx.objects.Point_Set, v, o.Width);
    }
    // 9. The segment lists of the split part and of the loose facets, moved toward the viewer.
    Draw_Segment_Lists(ctx, &v, o.Hidden_Face, o.Width);
}

void Spectrum_Pass(const DrawContext& ctx, const Vec3& v) {
    const DisplayOptions& o = ctx.options;
    // 1.
    For_Each_Mesh(
        ctx, [&](const UniOb& mesh) { DrawSpectrum(mesh, o.Spectrum_Select, o.Spectrum_Color_Intensity); });
    // 2. The point set's region spheres, for "Curvature Region" only.
    if (o.Spectrum_Select == 5 && ctx.objects.Point_Set) Draw_Point_Set_Regions(*ctx.objects.Point_Set);
    // 3.
    glDisable(GL_LIGHTING);
    // 4.
    if (o.Edge_Checked) {
        Set_Contrast_Color(ctx);
        For_Each_Mesh(ctx, [&](const UniOb& mesh) { Draw_Mesh_Edges(mesh, v, o.Width); });
    }
}

void Hidden_Line_Pass(const DrawContext& ctx, const Vec3& v) {
    const DisplayOptions& o = ctx.options;
    // 1. Faces in the background colour hide what lies behind them, the hull's too.
    float bg[3];
    Color_To_RGB(o.BG_Color, bg);
    glColor3fv(bg);
    For_Each_Mesh(ctx, [&](const UniOb& mesh) { Draw_Mesh_Plain_Faces(mesh); });
    if (ctx.objects.Point_Set) Draw_Hull_Faces(*ctx.objects.Point_Set);
    // 2. Edges in each mesh's colour, moved toward the viewer.
    For_Each_Mesh(ctx, [&](const UniOb& mesh) {
        glColor4fv(mesh.Color_RGBA);
        Draw_Mesh_Edges(mesh, v, o.Width);
    });
    // 3. The hull edges of the point set in its colour.
    if (const POINT_LIST* set = ctx.objects.Point_Set) {
        Set_Point_Set_Color(*set);
        Draw_Hull_Edges(*set, v, o.Width);
    }
}

void Plain_Wire_Pass(const DrawContext& ctx) {
    const DisplayOptions& o = ctx.options;
    // 1.
    For_Each_Mesh(ctx, [&](const UniOb& mesh) {
        glLineWidth(float(o.Width));
        glColor4fv(mesh.Color_RGBA);
        Draw_Mesh_Face_Loops(mesh);
        glLineWidth(1.0f);
    });
    // 2. The point set's hull the same way in its colour.
    if (const POINT_LIST* set = ctx.objects.Point_Set) {
        Set_Point_Set_Color(*set);
        Draw_Hull_Loops(*set, o.Width);
    }
    // 3. The wire of the two split facet objects.
    for (const TriOb* part : {ctx.objects.Split_Part1, ctx.objects.Split_Part2})
        if (part) DrawWire(*part, o.Width);
    // 4. The segment lists, unmoved: the head of the split part at width w + 1, loose facets at w.
    Draw_Segment_Lists(ctx, nullptr, false, o.Width + 1);
    // 5. Every laser scan. The window forgets its current scan after such a frame.
    if (ctx.objects.Scan_First) {
        float c[3];
        Contrast_Color(o, c);
        Draw_Scans(ctx.objects.Scan_First, c, o.Width);
    }
}

void Point_Pass(const DrawContext& ctx) {
    const DisplayOptions& o = ctx.options;
    // 1.
    For_Each_Mesh(ctx, [&](const UniOb& mesh) {
        glColor4fv(mesh.Color_RGBA);
        glPointSize(float(o.Width));
        Draw_Mesh_Points(mesh);
        glPointSize(1.0f);
    });
    // 2. The fitted sphere, a flat disc with lighting off.
    if (ctx.objects.Fitted_Sphere) Draw_Fitted_Sphere(*ctx.objects.Fitted_Sphere);
    // 3. The current laser scan and the structure-from-motion data.
    float contrast[3];
    Contrast_Color(o, contrast);
    if (ctx.objects.Scan_Current) Draw_Scan(*ctx.objects.Scan_Current, contrast, o.Width);
    if (ctx.objects.SFM_Data) Draw_SFM(*ctx.objects.SFM_Data, ctx.view, contrast, o.Width);
    // 4. The point set, then the selected points.
    for (const POINT_LIST* set : {ctx.objects.Point_Set, ctx.objects.Selected_Points})
        if (set) Draw_Point_Set_Points(*set, o.Width);
}

void Bounding_Box_Pass(const DrawContext& ctx) {
    float c[3];
    Color_To_RGB(ctx.options.Homo_Bounding_Color, c);
    glColor3fv(c);
    For_Each_Mesh(
        ctx, [&](const UniOb& mesh) { DrawBoxAxisAligned(mesh.Box_Min, mesh.Box_Max, ctx.options.Width); });
    if (ctx.objects.Point_Set) Draw_Point_Set_Box(*ctx.objects.Point_Set, ctx.options.Width);
}

void Master_Box_Pass(const DrawContext& ctx) {
    const ViewState& view = ctx.view;
    // Bounds still in their empty state hold no scene; their "box" would be a 200000-unit frame.
    for (int i = 0; i < 3; ++i)
        if (view.Scene_Min[i] > view.Scene_Max[i]) return;
    glColor3f(1.0f, 0.0f, 0.0f);
    DrawBoxAxisAligned(view.Scene_Min, view.Scene_Max, ctx.options.Width);
}

void Oriented_Box_Pass(const DrawContext& ctx) {
    For_Each_Mesh(ctx, [&](const UniOb& mesh) {
        glColor3f(1.0f, 0.0f, 0.0f);
        glPointSize(5.0f);
        glBegin(GL_POINTS);
        glVertex3fv(mesh.Volume_Centroid.data());
        glEnd();
        glPointSize(1.0f);
        glColor3fv(mesh.Color_RGBA);
        Vec3 corners[8];
        Oriented_Box_Corners(mesh.Volume_Centroid, mesh.Principal_Axes, mesh.Axes_Extent, corners);
        DrawBoxCorners(corners);
    });
    if (const POINT_LIST* set = ctx.objects.Point_Set) {
        Set_Point_Set_Color(*set);
        Draw_Point_Set_Oriented_Box(*set);
    }
}

}  // namespace orvex
