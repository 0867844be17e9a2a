#include "render/AuxMarks.h"

#include <algorithm>
#include <vector>

#include "mesh/UniOb.h"
#include "render/FacetDraw.h"
#include "render/GL.h"

namespace orvex {

namespace {

// Records' first three floats as points, at most `count` of them.
template <class Records>
void Send_Record_Points(const Records& records, unsigned count) {
    const std::size_t n = std::min<std::size_t>(records.size(), count);
    if (n == 0) return;
    glBegin(GL_POINTS);
    for (std::size_t i = 0; i < n; ++i) glVertex3fv(records[i].data());
    glEnd();
}

}  // namespace

void Draw_Aux_Marks(const UniOb& mesh) {
    if (mesh.IsEmpty()) return;
    // 1. Profile marks: consecutive records pair up as lines, then the same records as points.
    glColor3f(1.0f, 0.0f, 0.0f);
    if (mesh.Profile_Marks) {
        glLineWidth(2.0f);
        glBegin(GL_LINES);
        for (const VEC_LIST* r = mesh.Profile_Marks; r; r = r->next) glVertex3fv(r->values);
        glEnd();
        glPointSize(2.0f);
        glBegin(GL_POINTS);
        for (const VEC_LIST* r = mesh.Profile_Marks; r; r = r->next) glVertex3fv(r->values);
        glEnd();
    }
    // 2. Regions, lit: an arrow along the normal and a sphere at the centre.
    glEnable(GL_LIGHTING);
    glColor3f(1.0f, 0.0f, 0.0f);
    if (mesh.Region_List) {
        GLUquadric* quadric = gluNewQuadric();
        for (const VEC_LIST* r = mesh.Region_List; r; r = r->next) {
            const Vec3 centre{r->values[0], r->values[1], r->values[2]};
            const Vec3 normal{r->values[3], r->values[4], r->values[5]};
            DrawArrow(centre, centre + normal * 20.0f);
            if (!quadric) continue;
            glPushMatrix();
            glTranslatef(centre.x, centre.y, centre.z);
            gluSphere(quadric, 2.0, 10, 10);
            glPopMatrix();
        }
        if (quadric) gluDeleteQuadric(quadric);
    }
    // 3. Feature points, then template points.
    glLineWidth(1.0f);
    glPointSize(3.0f);
    Send_Record_Points(mesh.Feature_Records, mesh.Feature_Count);
    Send_Record_Points(mesh.Template_Records, mesh.Template_Count);
    glPointSize(1.0f);
    glDisable(GL_LIGHTING);
}

}  // namespace orvex
