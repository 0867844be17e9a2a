#pragma once
// The result of a reader or writer: ok, or a message naming the file and what was wrong.
// The window shows the message; orvex prints it and exits non-zero.

#include <string>
#include <utility>

namespace orvex {

struct Status {
    bool ok = true;
    std::string message;

    static Status Ok() { return {}; }
    static Status Error(std::string text) { return {false, std::move(text)}; }
    explicit operator bool() const { return ok; }
};

}  // namespace orvex
