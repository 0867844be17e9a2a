// The fast arc cosine must give the library's float bit for bit, above all where the double result
// lies next to a float rounding boundary.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "geometry/FloatAcos.h"

namespace orvex {
namespace {

::testing::AssertionResult Same_As_Library(double x) {
    const float fast = Acos_To_Float(x), library = static_cast<float>(std::acos(x));
    if (std::memcmp(&fast, &library, sizeof fast) == 0 || (std::isnan(fast) && std::isnan(library)))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "x = " << x << ": " << fast << " against " << library;
}

TEST(FloatAcos, UniformAndEdgeArgumentsMatchTheLibrary) {
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    for (int i = 0; i < 400000; ++i) ASSERT_TRUE(Same_As_Library(uniform(random)));
    // Next to +-1 (tiny and near-pi angles, where the square root branch runs) and around the
    // branch point 1/2.
    for (int i = 0; i < 2000; ++i) {
        const double e = std::pow(10.0, -13.0 * i / 2000.0);
        for (const double x : {1 - e, -1 + e, 0.5 + e / 8, 0.5 - e / 8, -0.5 + e / 8, -0.5 - e / 8})
            ASSERT_TRUE(Same_As_Library(x));
    }
    const double nan = std::numeric_limits<double>::quiet_NaN(),
                 inf = std::numeric_limits<double>::infinity();
    for (const double x : {0.0, -0.0, 0.5, -0.5, 1.0, -1.0, 1.5, -2.0, inf, -inf, nan, 1e-300, -1e-300})
        EXPECT_TRUE(Same_As_Library(x));
}

TEST(FloatAcos, ArgumentsWhoseAngleLiesOnAFloatRoundingBoundaryMatchTheLibrary) {
    // x = cos(m) for m halfway between two floats, and its neighbouring doubles: the library's
    // double may round either way there.
    std::mt19937_64 random(11);
    std::uniform_real_distribution<float> angle(1e-5f, 3.14159f);
    for (int i = 0; i < 100000; ++i) {
        const float f = angle(random);
        const double m = (double(f) + double(std::nextafter(f, 4.0f))) / 2;
        double x = std::cos(m);
        for (int k = 0; k < 3; ++k) x = std::nextafter(x, -2.0);
        for (int k = 0; k < 7; ++k, x = std::nextafter(x, 2.0)) ASSERT_TRUE(Same_As_Library(x));
    }
}

}  // namespace
}  // namespace orvex
