#pragma once
// CT_3D: a dense volume of unsigned 16-bit samples read from a .ct file, its iso threshold and the
// list of VEXEL records (one per sample strictly above the threshold) that the view draws.
// Invariants: the volume is empty exactly when one of nx, ny, nz is 0, and then data is null and
// the voxel list is empty. data[i][j][k] addresses sample (i, j, k); every (i, j) column of nz
// samples is contiguous, and all columns live in one block, column (i, j) at (i ny + j) nz.
// The voxel list is kept in list order: the last qualifying sample of the i, j, k scan first.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "geometry/Progress.h"
#include "geometry/Status.h"
#include "geometry/Vec3.h"

namespace orvex {

// The .ct magic, 1974.
inline constexpr std::uint16_t kCtMagic = 0x07B6;
inline constexpr std::uint64_t kCtHeaderBytes = 8;
inline constexpr int kCtDefaultThreshold = 1200;

struct VEXEL {
    int i = 0, j = 0, k = 0;  // sample indices, also the point's coordinates
    float intensity = 0.0f;   // sample value / 4096
};

class CT_3D {
public:
    CT_3D() = default;
    CT_3D(const CT_3D&) = delete;
    CT_3D& operator=(const CT_3D&) = delete;

    std::uint16_t*** data = nullptr;
    std::uint16_t nx = 0, ny = 0, nz = 0;
    int threshold = kCtDefaultThreshold;
    std::vector<VEXEL> voxels;

    bool IsEmpty() const { return nx == 0 || ny == 0 || nz == 0; }
    std::uint64_t SampleCount() const { return std::uint64_t(nx) * ny * nz; }

    // Free, then the nested arrays of the new size, contents undefined. A failed allocation (or a
    // dimension of 0) leaves the volume empty and says so.
    Status Allocate(std::uint16_t nx, std::uint16_t ny, std::uint16_t nz);
    void Free();
    void ClearVoxels();

    // Reads a .ct file. A wrong magic, a dimension of 0 or a file too short for its samples
    // changes nothing and says so; the size is checked before anything is allocated. A read
    // that fails after that leaves the volume empty.
    Status ReadCT(const std::string& path);

    // Every sample above threshold (strictly) as a VEXEL, last sample of the scan first.
    void BuildVoxels();
    // min := (0, 0, 0), max := (nx, ny, nz).
    void Extent(Vec3& min, Vec3& max) const;

    // The iso-surfaces at threshold as binary STL (a sample is inside when value >= threshold).
    // Both stream to a temporary file that replaces `path` only when everything was written.
    Status WriteSimpleCubeSTL(const std::string& path, Progress* progress = nullptr) const;
    Status WriteMarchingCubeSTL(const std::string& path, Progress* progress = nullptr) const;

private:
    std::unique_ptr<std::uint16_t[]> samples_;
    std::unique_ptr<std::uint16_t*[]> columns_;
    std::unique_ptr<std::uint16_t**[]> rows_;
};

}  // namespace orvex
