#include "render/Frame.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>

#include "geometry/Clock.h"
#include "geometry/Color.h"
#include "render/Axes.h"
#include "render/Camera.h"
#include "render/SceneDraw.h"

namespace orvex {

namespace {
// The toolkit draws into the same context (text painted over the view resets depth, scissor and
// buffer state to its own defaults); put back what a frame relies on: no shader, no buffer objects
// under the client arrays, the identity modelview and the main context's depth settings.
void Reset_Shared_State() {
    while (glGetError() != GL_NO_ERROR) {
    }
    GLint binding = 0;
    glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &binding);
    if (glGetError() == GL_NO_ERROR && binding != 0) glBindVertexArray(0);
    binding = 0;
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &binding);
    if (glGetError() == GL_NO_ERROR && binding != 0) glBindBuffer(GL_ARRAY_BUFFER, 0);
    binding = 0;
    glGetIntegerv(GL_ELEMENT_ARRAY_BUFFER_BINDING, &binding);
    if (glGetError() == GL_NO_ERROR && binding != 0) glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    binding = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &binding);
    if (glGetError() == GL_NO_ERROR && binding != 0) glUseProgram(0);
    glActiveTexture(GL_TEXTURE0);
    glDisable(GL_SCISSOR_TEST);
    glDisable(GL_STENCIL_TEST);
    glDepthMask(GL_TRUE);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    Init_Main_Context();
}
}  // namespace

void Init_Main_Context() {
    glClearDepth(1.0);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_DITHER);
}

int Render_Main_Frame(int width, int height, const ViewState& view, const DisplayOptions& options,
                      const SceneObjects& objects) {
    Reset_Shared_State();
    // The background chosen since the last frame shows in this one, not only in the next.
    float bg[3];
    Color_To_RGB(options.BG_Color, bg);
    glClearColor(bg[0], bg[1], bg[2], 1.0f);
    // Colour, depth, stencil and accumulation.
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT | GL_ACCUM_BUFFER_BIT);
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    const int t0 = Millisecond_Clock();

    const ProjectionNumbers p = Projection_Numbers(width, height, view.Perspective_Mode, view.Persp_Ratio);
    if (p.perspective)
        glFrustum(p.left, p.right, p.bottom, p.top, p.zNear, p.zFar);
    else
        glOrtho(p.left, p.right, p.bottom, p.top, p.zNear, p.zFar);
    // The eye on +z looking at the origin; everything stays on the projection stack.
    const double D = view.Camera_Distance;
    gluLookAt(0, 0, D, 0, 0, 0, 0, D, 0);
    glMultMatrixf(view.Model_Matrix.data());
    glScalef(view.Zoom_Scale, view.Zoom_Scale, view.Zoom_Scale);

    const DrawContext ctx{view, options, objects, width, height};
    Draw_Scene(ctx);
    if (options.Child_Window) Draw_Inset_View(ctx);
    if (options.Coor_Mark) {
        float contrast[3];
        Contrast_Color(options, contrast);
        Draw_Coordinate_Mark(view.Model_Matrix, contrast);
    }
    glFlush();
    return Millisecond_Clock() - t0;
}

std::mutex& Main_Frame_Mutex() {
    static std::mutex mutex;
    return mutex;
}

}  // namespace orvex
