// CT_3D::WriteSimpleCubeSTL: every face between an inside sample and an outside neighbour, as two
// triangles of the unit cube centred on the inside sample. Only interior samples (1 .. n-2 on each
// axis) are visited, so the border samples never show. A counting pass gives the exact count first.

#include <cstdint>
#include <limits>

#include "volume/CtVolume.h"
#include "volume/StlRecordStream.h"

namespace orvex {

namespace {

constexpr float kHalf = 0.5f;

// One face per neighbour direction, in the order +i, -i, +j, -j, +k, -k: its normal and the
// corner offsets A, B, C, D from the sample. The faces toward + are written A B C, A C D and
// those toward - A C B, A D C, so every triangle winds counter-clockwise seen from outside.
struct FaceShape {
    Vec3 normal;
    Vec3 corner[4];
    bool reversed;
};

constexpr FaceShape kFaces[6] = {
    {{1, 0, 0},
     {{kHalf, -kHalf, -kHalf}, {kHalf, kHalf, -kHalf}, {kHalf, kHalf, kHalf}, {kHalf, -kHalf, kHalf}},
     false},
    {{-1, 0, 0},
     {{-kHalf, -kHalf, -kHalf}, {-kHalf, kHalf, -kHalf}, {-kHalf, kHalf, kHalf}, {-kHalf, -kHalf, kHalf}},
     true},
    {{0, 1, 0},
     {{kHalf, kHalf, -kHalf}, {-kHalf, kHalf, -kHalf}, {-kHalf, kHalf, kHalf}, {kHalf, kHalf, kHalf}},
     false},
    {{0, -1, 0},
     {{kHalf, -kHalf, -kHalf}, {-kHalf, -kHalf, -kHalf}, {-kHalf, -kHalf, kHalf}, {kHalf, -kHalf, kHalf}},
     true},
    {{0, 0, 1},
     {{-kHalf, -kHalf, kHalf}, {kHalf, -kHalf, kHalf}, {kHalf, kHalf, kHalf}, {-kHalf, kHalf, kHalf}},
     false},
    {{0, 0, -1},
     {{-kHalf, -kHalf, -kHalf}, {kHalf, -kHalf, -kHalf}, {kHalf, kHalf, -kHalf}, {-kHalf, kHalf, -kHalf}},
     true},
};

// The columns around (i, j): the sample's own and its four side neighbours.
struct Neighbourhood {
    const std::uint16_t* self;
    const std::uint16_t* side[4];  // +i, -i, +j, -j
};

Neighbourhood Around(const CT_3D& volume, int i, int j) {
    return {volume.data[i][j],
            {volume.data[i + 1][j], volume.data[i - 1][j], volume.data[i][j + 1], volume.data[i][j - 1]}};
}

}  // namespace

Status CT_3D::WriteSimpleCubeSTL(const std::string& path, Progress* progress) const {
    const int t = threshold;
    auto outside = [t](std::uint16_t value) { return int(value) < t; };

    std::uint64_t faces = 0;
    if (!IsEmpty()) {
        for (int i = 1; i + 1 < nx; ++i) {
            for (int j = 1; j + 1 < ny; ++j) {
                const Neighbourhood n = Around(*this, i, j);
                for (int k = 1; k + 1 < nz; ++k) {
                    if (outside(n.self[k])) continue;
                    faces += unsigned(outside(n.side[0][k])) + unsigned(outside(n.side[1][k])) +
                             unsigned(outside(n.side[2][k])) + unsigned(outside(n.side[3][k])) +
                             unsigned(outside(n.self[k + 1])) + unsigned(outside(n.self[k - 1]));
                }
            }
        }
    }
    if (2 * faces > std::numeric_limits<std::uint32_t>::max())
        return Status::Error(path + ": " + std::to_string(2 * faces) +
                             " triangles are more than one STL file can count");

    StlRecordStream out;
    if (Status opened = out.Open(path, std::uint32_t(2 * faces)); !opened) return opened;
    for (int i = 1; i + 1 < nx && !out.Failed() && faces > 0; ++i) {
        if (Cancel_Requested(progress)) {
            out.Discard();
            return Status::Error(path + ": cancelled");
        }
        Report_Progress(progress, double(i) / double(nx - 1), "simple cubes");
        for (int j = 1; j + 1 < ny; ++j) {
            const Neighbourhood n = Around(*this, i, j);
            for (int k = 1; k + 1 < nz; ++k) {
                if (outside(n.self[k])) continue;
                const bool open[6] = {outside(n.side[0][k]), outside(n.side[1][k]),  outside(n.side[2][k]),
                                      outside(n.side[3][k]), outside(n.self[k + 1]), outside(n.self[k - 1])};
                const Vec3 centre{float(i), float(j), float(k)};
                for (int f = 0; f < 6; ++f) {
                    if (!open[f]) continue;
                    const FaceShape& shape = kFaces[f];
                    const Vec3 a = centre + shape.corner[0], b = centre + shape.corner[1];
                    const Vec3 c = centre + shape.corner[2], d = centre + shape.corner[3];
                    StlFacet facet;
                    facet.normal = shape.normal;
                    facet.corner[0] = a;
                    if (!shape.reversed) {
                        facet.corner[1] = b, facet.corner[2] = c;
                        out.Add(facet, 0);
                        facet.corner[1] = c, facet.corner[2] = d;
                        out.Add(facet, 0);
                    } else {
                        facet.corner[1] = c, facet.corner[2] = b;
                        out.Add(facet, 0);
                        facet.corner[1] = d, facet.corner[2] = c;
                        out.Add(facet, 0);
                    }
                }
            }
        }
    }
    Report_Progress(progress, 1.0, "simple cubes");
    return out.Commit(false);
}

}  // namespace orvex
