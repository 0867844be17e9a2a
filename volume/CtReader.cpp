// CT_3D::ReadCT. The header is checked against the real file size before the old volume is
// touched; the samples are then read a block of slices at a time and placed with the file's row
// and slice directions reversed: file (slice s, row r, column c) -> data[c][ny-1-r][nz-1-s].

#include <sys/stat.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "volume/CtVolume.h"

namespace orvex {

namespace {

static_assert(std::endian::native == std::endian::little, "samples are read as raw little-endian words");

// The read buffer: several slices at a time give each column a run of consecutive samples.
constexpr std::uint64_t kReadBufferBytes = std::uint64_t(16) << 20;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

std::uint16_t Little_U16(const unsigned char* bytes) {
    return std::uint16_t(bytes[0] | bytes[1] << 8);
}

std::string Hex4(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", value);
    return text;
}

}  // namespace

Status CT_3D::ReadCT(const std::string& path) {
    FilePtr file(std::fopen(path.c_str(), "rb"));
    if (!file) return Status::Error(path + ": cannot open: " + std::strerror(errno));
    struct stat info {};
    if (fstat(fileno(file.get()), &info) != 0 || !S_ISREG(info.st_mode))
        return Status::Error(path + ": not a regular file");
    const std::uint64_t fileSize = std::uint64_t(info.st_size);

    unsigned char header[kCtHeaderBytes];
    if (fileSize < 2 || std::fread(header, 1, 2, file.get()) != 2)
        return Status::Error(path + ": too short for a CT volume (" + std::to_string(fileSize) + " bytes)");
    const std::uint16_t magic = Little_U16(header);
    if (magic != kCtMagic)
        return Status::Error(path + ": not a CT volume (magic " + Hex4(magic) + ", expected " +
                             Hex4(kCtMagic) + ")");
    if (fileSize < kCtHeaderBytes || std::fread(header + 2, 1, 6, file.get()) != 6)
        return Status::Error(path + ": CT header cut short (" + std::to_string(fileSize) + " bytes)");
    const std::uint16_t newNx = Little_U16(header + 2);
    const std::uint16_t newNy = Little_U16(header + 4);
    const std::uint16_t newNz = Little_U16(header + 6);
    const std::string size =
        std::to_string(newNx) + " x " + std::to_string(newNy) + " x " + std::to_string(newNz);
    if (newNx == 0 || newNy == 0 || newNz == 0)
        return Status::Error(path + ": CT volume of " + size + " samples");
    const std::uint64_t sliceSamples = std::uint64_t(newNx) * newNy;
    const std::uint64_t needed = kCtHeaderBytes + 2 * sliceSamples * newNz;  // at most 2^49: no overflow
    if (fileSize < needed)
        return Status::Error(path + ": truncated: " + size + " samples need " + std::to_string(needed) +
                             " bytes, the file has " + std::to_string(fileSize));

    // The file is sound as far as can be told without reading it: now the old volume goes.
    if (Status allocated = Allocate(newNx, newNy, newNz); !allocated)
        return Status::Error(path + ": " + allocated.message);

    // Whole slices per read while a slice fits the buffer, else part of one slice, so that the
    // buffer stays near 16 MB whatever the sizes.
    const std::uint64_t rowBytes = 2 * std::uint64_t(nx);
    const std::uint64_t sliceBytes = rowBytes * ny;
    const std::uint64_t slicesPerRead = std::clamp<std::uint64_t>(kReadBufferBytes / sliceBytes, 1, nz);
    const std::uint64_t rowsPerRead =
        sliceBytes <= kReadBufferBytes ? ny : std::clamp<std::uint64_t>(kReadBufferBytes / rowBytes, 1, ny);
    std::vector<std::uint16_t> buffer;
    try {
        buffer.resize(std::uint64_t(nx) * rowsPerRead * slicesPerRead);
    } catch (const std::bad_alloc&) {
        Free();
        return Status::Error(path + ": not enough memory to read it");
    }
    for (std::uint64_t s0 = 0; s0 < nz; s0 += slicesPerRead) {
        const std::uint64_t slices = std::min<std::uint64_t>(slicesPerRead, nz - s0);
        const int topK = int(nz - 1 - s0);
        for (std::uint64_t r0 = 0; r0 < ny; r0 += rowsPerRead) {
            // Several slices are read only with all their rows: the block is contiguous in the file.
            const std::uint64_t rows = std::min<std::uint64_t>(rowsPerRead, ny - r0);
            const std::uint64_t count = std::uint64_t(nx) * rows * slices;
            if (std::fread(buffer.data(), 2, count, file.get()) != count) {
                // The file changed under us or the disk failed: a half-read volume is no use.
                Free();
                return Status::Error(path + ": read failed after " + std::to_string(s0) + " of " +
                                     std::to_string(newNz) + " slices");
            }
            const std::uint64_t sliceStride = std::uint64_t(nx) * rows;
            for (std::uint64_t r = 0; r < rows; ++r) {
                const int j = int(ny - 1 - (r0 + r));
                const std::uint16_t* row = buffer.data() + r * nx;
                for (int c = 0; c < nx; ++c) {
                    std::uint16_t* column = data[c][j];
                    const std::uint16_t* sample = row + c;
                    for (std::uint64_t t = 0; t < slices; ++t, sample += sliceStride)
                        column[topK - int(t)] = *sample;
                }
            }
        }
    }
    return Status::Ok();
}

}  // namespace orvex
