// CT_3D storage and the voxel list. The samples are one block so that a 512^3 volume costs three
// allocations, not a quarter of a million; the nested pointers keep data[i][j][k] addressing.

#include "volume/CtVolume.h"

#include <new>

namespace orvex {

Status CT_3D::Allocate(std::uint16_t newNx, std::uint16_t newNy, std::uint16_t newNz) {
    Free();
    if (newNx == 0 || newNy == 0 || newNz == 0)
        return Status::Error("a CT volume needs three non-zero sizes");
    const std::uint64_t columns = std::uint64_t(newNx) * newNy;
    const std::uint64_t count = columns * newNz;
    try {
        samples_ = std::make_unique_for_overwrite<std::uint16_t[]>(count);
        columns_ = std::make_unique_for_overwrite<std::uint16_t*[]>(columns);
        rows_ = std::make_unique_for_overwrite<std::uint16_t**[]>(newNx);
    } catch (const std::bad_alloc&) {
        samples_.reset();
        columns_.reset();
        rows_.reset();
        return Status::Error("not enough memory for a CT volume of " + std::to_string(newNx) + " x " +
                             std::to_string(newNy) + " x " + std::to_string(newNz) + " samples");
    }
    for (std::uint64_t c = 0; c < columns; ++c) columns_[c] = samples_.get() + c * newNz;
    for (std::uint64_t i = 0; i < newNx; ++i) rows_[i] = columns_.get() + i * newNy;
    data = rows_.get();
    nx = newNx;
    ny = newNy;
    nz = newNz;
    return Status::Ok();
}

void CT_3D::Free() {
    if (IsEmpty()) return;
    ClearVoxels();
    data = nullptr;
    rows_.reset();
    columns_.reset();
    samples_.reset();
    nx = ny = nz = 0;
}

void CT_3D::ClearVoxels() {
    // Give the memory back: a dense volume's list can take hundreds of megabytes.
    std::vector<VEXEL>().swap(voxels);
}

void CT_3D::BuildVoxels() {
    if (IsEmpty()) return;
    ClearVoxels();
    const std::uint16_t* samples = samples_.get();
    const std::uint64_t count = SampleCount();
    std::uint64_t above = 0;
    for (std::uint64_t n = 0; n < count; ++n) above += int(samples[n]) > threshold ? 1 : 0;
    voxels.reserve(above);
    // Walking the scan backwards gives the list order directly: last qualifying sample first.
    for (int i = nx - 1; i >= 0; --i) {
        for (int j = ny - 1; j >= 0; --j) {
            const std::uint16_t* column = data[i][j];
            for (int k = nz - 1; k >= 0; --k) {
                const int value = column[k];
                if (value > threshold) voxels.push_back({i, j, k, float(value) / 4096.0f});
            }
        }
    }
}

void CT_3D::Extent(Vec3& min, Vec3& max) const {
    min = {0.0f, 0.0f, 0.0f};
    max = {float(nx), float(ny), float(nz)};
}

}  // namespace orvex
