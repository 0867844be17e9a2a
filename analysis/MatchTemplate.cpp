#include "analysis/MatchTemplate.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "geometry/LinearAlgebra.h"

namespace orvex {

namespace {

float Cross2(float ux, float uy, float vx, float vy) {
    return ux * vy - uy * vx;
}

bool Face_In_Strip(const Vec3& first, float w) {
    return -w <= first.x && first.x <= w && -9 * w <= first.y && first.y <= 11 * w;
}

bool Point_In_Strip(const Record10& p, float w) {
    return -0.5f * w < p[0] && p[0] < 0.5f * w && -8 * w < p[1] && p[1] < 10 * w;
}

// The measured template points bucketed by x and y; each cell lists its points in record order.
class PointGrid {
public:
    PointGrid(const std::vector<Record10>& records, const std::vector<unsigned>& points) : records_(records) {
        if (points.empty()) return;
        double minX = records[points[0]][0], maxX = minX, minY = records[points[0]][1], maxY = minY;
        for (unsigned j : points) {
            minX = std::min(minX, double(records[j][0]));
            maxX = std::max(maxX, double(records[j][0]));
            minY = std::min(minY, double(records[j][1]));
            maxY = std::max(maxY, double(records[j][1]));
        }
        const double area = std::max(maxX - minX, 1e-6) * std::max(maxY - minY, 1e-6);
        cell_ = std::max({std::sqrt(area * 2.0 / double(points.size())), (maxX - minX) / 1024.0,
                          (maxY - minY) / 1024.0, 1e-6});
        minX_ = minX;
        minY_ = minY;
        nx_ = long((maxX - minX) / cell_) + 1;
        ny_ = long((maxY - minY) / cell_) + 1;
        start_.assign(std::size_t(nx_ * ny_) + 1, 0);
        for (unsigned j : points) ++start_[Cell(j) + 1];
        for (std::size_t c = 1; c < start_.size(); ++c) start_[c] += start_[c - 1];
        entries_.resize(points.size());
        std::vector<unsigned> fill(start_.begin(), start_.end() - 1);
        for (unsigned j : points) entries_[fill[Cell(j)]++] = j;
    }

    // The lowest record index inside the triangle's projection, or -1.
    long First_Inside(const Vec3& A, const Vec3& B, const Vec3& C) const {
        if (entries_.empty()) return -1;
        const double lowX = std::min({A.x, B.x, C.x}), highX = std::max({A.x, B.x, C.x});
        const double lowY = std::min({A.y, B.y, C.y}), highY = std::max({A.y, B.y, C.y});
        if (!std::isfinite(lowX + highX + lowY + highY)) return Scan_All(A, B, C);
        // A margin for rounding in the side products: no point they accept lies outside it.
        const double margin =
            1e-3 * std::max(highX - lowX, highY - lowY) +
            1e-5 * std::max({std::fabs(lowX), std::fabs(highX), std::fabs(lowY), std::fabs(highY)}) + 1e-6;
        const long x0 = Clamp((lowX - margin - minX_) / cell_, nx_),
                   x1 = Clamp((highX + margin - minX_) / cell_, nx_);
        const long y0 = Clamp((lowY - margin - minY_) / cell_, ny_),
                   y1 = Clamp((highY + margin - minY_) / cell_, ny_);
        if ((x1 - x0 + 1) * (y1 - y0 + 1) > long(entries_.size())) return Scan_All(A, B, C);
        long best = -1;
        for (long gy = y0; gy <= y1; ++gy) {
            for (long gx = x0; gx <= x1; ++gx) {
                const std::size_t c = std::size_t(gy * nx_ + gx);
                for (unsigned k = start_[c]; k < start_[c + 1]; ++k) {
                    const unsigned j = entries_[k];
                    if (best >= 0 && long(j) >= best) break;  // cells list their points in order
                    if (Face_Holds_Point(A, B, C, records_[j][0], records_[j][1])) {
                        best = long(j);
                        break;
                    }
                }
            }
        }
        return best;
    }

private:
    std::size_t Cell(unsigned j) const {
        const long cx = std::min(nx_ - 1, long((double(records_[j][0]) - minX_) / cell_));
        const long cy = std::min(ny_ - 1, long((double(records_[j][1]) - minY_) / cell_));
        return std::size_t(cy * nx_ + cx);
    }
    static long Clamp(double c, long n) { return long(std::clamp(std::floor(c), 0.0, double(n - 1))); }
    long Scan_All(const Vec3& A, const Vec3& B, const Vec3& C) const {
        long best = -1;
        for (unsigned j : entries_)
            if ((best < 0 || long(j) < best) && Face_Holds_Point(A, B, C, records_[j][0], records_[j][1]))
                best = long(j);
        return best;
    }

