#pragma once
// The pairing of feature records with template records that matching and training share. For
// each feature record i in order, the candidates are the template records j with |xj - xi| < 10
// and |yj - yi| < 10; the one with the highest score
//   exp(-|k1i - k1j|) + exp(-|k2i - k2j|) + exp(ni . nj - 1)
// (k1 Curvature_Max, k2 Curvature_Min, n the normals) is paired, the higher template index on
// equal scores. A feature without candidates stays unpaired. There is no limit on the pairs.

#include <cstddef>
#include <vector>

#include "mesh/UniOb.h"

namespace orvex {

struct FacePair {
    unsigned feature = 0;
    unsigned templ = 0;
    bool operator==(const FacePair&) const = default;
};

// How matching and training look things up: through grids (the program's way), or by the plain
// loops over all pairs and all faces that the grids must agree with (tests and benchmarks).
enum class FaceSearch { Grid, AllPairs };

float Pair_Score(const Record10& feature, const Record10& templ);

// Pairs in feature order, through a grid of the template records.
void Pair_Features(const std::vector<Record10>& features, const std::vector<Record10>& templates,
                   std::vector<FacePair>& pairs);
// The same pairs by trying every template record for every feature.
void Pair_Features_All_Pairs(const std::vector<Record10>& features, const std::vector<Record10>& templates,
                             std::vector<FacePair>& pairs);

void Pair_Features(const std::vector<Record10>& features, const std::vector<Record10>& templates,
                   std::vector<FacePair>& pairs, FaceSearch search);

}  // namespace orvex
