// Benchmark files in a mkdtemp folder.

#include "mesh/StlBenchFiles.h"

#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

namespace orvex {

StlBenchFiles::StlBenchFiles(std::string parent, std::uint64_t triangles, std::uint64_t bigTriangles)
    : parent_(std::move(parent)), triangles_(triangles), bigTriangles_(bigTriangles) {}

StlBenchFiles::~StlBenchFiles() {
    if (folder_.empty()) return;
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

SphereShape StlBenchFiles::Shape(StlBenchKind kind) const {
    switch (kind) {
        case StlBenchKind::Rows:
            return Sphere_For_Triangles(triangles_, FacetOrder::Rows);
        case StlBenchKind::Shuffled:
            return Sphere_For_Triangles(triangles_, FacetOrder::Shuffled);
        case StlBenchKind::NearRows:
            return Sphere_For_Triangles(triangles_, FacetOrder::Rows, 1.0);
        case StlBenchKind::NearShuffled:
            return Sphere_For_Triangles(triangles_, FacetOrder::Shuffled, 1.0);
        case StlBenchKind::Big:
            break;
    }
    return Sphere_For_Triangles(bigTriangles_, FacetOrder::Rows);
}

const std::string& StlBenchFiles::Path(StlBenchKind kind) {
    std::string& path = paths_[int(kind)];
    if (!path.empty()) return path;
    if (folder_.empty()) {
        std::error_code error;
        std::filesystem::path parent =
            parent_.empty() ? std::filesystem::temp_directory_path(error) : std::filesystem::path(parent_);
        std::string pattern = (parent / "orvex-stl-bench-XXXXXX").string();
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        if (!mkdtemp(name.data())) {
            error_ = pattern + ": cannot create the folder";
            return path;
        }
        folder_ = name.data();
    }
    const std::string file = folder_ + "/" + Stl_Bench_Kind_Name(kind) + ".stl";
    if (Status written = Write_Sphere_Stl(file, Shape(kind)); !written) {
        error_ = written.message;
        return path;
    }
    path = file;
    return path;
}

const char* Stl_Bench_Kind_Name(StlBenchKind kind) {
    switch (kind) {
        case StlBenchKind::Rows:
            return "rows";
        case StlBenchKind::Shuffled:
            return "shuffled";
        case StlBenchKind::NearRows:
            return "near-rows";
        case StlBenchKind::NearShuffled:
            return "near-shuffled";
        case StlBenchKind::Big:
            break;
    }
    return "big-rows";
}

}  // namespace orvex
