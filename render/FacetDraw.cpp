#include "render/FacetDraw.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "facet/BoundaryLoop.h"
#include "facet/TriOb.h"
#include "render/GL.h"
#include "render/MeshPasses.h"

namespace orvex {

namespace {

// Corners per draw call: keeps the scratch memory small.
constexpr std::size_t kChunkVertices = 3 * 8192;

bool Immediate() {
    return Mesh_Submission() == MeshSubmission::Immediate;
}

// Sends `vertices` as `mode` primitives (GL_LINES, GL_TRIANGLES or GL_POINTS: whole primitives per
// chunk), with one normal per vertex when `normals` is given.
void Send(GLenum mode, const std::vector<Vec3>& vertices, const std::vector<Vec3>* normals = nullptr) {
    if (vertices.empty()) return;
    if (Immediate()) {
        glBegin(mode);
        for (std::size_t i = 0; i < vertices.size(); ++i) {
            if (normals) glNormal3fv((*normals)[i].data());
            glVertex3fv(vertices[i].data());
        }
        glEnd();
        return;
    }
    const std::size_t per = mode == GL_TRIANGLES ? 3 : mode == GL_LINES ? 2 : 1;
    const std::size_t usable = vertices.size() / per * per;
    glEnableClientState(GL_VERTEX_ARRAY);
    if (normals) glEnableClientState(GL_NORMAL_ARRAY);
    for (std::size_t first = 0; first < usable; first += kChunkVertices) {
        const std::size_t count = std::min(kChunkVertices, usable - first);
        glVertexPointer(3, GL_FLOAT, sizeof(Vec3), vertices[first].data());
        if (normals) glNormalPointer(GL_FLOAT, sizeof(Vec3), (*normals)[first].data());
        glDrawArrays(mode, 0, GLsizei(count));
    }
    if (normals) {
        glDisableClientState(GL_NORMAL_ARRAY);
        glNormal3fv(normals->back().data());  // as immediate mode leaves it
    }
    glDisableClientState(GL_VERTEX_ARRAY);
}

// Gathers the vertices (and normals) of one kind of primitive and sends them a chunk at a time, so
// an object of millions of facets needs scratch memory for one chunk only.
class Batch {
public:
    Batch(GLenum mode, bool normals) : mode_(mode), normals_(normals) {
        vertices_.reserve(kChunkVertices);
        if (normals_) normalList_.reserve(kChunkVertices);
    }
    ~Batch() { Flush(); }
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;

