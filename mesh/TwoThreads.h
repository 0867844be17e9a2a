#pragma once
// Two pieces of work side by side: `side` on a second thread, `main` on the caller's (the only one
// that may report progress). Without a second thread (work too small to pay for one, or none can
// be started) they run one after the other, main first. An exception from either reaches the
// caller once both have ended.

#include <exception>
#include <system_error>
#include <thread>

namespace orvex {

template <class Side, class Main>
void Run_Beside(bool threaded, Side&& side, Main&& main) {
    std::thread helper;
    std::exception_ptr sideError;
    if (threaded) {
        try {
            helper = std::thread([&] {
                try {
                    side();
                } catch (...) {
                    sideError = std::current_exception();
                }
            });
        } catch (const std::system_error&) {
            threaded = false;
        }
    }
    if (!threaded) {
        main();
        side();
        return;
    }
    try {
        main();
    } catch (...) {
        helper.join();
        throw;
    }
    helper.join();
    if (sideError) std::rethrow_exception(sideError);
}

}  // namespace orvex
