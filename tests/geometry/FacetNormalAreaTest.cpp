// The combined normal and area must be the two separate measures bit for bit, degenerate, tiny and
// huge triangles included.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "geometry/Vec3.h"

namespace orvex {
namespace {

TEST(FacetNormalArea, EqualsFacetNormalAndTriangleAreaAtEveryScale) {
    std::mt19937 random(3);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    auto check = [](const Vec3& A, const Vec3& B, const Vec3& C) {
        Vec3 normal, combined;
        Facet_Normal(normal, A, B, C);
        const float area = Facet_Normal_Area(combined, A, B, C);
        const float separate = Triangle_Area(A, B, C);
        return std::memcmp(&normal, &combined, sizeof normal) == 0 &&
               std::memcmp(&area, &separate, sizeof area) == 0;
    };
    for (const float scale : {1e-30f, 1e-12f, 1e-3f, 1.0f, 1e3f, 1e15f, 1e19f, 1e36f}) {
        for (int i = 0; i < 2000; ++i) {
            const Vec3 A{unit(random) * scale, unit(random) * scale, unit(random) * scale};
            const Vec3 B{unit(random) * scale, unit(random) * scale, unit(random) * scale};
            const Vec3 C{unit(random) * scale, unit(random) * scale, unit(random) * scale};
            ASSERT_TRUE(check(A, B, C)) << scale << " " << i;
            // Collinear and nearly collinear corners, and a coincident pair.
            const Vec3 mid{(A.x + B.x) / 2, (A.y + B.y) / 2, (A.z + B.z) / 2};
            ASSERT_TRUE(check(A, B, mid)) << scale << " " << i;
            ASSERT_TRUE(check(A, B, Vec3{mid.x, std::nextafter(mid.y, 2 * scale), mid.z}))
                << scale << " " << i;
            ASSERT_TRUE(check(A, A, C)) << scale << " " << i;
        }
    }
}

}  // namespace
}  // namespace orvex
