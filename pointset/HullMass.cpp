// Mass properties of a point set's hull (volume and centroid) and the oriented box along the
// principal axes of its inertia, both as sums over the tetrahedra that the hull faces span with one
// apex. Both read the hull faces and leave the hull untouched; with no hull faces they change
// nothing. Sums run in double and are stored as float.

#include "geometry/Eigen.h"
#include "pointset/PointList.h"

namespace orvex {

namespace {

struct Vec3d {
    double x = 0.0, y = 0.0, z = 0.0;
};

Vec3d Of(const VEC_LIST* p) {
    return {p->values[0], p->values[1], p->values[2]};
}
Vec3d Minus(const Vec3d& a, const Vec3d& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
double Dot(const Vec3d& a, const Vec3d& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
Vec3d Cross(const Vec3d& a, const Vec3d& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

}  // namespace

void POINT_LIST::HullMassProperties() {
    const CON_FACE_LIST_VEC* first = hull.next;
    if (!first) return;
    // The tetrahedra share an apex; a corner of the hull serves instead of the origin so that a
    // hull far from the origin does not lose its volume to cancellation. Sums run in double: a
    // hull of millions of faces adds millions of tiny volumes.
    const Vec3d apex = Of(first->v[0]);
    double total = 0.0;
    Vec3d moment;
    for (const CON_FACE_LIST_VEC* f = first; f; f = f->next) {
        const Vec3d a = Minus(Of(f->v[0]), apex);
        const Vec3d b = Minus(Of(f->v[1]), apex);
        const Vec3d c = Minus(Of(f->v[2]), apex);
        // Signed by the face's orientation: positive when the apex lies behind an outward face.
        const double v = Dot(a, Cross(b, c)) / 6.0;
        total += v;
        moment.x += v * (a.x + b.x + c.x) / 4.0;
        moment.y += v * (a.y + b.y + c.y) / 4.0;
        moment.z += v * (a.z + b.z + c.z) / 4.0;
    }
    volume = float(total);
    centroid = Vec3{};
    if (total > 0.0) {
        centroid = Vec3{float(moment.x / total + apex.x), float(moment.y / total + apex.y),
                        float(moment.z / total + apex.z)};
    }
    coloured = false;
}

void POINT_LIST::InertiaBox() {
    if (!hull.next) return;
    const Vec3d C{centroid.x, centroid.y, centroid.z};
    // The inertia of the solid, summed over the tetrahedra (centroid, face). Each one's second
    // moments are the exact ones, sum(p_i p_j) over its corners plus S_i S_j for the corner sum S,
    // times w / 120: a point mass at its centre would tilt the box of a box, whose faces are split
    // along diagonals. w is six times the volume with the sign an outward face gives it, negative,
    // so the matrix is the negated inertia and its increasing eigenvalues run from the largest
    // moment to the smallest.
    double m00 = 0, m01 = 0, m02 = 0, m11 = 0, m12 = 0, m22 = 0;
    for (const CON_FACE_LIST_VEC* f = hull.next; f; f = f->next) {
        const Vec3d a = Minus(Of(f->v[0]), C);
        const Vec3d b = Minus(Of(f->v[1]), C);
        const Vec3d c = Minus(Of(f->v[2]), C);
        const double w = Dot(c, Cross(b, a));
        const Vec3d s{a.x + b.x + c.x, a.y + b.y + c.y, a.z + b.z + c.z};
        auto moment = [&](double Vec3d::*i, double Vec3d::*j) {
            return (a.*i * a.*j + b.*i * b.*j + c.*i * c.*j + s.*i * s.*j) * w / 120.0;
        };
        const double xx = moment(&Vec3d::x, &Vec3d::x), yy = moment(&Vec3d::y, &Vec3d::y);
        const double zz = moment(&Vec3d::z, &Vec3d::z);
        m00 += yy + zz;
        m01 -= moment(&Vec3d::x, &Vec3d::y);
        m02 -= moment(&Vec3d::x, &Vec3d::z);
        m11 += zz + xx;
        m12 -= moment(&Vec3d::y, &Vec3d::z);
        m22 += yy + xx;
    }
    const float M[9] = {float(m00), float(m01), float(m02), float(m01), float(m11),
                        float(m12), float(m02), float(m12), float(m22)};
    Eigen eigen(3);
    eigen.SetMatrix(M);
    eigen.Solve();
    for (int j = 0; j < 3; ++j) boxAxes[j] = Vec3{eigen.Get(0, j), eigen.Get(1, j), eigen.Get(2, j)};

    const VEC_LIST* p = points.next;
    if (!p) return;
    float lo[3], hi[3];
    for (int j = 0; j < 3; ++j) {
        const Vec3d axis{boxAxes[j].x, boxAxes[j].y, boxAxes[j].z};
        lo[j] = hi[j] = float(Dot(Minus(Of(p), C), axis));
    }
    for (p = p->next; p; p = p->next) {
        const Vec3d d = Minus(Of(p), C);
        for (int j = 0; j < 3; ++j) {
            const float e = float(d.x * boxAxes[j].x + d.y * boxAxes[j].y + d.z * boxAxes[j].z);
            if (e < lo[j]) lo[j] = e;
            if (e > hi[j]) hi[j] = e;
        }
    }
    for (int j = 0; j < 3; ++j) {
        boxExtent[2 * j] = lo[j];
        boxExtent[2 * j + 1] = hi[j];
    }
}

}  // namespace orvex
