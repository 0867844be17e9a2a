// Sphere STL generation: one vertex table, facets by arithmetic on their number.

#include "mesh/StlSynth.h"

#include <array>
#include <cmath>
#include <cstring>
#include <numbers>

#include "geometry/AtomicFile.h"
#include "mesh/StlFormat.h"

namespace orvex {

namespace {

// Vertex 0 is the north pole, then segments vertices per inner ring, then the south pole.
std::vector<Vec3> Sphere_Vertices(const SphereShape& shape) {
    std::vector<Vec3> vertices;
    vertices.reserve(Sphere_Vertex_Count(shape));
    const double R = shape.radius;
    vertices.push_back({0.0f, 0.0f, float(R)});
    for (unsigned r = 1; r < shape.bands; ++r) {
        const double theta = std::numbers::pi * r / shape.bands;
        for (unsigned s = 0; s < shape.segments; ++s) {
            const double phi = 2.0 * std::numbers::pi * s / shape.segments;
            vertices.push_back({float(R * std::sin(theta) * std::cos(phi)),
                                float(R * std::sin(theta) * std::sin(phi)), float(R * std::cos(theta))});
        }
    }
    vertices.push_back({0.0f, 0.0f, float(-R)});
    return vertices;
}

// Facet f in row order: the north cap, then two facets per quad of each band, then the south cap.
// All counter-clockwise seen from outside.
std::array<std::uint32_t, 3> Sphere_Facet(const SphereShape& shape, std::uint64_t f) {
    const std::uint32_t S = shape.segments;
    const std::uint32_t south = S * (shape.bands - 1) + 1;
    auto id = [&](std::uint32_t ring, std::uint32_t s) { return 1 + (ring - 1) * S + s % S; };
    if (f < S) {
        const auto s = std::uint32_t(f);
        return {0, id(1, s), id(1, s + 1)};
    }
    f -= S;
    const std::uint64_t middle = 2ull * S * (shape.bands - 2);
    if (f < middle) {
        const auto ring = std::uint32_t(1 + f / (2ull * S));
        const auto s = std::uint32_t((f / 2) % S);
        if (f % 2 == 0) return {id(ring, s), id(ring + 1, s), id(ring + 1, s + 1)};
        return {id(ring, s), id(ring + 1, s + 1), id(ring, s + 1)};
    }
    const auto s = std::uint32_t(f - middle);
    return {id(shape.bands - 1, s), south, id(shape.bands - 1, s + 1)};
}

std::uint64_t SplitMix(std::uint64_t& state) {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// Calls sink(record bytes, 50) for every facet in the shape's order.
template <class Sink>
void Emit_Sphere(const SphereShape& shape, Sink sink) {
    const std::vector<Vec3> vertices = Sphere_Vertices(shape);
    const std::uint64_t count = Sphere_Facet_Count(shape);
    std::vector<std::uint32_t> order;
    if (shape.order == FacetOrder::Shuffled) {
        order.resize(count);
        for (std::uint64_t i = 0; i < count; ++i) order[i] = std::uint32_t(i);
        std::uint64_t state = shape.seed;
        for (std::uint64_t i = count - 1; i > 0; --i) std::swap(order[i], order[SplitMix(state) % (i + 1)]);
    }
    unsigned char record[kStlRecordBytes] = {};
    for (std::uint64_t i = 0; i < count; ++i) {
        const auto corners = Sphere_Facet(shape, order.empty() ? i : order[i]);
        StlFacet facet;
        for (int c = 0; c < 3; ++c) facet.corner[c] = vertices[corners[c]];
        Facet_Normal(facet.normal, facet.corner[0], facet.corner[1], facet.corner[2]);
        std::memcpy(record, &facet, sizeof facet);
        sink(record);
    }
}

void Fill_Preamble(unsigned char* preamble, std::uint64_t count) {
    std::memset(preamble, 0, kStlPreambleBytes);
    std::memcpy(preamble, kStlHeaderText, sizeof kStlHeaderText - 1);
    const auto n = std::uint32_t(count);
    std::memcpy(preamble + kStlHeaderBytes, &n, sizeof n);
}

}  // namespace

SphereShape Sphere_For_Triangles(std::uint64_t triangles, FacetOrder order, double radius) {
    // 2 x segments x (bands - 1) facets: look for a factorisation near the square.
    const std::uint64_t half = std::max<std::uint64_t>(triangles / 2, 3);
    auto root = std::uint64_t(std::sqrt(double(half)));
    std::uint64_t rows = std::max<std::uint64_t>(root, 1);
    for (std::uint64_t d = root; d >= std::max<std::uint64_t>(1, root * 4 / 5); --d) {
        if (half % d == 0) {
            rows = d;
            break;
        }
        if (d == 1) break;
    }
    SphereShape shape;
    shape.bands = unsigned(std::max<std::uint64_t>(rows, 1) + 1);
    shape.segments = unsigned(std::max<std::uint64_t>((half + rows / 2) / rows, 3));
    shape.radius = radius;
    shape.order = order;
    return shape;
}

std::uint64_t Sphere_Facet_Count(const SphereShape& shape) {
    return 2ull * shape.segments * (shape.bands - 1);
}

std::uint64_t Sphere_Vertex_Count(const SphereShape& shape) {
    return std::uint64_t(shape.segments) * (shape.bands - 1) + 2;
}

std::vector<unsigned char> Make_Sphere_Stl(const SphereShape& shape) {
    std::vector<unsigned char> bytes(Stl_Binary_Size(Sphere_Facet_Count(shape)));
    Fill_Preamble(bytes.data(), Sphere_Facet_Count(shape));
    unsigned char* at = bytes.data() + kStlPreambleBytes;
    Emit_Sphere(shape, [&](const unsigned char* record) {
        std::memcpy(at, record, kStlRecordBytes);
        at += kStlRecordBytes;
    });
    return bytes;
}

Status Write_Sphere_Stl(const std::string& path, const SphereShape& shape) {
    AtomicFile file;
    if (Status opened = file.Open(path); !opened) return opened;
    unsigned char preamble[kStlPreambleBytes];
    Fill_Preamble(preamble, Sphere_Facet_Count(shape));
    file.Write(preamble, sizeof preamble);
    Emit_Sphere(shape, [&](const unsigned char* record) { file.Write(record, kStlRecordBytes); });
    return file.Commit();
}

}  // namespace orvex
