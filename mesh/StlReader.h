#pragma once
// Read_STL: fills a mesh from an STL file, binary or text, merging the corners of every facet into
// shared vertices (HYPER_POINT semantics, StlMergeTree.h, computed by StlMerge.h), then runs the
// load pipeline.
//
// What a damaged file gives: the mesh holds every complete, finite facet that could be read and
// the status says what was wrong ("truncated after 1204 of 5000 facets", "line 12: expected
// 'vertex'..."). A facet with a NaN or infinite coordinate is left out and counted. An empty mesh
// and a failed status mean nothing was usable. The facet count in a binary file is never trusted:
// at most (size - 84) / 50 facets are read or allocated.

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

struct StlReadReport {
    bool ascii = false;
    std::uint64_t facetsDeclared = 0;   // the binary count, or the facets of a text file
    std::uint64_t facetsRead = 0;       // complete facets found
    std::uint64_t facetsNonFinite = 0;  // left out for NaN or infinite coordinates
    bool tooManyVertices = false;       // stopped before the vertex indices would overflow
    MergeStats merge;
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
