#include "geometry/Clock.h"

#include <chrono>

namespace orvex {

namespace {
const auto kProgramStart = std::chrono::steady_clock::now();
}

int Millisecond_Clock() {
    auto elapsed = std::chrono::steady_clock::now() - kProgramStart;
    return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

}  // namespace orvex
