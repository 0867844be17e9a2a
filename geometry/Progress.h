#pragma once
// Progress and cancel for long core routines. The core calls it between steps; the window and
// orvex implement it. A null pointer means nobody listens.

#include <string>

namespace orvex {

class Progress {
public:
    virtual ~Progress() = default;
    virtual void Report(double fraction, const std::string& text) = 0;
    virtual bool IsCancelRequested() const { return false; }
};

inline void Report_Progress(Progress* progress, double fraction, const std::string& text) {
    if (progress) progress->Report(fraction, text);
}
inline bool Cancel_Requested(const Progress* progress) { return progress && progress->IsCancelRequested(); }

}  // namespace orvex
