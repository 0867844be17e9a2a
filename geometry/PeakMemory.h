#pragma once
// The process's peak resident memory (VmHWM), for the memory figures of the benchmarks.

namespace orvex {

// VmHWM of this process in MB (0 when unknown).
double Peak_Memory_MB();
// Resets the peak to what is resident now, after the allocator gave back what it holds free
// (false when the kernel refuses).
bool Reset_Peak_Memory();

}  // namespace orvex
