#pragma once
// TriOb: a facet object. Owns a sentinel facet (Head; Head.Next is the first real facet, its
// Segments hold the welded cut records of a transfer) and every facet of the list, and a colour.

#include <cstddef>
#include <string>

#include "facet/TriFacet.h"
#include "geometry/Status.h"
#include "mesh/UniOb.h"

namespace orvex {

class TriOb {
public:
    TriOb() = default;
    ~TriOb();
    TriOb(const TriOb&) = delete;
    TriOb& operator=(const TriOb&) = delete;

    bool IsEmpty() const { return Head.Next == nullptr; }
    std::size_t FacetCount() const;

    TRI_FACET Head;
    float Color[4] = {1.0f, 1.0f, 1.0f, 0.0f};  // alpha stays 0 unless someone sets it
};

// Empties the object, gives it a new Random_Color (alpha untouched) and makes a facet of every
// face of every mesh of the chain from `first` (following next), each inserted right after the
// sentinel, so the list runs from the last face of the last mesh to the first of the first.
void FillFromMeshes(TriOb& object, const UniOb* first);

// ClearLists on the sentinel, then destroys every facet.
void ClearFacets(TriOb& object);

// Binary STL of the facets in list order: header "STLEXP Object01" and zeros, count, per facet
// Normal and the three corners, attribute 0. An empty object writes no
// file and says so (not ok).
Status WriteSTL(const TriOb& object, const std::string& path);

}  // namespace orvex
