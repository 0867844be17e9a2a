// Marching cubes: the tables, the edge interpolation, one cell at a time, the single bright sample
// of a 3 x 3 x 3 volume, the count patched at byte 80, equality of the writer with a plain
// cell-by-cell walk, and the writes that must fail cleanly.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <set>

#include "VolumeTestSupport.h"
#include "geometry/Progress.h"
#include "volume/CtSynth.h"
#include "volume/MarchingCube.h"
#include "volume/MarchingCubeTables.h"

namespace orvex {
namespace {

using test::Parse_Stl;
using test::ScratchFolder;

Vec3 Corner_Position(int c) {
    static constexpr int kOffset[8][3] = {{0, 0, 0}, {0, 1, 0}, {1, 1, 0}, {1, 0, 0},
                                          {0, 0, 1}, {0, 1, 1}, {1, 1, 1}, {1, 0, 1}};
    return {float(kOffset[c][0]), float(kOffset[c][1]), float(kOffset[c][2])};
}

TEST(MarchingCubeTables, RowsUseExactlyTheEdgesTheirCornersCut) {
    int triangles = 0;
    for (int index = 0; index < 256; ++index) {
        unsigned used = 0;
        int n = 0;
        for (; n < 5 && kTriTable[index][3 * n] != -1; ++n)
            for (int v = 0; v < 3; ++v) used |= 1u << kTriTable[index][3 * n + v];
        EXPECT_EQ(kTriTable[index][3 * n], -1) << index;
        EXPECT_EQ(n, kTriCount[index]);
        EXPECT_EQ(used, kEdgeTable[index]) << index;
        triangles += n;
    }
    EXPECT_EQ(triangles, 820);
    // The published first and last rows.
    EXPECT_EQ(kEdgeTable[1], 0x109);
    EXPECT_EQ(kEdgeTable[2], 0x203);
    EXPECT_EQ(kEdgeTable[3], 0x30A);
    EXPECT_EQ(kEdgeTable[254], 0x109);
    EXPECT_EQ(kEdgeTable[255], 0);
    EXPECT_EQ(std::vector<int>(kTriTable[3], kTriTable[3] + 7), (std::vector<int>{1, 8, 3, 9, 8, 1, -1}));
    EXPECT_EQ(std::vector<int>(kTriTable[254], kTriTable[254] + 4), (std::vector<int>{0, 3, 8, -1}));
}

TEST(MarchingCubeEdge, InterpolatesLinearlyAndSnapsWithinEpsilon) {
    const Vec3 a{0, 0, 0}, b{0, 2, 0};
    EXPECT_EQ(InterpolateEdge(1000, a, b, 0, 4000), (Vec3{0, 0.5f, 0}));
    EXPECT_EQ(InterpolateEdge(1000, a, b, 4000, 0), (Vec3{0, 1.5f, 0}));
    EXPECT_EQ(InterpolateEdge(1000, a, b, 1000.000001f, 0), a);
    EXPECT_EQ(InterpolateEdge(1000, a, b, 0, 1000), b);
    EXPECT_EQ(InterpolateEdge(1000, a, b, 7, 7), a);
}

TEST(MarchingCubePolygonise, OneOutsideCornerCutsItsThreeEdges) {
    Vec3 positions[8];
    float values[8];
    for (int c = 0; c < 8; ++c) {
        positions[c] = Corner_Position(c);
        values[c] = c == 0 ? 0.0f : 100.0f;
    }
    McTriangle triangles[5];
    ASSERT_EQ(Polygonise(positions, values, 25.0f, triangles), 1);
    // Row 1 is the triangle on edges 0, 8, 3: along j, k and i from corner 0, a quarter of the way.
    EXPECT_EQ(triangles[0].p[0], (Vec3{0, 0.25f, 0}));
    EXPECT_EQ(triangles[0].p[1], (Vec3{0, 0, 0.25f}));
    EXPECT_EQ(triangles[0].p[2], (Vec3{0.25f, 0, 0}));

    for (float& v : values) v = 100.0f;
    EXPECT_EQ(Polygonise(positions, values, 25.0f, triangles), 0);
    for (float& v : values) v = 0.0f;
    EXPECT_EQ(Polygonise(positions, values, 25.0f, triangles), 0);
}

// The 3 x 3 x 3 volume whose centre alone is inside.
void Single_Bright_Sample(CT_3D& volume, std::uint16_t centre) {
    test::Fill_Volume(volume, 3, 3, 3, 0, [centre](int i, int j, int k) {
        return i == 1 && j == 1 && k == 1 ? int(centre) : -1;
    });
}

TEST(MarchingCubeWriter, SingleSampleGivesOneTriangleInEachOfTheEightCells) {
    ScratchFolder folder;
    CT_3D volume;
    Single_Bright_Sample(volume, 4000);
    const std::string path = folder.File("single.stl");
    ASSERT_TRUE(volume.WriteMarchingCubeSTL(path));
    const test::StlFile stl = Parse_Stl(path);
    ASSERT_TRUE(stl.valid);
    EXPECT_EQ(stl.header.substr(0, 16), std::string("STLEXP Object01\0", 16));
    EXPECT_EQ(stl.header.find_first_not_of('\0', 16), std::string::npos);
    ASSERT_EQ(stl.count, 8u);
    ASSERT_EQ(stl.recordsPresent, 8u);

    std::set<int> cells;
    const float d = 0.7f;  // (4000 - 1200) / 4000 of the way from the centre to each neighbour
    for (const test::StlRecord& r : stl.records) {
        EXPECT_EQ(r.attribute, 1);
        int octant = 0;
        for (const Vec3& p : r.p) {
            // Every corner sits on an axis through the centre, 0.7 from it.
            const Vec3 off = p - Vec3{1, 1, 1};
            const int onAxis = (off.x != 0) + (off.y != 0) + (off.z != 0);
            EXPECT_EQ(onAxis, 1);
            EXPECT_NEAR(std::fabs(off.x) + std::fabs(off.y) + std::fabs(off.z), d, 1e-6);
            for (int a = 0; a < 3; ++a) octant |= (off[a] > 0) << a;
        }
        cells.insert(octant);
        // The written normal is the unit normal of the winding and points away from the bright
        // sample: out of the inside region.
        Vec3 w = test::Winding_Normal(r);
        const float length = std::sqrt(Dot(w, w));
        EXPECT_NEAR(r.normal.x, w.x / length, 1e-6);
        EXPECT_NEAR(r.normal.y, w.y / length, 1e-6);
        EXPECT_NEAR(r.normal.z, w.z / length, 1e-6);
        const Vec3 centroid = (r.p[0] + r.p[1] + r.p[2]) * (1.0f / 3.0f);
        EXPECT_GT(Dot(r.normal, centroid - Vec3{1, 1, 1}), 0.0f);
    }
    EXPECT_EQ(cells.size(), 8u);  // one triangle per octant, that is per cell
    // Together: the octahedron of radius 0.7, closed.
    const test::EdgeReport edges = test::Edge_Pairing(stl.records);
    EXPECT_EQ(edges.unpaired, 0u) << test::Describe(edges);
    EXPECT_NEAR(test::Area(stl.records), 8 * std::sqrt(3.0) / 4 * 2 * d * d, 1e-4);
    EXPECT_NEAR(test::Signed_Volume(stl.records), 4.0 / 3.0 * d * d * d, 1e-4);
}

TEST(MarchingCubeWriter, SampleEqualToThresholdIsInside) {
    ScratchFolder folder;
    CT_3D volume;
    Single_Bright_Sample(volume, 1200);
    volume.BuildVoxels();
    EXPECT_TRUE(volume.voxels.empty());
    const std::string path = folder.File("equal.stl");
    ASSERT_TRUE(volume.WriteMarchingCubeSTL(path));
    const test::StlFile stl = Parse_Stl(path);
    // Still eight cells with an inside corner; their vertices all fall on the sample itself.
    ASSERT_EQ(stl.count, 8u);
    ASSERT_EQ(stl.recordsPresent, 8u);
    for (const test::StlRecord& r : stl.records)
        for (const Vec3& p : r.p) EXPECT_EQ(p, (Vec3{1, 1, 1}));
}

TEST(MarchingCubeWriter, CountAtByte80MatchesTheRecords) {
    ScratchFolder folder;
    CT_3D volume;
    ASSERT_TRUE(Make_Noise_Volume(volume, 12, 7));
    const std::string path = folder.File("noise.stl");
    ASSERT_TRUE(volume.WriteMarchingCubeSTL(path));
    const test::StlFile stl = Parse_Stl(path);
    ASSERT_TRUE(stl.valid);
    EXPECT_GT(stl.count, 1024u);  // more than the provisional count, so the patch shows
    EXPECT_EQ(stl.count, stl.recordsPresent);
    // Each cell's records carry that cell's triangle count.
    std::size_t r = 0;
    while (r < stl.records.size()) {
        const std::uint16_t n = stl.records[r].attribute;
        ASSERT_GE(n, 1);
        ASSERT_LE(n, 5);
        for (std::size_t m = 0; m < n; ++m) ASSERT_EQ(stl.records[r + m].attribute, n);
        r += n;
    }
}

// The cells in the plain order of the walk, each through Polygonise, written as records.
std::vector<test::StlRecord> Reference_Cells(const CT_3D& volume) {
    std::vector<test::StlRecord> records;
    const float iso = float(volume.threshold);
    for (int i = 0; i + 1 < volume.nx; ++i)
        for (int j = 0; j + 1 < volume.ny; ++j)
            for (int k = 0; k + 1 < volume.nz; ++k) {
                Vec3 positions[8];
                float values[8];
                int inside = 0;
                for (int c = 0; c < 8; ++c) {
                    const Vec3 o = Corner_Position(c);
                    positions[c] = {float(i) + o.x, float(j) + o.y, float(k) + o.z};
                    const int value = volume.data[i + int(o.x)][j + int(o.y)][k + int(o.z)];
                    values[c] = float(value);
                    inside += value >= volume.threshold;
                }
                if (inside == 0 || inside == 8) continue;
                McTriangle triangles[5];
                const int n = Polygonise(positions, values, iso, triangles);
                for (int m = 0; m < n; ++m) {
                    // The table's triangle, turned to wind counter-clockwise seen from outside.
                    const McTriangle& t = triangles[m];
                    test::StlRecord r;
                    r.p[0] = t.p[0];
                    r.p[1] = t.p[2];
                    r.p[2] = t.p[1];
                    Facet_Normal(r.normal, t.p[0], t.p[1], t.p[2]);
                    r.normal = {-r.normal.x, -r.normal.y, -r.normal.z};
                    r.attribute = std::uint16_t(n);
                    records.push_back(r);
                }
            }
    return records;
}

TEST(MarchingCubeWriter, MatchesACellByCellWalkBitForBit) {
    ScratchFolder folder;
    CT_3D volume;
    // Noise of few levels, so that many samples sit exactly on the threshold, plus uniform runs.
    ASSERT_TRUE(Make_Noise_Volume(volume, 14, 3));
    for (int i = 0; i < 14; ++i)
        for (int j = 0; j < 14; ++j)
            for (int k = 0; k < 14; ++k) {
                std::uint16_t& s = volume.data[i][j][k];
                s = i < 4 ? 0 : j > 10 ? 60000 : std::uint16_t((s >> 13) * 1000);
            }
    volume.threshold = 3000;
    const std::string path = folder.File("walk.stl");
    ASSERT_TRUE(volume.WriteMarchingCubeSTL(path));
    const test::StlFile stl = Parse_Stl(path);
    const std::vector<test::StlRecord> expected = Reference_Cells(volume);
    ASSERT_EQ(stl.records.size(), expected.size());
    ASSERT_GT(expected.size(), 100u);
    for (std::size_t r = 0; r < expected.size(); ++r) {
        ASSERT_EQ(std::memcmp(&stl.records[r].normal, &expected[r].normal, sizeof(Vec3)), 0) << r;
        for (int v = 0; v < 3; ++v) ASSERT_EQ(stl.records[r].p[v], expected[r].p[v]) << r;
        ASSERT_EQ(stl.records[r].attribute, expected[r].attribute) << r;
    }
}

TEST(MarchingCubeDegenerate, AllInsideAndEmptyVolumesWriteNoTriangles) {
    ScratchFolder folder;
    CT_3D volume;
    const std::string path = folder.File("none.stl");
    ASSERT_TRUE(volume.WriteMarchingCubeSTL(path));  // empty: header and the patched count 0
    EXPECT_EQ(std::filesystem::file_size(path), 84u);
    EXPECT_EQ(Parse_Stl(path).count, 0u);

    test::Fill_Volume(volume, 5, 4, 3, 1200);
    ASSERT_TRUE(volume.WriteMarchingCubeSTL(path));
    EXPECT_EQ(std::filesystem::file_size(path), 84u);
    EXPECT_EQ(Parse_Stl(path).count, 0u);

    // A single slice has no cells at all.
    test::Fill_Volume(volume, 4, 4, 1, 0, [](int i, int, int) { return i == 2 ? 5000 : -1; });
    ASSERT_TRUE(volume.WriteMarchingCubeSTL(path));
    EXPECT_EQ(Parse_Stl(path).count, 0u);
}

class CancelAtOnce : public Progress {
public:
    void Report(double, const std::string&) override {}
    bool IsCancelRequested() const override { return true; }
};

TEST(MarchingCubeDegenerate, FailedAndCancelledWritesLeaveNoFile) {
    ScratchFolder folder;
    CT_3D volume;
    Single_Bright_Sample(volume, 4000);
    EXPECT_FALSE(volume.WriteMarchingCubeSTL(folder.File("missing/dir/out.stl")));
    const Status full = volume.WriteMarchingCubeSTL("/dev/full");
    EXPECT_FALSE(full);
    EXPECT_NE(full.message.find("/dev/full"), std::string::npos) << full.message;

    CancelAtOnce cancel;
    const std::string path = folder.File("cancelled.stl");
    EXPECT_FALSE(volume.WriteMarchingCubeSTL(path, &cancel));
    EXPECT_FALSE(volume.WriteSimpleCubeSTL(path, &cancel));
    EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
}

}  // namespace
}  // namespace orvex
