#include "geometry/PeakMemory.h"

#include <malloc.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace orvex {

double Peak_Memory_MB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;  // the line is in kB
    }
    return 0.0;
}

bool Reset_Peak_Memory() {
    // Memory freed by an earlier, larger case stays resident in the allocator's heap and would
    // count toward this one's peak: hand it back to the system first.
    malloc_trim(0);
    // Writing 5 to clear_refs resets the peak resident set size to the current one.
    std::FILE* file = std::fopen("/proc/self/clear_refs", "w");
    if (!file) return false;
    const bool written = std::fputs("5", file) >= 0;
    return std::fclose(file) == 0 && written;
}

}  // namespace orvex
