#include "analysis/FacePairing.h"

#include <algorithm>
#include <cmath>

namespace orvex {

namespace {

bool Candidate(const Record10& f, const Record10& t) {
    return std::fabs(t[0] - f[0]) < 10.0f && std::fabs(t[1] - f[1]) < 10.0f;
}

// Keeps the best-scoring candidate; equal scores go to the higher template index, so the order in
// which candidates are tried does not matter.
struct Best {
    float score = 0.0f;
    long index = -1;
    void Offer(float s, long j) {
        if (std::isnan(s)) return;
        if (index < 0 || s > score || (s == score && j > index)) {
            score = s;
            index = j;
        }
    }
};

// Template records bucketed by x and y in square cells of at least 10 units, so a feature's
// candidates lie in the 3 x 3 cells around it. Records with a non-finite x or y can never be
// candidates and are left out.
class TemplateGrid {
public:
    explicit TemplateGrid(const std::vector<Record10>& templates) {
        double minX = 0, minY = 0, maxX = 0, maxY = 0;
        bool any = false;
        for (const Record10& t : templates) {
            if (!std::isfinite(t[0]) || !std::isfinite(t[1])) continue;
            if (!any) {
                minX = maxX = t[0];
                minY = maxY = t[1];
                any = true;
            }
            minX = std::min(minX, double(t[0]));
            maxX = std::max(maxX, double(t[0]));
            minY = std::min(minY, double(t[1]));
            maxY = std::max(maxY, double(t[1]));
        }
        if (!any) return;
        // Slightly over 10 so rounding in the cell numbers can never put two candidates two cells apart.
        cell_ = std::max(10.0, std::max(maxX - minX, maxY - minY) / 2048.0) * 1.0001;
        minX_ = minX;
        minY_ = minY;
        nx_ = long((maxX - minX) / cell_) + 1;
        ny_ = long((maxY - minY) / cell_) + 1;
        start_.assign(std::size_t(nx_ * ny_) + 1, 0);
        std::vector<long> cellOf(templates.size(), -1);
        for (std::size_t j = 0; j < templates.size(); ++j) {
            const Record10& t = templates[j];
            if (!std::isfinite(t[0]) || !std::isfinite(t[1])) continue;
            cellOf[j] = Cell(Coord(t[0], minX_), Coord(t[1], minY_));
            ++start_[std::size_t(cellOf[j]) + 1];
        }
        for (std::size_t c = 1; c < start_.size(); ++c) start_[c] += start_[c - 1];
        entries_.resize(start_.back());
        std::vector<unsigned> fill(start_.begin(), start_.end() - 1);
        for (std::size_t j = 0; j < templates.size(); ++j)
            if (cellOf[j] >= 0) entries_[fill[std::size_t(cellOf[j])]++] = unsigned(j);
    }

    template <class Visit>
    void ForNear(float x, float y, Visit visit) const {
        if (entries_.empty() || !std::isfinite(x) || !std::isfinite(y)) return;
        const long cx = Coord(x, minX_), cy = Coord(y, minY_);
        for (long gy = std::max(0L, cy - 1); gy <= std::min(ny_ - 1, cy + 1); ++gy) {
            for (long gx = std::max(0L, cx - 1); gx <= std::min(nx_ - 1, cx + 1); ++gx) {
                const std::size_t c = std::size_t(gy * nx_ + gx);
                for (unsigned k = start_[c]; k < start_[c + 1]; ++k) visit(entries_[k]);
            }
        }
    }

private:
    long Coord(float v, double origin) const {
        const double c = std::floor((double(v) - origin) / cell_);
        // Far outside the grid: any value beyond its neighbours will do.
        return long(std::clamp(c, -4.0, 1e7));
    }
    long Cell(long cx, long cy) const { return cy * nx_ + cx; }

    double cell_ = 10.0, minX_ = 0.0, minY_ = 0.0;
    long nx_ = 0, ny_ = 0;
    std::vector<unsigned> start_;
    std::vector<unsigned> entries_;
};

}  // namespace

float Pair_Score(const Record10& f, const Record10& t) {
    const float dot = f[3] * t[3] + f[4] * t[4] + f[5] * t[5];
    return std::exp(-std::fabs(f[6] - t[6])) + std::exp(-std::fabs(f[7] - t[7])) + std::exp(dot - 1.0f);
}

void Pair_Features(const std::vector<Record10>& features, const std::vector<Record10>& templates,
                   std::vector<FacePair>& pairs) {
    pairs.clear();
    const TemplateGrid grid(templates);
    for (std::size_t i = 0; i < features.size(); ++i) {
        const Record10& f = features[i];
        Best best;
        grid.ForNear(f[0], f[1], [&](unsigned j) {
            const Record10& t = templates[j];
            if (!Candidate(f, t)) return;
            // With every exponent a <= 0, exp(a) <= 1 + a + a^2 / 2: a candidate whose bound lies
            // clearly below the best score so far can neither win nor tie, and needs no exp.
            if (best.index >= 0) {
                const float a1 = -std::fabs(f[6] - t[6]), a2 = -std::fabs(f[7] - t[7]);
                const float a3 = f[3] * t[3] + f[4] * t[4] + f[5] * t[5] - 1.0f;
                if (a3 <= 0.0f) {
                    const double bound = 3.0 + (double(a1) + a2 + a3) +
                                         0.5 * (double(a1) * a1 + double(a2) * a2 + double(a3) * a3);
                    if (bound + 1e-5 < double(best.score)) return;
                }
            }
            best.Offer(Pair_Score(f, t), long(j));
        });
        if (best.index >= 0) pairs.push_back({unsigned(i), unsigned(best.index)});
    }
}

void Pair_Features_All_Pairs(const std::vector<Record10>& features, const std::vector<Record10>& templates,
                             std::vector<FacePair>& pairs) {
    pairs.clear();
    for (std::size_t i = 0; i < features.size(); ++i) {
        const Record10& f = features[i];
        Best best;
        for (std::size_t j = 0; j < templates.size(); ++j)
            if (Candidate(f, templates[j])) best.Offer(Pair_Score(f, templates[j]), long(j));
        if (best.index >= 0) pairs.push_back({unsigned(i), unsigned(best.index)});
    }
}

void Pair_Features(const std::vector<Record10>& features, const std::vector<Record10>& templates,
                   std::vector<FacePair>& pairs, FaceSearch search) {
    if (search == FaceSearch::AllPairs)
        Pair_Features_All_Pairs(features, templates, pairs);
    else
        Pair_Features(features, templates, pairs);
}

}  // namespace orvex
