#pragma once
// The files the STL benchmarks read (bench/StlBench.cpp and `orvex bench stl`): spheres of about
// N facets in row order and shuffled, the same at radius 1 (where corners near the poles come
// within the tolerance, so the merging tree is really built), and a big row-ordered sphere.
// They are made on first use in a private temporary folder, removed with the object.

#include <cstdint>
#include <string>

#include "geometry/PeakMemory.h"
#include "geometry/Status.h"
#include "mesh/StlSynth.h"

namespace orvex {

enum class StlBenchKind { Rows, Shuffled, NearRows, NearShuffled, Big };

class StlBenchFiles {
public:
    // parent: where the temporary folder goes ("" for the system's temporary folder).
    StlBenchFiles(std::string parent, std::uint64_t triangles, std::uint64_t bigTriangles);
    ~StlBenchFiles();
    StlBenchFiles(const StlBenchFiles&) = delete;
    StlBenchFiles& operator=(const StlBenchFiles&) = delete;

    SphereShape Shape(StlBenchKind kind) const;
    // Makes the file when needed; an empty path means it could not be made (see Error()).
    const std::string& Path(StlBenchKind kind);
    const std::string& Error() const { return error_; }

private:
    std::string parent_;
    std::string folder_;
    std::uint64_t triangles_;
    std::uint64_t bigTriangles_;
    std::string paths_[5];
    std::string error_;
};

const char* Stl_Bench_Kind_Name(StlBenchKind kind);

}  // namespace orvex
