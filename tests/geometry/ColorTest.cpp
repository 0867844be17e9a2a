// Random colours and the spectrum ramps at their corners.
#include <gtest/gtest.h>

#include <array>

#include "geometry/Color.h"
#include "geometry/Random.h"

using namespace orvex;

namespace {
using Rgb = std::array<float, 3>;
template <typename Ramp, typename... Args>
Rgb Ramped(Ramp ramp, Args... args) {
    Rgb out{-1, -1, -1};
    ramp(out.data(), args...);
    return out;
}
}  // namespace

TEST(Color, RandomColourSkipsClockSecondsBeforeEachChannel) {
    // Seconds 9 and 16 (both 2 mod 7): two draws skipped before blue, green and red.
    Random_Reset_All();
    std::array<int, 9> d;
    for (int& v : d) v = Crt_Rand15();
    Random_Reset_All();
    EXPECT_EQ(Random_Color_At(9, 16),
              ((64 + d[2] % 192) << 16) | ((64 + d[5] % 192) << 8) | (64 + d[8] % 192));
    const int c = Random_Color();
    for (int shift : {0, 8, 16}) EXPECT_GE((c >> shift) & 0xff, 64);
    EXPECT_EQ(c >> 24, 0);
}

TEST(Spectrum, CornersOfTheThreeRamps) {
    EXPECT_EQ(Ramped(Spectrum_Linear, 1.0f), (Rgb{1, 0, 0}));
    EXPECT_EQ(Ramped(Spectrum_Linear, 0.5f), (Rgb{1, 1, 0}));
    EXPECT_EQ(Ramped(Spectrum_Linear, 0.0f), (Rgb{0, 1, 0}));
    EXPECT_EQ(Ramped(Spectrum_Linear, -0.5f), (Rgb{0, 1, 1}));
    EXPECT_EQ(Ramped(Spectrum_Linear, -1.0f), (Rgb{0, 0, 1}));

    EXPECT_EQ(Ramped(Spectrum_Angle, 0.0f), (Rgb{0, 0, 1}));
    EXPECT_EQ(Ramped(Spectrum_Angle, 45.0f), (Rgb{0, 1, 1}));
    EXPECT_EQ(Ramped(Spectrum_Angle, 90.0f), (Rgb{0, 1, 0}));
    EXPECT_EQ(Ramped(Spectrum_Angle, 135.0f), (Rgb{1, 1, 0}));
    EXPECT_EQ(Ramped(Spectrum_Angle, 180.0f), (Rgb{1, 0, 0}));

    EXPECT_EQ(Ramped(Spectrum_Exp, 0.0f, 1.0f), (Rgb{0, 1, 0}));
    EXPECT_EQ(Ramped(Spectrum_Exp, 50.0f, 1.0f), (Rgb{1, 0, 0}));
    EXPECT_EQ(Ramped(Spectrum_Exp, -50.0f, 1.0f), (Rgb{0, 0, 1}));
    const Rgb yellow = Ramped(Spectrum_Exp, 0.6931472f, 1.0f);  // f = 2 - 2 exp(-ln 2) = 1
    EXPECT_NEAR(yellow[0], 1, 1e-6);
    EXPECT_NEAR(yellow[1], 1, 1e-6);
}

TEST(SpectrumDegenerate, OutOfDomainLeavesTheColourUnchanged) {
    const Rgb untouched{-1, -1, -1};
    EXPECT_EQ(Ramped(Spectrum_Linear, 1.01f), untouched);
    EXPECT_EQ(Ramped(Spectrum_Angle, -181.0f), untouched);
    EXPECT_EQ(Ramped(Spectrum_Exp, 1e6f, 1.0f), untouched);
}
