#include "facet/Triangulate.h"

#include <cmath>

#include "geometry/Matrix4.h"

namespace orvex {

namespace {

// From this many nodes on the ring is indexed and the crossing test asks a grid of the edges.
constexpr std::size_t kGridFrom = 48;

void Emit(VEC_DLINK* a, VEC_DLINK* b, VEC_DLINK* c, std::vector<Ear>& ears) {
    Ear ear;
    const VEC_DLINK* nodes[3] = {a, b, c};
    for (int k = 0; k < 3; ++k) {
        ear.x[k] = nodes[k]->Coords[0];
        ear.y[k] = nodes[k]->Coords[1];
        ear.source[k] = nodes[k]->Source;
    }
    ears.push_back(ear);
}

double Orient(const VEC_DLINK* a, const VEC_DLINK* b, double px, double py) {
    const double ax = a->Coords[0], ay = a->Coords[1];
    return (double(b->Coords[0]) - ax) * (py - ay) - (double(b->Coords[1]) - ay) * (px - ax);
}

bool Same_Place(const VEC_DLINK* a, const VEC_DLINK* b) {
    return a->Coords[0] == b->Coords[0] && a->Coords[1] == b->Coords[1];
}

// True when no other node of the ring lies in the closed triangle (v.Prev, v, v.Next); nodes on
// its corners do not count.
bool Triangle_Is_Empty(const VEC_DLINK* v) {
    const VEC_DLINK* a = v->Prev;
    const VEC_DLINK* b = v->Next;
    for (const VEC_DLINK* u = b->Next; u != a; u = u->Next) {
        if (Same_Place(u, a) || Same_Place(u, v) || Same_Place(u, b)) continue;
        const double x = u->Coords[0], y = u->Coords[1];
        if (Orient(a, v, x, y) >= 0.0 && Orient(v, b, x, y) >= 0.0 && Orient(b, a, x, y) >= 0.0) return false;
    }
    return true;
}

// When no ear qualifies: a collinear node goes first (no area lost), then a convex node whose
// triangle is empty is cut as an ear, and only then is the node after Current dropped.
void No_Ear(Poly_2D& poly, std::vector<Ear>& ears, RingReport* report) {
    if (VEC_DLINK* flat = First_Flat_Node(poly)) {
        VEC_DLINK* a = flat->Prev;
        VEC_DLINK* b = flat->Next;
        poly.Unlink(flat);
        poly.Renew(a, b);
        if (report) ++report->collinearDropped;
        return;
    }
    VEC_DLINK* start = poly.Current;
    VEC_DLINK* v = start;
    v = start;
    do {
        if (Is_Convex_Node(v) && Triangle_Is_Empty(v)) {
            VEC_DLINK* a = v->Prev;
            VEC_DLINK* b = v->Next;
            Emit(a, v, b, ears);
            poly.Unlink(v);
            poly.Renew(a, b);
            if (report) ++report->emptyEars;
            return;
        }
        v = v->Next;
    } while (v != start);
    VEC_DLINK* cur = poly.Current;
    poly.Unlink(cur->Next);
    poly.Renew(cur, cur->Next);
    if (report) ++report->nodesDropped;
}

}  // namespace

void Triangulate_Ring(Poly_2D& poly, std::vector<Ear>& ears, RingReport* report, bool edgeGrid) {
    if (edgeGrid && VertexCount(poly) > kGridFrom) poly.Accelerate();
    while (VertexCount(poly) > 3) {
        if (IsConvex(poly)) {
            VEC_DLINK* apex = poly.Current;
            for (VEC_DLINK* u = apex->Next; u != poly.Current; u = u->Next)
                if (u->Coords[2] > apex->Coords[2]) apex = u;
            for (VEC_DLINK* v = apex->Next; v != apex->Prev; v = v->Next) Emit(apex, v, v->Next, ears);
            return;
        }
        Ear ear;
        if (ClipEar(poly, ear)) {
            ears.push_back(ear);
        } else {
            No_Ear(poly, ears, report);
        }
    }
    if (VertexCount(poly) == 3) {
        VEC_DLINK* a = poly.Current;
        // Three collinear nodes cover nothing; a facet of them would only be a sliver.
        if (std::fabs(Orient(a, a->Next, a->Next->Next->Coords[0], a->Next->Next->Coords[1])) <=
            Turn_Tolerance) {
            if (report) ++report->collinearDropped;
            return;
        }
        Emit(a, a->Next, a->Next->Next, ears);
    }
}

std::size_t TriangulateCut(TRI_FACET& facet, RingReport* report) {
    if (!facet.Segments || !facet.Cut_Path) return 0;
    // Compared in double: as floats both bounds are 1, and a facet facing -z would miss the half turn.
    const double nz = facet.Normal.z;
    Matrix4 R;
    if (nz > 0.99999999) {
        Mat4_Identity(R);
    } else if (nz < -0.99999999) {
        Mat4_Identity(R);  // the half turn about x, exactly
        R[5] = R[10] = -1.0f;
    } else {
        Vec3 axis{facet.Normal.y, -facet.Normal.x, 0.0f};
        Vec3_Normalize(axis);
        Mat4_Rotation(axis, float(std::acos(nz)), R);
    }
    std::vector<Vec3> points;
    std::vector<Ear> ears;
    for (VEC_LIST* list : {facet.Segments, facet.Cut_Path}) {
        Poly_2D poly;
        for (const VEC_LIST* r = list; r; r = r->next) {
            const Vec3 p{r->values[0], r->values[1], r->values[2]};
            const float x = float(double(R[0]) * p.x + double(R[1]) * p.y + double(R[2]) * p.z);
            const float y = float(double(R[4]) * p.x + double(R[5]) * p.y + double(R[6]) * p.z);
            poly.Append(x, y, int(points.size()));
            points.push_back(p);
        }
        UpdateTurns(poly);
        Triangulate_Ring(poly, ears, report);
    }
    for (const Ear& ear : ears) {
        auto* f = new TRI_FACET;
        f->Normal = facet.Normal;
        f->Corner0 = points[ear.source[0]];
        f->Corner1 = points[ear.source[1]];
        f->Corner2 = points[ear.source[2]];
        f->Offset = Dot(f->Normal, f->Corner1);
        f->Next = facet.Next;
        facet.Next = f;
    }
    return ears.size();
}

}  // namespace orvex
