#pragma once
// Splits [0, count) into a few ranges run side by side, for the per-face and per-vertex sweeps of
// the normals, the volume and the smoothing restoration. Each range writes only its own elements,
// so the results do not depend on the split.
//
// Only the program's main thread spreads work. The load pipeline already runs these routines on
// two threads; a call from a worker therefore runs in one piece, and nesting never multiplies the
// threads on a small machine.

#include <algorithm>
#include <cstddef>
#include <exception>
#include <thread>
#include <vector>

namespace orvex {

// Initialised before main, on the thread that runs it.
inline const std::thread::id kMainThreadId = std::this_thread::get_id();

// Below this many elements a thread costs more than it saves.
constexpr std::size_t kThreadedElements = std::size_t(1) << 16;

inline unsigned Range_Threads(std::size_t count) {
    if (count < kThreadedElements || std::this_thread::get_id() != kMainThreadId) return 1;
    return std::max(1u, std::min(4u, std::thread::hardware_concurrency()));
}

// work(begin, end) over consecutive ranges of [0, count); the caller's thread does the first.
// An exception from any range (memory running out, say) reaches the caller once every range has
// ended, never a worker's edge, where it would end the program.
template <class Work>
void Run_Ranges(std::size_t count, Work&& work) {
    const unsigned threads = Range_Threads(count);
    if (threads <= 1) {
        if (count > 0) work(std::size_t(0), count);
        return;
    }
    std::vector<std::exception_ptr> errors(threads);
    const auto range = [&](unsigned i) {
        try {
            work(count * i / threads, count * (i + 1) / threads);
        } catch (...) {
            errors[i] = std::current_exception();
        }
    };
    std::vector<std::thread> workers;
    workers.reserve(threads - 1);
    for (unsigned i = 1; i < threads; ++i) {
        try {
            workers.emplace_back(range, i);
        } catch (...) {
            range(i);  // no thread to be had: this one does the range
        }
    }
    range(0);
    for (std::thread& worker : workers) worker.join();
    for (const std::exception_ptr& error : errors)
        if (error) std::rethrow_exception(error);
}

}  // namespace orvex
