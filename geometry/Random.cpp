#include "geometry/Random.h"

#include <array>

namespace orvex {

namespace {

constexpr std::array<std::uint32_t, 33> kStartTable = {
    0xd53f1852, 0xdfc78b83, 0x4f256096, 0x0e643df7, 0x82c359bf, 0xc7794dfa, 0xd5e9ffaa,
    0x2c8cb64a, 0x2f07b334, 0xad5a7eb5, 0x96dc0cde, 0x6fc24589, 0xa5853646, 0xe71576e2,
    0x0dae30df, 0xb09ce711, 0x5e56ef87, 0x4b4b0082, 0x6f4f340e, 0xc5bb17e8, 0xd788d765,
    0x67498087, 0x9d7aba26, 0x261351d4, 0x411ee7ea, 0x0393a263, 0x2c5a5835, 0xc115fcd8,
    0x25e9132c, 0xd0c6e906, 0xc2bc5b2d, 0x6c065c98, 0x6e37bd55};
constexpr int kStartFront = 32;
constexpr int kStartRear = 12;

// Front and rear stay 20 apart, so at most one of them wraps in a step.
struct LaggedState {
    std::array<std::uint32_t, 33> table = kStartTable;
    int front = kStartFront;
    int rear = kStartRear;
};
LaggedState lagged;

// Stand-ins for the C library's unseeded generators. Only their ranges matter to callers; fixed
// linear congruential recurrences keep every run repeatable on every platform.
constexpr std::uint32_t kRand15Start = 1;
constexpr std::uint64_t kRand31Start = 0x853c49e6748fea9bULL;
std::uint32_t rand15State = kRand15Start;
std::uint64_t rand31State = kRand31Start;

}  // namespace

std::uint32_t Random_Next() {
    const std::uint32_t x = lagged.table[lagged.front] + lagged.table[lagged.rear];
    lagged.table[lagged.front] = x;
    --lagged.front;
    --lagged.rear;
    if (lagged.front < 0)
        lagged.front = 32;
    else if (lagged.rear < 0)
        lagged.rear = 32;
    return x >> 1;
}

long double Random_Uniform01() {
    return Random_Next() * (1.0L / 2147483647.0L);
}

long double Random_Uniform(long double a, long double b) {
    return a + Random_Uniform01() * (b - a);
}

std::uint32_t Random_Below(std::uint32_t n) {
    return n == 0 ? 0 : std::uint32_t(Crt_Rand31()) % n;
}

int Crt_Rand15() {
    // The classic portable rand() of the C standard's example.
    rand15State = rand15State * 1103515245u + 12345u;
    return int((rand15State / 65536u) % 32768u);
}

std::int32_t Crt_Rand31() {
    // 64-bit LCG (Knuth's MMIX constants); the high bits are the good ones.
    rand31State = rand31State * 6364136223846793005ULL + 1442695040888963407ULL;
    return std::int32_t(rand31State >> 33);
}

void Random_Reset_All() {
    lagged = LaggedState{};
    rand15State = kRand15Start;
    rand31State = kRand31Start;
}

}  // namespace orvex
