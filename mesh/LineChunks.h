#pragma once
// Cuts text into pieces that end at line ends, so that the pieces of a large text file can be
// parsed side by side and their results joined in order.

#include <algorithm>
#include <cstddef>
#include <string_view>
#include <vector>

namespace orvex {

// Starts of up to `parts` pieces of `text`, each cut just after a '\n' (the first starts at 0);
// the last piece runs to the end. A piece is never empty, and a text without line ends (or too
// short to be worth cutting) is one piece.
inline std::vector<std::size_t> Line_Chunk_Starts(std::string_view text, unsigned parts,
                                                  std::size_t minPieceBytes = std::size_t(1) << 20) {
    std::vector<std::size_t> starts{0};
    if (parts <= 1 || text.size() < 2 * minPieceBytes) return starts;
    parts = unsigned(std::min<std::size_t>(parts, text.size() / minPieceBytes));
    for (unsigned i = 1; i < parts; ++i) {
        std::size_t at = std::max(text.size() * i / parts, starts.back());
        const std::size_t newline = text.find('\n', at);
        if (newline == std::string_view::npos || newline + 1 >= text.size()) break;
        if (newline + 1 > starts.back()) starts.push_back(newline + 1);
    }
    return starts;
}

}  // namespace orvex
