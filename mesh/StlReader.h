#pragma once
// Read_STL: fills a mesh from an STL file, binary or text, merging the corners of every facet into
// shared vertices (HYPER_POINT semantics, StlMergeTree.h, computed by StlMerge.h), then runs the
// load pipeline.
//
// What a damaged file gives: the mesh holds every complete, finite facet that could be read and
// the status says what was wrong ("truncated after 1204 of 5000 facets", "line 12: expected
// 'vertex'..."). A facet with a NaN or infinite coordinate is left out and counted. An empty mesh
// and a failed status mean nothing was usable. The facet count in a binary file is never trusted:
// at most (size - 84) / 50 facets are read or allocated. A file whose count does not fit its size
// and whose bytes are text (not beginning with "solid"), or whose facets mostly hold infinite,
// NaN or absurd coordinates, is another kind of file: it is refused and nothing is loaded.

#include <cmath>
#include <cstdint>
#include <span>
#include <string>

#include "geometry/Progress.h"
#include "geometry/Status.h"
#include "mesh/StlMerge.h"
#include "mesh/UniOb.h"

namespace orvex {

// Corners closer than this on every axis may merge. One value for the whole program; a negative
// or NaN value merges only identical corners (as 0 does).
extern float Coincidence_Tolerance;

// A tolerance the user may set: a finite float >= 0 (an infinite one would merge every corner into
// the first, a NaN or negative one acts as 0).
inline bool Usable_Tolerance(float tolerance) {
    return std::isfinite(tolerance) && tolerance >= 0.0f;
}

// What kind of failure a read's status reports, for callers that treat them apart; the status
// message says the same in words.
enum class StlFault {
    None,
    Unreadable,    // cannot be opened or read, or a folder
    NoFacets,      // empty, too short for the header, a facet count of 0, a text file without facets
    Damaged,       // torn, malformed or non-finite facets: the mesh holds the usable ones, if any
    NotBinaryStl,  // another kind of file: refused, the mesh stays empty
    Cancelled,     // the mesh stays empty
};

// The words every NotBinaryStl message carries after the file name.
inline constexpr char kStlNotBinaryText[] = "not a binary STL file";

struct StlReadReport {
    StlFault fault = StlFault::None;
    bool ascii = false;
    std::uint64_t facetsDeclared = 0;   // the binary count, or the facets of a text file
    std::uint64_t facetsRead = 0;       // complete facets found
    std::uint64_t facetsNonFinite = 0;  // left out for NaN or infinite coordinates
    bool tooManyVertices = false;       // stopped before the vertex indices would overflow
    MergeStats merge;
    int pipelineMs = 0;  // the load pipeline's time, when it ran
};

struct StlReadOptions {
    bool runPipeline = true;  // off only for measuring the read and merge alone
    Progress* progress = nullptr;
    StlReadReport* report = nullptr;
};

// Releases the mesh's old faces and vertices, draws its colour, reads and merges. Load_Time is the
// time of reading and merging, without the pipeline.
Status Read_STL(UniOb& mesh, const std::string& path, const StlReadOptions& options = {});
// The same from bytes already in memory; `name` stands for the file in messages.
Status Read_STL_Memory(UniOb& mesh, std::span<const unsigned char> bytes, const std::string& name,
                       const StlReadOptions& options = {});

}  // namespace orvex