    void Add(const Vec3& p) {
        vertices_.push_back(p);
        // Chunks end on whole primitives: the size is a multiple of 2 and of 3.
        if (vertices_.size() == kChunkVertices) Flush();
    }
    void Add(const Vec3& p, const Vec3& n) {
        normalList_.push_back(n);
        Add(p);
    }
    void Flush() {
        Send(mode_, vertices_, normals_ ? &normalList_ : nullptr);
        vertices_.clear();
        normalList_.clear();
    }

private:
    GLenum mode_;
    bool normals_;
    std::vector<Vec3> vertices_;
    std::vector<Vec3> normalList_;
};

Vec3 Record_Point(const VEC_LIST* r) {
    return {r->values[0], r->values[1], r->values[2]};
}
Vec3 Record_Vector(const VEC_LIST* r) {
    return {r->values[3], r->values[4], r->values[5]};
}

bool Finite(const Vec3& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// A closed loop through a list's records as line segments.
void Append_Loop(const VEC_LIST* list, std::vector<Vec3>& lines) {
    if (!list) return;
    for (const VEC_LIST* r = list; r; r = r->next) {
        lines.push_back(Record_Point(r));
        lines.push_back(Record_Point(r->next ? r->next : list));
    }
}

void Append_Arrow(const Vec3& from, const Vec3& to, std::vector<Vec3>& lines, std::vector<Vec3>& triangles) {
    ArrowShape shape;
    if (!Arrow_Shape(from, to, shape)) return;
    lines.insert(lines.end(), shape.Line, shape.Line + 2);
    triangles.insert(triangles.end(), shape.Triangles, shape.Triangles + 18);
}

}  // namespace

bool Arrow_Shape(const Vec3& from, const Vec3& to, ArrowShape& shape) {
    if (!Finite(from) || !Finite(to)) return false;
    const Vec3 d = to - from;
    const double length = std::sqrt(double(d.x) * d.x + double(d.y) * d.y + double(d.z) * d.z);
    if (!(length > 0.0) || !std::isfinite(length)) return false;
    shape.Line[0] = from;
    shape.Line[1] = from + d * 0.65f;
    // The hexagon is built about +z and turned onto d about the axis perpendicular to both,
    // through the angle between them (Rodrigues); d along -z turns about x.
    const double ex = d.x / length, ey = d.y / length, ez = d.z / length;
    double ux = -ey, uy = ex;
    const double s = std::sqrt(ux * ux + uy * uy);
    if (s > 1e-12) {
        ux /= s, uy /= s;
    } else {
        ux = 1.0, uy = 0.0;
    }
    const double cosT = std::max(-1.0, std::min(1.0, ez));
    const double sinT = std::sqrt(std::max(0.0, 1.0 - cosT * cosT));
    const double r = length / 16.0;
    const Vec3 centre = from + d * 0.6f;
    Vec3 corner[6];
    for (int k = 0; k < 6; ++k) {
        const double a = k * M_PI / 3.0;
        const double vx = r * std::cos(a), vy = r * std::sin(a);
        // v (in the plane z = 0) turned about u (also in that plane).
        const double along = ux * vx + uy * vy;
        const double cross = ux * vy - uy * vx;  // u x v lies along z
        const double wx = vx * cosT + ux * along * (1.0 - cosT);
        const double wy = vy * cosT + uy * along * (1.0 - cosT);
        const double wz = cross * sinT;
        corner[k] = centre + Vec3{float(wx), float(wy), float(wz)};
    }
    for (int k = 0; k < 6; ++k) {
        shape.Triangles[3 * k] = corner[k];
        shape.Triangles[3 * k + 1] = corner[(k + 1) % 6];
        shape.Triangles[3 * k + 2] = to;
    }
    return true;
}

void DrawArrow(const Vec3& from, const Vec3& to) {
    std::vector<Vec3> lines, triangles;
    Append_Arrow(from, to, lines, triangles);
    Send(GL_LINES, lines);
    Send(GL_TRIANGLES, triangles);
}

void DrawSegments(const TRI_FACET& facet, const Vec3* direction, int width, const float colour[3],
                  bool arrows) {
    if (!facet.Segments) return;
    glLineWidth(float(width));
    glPointSize(float(width + 1));
    glColor3fv(colour);
    const Vec3 shift = direction ? *direction * (1.41f * float(width)) : Vec3{};
    std::vector<Vec3> points;
    for (const VEC_LIST* r = facet.Segments; r; r = r->next) points.push_back(Record_Point(r) + shift);
    Send(GL_LINES, points);
    if (direction && arrows) {
        std::vector<Vec3> lines, triangles;
        std::size_t i = 0;
        for (const VEC_LIST* r = facet.Segments; r; r = r->next, ++i)
            Append_Arrow(points[i], Record_Point(r) + Record_Vector(r) * 10.0f, lines, triangles);
        Send(GL_LINES, lines);
        Send(GL_TRIANGLES, triangles);
    }
    Send(GL_POINTS, points);
    glLineWidth(1.0f);
    glPointSize(1.0f);
}

void DrawShaded(const TriOb& object) {
    if (object.IsEmpty()) return;
    glColor4fv(object.Color);
    bool anySegments = false;
    {
        Batch triangles(GL_TRIANGLES, true);
        for (const TRI_FACET* f = object.Head.Next; f; f = f->Next) {
            for (const Vec3* c : {&f->Corner0, &f->Corner1, &f->Corner2}) triangles.Add(*c, f->Normal);
            anySegments = anySegments || f->Segments;
        }
    }
    if (!anySegments) return;
    glLineWidth(5.0f);
    glColor3f(1.0f, 0.0f, 0.0f);
    for (const TRI_FACET* f = object.Head.Next; f; f = f->Next) {
        if (!f->Segments) continue;
        glBegin(GL_LINE_STRIP);
        for (const VEC_LIST* r = f->Segments; r; r = r->next) glVertex3fv(r->values);
        glEnd();
    }
    glLineWidth(1.0f);
}

void DrawWire(const TriOb& object, int width) {
    if (object.IsEmpty()) return;
    glPointSize(float(width));
    glLineWidth(float(width));
    glColor4fv(object.Color);
    std::vector<Vec3> points;
    {
        Batch lines(GL_LINES, false);
        for (const TRI_FACET* f = object.Head.Next; f; f = f->Next) {
            const Vec3* c[3] = {&f->Corner0, &f->Corner1, &f->Corner2};
            for (int k = 0; k < 3; ++k) {
                lines.Add(*c[k]);
                lines.Add(*c[(k + 1) % 3]);
            }
            for (const VEC_LIST* r = f->Segments; r; r = r->next) points.push_back(Record_Point(r));
        }
    }
    if (!points.empty()) {
        glColor3f(1.0f, 0.0f, 0.0f);
        glPointSize(5.0f);
        Send(GL_POINTS, points);
        std::vector<Vec3> segmentLoops, cutLoops;
        for (const TRI_FACET* f = object.Head.Next; f; f = f->Next) {
            Append_Loop(f->Segments, segmentLoops);
            Append_Loop(f->Cut_Path, cutLoops);
        }
        glLineWidth(3.0f);
        glColor3f(0.7f, 0.1f, 0.1f);
        Send(GL_LINES, segmentLoops);
        glColor3f(0.1f, 0.7f, 0.1f);
        Send(GL_LINES, cutLoops);
    }
    glLineWidth(1.0f);
    glPointSize(1.0f);
}

void Ribbon_Lines(const BOUNDARY_LOOP& loop, float a, std::vector<Vec3>& lines) {
    lines.clear();
    const unsigned n = loop.Point_Count();
    if (n < 2) return;
    lines.reserve(8 * std::size_t(n - 1));
    auto side = [a](const LoopPoint& p, float sign) {
        return Vec3{p[0] + sign * a * p[3], p[1] + sign * a * p[4], p[2] + sign * a * p[5]};
    };
    for (unsigned i = 0; i + 1 < n; ++i) {
        const Vec3 q[4] = {side(loop.Points[i], 1.0f), side(loop.Points[i], -1.0f),
                           side(loop.Points[i + 1], -1.0f), side(loop.Points[i + 1], 1.0f)};
        for (int k = 0; k < 4; ++k) {
            lines.push_back(q[k]);
            lines.push_back(q[(k + 1) % 4]);
        }
    }
}

void DrawRibbon(const BOUNDARY_LOOP& loop, float halfWidth) {
    if (loop.Point_Count() < 2) return;
    std::vector<Vec3> lines;
    Ribbon_Lines(loop, halfWidth, lines);
    glColor3f(1.0f, 0.0f, 0.0f);
    glLineWidth(4.0f);
    Send(GL_LINES, lines);
    glLineWidth(1.0f);
}

}  // namespace orvex
