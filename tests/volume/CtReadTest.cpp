// The .ct reader and the voxel list: placement with the reversed row and slice directions, files
// that must change nothing (wrong magic, zero sizes, truncated, oversized headers), the threshold
// and list order of the voxels, and the real head scan.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "VolumeTestSupport.h"
#include "volume/CtSynth.h"
#include "volume/CtVolume.h"

namespace orvex {
namespace {

using test::Ct_Bytes;
using test::ScratchFolder;
using test::Write_Bytes;

Status Read(CT_3D& volume, const ScratchFolder& folder, const std::string& bytes) {
    const std::string path = folder.File("volume.ct");
    Write_Bytes(path, bytes);
    return volume.ReadCT(path);
}

// A loaded 2 x 2 x 2 volume with one voxel, to see that a failed read leaves it alone.
void Load_Previous(CT_3D& volume, const ScratchFolder& folder) {
    ASSERT_TRUE(Read(volume, folder, Ct_Bytes(kCtMagic, 2, 2, 2, {1, 2, 3, 4, 5, 6, 7, 5000})));
    volume.BuildVoxels();
    ASSERT_EQ(volume.voxels.size(), 1u);
}

void Expect_Previous(const CT_3D& volume) {
    ASSERT_EQ(volume.nx, 2);
    ASSERT_EQ(volume.ny, 2);
    ASSERT_EQ(volume.nz, 2);
    // File sample 7 (slice 1, row 1, column 1) is data[1][0][0].
    EXPECT_EQ(volume.data[1][0][0], 5000);
    ASSERT_EQ(volume.voxels.size(), 1u);
    EXPECT_EQ(volume.voxels[0].i, 1);
    EXPECT_EQ(volume.voxels[0].j, 0);
    EXPECT_EQ(volume.voxels[0].k, 0);
}

TEST(CtRead, ColumnsRunAlongI) {
    ScratchFolder folder;
    CT_3D volume;
    ASSERT_TRUE(Read(volume, folder, Ct_Bytes(kCtMagic, 2, 1, 1, {10, 20})));
    EXPECT_EQ(volume.data[0][0][0], 10);
    EXPECT_EQ(volume.data[1][0][0], 20);
}

TEST(CtRead, RowsRunAgainstJ) {
    ScratchFolder folder;
    CT_3D volume;
    ASSERT_TRUE(Read(volume, folder, Ct_Bytes(kCtMagic, 1, 2, 1, {10, 20})));
    EXPECT_EQ(volume.data[0][1][0], 10);
    EXPECT_EQ(volume.data[0][0][0], 20);
}

TEST(CtRead, SlicesRunAgainstK) {
    ScratchFolder folder;
    CT_3D volume;
    ASSERT_TRUE(Read(volume, folder, Ct_Bytes(kCtMagic, 1, 1, 2, {10, 20})));
    EXPECT_EQ(volume.data[0][0][1], 10);
    EXPECT_EQ(volume.data[0][0][0], 20);
}

TEST(CtRead, EverySampleLandsAtItsMirroredPlace) {
    ScratchFolder folder;
    const int nx = 5, ny = 3, nz = 4;
    std::vector<std::uint16_t> samples;
    for (int s = 0; s < nz; ++s)
        for (int r = 0; r < ny; ++r)
            for (int c = 0; c < nx; ++c) samples.push_back(std::uint16_t(1000 * s + 100 * r + c));
    CT_3D volume;
    ASSERT_TRUE(Read(volume, folder, Ct_Bytes(kCtMagic, nx, ny, nz, samples)));
    ASSERT_EQ(volume.nx, nx);
    ASSERT_EQ(volume.ny, ny);
    ASSERT_EQ(volume.nz, nz);
    for (int s = 0; s < nz; ++s)
        for (int r = 0; r < ny; ++r)
            for (int c = 0; c < nx; ++c)
                ASSERT_EQ(volume.data[c][ny - 1 - r][nz - 1 - s], 1000 * s + 100 * r + c) << s << r << c;
    // The columns are contiguous: (i, j, k + 1) follows (i, j, k).
    EXPECT_EQ(&volume.data[2][1][0] + 1, &volume.data[2][1][1]);
}

TEST(CtRead, SlicesBeyondOneReadBlockArePlacedToo) {
    // 1024 x 1024 slices are 2 MB each, so 20 slices take more than one block of reading.
    ScratchFolder folder;
    const int nx = 1024, ny = 1024, nz = 20;
    std::vector<std::uint16_t> samples(std::size_t(nx) * ny * nz);
    for (std::size_t n = 0; n < samples.size(); ++n) samples[n] = std::uint16_t(n * 2654435761u >> 16);
    CT_3D volume;
    ASSERT_TRUE(Read(volume, folder, Ct_Bytes(kCtMagic, nx, ny, nz, samples)));
    for (int s : {0, 7, 8, 9, 19})
        for (int r : {0, 511, 1023})
            for (int c : {0, 3, 1023}) {
                const std::size_t n = (std::size_t(s) * ny + r) * nx + c;
                ASSERT_EQ(volume.data[c][ny - 1 - r][nz - 1 - s], samples[n]);
            }
}

TEST(CtRead, SlicesLargerThanTheReadBufferAreReadInParts) {
    // A slice of 4100 x 2100 samples is 17 MB: it is read a stretch of rows at a time.
    ScratchFolder folder;
    const int nx = 4100, ny = 2100, nz = 2;
    std::vector<std::uint16_t> samples(std::size_t(nx) * ny * nz);
    for (std::size_t n = 0; n < samples.size(); ++n) samples[n] = std::uint16_t(n * 40503u >> 3);
    CT_3D volume;
    ASSERT_TRUE(Read(volume, folder, Ct_Bytes(kCtMagic, nx, ny, nz, samples)));
    for (int s : {0, 1})
        for (int r : {0, 1, 2045, 2046, 2047, 2099})
            for (int c : {0, 1, 4099}) {
                const std::size_t n = (std::size_t(s) * ny + r) * nx + c;
                ASSERT_EQ(volume.data[c][ny - 1 - r][nz - 1 - s], samples[n]) << s << " " << r << " " << c;
            }
}

TEST(CtRead, TrailingBytesAreIgnored) {
    ScratchFolder folder;
    CT_3D volume;
    ASSERT_TRUE(Read(volume, folder, Ct_Bytes(kCtMagic, 2, 1, 1, {10, 20, 30})));
    EXPECT_EQ(volume.data[1][0][0], 20);
}

TEST(CtRead, WrittenVolumesReadBackInFileOrder) {
    ScratchFolder folder;
    CT_3D volume;
    test::Fill_Volume(volume, 5, 3, 4, 0, [](int i, int j, int k) { return 100 * i + 10 * j + k; });
    const std::string path = folder.File("written.ct");
    ASSERT_TRUE(Write_CT_File(volume, path));
    // The same bytes as a file laid out by hand: slice s = nz-1-k, row r = ny-1-j, column c = i.
    std::vector<std::uint16_t> samples;
    for (int s = 0; s < 4; ++s)
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 5; ++c) samples.push_back(std::uint16_t(100 * c + 10 * (2 - r) + (3 - s)));
    EXPECT_EQ(test::Slurp(path), Ct_Bytes(kCtMagic, 5, 3, 4, samples));
    CT_3D back;
    ASSERT_TRUE(back.ReadCT(path));
    for (int i = 0; i < 5; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 4; ++k) EXPECT_EQ(back.data[i][j][k], volume.data[i][j][k]);
    EXPECT_FALSE(Write_CT_File(CT_3D(), folder.File("empty.ct")));
}

TEST(CtReadRejects, WrongMagicLeavesThePreviousVolume) {
    ScratchFolder folder;
    CT_3D volume;
    Load_Previous(volume, folder);
    const Status status = Read(volume, folder, Ct_Bytes(0x07B7, 1, 1, 1, {9}));
    EXPECT_FALSE(status);
    EXPECT_NE(status.message.find("magic 0x07B7"), std::string::npos) << status.message;
    Expect_Previous(volume);
}

TEST(CtReadRejects, TruncatedSamplesLeaveThePreviousVolume) {
    ScratchFolder folder;
    CT_3D volume;
    Load_Previous(volume, folder);
    // 3 x 3 x 3 needs 54 sample bytes; one is missing.
    std::string bytes = Ct_Bytes(kCtMagic, 3, 3, 3, std::vector<std::uint16_t>(27, 7));
    bytes.pop_back();
    const Status status = Read(volume, folder, bytes);
    EXPECT_FALSE(status);
    EXPECT_NE(status.message.find("truncated"), std::string::npos) << status.message;
    EXPECT_NE(status.message.find("volume.ct"), std::string::npos) << status.message;
    Expect_Previous(volume);
}

TEST(CtReadRejects, OversizedHeaderAllocatesNothing) {
    // 65535^3 samples would be 562 TB: the size check must come before any allocation.
    ScratchFolder folder;
    CT_3D volume;
    Load_Previous(volume, folder);
    const Status status = Read(volume, folder, Ct_Bytes(kCtMagic, 65535, 65535, 65535, {1, 2, 3, 4}));
    EXPECT_FALSE(status);
    const std::string needed = std::to_string(8 + 2 * std::uint64_t(65535) * 65535 * 65535);
    EXPECT_NE(status.message.find("truncated"), std::string::npos) << status.message;
    EXPECT_NE(status.message.find(needed), std::string::npos) << status.message;
    Expect_Previous(volume);
}

TEST(CtReadRejects, ZeroSizeLeavesThePreviousVolume) {
    ScratchFolder folder;
    CT_3D volume;
    Load_Previous(volume, folder);
    EXPECT_FALSE(Read(volume, folder, Ct_Bytes(kCtMagic, 4, 0, 4, {})));
    Expect_Previous(volume);
}

TEST(CtReadRejects, ShortHeadersAndMissingFiles) {
    ScratchFolder folder;
    CT_3D volume;
    Load_Previous(volume, folder);
    EXPECT_FALSE(Read(volume, folder, ""));
    EXPECT_FALSE(Read(volume, folder, std::string("\xB6", 1)));
    EXPECT_FALSE(Read(volume, folder, Ct_Bytes(kCtMagic, 1, 1, 1, {}).substr(0, 5)));
    EXPECT_FALSE(volume.ReadCT(folder.File("absent.ct")));
    EXPECT_FALSE(volume.ReadCT(folder.Path().string()));  // a folder
    Expect_Previous(volume);
}

TEST(CtVoxels, ThresholdIsStrictAndIntensityScaled) {
    CT_3D volume;
    test::Fill_Volume(volume, 2, 2, 2, 0, [](int i, int j, int k) {
        if (i == 0 && j == 0 && k == 0) return 1200;  // equal: no voxel
        if (i == 1 && j == 1 && k == 1) return 4096;
        if (i == 0 && j == 1 && k == 0) return 1201;
        return -1;
    });
    ASSERT_EQ(volume.threshold, 1200);
    volume.BuildVoxels();
    ASSERT_EQ(volume.voxels.size(), 2u);
    // The list runs from the last qualifying sample of the scan (k fastest) to the first.
    EXPECT_EQ(volume.voxels[0].i, 1);
    EXPECT_EQ(volume.voxels[0].j, 1);
    EXPECT_EQ(volume.voxels[0].k, 1);
    EXPECT_EQ(volume.voxels[0].intensity, 1.0f);
    EXPECT_EQ(volume.voxels[1].i, 0);
    EXPECT_EQ(volume.voxels[1].j, 1);
    EXPECT_EQ(volume.voxels[1].k, 0);
    EXPECT_FLOAT_EQ(volume.voxels[1].intensity, 1201.0f / 4096.0f);

    volume.threshold = 1199;
    volume.BuildVoxels();
    EXPECT_EQ(volume.voxels.size(), 3u);
    EXPECT_EQ(volume.voxels.back().i, 0);
    EXPECT_EQ(volume.voxels.back().k, 0);
}

TEST(CtVoxels, ListOrderIsTheReverseScan) {
    CT_3D volume;
    test::Fill_Volume(volume, 3, 4, 5, 3000);
    volume.BuildVoxels();
    ASSERT_EQ(volume.voxels.size(), 60u);
    int n = 59;
    for (const VEXEL& v : volume.voxels) {
        EXPECT_EQ((v.i * 4 + v.j) * 5 + v.k, n);
        --n;
    }
}

TEST(CtVolumeLifecycle, FreeEmptiesAndExtentFollowsTheSizes) {
    CT_3D volume;
    EXPECT_TRUE(volume.IsEmpty());
    volume.BuildVoxels();  // an empty volume is left alone
    EXPECT_TRUE(volume.voxels.empty());
    Vec3 lo, hi;
    volume.Extent(lo, hi);
    EXPECT_EQ(hi, (Vec3{0, 0, 0}));

    test::Fill_Volume(volume, 4, 5, 6, 2000);
    volume.BuildVoxels();
    EXPECT_EQ(volume.voxels.size(), 120u);
    volume.Extent(lo, hi);
    EXPECT_EQ(lo, (Vec3{0, 0, 0}));
    EXPECT_EQ(hi, (Vec3{4, 5, 6}));

    volume.Free();
    EXPECT_TRUE(volume.IsEmpty());
    EXPECT_EQ(volume.data, nullptr);
    EXPECT_TRUE(volume.voxels.empty());
    EXPECT_EQ(volume.threshold, 1200);  // the threshold is a setting, not part of the data
    volume.Free();
    EXPECT_FALSE(volume.Allocate(0, 3, 3));
    EXPECT_TRUE(volume.IsEmpty());
}

TEST(CtRealData, HeadScanMatchesItsChecker) {
    const std::string path = std::string(ORVEX_SHARED_DATA_DIR) + "/ct_head.ct";
    if (!std::filesystem::exists(path)) GTEST_SKIP() << "no " << path;
    CT_3D volume;
    ASSERT_TRUE(volume.ReadCT(path));
    ASSERT_EQ(volume.nx, 104);
    ASSERT_EQ(volume.ny, 128);
    ASSERT_EQ(volume.nz, 112);
    const std::uint16_t* all = &volume.data[0][0][0];
    const auto [low, high] = std::minmax_element(all, all + volume.SampleCount());
    EXPECT_EQ(*low, 0);
    EXPECT_EQ(*high, 4064);
    // File sample 0 and file sample (slice 56, row 64, column 52).
    EXPECT_EQ(volume.data[0][127][111], 0);
    EXPECT_EQ(volume.data[52][127 - 64][111 - 56], 1392);
    volume.BuildVoxels();
    EXPECT_EQ(volume.voxels.size(), 450239u);
    volume.threshold = 800;
    volume.BuildVoxels();
    EXPECT_EQ(volume.voxels.size(), 478459u);
}

}  // namespace
}  // namespace orvex
