// Per-face measures four faces at a time: every lane does the operations of the scalar routine in
// the same order and precision (AVX2 has no fused multiply-add without FMA, so nothing is
// contracted), and a face off their common path (degenerate, tiny, huge, not finite, an arc
// cosine next to a float rounding boundary) is redone by the scalar routines themselves.

#include "mesh/FaceMeasures.h"

#include <immintrin.h>

#include <cmath>

#include "geometry/Vec3.h"
#include "mesh/Topology.h"

namespace orvex {

namespace {

constexpr double kPi = 3.14159265358979323846;

void Face_Scalar(UniOb& mesh, std::size_t f, float* areas, float* angles, double* tetra) {
    const FaceIndex& t = mesh.Face_Index[f];
    Corner_Terms(mesh.Vertex_Pos[t[0]], mesh.Vertex_Pos[t[1]], mesh.Vertex_Pos[t[2]], mesh.Face_Normal[f],
                 areas[f], tetra[f], &angles[3 * f]);
}

double Triple_Scalar(const Vec3& A, const Vec3& B, const Vec3& C) {
    return A.x * (double(B.y) * C.z - double(B.z) * C.y) + A.y * (double(B.z) * C.x - double(B.x) * C.z) +
           A.z * (double(B.x) * C.y - double(B.y) * C.x);
}

float Weight_Area_Scalar(const Vec3& A, const Vec3& B, const Vec3& C) {
    const double ux = double(B.x) - A.x, uy = double(B.y) - A.y, uz = double(B.z) - A.z;
    const double vx = double(C.x) - A.x, vy = double(C.y) - A.y, vz = double(C.z) - A.z;
    const double nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
    return float(0.5 * std::sqrt(nx * nx + ny * ny + nz * nz));
}

typedef float F4 __attribute__((vector_size(16)));
typedef double D4 __attribute__((vector_size(32)));

#define ORVEX_WIDE [[gnu::target("avx2"), gnu::always_inline]] inline

ORVEX_WIDE D4 Wide(F4 f) {
    return __builtin_convertvector(f, D4);
}
ORVEX_WIDE F4 Narrow(D4 d) {
    return __builtin_convertvector(d, F4);
}
ORVEX_WIDE D4 Sqrt(D4 d) {
    return _mm256_sqrt_pd(d);
}
ORVEX_WIDE F4 Sqrt(F4 f) {
    return _mm_sqrt_ps(f);
}
// Lanes of a where the comparison result `mask` holds, else of b.
template <class Mask>
ORVEX_WIDE D4 Select(Mask mask, D4 a, D4 b) {
    return _mm256_blendv_pd(b, a, reinterpret_cast<__m256d>(mask));
}
// Lane bits of a comparison result.
template <class Mask>
ORVEX_WIDE int Bits(Mask m) {
    if constexpr (sizeof(Mask) == 32)
        return _mm256_movemask_pd(reinterpret_cast<__m256d>(m));
    else
        return _mm_movemask_ps(reinterpret_cast<__m128>(m));
}

// (x[j], y[j], z[j]) to out[3j..3j+2] for the four lanes: rows of the transposed 4 x 4, each stored
// whole over the start of the next, the last one without its fourth float.
ORVEX_WIDE void Store_Triples(float* out, F4 x, F4 y, F4 z) {
    __m128 r0 = x, r1 = y, r2 = z, r3 = _mm_setzero_ps();
    _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
    _mm_storeu_ps(out, r0);
    _mm_storeu_ps(out + 3, r1);
    _mm_storeu_ps(out + 6, r2);
    _mm_storel_pi(reinterpret_cast<__m64*>(out + 9), r3);
    _mm_store_ss(out + 11, _mm_movehl_ps(r3, r3));
}

// The corners of four faces, lane j from face f + j.
struct Corners {
    F4 ax, ay, az, bx, by, bz, cx, cy, cz;
};

// Where a face's corners come from: a mesh's positions through its indices, or three a face in a
// row (facets as read, before their corners are merged).
struct IndexedCorners {
    const Vec3* pos;
    const FaceIndex* face;
    const Vec3& A(std::size_t f) const { return pos[face[f][0]]; }
    const Vec3& B(std::size_t f) const { return pos[face[f][1]]; }
    const Vec3& C(std::size_t f) const { return pos[face[f][2]]; }
};
struct PlainCorners {
    const Vec3* corners;
    const Vec3& A(std::size_t f) const { return corners[3 * f]; }
    const Vec3& B(std::size_t f) const { return corners[3 * f + 1]; }
    const Vec3& C(std::size_t f) const { return corners[3 * f + 2]; }
};

template <class Source>
ORVEX_WIDE Corners Gather(const Source& source, std::size_t f) {
    Corners k;
    for (int j = 0; j < 4; ++j) {
        const Vec3 &A = source.A(f + j), &B = source.B(f + j), &C = source.C(f + j);
        k.ax[j] = A.x, k.ay[j] = A.y, k.az[j] = A.z;
        k.bx[j] = B.x, k.by[j] = B.y, k.bz[j] = B.z;
        k.cx[j] = C.x, k.cy[j] = C.y, k.cz[j] = C.z;
    }
    return k;
}

// Asin_Tail of FloatAcos.h, the same operations.
ORVEX_WIDE D4 Asin_Tail(D4 z) {
    const D4 z2 = z * z, z4 = z2 * z2;
    const D4 p = z * ((1.66666666666666657415e-01 + z * -3.25565818622400915405e-01) +
                      z2 * (2.01212532134862925881e-01 + z * -4.00555345006794114027e-02) +
                      z4 * (7.91534994289814532176e-04 + z * 3.47933107596021167570e-05));
    const D4 q = (1.0 + z * -2.40339491173441421878e+00) +
                 z2 * (2.02094576023350569471e+00 + z * -6.88283971605453293030e-01) +
                 z4 * 7.70381505559019352791e-02;
    return p / q;
}

// Safe_Acos for |x| below its cut-offs, with the bits of lanes whose result Acos_To_Float would
// take from its approximation; the others (and the cut-offs) are cleared in *ok.
ORVEX_WIDE F4 Acos_Lanes(D4 x, int* ok) {
    constexpr double kPiD = 3.14159265358979311600e+00;
    constexpr double kHalfPi = 1.57079632679489655800e+00;
    const D4 ax = Select(x < 0.0, -x, x);
    const auto small = ax <= 0.5;
    const D4 z = (1.0 - ax) * 0.5;
    const D4 tail = Asin_Tail(Select(small, x * x, z));
    const D4 ySmall = kHalfPi - (x + x * tail);
    const D4 s = Sqrt(Select(small, D4{}, z));
    const D4 a = 2.0 * (s + s * tail);
    const D4 y = Select(small, ySmall, Select(x > 0.0, a, kPiD - a));
    const D4 margin = y * 0x1p-36;
    const F4 lo = Narrow(y - margin), hi = Narrow(y + margin);
    *ok &= Bits(x < 0.99999999999) & Bits(x > -0.99999999999) & Bits(margin > 0.0) & Bits(lo == hi);
    return lo;
}

template <class Source>
[[gnu::target("avx2")]] std::size_t Face_Measures_Avx2(const Source& source, std::size_t begin,
                                                       std::size_t end, Vec3* normal, float* areas,
                                                       float* angles, double* tetra) {
    std::size_t f = begin;
    for (; f + 4 <= end; f += 4) {
        const Corners k = Gather(source, f);
        // Facet_Normal_Area: the float cross product, its length and the degenerate test in double.
        const F4 e1x = k.bx - k.ax, e1y = k.by - k.ay, e1z = k.bz - k.az;
        const F4 e2x = k.cx - k.ax, e2y = k.cy - k.ay, e2z = k.cz - k.az;
        const D4 fx = Wide(e1y * e2z - e1z * e2y), fy = Wide(e1z * e2x - e1x * e2z),
                 fz = Wide(e1x * e2y - e1y * e2x);
        const D4 qf = fx * fx + fy * fy + fz * fz;
        const D4 Ax = Wide(k.ax), Ay = Wide(k.ay), Az = Wide(k.az);
        const D4 Bx = Wide(k.bx), By = Wide(k.by), Bz = Wide(k.bz);
        const D4 Cx = Wide(k.cx), Cy = Wide(k.cy), Cz = Wide(k.cz);
        // Triangle_Angles' squared edge lengths, from float differences (within 2^-22 of the exact
        // ones, while Triangle_Cross takes them in double), settle the degenerate test whenever the
        // sine clears the cut-off by a margin; closer faces go to the scalar routine.
        const F4 pABx = k.ax - k.bx, pABy = k.ay - k.by, pABz = k.az - k.bz;
        const F4 pBCx = k.bx - k.cx, pBCy = k.by - k.cy, pBCz = k.bz - k.cz;
        const D4 qAB = Wide(pABx) * Wide(pABx) + Wide(pABy) * Wide(pABy) + Wide(pABz) * Wide(pABz);
        const D4 qBC = Wide(pBCx) * Wide(pBCx) + Wide(pBCy) * Wide(pBCy) + Wide(pBCz) * Wide(pBCz);
        const D4 qCA = Wide(e2x) * Wide(e2x) + Wide(e2y) * Wide(e2y) + Wide(e2z) * Wide(e2z);
        const D4 longest = _mm256_max_pd(qAB, _mm256_max_pd(qCA, qBC));
        const D4 all = qAB * qCA * qBC;
        int ok = Bits(qf >= 1e-30) & Bits(qf <= 3e38) & Bits(qf * longest > 1.0001e-8 * all);
        const D4 length = Sqrt(qf) * 1.00000001;
        const F4 nx = Narrow(fx / length), ny = Narrow(fy / length), nz = Narrow(fz / length);
        const F4 area = Sqrt(Narrow(qf)) / 2.0f;

        // Triangle_Angles: edge lengths as Point_Distance (C - A is e2 exactly), cosines in double.
        const F4 qABf = Narrow(qAB), qBCf = Narrow(qBC), qCAf = Narrow(qCA);
        ok &= Bits(Wide(qABf) >= 1e-12) & Bits(Wide(qBCf) >= 1e-12) & Bits(Wide(qCAf) >= 1e-12);
        const F4 a = Sqrt(qABf), b = Sqrt(qBCf), c = Sqrt(qCAf);
        // Dot(C - A, B - A) and Dot(C - B, A - B) in float.
        const F4 dotA = e2x * e1x + e2y * e1y + e2z * e1z;
        const F4 cbx = k.cx - k.bx, cby = k.cy - k.by, cbz = k.cz - k.bz;
        const F4 dotB = cbx * pABx + cby * pABy + cbz * pABz;
        const F4 infinity = F4{} + __builtin_inff();
        const F4 perimeter = a + b + c;
        ok &= Bits((dotA < infinity) & (dotA > -infinity)) & Bits((dotB < infinity) & (dotB > -infinity)) &
              Bits(perimeter < infinity);
        const D4 wa = Wide(a);
        const F4 angle0 = Acos_Lanes(Wide(dotA) / wa / Wide(c), &ok);
        const F4 angle1 = Acos_Lanes(Wide(dotB) / wa / Wide(b), &ok);
        const F4 angle2 = Narrow(kPi - Wide(angle0) - Wide(angle1));

        // The tetrahedron, signed by the new normal.
        const D4 bc0 = By * Cz - Bz * Cy, bc1 = Bz * Cx - Bx * Cz, bc2 = Bx * Cy - By * Cx;
        D4 triple = Ax * bc0 + Ay * bc1 + Az * bc2;
        triple = Select(triple < 0.0, -triple, triple);
        const D4 a6 = triple / 6.0;
        const D4 facing = Ax * Wide(nx) + Ay * Wide(ny) + Az * Wide(nz);
        const D4 term = Select(facing >= 0.0, a6, -a6);

        if (ok == 0xF) {
            Store_Triples(&normal[f].x, nx, ny, nz);
            Store_Triples(&angles[3 * f], angle0, angle1, angle2);
            __builtin_memcpy(areas + f, &area, sizeof area);
            __builtin_memcpy(tetra + f, &term, sizeof term);
            continue;
        }
        for (int j = 0; j < 4; ++j) {
            const std::size_t g = f + j;
            if (!(ok >> j & 1)) {
                Corner_Terms(source.A(g), source.B(g), source.C(g), normal[g], areas[g], tetra[g],
                             &angles[3 * g]);
                continue;
            }
            normal[g] = Vec3{nx[j], ny[j], nz[j]};
            areas[g] = area[j];
            angles[3 * g] = angle0[j], angles[3 * g + 1] = angle1[j], angles[3 * g + 2] = angle2[j];
            tetra[g] = term[j];
        }
    }
    return f;
}

[[gnu::target("avx2")]] std::size_t Triple_Products_Avx2(const UniOb& mesh, std::size_t begin,
                                                         std::size_t end, double* triple) {
    const Vec3* pos = mesh.Vertex_Pos.data();
    const FaceIndex* face = mesh.Face_Index.data();
    std::size_t f = begin;
    for (; f + 4 <= end; f += 4) {
        const Corners k = Gather(IndexedCorners{pos, face}, f);
        const D4 By = Wide(k.by), Bz = Wide(k.bz), Bx = Wide(k.bx);
        const D4 Cx = Wide(k.cx), Cy = Wide(k.cy), Cz = Wide(k.cz);
        const D4 t = Wide(k.ax) * (By * Cz - Bz * Cy) + Wide(k.ay) * (Bz * Cx - Bx * Cz) +
                     Wide(k.az) * (Bx * Cy - By * Cx);
        for (int j = 0; j < 4; ++j) triple[f + j] = t[j];
    }
    return f;
}

[[gnu::target("avx2")]] std::size_t Weight_Areas_Avx2(const UniOb& mesh, std::size_t begin, std::size_t end,
                                                      float* areas) {
    const Vec3* pos = mesh.Vertex_Pos.data();
    const FaceIndex* face = mesh.Face_Index.data();
    std::size_t f = begin;
    for (; f + 4 <= end; f += 4) {
        const Corners k = Gather(IndexedCorners{pos, face}, f);
        const D4 Ax = Wide(k.ax), Ay = Wide(k.ay), Az = Wide(k.az);
        const D4 ux = Wide(k.bx) - Ax, uy = Wide(k.by) - Ay, uz = Wide(k.bz) - Az;
        const D4 vx = Wide(k.cx) - Ax, vy = Wide(k.cy) - Ay, vz = Wide(k.cz) - Az;
        const D4 nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
        const F4 area = Narrow(0.5 * Sqrt(nx * nx + ny * ny + nz * nz));
        __builtin_memcpy(areas + f, &area, sizeof area);
    }
    return f;
}

#undef ORVEX_WIDE

bool Has_Avx2() {
    static const bool has = (__builtin_cpu_init(), __builtin_cpu_supports("avx2"));
    return has;
}

}  // namespace

void Face_Measures(UniOb& mesh, std::size_t begin, std::size_t end, float* areas, float* angles,
                   double* tetra) {
    const IndexedCorners source{mesh.Vertex_Pos.data(), mesh.Face_Index.data()};
    Vec3* normal = mesh.Face_Normal.data();
    std::size_t f = Has_Avx2() ? Face_Measures_Avx2(source, begin, end, normal, areas, angles, tetra) : begin;
    for (; f < end; ++f) Face_Scalar(mesh, f, areas, angles, tetra);
}

void Corner_Measures(const Vec3* corners, std::size_t count, Vec3* normals, float* areas, float* angles,
                     double* tetra) {
    const PlainCorners source{corners};
    std::size_t f = Has_Avx2() ? Face_Measures_Avx2(source, 0, count, normals, areas, angles, tetra) : 0;
    for (; f < count; ++f)
        Corner_Terms(source.A(f), source.B(f), source.C(f), normals[f], areas[f], tetra[f], &angles[3 * f]);
}

void Triple_Products(const UniOb& mesh, std::size_t begin, std::size_t end, double* triple) {
    std::size_t f = Has_Avx2() ? Triple_Products_Avx2(mesh, begin, end, triple) : begin;
    const Vec3* pos = mesh.Vertex_Pos.data();
    for (; f < end; ++f) {
        const FaceIndex& t = mesh.Face_Index[f];
        triple[f] = Triple_Scalar(pos[t[0]], pos[t[1]], pos[t[2]]);
    }
}

void Vertex_Normals_Of_Range(UniOb& mesh, const float* angles, unsigned begin, unsigned end) {
    Vec3* normal = mesh.Vertex_Normal.data();
    const FaceIndex* face = mesh.Face_Index.data();
    const Vec3* faceNormal = mesh.Face_Normal.data();
    for (unsigned v = begin; v < end; ++v) normal[v] = Vec3{};
    const unsigned span = end - begin;
    for (unsigned f = 0; f < mesh.Face_Count; ++f) {
        const FaceIndex& t = face[f];
        for (int j = 0; j < 3; ++j)
            if (unsigned(t[j]) - begin < span) normal[t[j]] += angles[3 * std::size_t(f) + j] * faceNormal[f];
    }
    Normalize_Vertex_Normals(mesh, begin, end);
}

void Weight_Areas(const UniOb& mesh, std::size_t begin, std::size_t end, float* areas) {
    std::size_t f = Has_Avx2() ? Weight_Areas_Avx2(mesh, begin, end, areas) : begin;
    const Vec3* pos = mesh.Vertex_Pos.data();
    for (; f < end; ++f) {
        const FaceIndex& t = mesh.Face_Index[f];
        areas[f] = Weight_Area_Scalar(pos[t[0]], pos[t[1]], pos[t[2]]);
    }
}

}  // namespace orvex