    const std::vector<Record10>& records_;
    double cell_ = 1.0, minX_ = 0.0, minY_ = 0.0;
    long nx_ = 0, ny_ = 0;
    std::vector<unsigned> start_;
    std::vector<unsigned> entries_;
};

}  // namespace

bool Face_Holds_Point(const Vec3& A, const Vec3& B, const Vec3& C, float px, float py) {
    if (!std::isfinite(px) || !std::isfinite(py)) return false;
    const float abx = B.x - A.x, aby = B.y - A.y, acx = C.x - A.x, acy = C.y - A.y;
    const float bcx = C.x - B.x, bcy = C.y - B.y;
    return Cross2(px - A.x, py - A.y, abx, aby) * Cross2(acx, acy, abx, aby) >= 1e-5f &&
           Cross2(px - A.x, py - A.y, acx, acy) * Cross2(abx, aby, acx, acy) >= 1e-5f &&
           Cross2(px - B.x, py - B.y, bcx, bcy) * Cross2(A.x - B.x, A.y - B.y, bcx, bcy) >= 1e-5f;
}

float Face_Plane_Depth(const Vec3& A, const Vec3& n, float px, float py) {
    return (Dot(n, A) - n.x * px - n.y * py) / n.z;
}

void Fit_Records(UniOb& mesh, FaceSearch search, bool moveTemplate, Matrix4* total) {
    if (total) Mat4_Identity(*total);
    std::vector<Record10>& moving = moveTemplate ? mesh.Template_Records : mesh.Feature_Records;
    std::vector<FacePair> pairs;
    std::vector<Vec3> P, Q;
    float residual = 100.0f;
    for (int iteration = 0; iteration < 3 && residual > 1.0f; ++iteration) {
        Pair_Features(mesh.Feature_Records, mesh.Template_Records, pairs, search);
        if (pairs.size() < 3) break;  // too few pairs to fix a rotation
        P.clear();
        Q.clear();
        for (const FacePair& pair : pairs) {
            const Record10& t = mesh.Template_Records[pair.templ];
            const Record10& f = mesh.Feature_Records[pair.feature];
            const Record10& fixedSide = moveTemplate ? f : t;
            const Record10& movingSide = moveTemplate ? t : f;
            P.push_back({fixedSide[0], fixedSide[1], fixedSide[2]});
            Q.push_back({movingSide[0], movingSide[1], movingSide[2]});
        }
        Matrix4 M;
        residual = Rigid_Fit(M, P.data(), Q.data(), P.size());
        for (Record10& r : moving) {
            Vec3 p{r[0], r[1], r[2]}, n{r[3], r[4], r[5]};
            Mat4_TransformPoint(M, p);
            Mat4_TransformVector(M, n);
            r[0] = p.x, r[1] = p.y, r[2] = p.z;
            r[3] = n.x, r[4] = n.y, r[5] = n.z;
        }
        if (total) Mat4_PreMultiply(M, *total);
    }
}

float MatchTemplate(UniOb& mesh, FaceSearch search) {
    if (mesh.IsEmpty()) return -1.0f;
    Fit_Records(mesh, search, true);

    const float w = mesh.Feature_Scale;
    std::vector<unsigned> points;
    for (unsigned j = 0; j < mesh.Template_Records.size(); ++j)
        if (Point_In_Strip(mesh.Template_Records[j], w)) points.push_back(j);
    const PointGrid grid(mesh.Template_Records,
                         search == FaceSearch::Grid ? points : std::vector<unsigned>{});

    double sum = 1e-10;
    unsigned count = 0;
    for (unsigned f = 0; f < mesh.Face_Count; ++f) {
        const FaceIndex& face = mesh.Face_Index[f];
        const Vec3& A = mesh.Vertex_Pos[face[0]];
        if (!Face_In_Strip(A, w)) continue;
        const Vec3& B = mesh.Vertex_Pos[face[1]];
        const Vec3& C = mesh.Vertex_Pos[face[2]];
        long hit = -1;
        if (search == FaceSearch::Grid) {
            hit = grid.First_Inside(A, B, C);
        } else {
            for (unsigned j : points) {
                if (Face_Holds_Point(A, B, C, mesh.Template_Records[j][0], mesh.Template_Records[j][1])) {
                    hit = long(j);
                    break;
                }
            }
        }
        if (hit < 0) continue;
        const Record10& P = mesh.Template_Records[std::size_t(hit)];
        const float z = Face_Plane_Depth(A, mesh.Face_Normal[f], P[0], P[1]);
        sum += std::fabs(z - P[2]);
        ++count;
    }
    return count == 0 ? -1.0f : float(sum / count);
}

}  // namespace orvex
