// Filling a point set: the seven random distributions, the density mix of the hull benchmarks and
// the vertices of a mesh list. Every random number is drawn in the order the distributions name
// them, so a run repeats exactly from the same generator state.

#include <algorithm>
#include <cmath>
#include <numbers>

#include "geometry/Color.h"
#include "geometry/Matrix4.h"
#include "geometry/Random.h"
#include "mesh/UniOb.h"
#include "pointset/PointList.h"

namespace orvex {

namespace {

constexpr double kPi = std::numbers::pi;

struct Ranges {
    double x, y, z;
};

void Set_Point(VEC_LIST* node, long double x, long double y, long double z) {
    node->values[0] = float(x);
    node->values[1] = float(y);
    node->values[2] = float(z);
}

double Rand15_Unit() {
    return Crt_Rand15() / 32767.0;
}

// Radius r (drawn by the caller), then phi, then theta, each uniform; not uniform in volume.
void Polar_Point(VEC_LIST* node, const Ranges& range, long double r) {
    const float phi = float(2.0 * kPi * Random_Uniform01());
    const float theta = float((Random_Uniform01() - 0.5L) * kPi);
    const double ct = std::cos(double(theta)), st = std::sin(double(theta));
    const double cp = std::cos(double(phi)), sp = std::sin(double(phi));
    Set_Point(node, range.x * r * ct * cp, range.y * r * ct * sp, range.z * r * st);
}

void Make_Point(VEC_LIST* node, const Ranges& range, int distribution) {
    switch (distribution) {
        case IN_CUBE: {
            const double a = Rand15_Unit() - 0.5;
            const double b = Rand15_Unit() - 0.5;
            const double c = Rand15_Unit() - 0.5;
            Set_Point(node, a * range.x, b * range.y, c * range.z);
            break;
        }
        case IN_SPHERE_POLAR:
            Polar_Point(node, range, Random_Uniform01());
            break;
        case IN_SPHERE_CARD: {
            long double a, b, c;
            do {
                a = Random_Uniform01();
                b = Random_Uniform01();
                c = Random_Uniform01();
            } while (a * a + b * b + c * c - 1.0L > 0.0L);
            long double p[3] = {range.x * a, range.y * b, range.z * c};
            for (long double& coordinate : p)
                if (Random_Below(1024) & 1u) coordinate = -coordinate;
            Set_Point(node, p[0], p[1], p[2]);
            break;
        }
        case ON_SPHERE:
            Polar_Point(node, range, 1.0L);
            break;
        case SHELL_95:
            Polar_Point(node, range, 0.95L + 0.05L * Random_Uniform01());
            break;
        case SHELL_75:
            Polar_Point(node, range, 0.75L + 0.25L * Random_Uniform01());
            break;
        case SHELL_50:
            Polar_Point(node, range, 0.5L + 0.5L * Random_Uniform01());
            break;
        default:
            break;
    }
}

void Random_Colour(float colour[4]) {
    Color_To_RGB(Random_Color(), colour);  // alpha stays
}

// A random axis in the octant x, y, z >= 0 and a random angle in [0, pi]; drawn even for an empty set.
void Random_Rotation(POINT_LIST& set) {
    Vec3 a{2.0f, 2.0f, 2.0f};
    while (double(a.x) * a.x + double(a.y) * a.y > 1.0) {
        a.x = float(Random_Uniform01());
        a.y = float(Random_Uniform01());
    }
    a.z = float(std::sqrt(1.0000000001 - (double(a.x) * a.x + double(a.y) * a.y)));
    const float angle = float(Random_Uniform01() * kPi);
    Matrix4 rotation;
    Mat4_Rotation(a, angle, rotation);
    set.Rotate(rotation);
}

}  // namespace

void POINT_LIST::GenerateRandom(unsigned xRange, unsigned yRange, unsigned zRange, unsigned count,
                                int distribution, bool rotate, Progress* progress) {
    Random_Colour(colour);
    Clear();
    const Ranges range{double(float(xRange)), double(float(yRange)), double(float(zRange))};
    if (distribution >= IN_CUBE && distribution <= SHELL_50) {
        for (unsigned i = 0; i < count; ++i) {
            if ((i & 0xFFFF) == 0xFFFF) Report_Progress(progress, 0.0, "Creating points");
            VEC_LIST* node = NewPoint(3);
            Make_Point(node, range, distribution);
            InsertFront(node);
        }
    }
    if (rotate) Random_Rotation(*this);
    UpdateBounds();
}

void POINT_LIST::GenerateDensity(unsigned xRange, unsigned yRange, unsigned zRange, unsigned count,
                                 int density, bool rotate, Progress* progress) {
    Random_Colour(colour);
    Clear();
    const Ranges range{double(float(xRange)), double(float(yRange)), double(float(zRange))};
    density = density < 0 ? 0 : (density > 10 ? 10 : density);
    for (unsigned i = 0; i < count; ++i) {
        if ((i & 0xFFFF) == 0xFFFF) Report_Progress(progress, 0.0, "Creating points");
        VEC_LIST* node = NewPoint(3);
        // d tenths of the points on the sphere: indices 0 .. d - 1 of every ten.
        Make_Point(node, range, int(i % 10) < density ? ON_SPHERE : IN_SPHERE_POLAR);
        InsertFront(node);
    }
    if (rotate) Random_Rotation(*this);
    UpdateBounds();
}

void POINT_LIST::FromMeshes(const UniOb* first) {
    if (!first) return;
    Clear();
    Random_Colour(colour);
    for (const UniOb* mesh = first; mesh; mesh = mesh->next) {
        // The counted vertices only: a mesh's arrays may be longer than its count.
        const std::size_t n = std::min<std::size_t>(mesh->Vertex_Count, mesh->Vertex_Pos.size());
        for (std::size_t v = 0; v < n; ++v) {
            VEC_LIST* node = NewPoint(3);
            const Vec3& p = mesh->Vertex_Pos[v];
            node->values[0] = p.x;
            node->values[1] = p.y;
            node->values[2] = p.z;
            InsertFront(node);
        }
    }
    UpdateBounds();
}

}  // namespace orvex
