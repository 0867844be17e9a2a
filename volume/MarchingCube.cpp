// Polygonise and CT_3D::WriteMarchingCubeSTL. The writer walks the cells with k fastest; for each
// pair of columns it first classifies the samples of the four corner columns, so that columns
// wholly inside or outside cost one pass of comparisons and no cell work.

#include "volume/MarchingCube.h"

#include <vector>

#include "volume/CtVolume.h"
#include "volume/MarchingCubeTables.h"
#include "volume/StlRecordStream.h"

namespace orvex {

namespace {

// The count written before the real one is known.
constexpr std::uint32_t kProvisionalCount = 1024;

// Each edge from its corner nearer the cell origin to the other one.
constexpr int kEdgeFrom[12] = {0, 1, 3, 0, 4, 5, 7, 4, 0, 1, 2, 3};
constexpr int kEdgeTo[12] = {1, 2, 2, 3, 5, 6, 6, 7, 4, 5, 6, 7};

// Corner c of the cell at the origin (0, 0, 0): offsets in i, j, k.
constexpr float kCornerOffset[8][3] = {{0, 0, 0}, {0, 1, 0}, {1, 1, 0}, {1, 0, 0},
                                       {0, 0, 1}, {0, 1, 1}, {1, 1, 1}, {1, 0, 1}};

}  // namespace

int Polygonise(const Vec3 positions[8], const float values[8], float iso, McTriangle triangles[5]) {
    int cubeIndex = 0;
    for (int c = 0; c < 8; ++c) {
        if (values[c] < iso) cubeIndex |= 1 << c;
    }
    const unsigned edges = kEdgeTable[cubeIndex];
    if (edges == 0) return 0;
    Vec3 vertex[12];
    for (int e = 0; e < 12; ++e) {
        if (edges & (1u << e)) {
            const int a = kEdgeFrom[e], b = kEdgeTo[e];
            vertex[e] = InterpolateEdge(iso, positions[a], positions[b], values[a], values[b]);
        }
    }
    const signed char* row = kTriTable[cubeIndex];
    int n = 0;
    for (; row[3 * n] != -1; ++n) {
        triangles[n].p[0] = vertex[row[3 * n]];
        triangles[n].p[1] = vertex[row[3 * n + 1]];
        triangles[n].p[2] = vertex[row[3 * n + 2]];
    }
    return n;
}

Status CT_3D::WriteMarchingCubeSTL(const std::string& path, Progress* progress) const {
    StlRecordStream out;
    if (Status opened = out.Open(path, kProvisionalCount); !opened) return opened;
    if (!IsEmpty() && nx >= 2 && ny >= 2 && nz >= 2) {
        const int t = threshold;
        const float iso = float(threshold);
        std::vector<unsigned char> bits(nz);
        Vec3 positions[8];
        float values[8];
        McTriangle triangles[5];
        for (int i = 0; i + 1 < nx && !out.Failed(); ++i) {
            if (Cancel_Requested(progress)) {
                out.Discard();
                return Status::Error(path + ": cancelled");
            }
            Report_Progress(progress, double(i) / double(nx - 1), "marching cubes");
            for (int j = 0; j + 1 < ny; ++j) {
                const std::uint16_t* c0 = data[i][j];
                const std::uint16_t* c1 = data[i][j + 1];
                const std::uint16_t* c2 = data[i + 1][j + 1];
                const std::uint16_t* c3 = data[i + 1][j];
                // Bit c of bits[k]: corner c of the cell's lower face is outside at k.
                unsigned any = 0, all = 15;
                for (int k = 0; k < nz; ++k) {
                    const unsigned b = unsigned(c0[k] < t) | unsigned(c1[k] < t) << 1 |
                                       unsigned(c2[k] < t) << 2 | unsigned(c3[k] < t) << 3;
                    bits[k] = static_cast<unsigned char>(b);
                    any |= b;
                    all &= b;
                }
                if (any == 0 || all == 15) continue;  // the whole column of cells inside or outside
                for (int k = 0; k + 1 < nz; ++k) {
                    const unsigned cubeIndex = bits[k] | unsigned(bits[k + 1]) << 4;
                    if (cubeIndex == 0 || cubeIndex == 255) continue;
                    const std::uint16_t* samples[4] = {c0, c1, c2, c3};
                    for (int c = 0; c < 4; ++c) {
                        values[c] = float(samples[c][k]);
                        values[c + 4] = float(samples[c][k + 1]);
                    }
                    for (int c = 0; c < 8; ++c) {
                        positions[c] = {float(i) + kCornerOffset[c][0], float(j) + kCornerOffset[c][1],
                                        float(k) + kCornerOffset[c][2]};
                    }
                    const int n = Polygonise(positions, values, iso, triangles);
                    for (int m = 0; m < n; ++m) {
                        StlFacet facet;
                        const McTriangle& tri = triangles[m];
                        Facet_Normal(facet.normal, tri.p[0], tri.p[1], tri.p[2]);
                        // With this corner numbering the table winds clockwise seen from outside:
                        // the negated normal is the one that points out of the inside region, and
                        // the corners go out as p0, p2, p1 so that the winding agrees with it.
                        facet.normal = {-facet.normal.x, -facet.normal.y, -facet.normal.z};
                        facet.corner[0] = tri.p[0];
                        facet.corner[1] = tri.p[2];
                        facet.corner[2] = tri.p[1];
                        out.Add(facet, std::uint16_t(n));
                    }
                }
            }
        }
    }
    Report_Progress(progress, 1.0, "marching cubes");
    return out.Commit(true);
}

}  // namespace orvex
