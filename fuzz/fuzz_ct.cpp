// CT_3D::ReadCT on any file, read into a volume that already holds a known one. Promises: a failed
// read leaves the old volume, its threshold and its voxels exactly as they were; a successful one
// has the header's dimensions, every sample where the format puts it (file slice s, row r, column c
// at data[c][ny-1-r][nz-1-s]), columns laid out as the class says, and a voxel list that BuildVoxels
// then fills with exactly the samples above the threshold.

#include "fuzz/FuzzSupport.h"
#include "volume/CtVolume.h"

namespace orvex::fuzz {

namespace {

Bytes Ct(std::uint16_t magic, std::uint16_t nx, std::uint16_t ny, std::uint16_t nz,
         const std::vector<std::uint16_t>& samples) {
    Bytes bytes;
    for (std::uint16_t v : {magic, nx, ny, nz}) Append(bytes, &v, 2);
    for (std::uint16_t v : samples) Append(bytes, &v, 2);
    return bytes;
}

std::vector<std::uint16_t> Ramp(std::size_t n) {
    std::vector<std::uint16_t> samples(n);
    for (std::size_t k = 0; k < n; ++k) samples[k] = std::uint16_t(k * 997 % 4096);
    return samples;
}

std::uint16_t Sample(const std::uint8_t* data, std::uint64_t k) {
    return std::uint16_t(data[kCtHeaderBytes + 2 * k] | data[kCtHeaderBytes + 2 * k + 1] << 8);
}

// The volume every input is read over: 3 x 2 x 2 with a built voxel list.
void Load_Known(CT_3D& volume) {
    static const std::vector<std::uint16_t> samples = Ramp(12);
    FUZZ_CHECK(volume.Allocate(3, 2, 2).ok, "cannot allocate the known volume");
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 2; ++j)
            for (int k = 0; k < 2; ++k) volume.data[i][j][k] = samples[std::size_t((i * 2 + j) * 2 + k)];
    volume.threshold = 1000;
    volume.BuildVoxels();
}

bool Same_Voxels(const std::vector<VEXEL>& a, const std::vector<VEXEL>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t n = 0; n < a.size(); ++n)
        if (a[n].i != b[n].i || a[n].j != b[n].j || a[n].k != b[n].k ||
            !Same_Bits(a[n].intensity, b[n].intensity))
            return false;
    return true;
}

}  // namespace

void Make_Seeds(const std::string& dir) {
    Write_Seed(dir, "two-by-one", Ct(kCtMagic, 2, 1, 1, {10, 20}));
    Write_Seed(dir, "one-by-two", Ct(kCtMagic, 1, 2, 1, {10, 20}));
    Write_Seed(dir, "ramp", Ct(kCtMagic, 4, 3, 5, Ramp(60)));
    Write_Seed(dir, "at-threshold", Ct(kCtMagic, 2, 2, 1, {1200, 1201, 0, 65535}));
    Write_Seed(dir, "trailing", Ct(kCtMagic, 2, 2, 2, Ramp(9)));
    Write_Seed(dir, "wrong-magic", Ct(0x07B7, 2, 1, 1, {10, 20}));
    Write_Seed(dir, "zero-dimension", Ct(kCtMagic, 0, 4, 4, Ramp(4)));
    Write_Seed(dir, "truncated", Ct(kCtMagic, 3, 3, 3, Ramp(26)));
    Write_Seed(dir, "huge-dimensions", Ct(kCtMagic, 65535, 65535, 65535, Ramp(8)));
    Write_Seed(dir, "header-only", Ct(kCtMagic, 1, 1, 1, {}));
    Write_Seed(dir, "magic-only", Bytes{0xB6, 0x07});
    Write_Seed(dir, "one-byte", Bytes{0xB6});
    Write_Seed(dir, "empty", Bytes{});
}

}  // namespace orvex::fuzz

using namespace orvex;
using namespace orvex::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static MemoryFile file;
    file.Set(data, size);

    CT_3D volume;
    Load_Known(volume);
    CT_3D known;
    Load_Known(known);

    const Status status = volume.ReadCT(file.Path());
    if (!status.ok) {
        FUZZ_CHECK(!status.message.empty(), "a failure without a message");
        FUZZ_CHECK(volume.nx == known.nx && volume.ny == known.ny && volume.nz == known.nz,
                   "a failed read changed the size to %u x %u x %u", volume.nx, volume.ny, volume.nz);
        FUZZ_CHECK(volume.threshold == known.threshold, "a failed read changed the threshold");
        for (int i = 0; i < known.nx; ++i)
            for (int j = 0; j < known.ny; ++j)
                for (int k = 0; k < known.nz; ++k)
                    FUZZ_CHECK(volume.data[i][j][k] == known.data[i][j][k],
                               "a failed read changed sample %d %d %d", i, j, k);
        FUZZ_CHECK(Same_Voxels(volume.voxels, known.voxels), "a failed read changed the voxels");
        return 0;
    }

    FUZZ_CHECK(size >= kCtHeaderBytes, "read a %zu-byte file", size);
    std::uint16_t header[4];
    std::memcpy(header, data, sizeof header);
    FUZZ_CHECK(header[0] == kCtMagic, "read a file with magic %04X", header[0]);
    FUZZ_CHECK(volume.nx == header[1] && volume.ny == header[2] && volume.nz == header[3],
               "size %u x %u x %u, the header says %u x %u x %u", volume.nx, volume.ny, volume.nz, header[1],
               header[2], header[3]);
    const std::uint64_t nx = volume.nx, ny = volume.ny, nz = volume.nz;
    FUZZ_CHECK(!volume.IsEmpty() && size >= kCtHeaderBytes + 2 * nx * ny * nz, "%zu bytes for %llu samples",
               size, (unsigned long long)(nx * ny * nz));
    FUZZ_CHECK(volume.threshold == known.threshold, "reading changed the threshold");
    FUZZ_CHECK(volume.voxels.empty(), "the old voxels outlived the old volume");
    const std::uint16_t* base = volume.data[0][0];
    std::uint64_t k = 0;
    for (std::uint64_t s = 0; s < nz; ++s)
        for (std::uint64_t r = 0; r < ny; ++r)
            for (std::uint64_t c = 0; c < nx; ++c, ++k) {
                FUZZ_CHECK(volume.data[c][ny - 1 - r] == base + (c * ny + (ny - 1 - r)) * nz,
                           "column %llu %llu", (unsigned long long)c, (unsigned long long)(ny - 1 - r));
                FUZZ_CHECK(volume.data[c][ny - 1 - r][nz - 1 - s] == Sample(data, k),
                           "file sample %llu misplaced", (unsigned long long)k);
            }

    volume.BuildVoxels();
    std::size_t above = 0;
    for (std::uint64_t n = 0; n < k; ++n) above += int(Sample(data, n)) > volume.threshold;
    FUZZ_CHECK(volume.voxels.size() == above, "%zu voxels for %zu samples above the threshold",
               volume.voxels.size(), above);
    for (const VEXEL& v : volume.voxels) {
        FUZZ_CHECK(v.i >= 0 && std::uint64_t(v.i) < nx && v.j >= 0 && std::uint64_t(v.j) < ny && v.k >= 0 &&
                       std::uint64_t(v.k) < nz,
                   "voxel outside the volume");
        const std::uint16_t value = volume.data[v.i][v.j][v.k];
        FUZZ_CHECK(int(value) > volume.threshold && Same_Bits(v.intensity, float(value) / 4096.0f),
                   "voxel %d %d %d is not its sample", v.i, v.j, v.k);
    }
    return 0;
}
