#pragma once
// The millisecond clock: milliseconds since program start, read before and after timed commands.

namespace orvex {

int Millisecond_Clock();

}  // namespace orvex
