#include "analysis/TrainTemplate.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "analysis/MatchTemplate.h"
#include "geometry/LinearAlgebra.h"
#include "mesh/Topology.h"

namespace orvex {

namespace {

bool Face_In_Strip(const Vec3& first, float w) {
    return -w <= first.x && first.x <= w && -9 * w <= first.y && first.y <= 11 * w;
}

// The strip's faces bucketed by the x-y box of their projection (with a margin for rounding in
// the side products); each cell lists its faces in index order. Faces spanning many cells, or
// with no finite box, are kept aside and tried for every point.
class FaceGrid {
public:
    FaceGrid(const UniOb& mesh, const std::vector<unsigned>& faces) : mesh_(mesh) {
        if (faces.empty()) return;
        struct Box {
            double lowX, highX, lowY, highY;
        };
        std::vector<Box> boxes(faces.size());
        double minX = 0, maxX = 0, minY = 0, maxY = 0, extentSum = 0;
        bool any = false;
        std::vector<bool> finite(faces.size());
        for (std::size_t k = 0; k < faces.size(); ++k) {
            const FaceIndex& face = mesh.Face_Index[faces[k]];
            const Vec3 &A = mesh.Vertex_Pos[face[0]], &B = mesh.Vertex_Pos[face[1]],
                       &C = mesh.Vertex_Pos[face[2]];
            Box b{std::min({A.x, B.x, C.x}), std::max({A.x, B.x, C.x}), std::min({A.y, B.y, C.y}),
                  std::max({A.y, B.y, C.y})};
            finite[k] = std::isfinite(b.lowX + b.highX + b.lowY + b.highY);
            if (!finite[k]) continue;
            const double margin = 1e-3 * std::max(b.highX - b.lowX, b.highY - b.lowY) +
                                  1e-5 * std::max({std::fabs(b.lowX), std::fabs(b.highX), std::fabs(b.lowY),
                                                   std::fabs(b.highY)}) +
                                  1e-6;
            b = {b.lowX - margin, b.highX + margin, b.lowY - margin, b.highY + margin};
            boxes[k] = b;
            extentSum += std::max(b.highX - b.lowX, b.highY - b.lowY);
            if (!any) {
                minX = b.lowX, maxX = b.highX, minY = b.lowY, maxY = b.highY;
                any = true;
            }
            minX = std::min(minX, b.lowX), maxX = std::max(maxX, b.highX);
            minY = std::min(minY, b.lowY), maxY = std::max(maxY, b.highY);
        }
        if (any) {
            cell_ = std::max({2.0 * extentSum / double(faces.size()), (maxX - minX) / 1024.0,
                              (maxY - minY) / 1024.0, 1e-6});
            minX_ = minX, minY_ = minY;
            nx_ = long((maxX - minX) / cell_) + 1;
            ny_ = long((maxY - minY) / cell_) + 1;
        }
        auto span = [&](const Box& b, long& x0, long& x1, long& y0, long& y1) {
            x0 = Clamp((b.lowX - minX_) / cell_, nx_), x1 = Clamp((b.highX - minX_) / cell_, nx_);
            y0 = Clamp((b.lowY - minY_) / cell_, ny_), y1 = Clamp((b.highY - minY_) / cell_, ny_);
            return (x1 - x0 + 1) * (y1 - y0 + 1) <= 64;
        };
        start_.assign(std::size_t(std::max(0L, nx_ * ny_)) + 1, 0);
        long x0, x1, y0, y1;
        for (int pass = 0; pass < 2; ++pass) {
            std::vector<unsigned> fill;
            if (pass == 1) {
                for (std::size_t c = 1; c < start_.size(); ++c) start_[c] += start_[c - 1];
                entries_.resize(start_.back());
                fill.assign(start_.begin(), start_.end() - 1);
            }
            for (std::size_t k = 0; k < faces.size(); ++k) {
                if (!finite[k] || !span(boxes[k], x0, x1, y0, y1)) {
                    if (pass == 1) aside_.push_back(faces[k]);
                    continue;
                }
                for (long gy = y0; gy <= y1; ++gy)
                    for (long gx = x0; gx <= x1; ++gx) {
                        const std::size_t c = std::size_t(gy * nx_ + gx);
                        if (pass == 0)
                            ++start_[c + 1];
                        else
                            entries_[fill[c]++] = faces[k];
                    }
            }
        }
    }

