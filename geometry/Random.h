#pragma once
// The program's random numbers. Nothing is seeded, so every run repeats the same sequences.
// Single-threaded by design: only the GUI thread (or one command-line run) draws.

#include <cstdint>

namespace orvex {

// The additive lagged generator over its fixed 33-word table: x(k) = x(k-33) + x(k-13).
std::uint32_t Random_Next();
long double Random_Uniform01();
long double Random_Uniform(long double a, long double b);
// 0 for n = 0, else the 31-bit generator mod n.
std::uint32_t Random_Below(std::uint32_t n);

// Stand-ins for the C library's generators: 15-bit (0..32767) and 31-bit (0..2^31-1).
int Crt_Rand15();
std::int32_t Crt_Rand31();

// Back to the start-up state of all three generators; for tests and repeatable batch runs.
void Random_Reset_All();

}  // namespace orvex
