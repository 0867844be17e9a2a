#include "render/ScanDraw.h"

#include "render/GL.h"
#include "sfm/SickScan.h"

namespace orvex {

void Draw_Scan(const VEC_LIST& scan, const float colour[3], int size) {
    glColor3f(1.0f, 0.0f, 0.0f);
    glBegin(GL_POLYGON);
    glVertex3f(-30.0f, -20.0f, 0.0f);
    glVertex3f(30.0f, -20.0f, 0.0f);
    glVertex3f(30.0f, 100.0f, 0.0f);
    glVertex3f(-30.0f, 100.0f, 0.0f);
    glEnd();

    Vec3 points[Sick_Readings];
    const int n = scan.values ? Scan_Points(scan, points) : 0;
    glColor3fv(colour);
    glPointSize(float(size));
    glBegin(GL_POINTS);
    for (int i = 0; i < n; ++i) glVertex3fv(points[i].data());
    glEnd();
    glPointSize(1.0f);
}

void Draw_Scans(const VEC_LIST* first, const float colour[3], int size) {
    for (const VEC_LIST* scan = first; scan; scan = scan->next) Draw_Scan(*scan, colour, size);
}

}  // namespace orvex