    // The lowest face index holding (px, py), or -1.
    long First_Holding(float px, float py) const {
        long best = -1;
        if (nx_ > 0 && std::isfinite(px) && std::isfinite(py)) {
            const double cx = std::floor((double(px) - minX_) / cell_),
                         cy = std::floor((double(py) - minY_) / cell_);
            if (cx >= 0 && cy >= 0 && cx < double(nx_) && cy < double(ny_)) {
                const std::size_t c = std::size_t(long(cy) * nx_ + long(cx));
                for (unsigned k = start_[c]; k < start_[c + 1]; ++k) {
                    if (Holds(entries_[k], px, py)) {
                        best = long(entries_[k]);
                        break;
                    }
                }
            }
        }
        for (unsigned f : aside_) {
            if (best >= 0 && long(f) >= best) break;
            if (Holds(f, px, py)) {
                best = long(f);
                break;
            }
        }
        return best;
    }

private:
    bool Holds(unsigned f, float px, float py) const {
        const FaceIndex& face = mesh_.Face_Index[f];
        return Face_Holds_Point(mesh_.Vertex_Pos[face[0]], mesh_.Vertex_Pos[face[1]],
                                mesh_.Vertex_Pos[face[2]], px, py);
    }
    static long Clamp(double c, long n) { return long(std::clamp(std::floor(c), 0.0, double(n - 1))); }

    const UniOb& mesh_;
    double cell_ = 1.0, minX_ = 0.0, minY_ = 0.0;
    long nx_ = 0, ny_ = 0;
    std::vector<unsigned> start_;
    std::vector<unsigned> entries_;
    std::vector<unsigned> aside_;
};

}  // namespace

float TrainTemplate(UniOb& mesh, FaceSearch search) {
    if (mesh.IsEmpty()) return 0.0f;
    Matrix4 total;
    Fit_Records(mesh, search, false, &total);
    for (Vec3& p : mesh.Vertex_Pos) Mat4_TransformPoint(total, p);
    Compute_Face_Normals(mesh);
    Compute_Vertex_Normals(mesh, true);
    Compute_Box(mesh);

    const float w = mesh.Feature_Scale;
    std::vector<unsigned> faces;
    for (unsigned f = 0; f < mesh.Face_Count; ++f)
        if (Face_In_Strip(mesh.Vertex_Pos[mesh.Face_Index[f][0]], w)) faces.push_back(f);
    const FaceGrid grid(mesh, search == FaceSearch::Grid ? faces : std::vector<unsigned>{});

    for (Record10& P : mesh.Template_Records) {
        long hit = -1;
        if (search == FaceSearch::Grid) {
            hit = grid.First_Holding(P[0], P[1]);
        } else {
            for (unsigned f : faces) {
                const FaceIndex& face = mesh.Face_Index[f];
                if (Face_Holds_Point(mesh.Vertex_Pos[face[0]], mesh.Vertex_Pos[face[1]],
                                     mesh.Vertex_Pos[face[2]], P[0], P[1])) {
                    hit = long(f);
                    break;
                }
            }
        }
        if (hit < 0) continue;
        const Vec3& A = mesh.Vertex_Pos[mesh.Face_Index[std::size_t(hit)][0]];
        const float z = Face_Plane_Depth(A, mesh.Face_Normal[std::size_t(hit)], P[0], P[1]);
        if (std::fabs(z - P[2]) < 1.0f) P[2] = 0.9f * P[2] + 0.1f * z;
    }
    return 0.0f;
}

}  // namespace orvex
