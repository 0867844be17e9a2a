#include "geometry/Color.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <ctime>

#include "geometry/Random.h"

namespace orvex {

namespace {
int Channel(int colour, int shift) {
    return (colour >> shift) & 0xff;
}

// Non-negative remainder, so a negative index cannot produce a negative channel.
float Wrapped(std::int64_t value) {
    return float(((value % 256) + 256) % 256) / 255.0f;
}

int Wall_Clock_Second() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local.tm_sec;
}

int Random_Channel(int second) {
    for (int i = 0, m = second % 7; i < m; ++i) Crt_Rand15();
    return 64 + Crt_Rand15() % 192;
}
}  // namespace

void Color_To_RGB(int colour, float out[3]) {
    out[0] = Channel(colour, 0) / 255.0f;
    out[1] = Channel(colour, 8) / 255.0f;
    out[2] = Channel(colour, 16) / 255.0f;
}

void Color_Variant(int colour, float out[3], int k) {
    const std::int64_t R = Channel(colour, 0), G = Channel(colour, 8), B = Channel(colour, 16);
    if (std::abs(R - G) < 2 && std::abs(R - B) < 2) {
        out[0] = out[1] = out[2] = Wrapped(R + 55 * std::int64_t(k));
        return;
    }
    out[0] = Wrapped(R + 40 * std::int64_t(k));
    out[1] = Wrapped(G + 199 * std::int64_t(k));
    out[2] = Wrapped(B + 55 * std::int64_t(k));
}

int Random_Color_At(int blueSecond, int greenSecond) {
    const int blue = Random_Channel(blueSecond);
    const int green = Random_Channel(greenSecond);
    return (blue << 16) | (green << 8) | Random_Channel(greenSecond);
}

int Random_Color() {
    // The clock is read again after blue, and red reuses the green reading.
    const int blue = Random_Channel(Wall_Clock_Second());
    const int second = Wall_Clock_Second();
    const int green = Random_Channel(second);
    return (blue << 16) | (green << 8) | Random_Channel(second);
}

void Palette16(int label, float out[3]) {
    static const float kColours[16][3] = {{1, 1, 1},
                                          {1, 0, 0},
                                          {0, 1, 0},
                                          {0, 0, 1},
                                          {0, 1, 1},
                                          {1, 0, 1},
                                          {1, 1, 0},
                                          {0.5f, 0, 0},
                                          {0, 0.5f, 0},
                                          {0, 0, 0.5f},
                                          {0, 0.5f, 0.5f},
                                          {0.5f, 0, 0.5f},
                                          {0.5f, 0.5f, 0},
                                          {0.66f, 0.66f, 0.66f},
                                          {0.33f, 0.33f, 0.33f},
                                          {0, 0, 0}};
    const int index = label % 16;  // keeps the sign of label
    const float* c = index >= 0 ? kColours[index] : kColours[15];
    out[0] = c[0], out[1] = c[1], out[2] = c[2];
}

void Spectrum_Exp(float out[3], float v, float e) {
    if (std::fabs(v) >= 1000000.0f) return;
    if (v > 0.0f) {
        const float f = float(2.0 - 2.0 * std::exp(-double(v) * e));
        if (f > 1.0f)
            out[0] = 1.0f, out[1] = 2.0f - f, out[2] = 0.0f;
        else
            out[0] = f, out[1] = 1.0f, out[2] = 0.0f;
    } else {
        const float g = float(2.0 - 2.0 * std::exp(double(v) * e));
        if (g > 1.0f)
            out[0] = 0.0f, out[1] = 2.0f - g, out[2] = 1.0f;
        else
            out[0] = 0.0f, out[1] = 1.0f, out[2] = g;
    }
}

void Spectrum_Linear(float out[3], float a) {
    if (std::fabs(a) > 1.0f) return;
    if (a >= 0.5f)
        out[0] = 1.0f, out[1] = 2.0f * (1.0f - a), out[2] = 0.0f;
    else if (a >= 0.0f)
        out[0] = 2.0f * a, out[1] = 1.0f, out[2] = 0.0f;
    else if (a >= -0.5f)
        out[0] = 0.0f, out[1] = 1.0f, out[2] = -2.0f * a;
    else
        out[0] = 0.0f, out[1] = 2.0f * (a + 1.0f), out[2] = 1.0f;
}

void Spectrum_Angle(float out[3], float a) {
    if (std::fabs(a) > 180.0f) return;
    if (a >= 135.0f)
        out[0] = 1.0f, out[1] = (180.0f - a) / 45.0f, out[2] = 0.0f;
    else if (a >= 90.0f)
        out[0] = (a - 90.0f) / 45.0f, out[1] = 1.0f, out[2] = 0.0f;
    else if (a >= 45.0f)
        out[0] = 0.0f, out[1] = 1.0f, out[2] = (90.0f - a) / 45.0f;
    else
        out[0] = 0.0f, out[1] = a / 45.0f, out[2] = 1.0f;
}

}  // namespace orvex
