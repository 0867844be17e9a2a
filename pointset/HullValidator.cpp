// The hull validator and the qconvex volume. Planes are recomputed in double from the corners.
// Testing every input point against every face costs N x F; for large sets the check climbs, per
// point, over the face graph to the face whose plane the point is nearest to crossing (the largest
// height relative to the face's distance from the hull's centre). On a convex hull that is a
// linear program over the polar polytope, so the climb's local maximum is the global one.

#include "pointset/HullValidator.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unordered_map>
#include <unordered_set>

#include "geometry/Vec3d.h"

namespace orvex {

namespace {

using D3 = Vec3d;
D3 Of(const float* v) {
    return {v[0], v[1], v[2]};
}
D3 Of(const Vec3& v) {
    return {v.x, v.y, v.z};
}

std::string Text(const char* format, double a, double b = 0, double c = 0, double d = 0) {
    char text[200];
    std::snprintf(text, sizeof text, format, a, b, c, d);
    return text;
}

struct EdgeHash {
    std::size_t operator()(const std::pair<const VEC_LIST*, const VEC_LIST*>& e) const {
        return std::hash<const void*>()(e.first) * 31u ^ std::hash<const void*>()(e.second);
    }
};

struct Plane {
    D3 n;                 // unit
    double d = 0, h = 0;  // offset; distance of the centre below the plane
};

// Cube-map cells over the directions from the centre: a starting face for each direction.
class DirectionCells {
public:
    static constexpr int kSide = 16;
    int Cell(const D3& d) const {
        const double a[3] = {std::fabs(d.x), std::fabs(d.y), std::fabs(d.z)};
        const double v[3] = {d.x, d.y, d.z};
        const int axis = a[0] >= a[1] ? (a[0] >= a[2] ? 0 : 2) : (a[1] >= a[2] ? 1 : 2);
        if (a[axis] == 0) return 0;
        const double s = v[(axis + 1) % 3] / a[axis], t = v[(axis + 2) % 3] / a[axis];
        const int i = std::clamp(int((s + 1) * 0.5 * kSide), 0, kSide - 1);
        const int j = std::clamp(int((t + 1) * 0.5 * kSide), 0, kSide - 1);
        return ((2 * axis + (v[axis] < 0 ? 1 : 0)) * kSide + i) * kSide + j;
    }
    std::vector<int> start = std::vector<int>(6 * kSide * kSide, -1);
};

}  // namespace

std::vector<Vec3> Capture_Points(const POINT_LIST& set) {
    std::vector<Vec3> out;
    for (const VEC_LIST* p = set.points.next; p; p = p->next)
        out.push_back({p->values[0], p->values[1], p->values[2]});
    return out;
}

Status Validate_Hull(const POINT_LIST& set, const std::vector<Vec3>& input, HullCheckResult* result,
                     const HullCheckOptions& options) {
    HullCheckResult r;
    std::vector<const CON_FACE_LIST_VEC*> faces;
    std::unordered_map<const CON_FACE_LIST_VEC*, int> index;
    for (const CON_FACE_LIST_VEC* f = set.hull.next; f; f = f->next) {
        if (index.count(f)) return Status::Error("the hull list runs in a circle");
        index[f] = int(faces.size());
        faces.push_back(f);
    }
    r.faces = faces.size();
    if (faces.empty()) return Status::Error("the hull is empty");

    // Closed: each directed edge once, its reverse in the neighbour across it.
    std::unordered_map<std::pair<const VEC_LIST*, const VEC_LIST*>, int, EdgeHash> edges;
    std::unordered_set<const VEC_LIST*> corners;
    for (std::size_t i = 0; i < faces.size(); ++i) {
        const CON_FACE_LIST_VEC* f = faces[i];
        for (int k = 0; k < 3; ++k) {
            if (!f->v[k] || !f->nbr[k] || !index.count(f->nbr[k]))
                return Status::Error(
                    Text("face %g has a missing corner or a neighbour outside the hull", double(i)));
            corners.insert(f->v[k]);
            if (!edges.emplace(std::make_pair(f->v[k], f->v[(k + 1) % 3]), int(i)).second)
                return Status::Error(Text("an edge of face %g is used twice in one direction", double(i)));
        }
        if (f->v[0] == f->v[1] || f->v[1] == f->v[2] || f->v[2] == f->v[0])
            return Status::Error(Text("face %g repeats a corner", double(i)));
    }
    for (std::size_t i = 0; i < faces.size(); ++i) {
        const CON_FACE_LIST_VEC* f = faces[i];
        for (int k = 0; k < 3; ++k) {
            auto back = edges.find({f->v[(k + 1) % 3], f->v[k]});
            if (back == edges.end())
                return Status::Error(Text("an edge of face %g has no opposite edge", double(i)));
            const CON_FACE_LIST_VEC* g = faces[back->second];
            if (f->nbr[k] != g)
                return Status::Error(Text("face %g's neighbour link disagrees with its edges", double(i)));
        }
    }
    r.edges = edges.size() / 2;
    r.vertices = corners.size();
    if (long(r.vertices) - long(r.edges) + long(r.faces) != 2)
        return Status::Error(
            Text("V - E + F = %g - %g + %g is not 2", double(r.vertices), double(r.edges), double(r.faces)));
    std::size_t listed = 0;
    for (const VEC_LIST* p = set.points.next; p; p = p->next, ++listed) {
        if (!corners.count(p)) return Status::Error("the point list holds a point that is no hull corner");
    }
    if (listed != corners.size()) return Status::Error("a hull corner is missing from the point list");

    // Geometry.
    double largest = 0;
    D3 low, high;
    for (std::size_t i = 0; i < input.size(); ++i) {
        const D3 q = Of(input[i]);
        largest = std::max({largest, std::fabs(q.x), std::fabs(q.y), std::fabs(q.z)});
        low = i ? D3{std::min(low.x, q.x), std::min(low.y, q.y), std::min(low.z, q.z)} : q;
        high = i ? D3{std::max(high.x, q.x), std::max(high.y, q.y), std::max(high.z, q.z)} : q;
    }
    const D3 span = Minus(high, low);
    const double tolerance = options.relativeTolerance * (std::sqrt(Dot(span, span)) + largest);

    D3 centre;
    for (const VEC_LIST* v : corners) {
        const D3 p = Of(v->values);
        centre = {centre.x + p.x, centre.y + p.y, centre.z + p.z};
    }
    const double share = 1.0 / double(corners.size());
    centre = {centre.x * share, centre.y * share, centre.z * share};

    std::vector<Plane> planes(faces.size());
    const D3 origin = Of(faces[0]->v[0]->values);
    for (std::size_t i = 0; i < faces.size(); ++i) {
        const D3 a = Of(faces[i]->v[0]->values), b = Of(faces[i]->v[1]->values),
                 c = Of(faces[i]->v[2]->values);
        const D3 n = Cross(Minus(b, a), Minus(c, a));
        const double length = std::sqrt(Dot(n, n));
        if (!(length > 0)) return Status::Error(Text("face %g has no area", double(i)));
        planes[i].n = {n.x / length, n.y / length, n.z / length};
        planes[i].d = Dot(planes[i].n, a);
        planes[i].h = planes[i].d - Dot(planes[i].n, centre);
        r.volume += Dot(Minus(a, origin), Cross(Minus(b, origin), Minus(c, origin))) / 6.0;
    }
    for (std::size_t i = 0; i < faces.size(); ++i) {
        if (!(planes[i].h > 0))
            return Status::Error(Text("the hull's centre is not below face %g", double(i)));
        for (int k = 0; k < 3; ++k) {
            const CON_FACE_LIST_VEC* g = faces[i]->nbr[k];
            for (const VEC_LIST* v : g->v) {
                const double height = Dot(planes[i].n, Of(v->values)) - planes[i].d;
                if (height > tolerance)
                    return Status::Error(Text("the edge between faces %g and %g is concave by %g", double(i),
                                              double(index[g]), height));
            }
        }
    }
    if (!(r.volume > 0)) return Status::Error(Text("the hull's volume %g is not positive", r.volume));

    auto height = [&](int f, const D3& q) { return Dot(planes[f].n, q) - planes[f].d; };
    auto report = [&](const D3& q, int f, double h) {
        return Status::Error(
            Text("input point (%.9g, %.9g, %.9g) lies %g above a face plane", q.x, q.y, q.z, h) +
            Text(" (face %g)", double(f)));
    };
    r.worstHeight = -INFINITY;
    const bool exhaustive = options.exhaustive || double(input.size()) * double(faces.size()) <= 2e7;
    if (exhaustive) {
        for (const Vec3& p : input) {
            const D3 q = Of(p);
            for (std::size_t f = 0; f < faces.size(); ++f) {
                const double h = height(int(f), q);
                r.worstHeight = std::max(r.worstHeight, h);
                if (h > tolerance) return report(q, int(f), h);
            }
        }
    } else {
        DirectionCells cells;
        for (std::size_t i = 0; i < faces.size(); ++i) {
            const D3 a = Of(faces[i]->v[0]->values), b = Of(faces[i]->v[1]->values),
                     c = Of(faces[i]->v[2]->values);
            const D3 mid = {(a.x + b.x + c.x) / 3 - centre.x, (a.y + b.y + c.y) / 3 - centre.y,
                            (a.z + b.z + c.z) / 3 - centre.z};
            cells.start[cells.Cell(mid)] = int(i);
        }
        std::vector<std::uint32_t> stamp(faces.size(), 0);
        std::uint32_t round = 0;
        std::vector<int> queue;
        for (const Vec3& p : input) {
            const D3 q = Of(p);
            const D3 dq = Minus(q, centre);
            auto value = [&](int f) { return Dot(planes[f].n, dq) / planes[f].h; };
            int cur = std::max(0, cells.start[cells.Cell(dq)]);
            double curValue = value(cur);
            for (;;) {
                // Up to the best neighbour while that climbs; across a plateau of equal values (a
                // facet split into coplanar triangles) by a bounded search for a higher face.
                const double slack = 1e-12 * std::fabs(curValue) + 1e-300;
                int next = -1;
                double nextValue = curValue + slack;
                for (const CON_FACE_LIST_VEC* g : faces[cur]->nbr) {
                    const int gi = index[g];
                    if (value(gi) > nextValue) next = gi, nextValue = value(gi);
                }
                if (next < 0) {
                    ++round;
                    queue.assign(1, cur);
                    stamp[cur] = round;
                    for (std::size_t at = 0; at < queue.size() && at < 4096 && next < 0; ++at) {
                        for (const CON_FACE_LIST_VEC* g : faces[queue[at]]->nbr) {
                            const int gi = index[g];
                            if (stamp[gi] == round) continue;
                            stamp[gi] = round;
                            const double v = value(gi);
                            if (v > curValue + slack) {
                                next = gi, nextValue = v;
                                break;
                            }
                            if (v >= curValue - slack) queue.push_back(gi);
                        }
                    }
                }
                if (next < 0) break;
                cur = next;
                curValue = nextValue;
            }
            double worst = height(cur, q);
            if (curValue > 1.0) {
                // Outside some plane: the faces it lies above are connected; find the highest.
                ++round;
                queue.assign(1, cur);
                stamp[cur] = round;
                for (std::size_t at = 0; at < queue.size(); ++at) {
                    const double h = height(queue[at], q);
                    worst = std::max(worst, h);
                    if (h > tolerance) return report(q, queue[at], h);
                    for (const CON_FACE_LIST_VEC* g : faces[queue[at]]->nbr) {
                        const int gi = index[g];
                        if (stamp[gi] != round && height(gi, q) > 0) {
                            stamp[gi] = round;
                            queue.push_back(gi);
                        }
                    }
                }
            }
            r.worstHeight = std::max(r.worstHeight, worst);
        }
    }
    if (result) *result = r;
    return Status::Ok();
}

QhullVolume Qhull_Volume(const std::vector<Vec3>& points) {
    QhullVolume out;
    bool found = false;
    if (const char* path = std::getenv("PATH")) {
        std::string all = path;
        for (std::size_t at = 0; at <= all.size() && !found;) {
            const std::size_t end = std::min(all.find(':', at), all.size());
            const std::filesystem::path candidate =
                std::filesystem::path(all.substr(at, end - at)) / "qconvex";
            std::error_code ec;
            found = end > at && std::filesystem::is_regular_file(candidate, ec) &&
                    access(candidate.c_str(), X_OK) == 0;
            at = end + 1;
        }
    }
    if (!found) {
        out.reason = "qconvex (Debian package qhull-bin) is not installed";
        return out;
    }
    static int serial = 0;
    std::error_code ec;
    const std::filesystem::path file =
        std::filesystem::temp_directory_path(ec) /
        ("orvex-qhull-" + std::to_string(getpid()) + "-" + std::to_string(++serial) + ".txt");
    {
        std::ofstream text(file);
        text << "3\n" << points.size() << "\n";
        char line[100];
        for (const Vec3& p : points) {
            std::snprintf(line, sizeof line, "%.9g %.9g %.9g\n", double(p.x), double(p.y), double(p.z));
            text << line;
        }
        if (!text) {
            out.reason = "cannot write the points for qconvex to " + file.string();
            return out;
        }
    }
    const std::string command = "qconvex FA TI '" + file.string() + "' 2>&1";
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
        const int status = pclose(pipe);
        // After merging coplanar facets qhull calls its volume approximate; it is still exact
        // to its rounding.
        std::size_t at = output.find("Total volume:");
        if (at == std::string::npos) at = output.find("Approximate volume:");
        if (status == 0 && at != std::string::npos) {
            out.available = true;
            out.volume = std::strtod(output.c_str() + output.find(':', at) + 1, nullptr);
        } else {
            const std::size_t from = std::min(output.find_first_not_of("\n "), output.size());
            out.reason = "qconvex failed: " + output.substr(from, output.find('\n', from) - from);
        }
    } else {
        out.reason = "cannot start qconvex";
    }
    std::filesystem::remove(file, ec);
    return out;
}

Status Compare_Volumes(double ours, double reference, double relativeTolerance) {
    const double difference = std::fabs(ours - reference);
    if (difference <= relativeTolerance * std::fabs(reference)) return Status::Ok();
    return Status::Error(Text("volume %.9g differs from the reference %.9g by a relative %g", ours, reference,
                              difference / std::fabs(reference)));
}

}  // namespace orvex
