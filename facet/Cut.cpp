#include "facet/Cut.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <numbers>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

#include "geometry/Color.h"
#include "mesh/StlReader.h"

namespace orvex {

namespace {

struct D3 {
    double x = 0.0, y = 0.0, z = 0.0;
};
D3 D(const Vec3& v) {
    return {v.x, v.y, v.z};
}
D3 operator-(const D3& a, const D3& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
D3 operator+(const D3& a, const D3& b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
D3 operator*(const D3& a, double s) {
    return {a.x * s, a.y * s, a.z * s};
}
double Dot(const D3& a, const D3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
D3 Cross(const D3& a, const D3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double Length(const D3& a) {
    return std::sqrt(Dot(a, a));
}
Vec3 F(const D3& a) {
    return {float(a.x), float(a.y), float(a.z)};
}

double Ms_Since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

void Push_Record(VEC_LIST*& head, const Vec3& p, unsigned length) {
    auto* r = new VEC_LIST(length);
    r->values[0] = p.x;
    r->values[1] = p.y;
    r->values[2] = p.z;
    for (unsigned k = 3; k < length; ++k) r->values[k] = 0.0f;
    r->next = head;
    head = r;
}

Vec3 Point_Of(const VEC_LIST* r) {
    return {r->values[0], r->values[1], r->values[2]};
}

float Cut_Tolerance() {
    return Usable_Tolerance(Coincidence_Tolerance) ? Coincidence_Tolerance : 0.0f;
}

// Parameter of X along S0 -> S0 + dir (length len): the distance from S0, signed by the side.
double Parameter(const D3& X, const D3& S0, const D3& dir, double len) {
    const D3 v = X - S0;
    const double d = Dot(v, dir);
    if (d > 1e-8) return Length(v) / len;
    if (d >= -1e-8) return 0.0;
    return -Length(v) / len;
}

}  // namespace

bool IntersectFacet(TRI_FACET& facet, const TRI_FACET& R) {
    const Vec3 f[3] = {facet.Corner0, facet.Corner1, facet.Corner2};
    const Vec3 r[3] = {R.Corner0, R.Corner1, R.Corner2};
    int s[3];
    for (int k = 0; k < 3; ++k) s[k] = PlaneSide(R, f[k]);
    D3 S[2];
    int found = 0;
    const D3 rn = D(R.Normal);
    for (int k = 0; k < 3 && found < 2; ++k) {
        const int k1 = (k + 1) % 3;
        if (s[k] * s[k1] >= 0) continue;
        const D3 a = D(f[k]), b = D(f[k1]);
        const double t = (double(R.Offset) - Dot(rn, a)) / Dot(rn, b - a);
        if (std::fabs(t) < 1e-8) {
            S[found++] = a;
        } else if (std::fabs(t - 1.0) < 1e-8) {
            S[found++] = b;
        } else if (t > 1e-8 && t < 0.99999999) {
            S[found++] = a + (b - a) * t;
        }
    }
    if (found == 0) return false;
    if (found == 1) {
        int k = 0;
        while (k < 3 && s[k] != 0) ++k;
        if (k == 3) return false;
        S[1] = D(f[k]);
    }
    const D3 dir = S[1] - S[0];
    const double len = Length(dir);
    if (!(len >= 1e-8)) return false;

    int sr[3];
    for (int k = 0; k < 3; ++k) sr[k] = PlaneSide(facet, r[k]);
    const D3 fn = D(facet.Normal);
    double u[2];
    int params = 0;
    for (int k = 0; k < 3 && params < 2; ++k) {
        const int k1 = (k + 1) % 3;
        if (sr[k] * sr[k1] >= 0) continue;
        const D3 a = D(r[k]), b = D(r[k1]);
        const double t = (double(facet.Offset) - Dot(fn, a)) / Dot(fn, b - a);
        if (t > -1e-8 && t < 1.00000001) u[params++] = Parameter(a + (b - a) * t, S[0], dir, len);
    }
    if (params == 0) return false;
    if (params == 1) {
        int k = 0;
        while (k < 3 && sr[k] != 0) ++k;
        if (k == 3) return false;
        u[1] = Parameter(D(r[k]), S[0], dir, len);
    }
    double u0 = std::min(u[0], u[1]), u1 = std::max(u[0], u[1]);
    if (u0 >= 1.0 || u1 <= 0.0) return false;
    u0 = std::max(u0, 0.0);
    u1 = std::min(u1, 1.0);
    Push_Record(facet.Segments, F(S[0] + dir * u0), 4);
    Push_Record(facet.Segments, F(S[0] + dir * u1), 4);
    return true;
}

namespace {

VEC_LIST* Merge_By_Key(VEC_LIST* a, VEC_LIST* b, int key) {
    VEC_LIST head(0u);
    VEC_LIST* tail = &head;
    while (a && b) {
        // Ties take from a, the earlier run: the sort stays stable.
        if (b->values[key] < a->values[key]) {
            tail->next = b;
            b = b->next;
        } else {
            tail->next = a;
            a = a->next;
        }
        tail = tail->next;
    }
    tail->next = a ? a : b;
    VEC_LIST* result = head.next;
    head.next = nullptr;
    return result;
}

// The three-way partition sort of the record (pivot first, then less / equal / greater, each in
// input order), with an explicit stack; taken only when a key is NaN, where no ordering is total.
void Partition_Sort(VEC_LIST*& list, int key) {
    struct Task {
        VEC_LIST* list;
        bool done;
    };
    std::vector<Task> stack{{list, false}};
    VEC_LIST* out = nullptr;
    VEC_LIST** outTail = &out;
    while (!stack.empty()) {
        Task task = stack.back();
        stack.pop_back();
        if (!task.list) continue;
        if (task.done) {
            *outTail = task.list;
            while (*outTail) outTail = &(*outTail)->next;
            continue;
        }
        VEC_LIST* pivot = task.list;
        const float p = pivot->values[key];
        VEC_LIST *less = nullptr, *equal = pivot, *greater = nullptr;
        VEC_LIST **lt = &less, **et = &pivot->next, **gt = &greater;
        VEC_LIST* r = pivot->next;
        while (r) {
            VEC_LIST* next = r->next;
            r->next = nullptr;
            if (r->values[key] < p) {
                *lt = r;
                lt = &r->next;
            } else if (r->values[key] > p) {
                *gt = r;
                gt = &r->next;
            } else {
                *et = r;
                et = &r->next;
            }
            r = next;
        }
        *et = nullptr;
        stack.push_back({greater, false});
        stack.push_back({equal, true});
        stack.push_back({less, false});
    }
    list = out;
}

}  // namespace

void SortByKey(VEC_LIST*& list, int key) {
    std::size_t n = 0;
    for (const VEC_LIST* r = list; r; r = r->next) {
        if (std::isnan(r->values[key])) {
            Partition_Sort(list, key);
            return;
        }
        ++n;
    }
    if (n < 2) return;
    // Bottom-up merge of runs doubling in length; equal keys keep their order as the partition
    // sort keeps them.
    for (std::size_t width = 1; width < n; width *= 2) {
        VEC_LIST* rest = list;
        VEC_LIST* merged = nullptr;
        VEC_LIST** tail = &merged;
        while (rest) {
            VEC_LIST* a = rest;
            VEC_LIST* cut = a;
            for (std::size_t i = 1; i < width && cut->next; ++i) cut = cut->next;
            VEC_LIST* b = cut->next;
            cut->next = nullptr;
            cut = b;
            for (std::size_t i = 1; i < width && cut && cut->next; ++i) cut = cut->next;
            if (cut) {
                rest = cut->next;
                cut->next = nullptr;
            } else {
                rest = nullptr;
            }
            *tail = Merge_By_Key(a, b, key);
            while (*tail) tail = &(*tail)->next;
        }
        list = merged;
    }
}

namespace {

int Octant(const float* p, const float* node) {
    return 4 * (p[0] < node[0]) + 2 * (p[1] < node[1]) + (p[2] < node[2]);
}
bool Weld_Match(const float* p, const float* node) {
    return Near_Fixed({p[0], p[1], p[2]}, {node[0], node[1], node[2]});
}

// The octree as the Part builds it, walking every insertion from the root: a record's lookup
// follows its insertion, so each record gets the vector of the node it ended in.
void Weld_From_Root(VEC_LIST* records, std::vector<OCT_SET>& nodes, std::vector<int>& ended) {
    for (const VEC_LIST* r = records; r; r = r->next) {
        const float* p = r->values;
        if (nodes.empty()) {
            std::copy(p, p + 6, nodes.emplace_back().Record);
            ended.push_back(0);
            continue;
        }
        OCT_SET* node = &nodes.front();
        while (true) {
            if (Weld_Match(p, node->Record)) {
                for (int k = 3; k < 6; ++k) node->Record[k] += p[k];
                ended.push_back(int(node - nodes.data()));
                break;
            }
            OCT_SET*& child = node->Child[Octant(p, node->Record)];
            if (!child) {
                child = &nodes.emplace_back();
                std::copy(p, p + 6, child->Record);
                ended.push_back(int(child - nodes.data()));
                break;
            }
            node = child;
        }
    }
}

// The same tree, built without walking from the root each time. Every node owns the box of points
// whose descent reaches it (lower bounds inclusive, upper exclusive, as the octant test splits).
// A record's descent passes exactly the nodes whose box holds it, so it merges into the shallowest
// node within 1e-5 whose box holds it (found through a hash of nearby nodes); failing that, its
// leaf is found by descending from the deepest node of the previous record's path that holds it.
// Records along a curve make a chain as deep as the list is long: this keeps them linear.
void Weld_From_Path(VEC_LIST* records, std::vector<OCT_SET>& nodes, std::vector<int>& ended) {
    struct Region {
        float lo[3], hi[3];
        int depth;
        int nextInCell;
    };
    std::vector<Region> regions;
    regions.reserve(nodes.capacity());
    constexpr double kCell = 2e-5;  // two welding distances: a match is in a neighbouring cell
    auto cell_of = [](const float* p, int a) { return std::int64_t(std::floor(p[a] / kCell)); };
    auto key = [](std::int64_t x, std::int64_t y, std::int64_t z) {
        std::uint64_t h = std::uint64_t(x) * 0x9E3779B97F4A7C15ull;
        h ^= std::uint64_t(y) * 0xC2B2AE3D27D4EB4Full + (h << 6) + (h >> 2);
        h ^= std::uint64_t(z) * 0x165667B19E3779F9ull + (h << 6) + (h >> 2);
        return h;
    };
    std::unordered_map<std::uint64_t, int> cells;
    auto holds = [&](int j, const float* p) {
        const Region& g = regions[j];
        for (int a = 0; a < 3; ++a)
            if (!(g.lo[a] <= p[a] && p[a] < g.hi[a])) return false;
        return true;
    };
    auto add_node = [&](const float* p, const Region& g) {
        const int j = int(nodes.size());
        std::copy(p, p + 6, nodes.emplace_back().Record);
        regions.push_back(g);
        int& head = cells[key(cell_of(p, 0), cell_of(p, 1), cell_of(p, 2))];
        regions.back().nextInCell = head - 1;
        head = j + 1;
        return j;
    };
    constexpr float kInf = std::numeric_limits<float>::infinity();
    std::vector<int> path;
    for (const VEC_LIST* r = records; r; r = r->next) {
        const float* p = r->values;
        if (nodes.empty()) {
            path.push_back(add_node(p, Region{{-kInf, -kInf, -kInf}, {kInf, kInf, kInf}, 0, -1}));
            ended.push_back(0);
            continue;
        }
        while (path.size() > 1 && !holds(path.back(), p)) path.pop_back();
        int best = -1;
        const std::int64_t cx = cell_of(p, 0), cy = cell_of(p, 1), cz = cell_of(p, 2);
        for (std::int64_t dz = -1; dz <= 1; ++dz)
            for (std::int64_t dy = -1; dy <= 1; ++dy)
                for (std::int64_t dx = -1; dx <= 1; ++dx) {
                    const auto found = cells.find(key(cx + dx, cy + dy, cz + dz));
                    if (found == cells.end()) continue;
                    for (int j = found->second - 1; j >= 0; j = regions[j].nextInCell)
                        if ((best < 0 || regions[j].depth < regions[best].depth) &&
                            Weld_Match(p, nodes[j].Record) && holds(j, p))
                            best = j;
                }
        if (best >= 0) {
            for (int k = 3; k < 6; ++k) nodes[best].Record[k] += p[k];
            ended.push_back(best);
            path.resize(std::min<std::size_t>(path.size(), std::size_t(regions[best].depth) + 1));
            continue;
        }
        int node = path.back();
        while (true) {
            const int o = Octant(p, nodes[node].Record);
            if (OCT_SET* child = nodes[node].Child[o]) {
                node = int(child - nodes.data());
                path.push_back(node);
                continue;
            }
            Region g = regions[node];
            g.depth += 1;
            for (int a = 0; a < 3; ++a) {
                if (o & (4 >> a))
                    g.hi[a] = nodes[node].Record[a];
                else
                    g.lo[a] = nodes[node].Record[a];
            }
            const int leaf = add_node(p, g);
            nodes[node].Child[o] = &nodes[leaf];
            ended.push_back(leaf);
            path.push_back(leaf);
            break;
        }
    }
}

}  // namespace

void WeldDirections(TRI_FACET& sentinel, bool fromPath) {
    if (!sentinel.Segments) return;
    std::size_t count = 0;
    bool tame = true;  // finite and small enough for the hash cells
    for (const VEC_LIST* r = sentinel.Segments; r; r = r->next, ++count)
        for (int a = 0; a < 3; ++a) tame = tame && std::fabs(r->values[a]) < 1e12f;
    std::vector<OCT_SET> nodes;
    nodes.reserve(count);  // never reallocates: children point into it
    std::vector<int> ended;
    ended.reserve(count);
    if (fromPath && tame)
        Weld_From_Path(sentinel.Segments, nodes, ended);
    else
        Weld_From_Root(sentinel.Segments, nodes, ended);
    for (OCT_SET& node : nodes) {
        Vec3 v{node.Record[3], node.Record[4], node.Record[5]};
        Vec3_Normalize(v);
        node.Record[3] = v.x, node.Record[4] = v.y, node.Record[5] = v.z;
    }
    if (tame) {
        // A finite point's lookup follows its insertion and stops where that ended.
        std::size_t i = 0;
        for (VEC_LIST* r = sentinel.Segments; r; r = r->next, ++i)
            std::copy(nodes[ended[i]].Record + 3, nodes[ended[i]].Record + 6, r->values + 3);
        return;
    }
    // Depth first from the root: the child of the point's octant, then every higher octant (a NaN
    // point matches no node, not even its own).
    std::vector<OCT_SET*> stack;
    for (VEC_LIST* r = sentinel.Segments; r; r = r->next) {
        stack.assign(1, &nodes.front());
        while (!stack.empty()) {
            OCT_SET* node = stack.back();
            stack.pop_back();
            if (Weld_Match(r->values, node->Record)) {
                std::copy(node->Record + 3, node->Record + 6, r->values + 3);
                break;
            }
            for (int k = 7, o = Octant(r->values, node->Record); k >= o; --k)
                if (node->Child[k]) stack.push_back(node->Child[k]);
        }
    }
}

void BuildCutPolygons(TRI_FACET& facet) {
    VEC_LIST*& A = facet.Segments;
    VEC_LIST*& B = facet.Cut_Path;
    if (!A) return;
    if (!A->next) {
        Free_Vec_List(A);
        return;
    }
    const D3 first = D(Point_Of(A));
    const VEC_LIST* far = A->next;
    while (far && Length(D(Point_Of(far)) - first) < 1e-8) far = far->next;
    if (!far) {  // every point at the first: no direction to order them by
        Free_Vec_List(A);
        return;
    }
    const D3 dir = D(Point_Of(far)) - first;
    for (VEC_LIST* r = A; r; r = r->next) r->values[3] = float(Dot(D(Point_Of(r)) - first, dir));
    SortByKey(A, 3);
    const float tol = Cut_Tolerance();
    for (VEC_LIST* r = A; r->next;) {
        if (Near_Strict(Point_Of(r), Point_Of(r->next), tol)) {
            VEC_LIST* gone = r->next;
            r->next = gone->next;
            delete gone;
        } else {
            r = r->next;
        }
    }
    if (!A->next) {
        Free_Vec_List(A);
        return;
    }
    Free_Vec_List(B);
    for (const VEC_LIST* r = A; r; r = r->next) Push_Record(B, Point_Of(r), 4);

    const Vec3 c[3] = {facet.Corner0, facet.Corner1, facet.Corner2};
    auto corner_at = [&](const Vec3& p) {
        for (int k = 0; k < 3; ++k)
            if (Near_Strict(c[k], p, tol)) return k;
        return -1;
    };
    auto nearest_edge = [&](const Vec3& p) {
        int best = 2;
        float d = Line_Distance_Half(p, c[2], c[0]);
        for (int k = 0; k < 2; ++k) {
            const float dk = Line_Distance_Half(p, c[k], c[k + 1]);
            if (dk < d) d = dk, best = k;
        }
        return best;
    };
    auto push_corner = [&](VEC_LIST*& list, int k) { Push_Record(list, c[((k % 3) + 3) % 3], 4); };

    int w = corner_at(Point_Of(A));
    int e = corner_at(Point_Of(B));
    if (w >= 0 || e >= 0) {
        if (w >= 0 && w == e) {
            ClearLists(facet);
            return;
        }
        if (w < 0) {
            std::swap(A, B);
            std::swap(w, e);
        }
        if (e >= 0) {
            if (e != (w + 1) % 3) {
                std::swap(A, B);
                std::swap(w, e);
            }
            push_corner(A, e + 1);
            return;
        }
        e = nearest_edge(Point_Of(B));
        if (e == w) {
            push_corner(A, w + 2);
            push_corner(A, w + 1);
        } else if (e == (w + 1) % 3) {
            push_corner(B, w + 1);
            push_corner(A, w + 2);
        } else {
            push_corner(B, w + 2);
            push_corner(B, w + 1);
        }
        return;
    }
    w = nearest_edge(Point_Of(A));
    e = nearest_edge(Point_Of(B));
    if (w == e) {
        const Vec3& cw = c[w];
        if (Point_Distance(Point_Of(B), cw) < Point_Distance(Point_Of(A), cw)) std::swap(A, B);
        push_corner(A, w);
        push_corner(A, w + 2);
        push_corner(A, w + 1);
        return;
    }
    if (e != (w + 1) % 3) {
        std::swap(A, B);
        std::swap(w, e);
    }
    push_corner(B, e);
    push_corner(A, w);
    push_corner(A, w + 2);
}

namespace {

struct Box {
    double lo[3], hi[3];
};

Box Facet_Box(const TRI_FACET& f) {
    Box b;
    for (int a = 0; a < 3; ++a) {
        b.lo[a] = std::min({f.Corner0[a], f.Corner1[a], f.Corner2[a]});
        b.hi[a] = std::max({f.Corner0[a], f.Corner1[a], f.Corner2[a]});
    }
    return b;
}

// Facets (by list position) in the cells of a uniform grid their boxes touch. A query returns
// the positions of every facet whose box may meet the given box, ascending: the list order.
class FacetGrid {
public:
    explicit FacetGrid(const std::vector<TRI_FACET*>& facets) {
        const std::size_t n = facets.size();
        std::vector<Box> boxes(n);
        for (int a = 0; a < 3; ++a) lo_[a] = 1e300, hi_[a] = -1e300;
        double sizes = 0.0;
        std::size_t finite = 0;
        for (std::size_t i = 0; i < n; ++i) {
            boxes[i] = Facet_Box(*facets[i]);
            bool ok = true;
            for (int a = 0; a < 3; ++a)
                ok = ok && std::isfinite(boxes[i].lo[a]) && std::isfinite(boxes[i].hi[a]);
            if (!ok) continue;
            ++finite;
            double size = 0.0;
            for (int a = 0; a < 3; ++a) {
                lo_[a] = std::min(lo_[a], boxes[i].lo[a]);
                hi_[a] = std::max(hi_[a], boxes[i].hi[a]);
                size = std::max(size, boxes[i].hi[a] - boxes[i].lo[a]);
            }
            sizes += size;
        }
        if (finite == 0)
            for (int a = 0; a < 3; ++a) lo_[a] = hi_[a] = 0.0;
        double volume = 1.0, extent = 0.0;
        int dims = 0;
        for (int a = 0; a < 3; ++a) {
            const double w = hi_[a] - lo_[a];
            extent = std::max(extent, w);
            if (w > 0.0) volume *= w, ++dims;
        }
        double side = dims ? std::pow(volume / double(std::max<std::size_t>(finite, 1)), 1.0 / dims) : 1.0;
        side = std::max(side, 1.5 * sizes / double(std::max<std::size_t>(finite, 1)));
        if (!(side > 0.0)) side = 1.0;
        std::size_t cells = 1;
        for (int a = 0; a < 3; ++a) {
            const double w = hi_[a] - lo_[a];
            count_[a] = int(std::clamp(std::ceil(w / side), 1.0, 4096.0));
            scale_[a] = w > 0.0 ? count_[a] / w : 0.0;
            cells *= std::size_t(count_[a]);
        }
        margin_ = 1e-4 * extent + 1e-6;
        start_.assign(cells + 1, 0);
        std::vector<int> range(6 * n);
        for (std::size_t i = 0; i < n; ++i) {
            int* r = &range[6 * i];
            if (!Cells(boxes[i], 0.0, r)) {
                r[0] = 1, r[1] = 0;  // no cell: such a facet meets nothing
                continue;
            }
            for (int z = r[4]; z <= r[5]; ++z)
                for (int y = r[2]; y <= r[3]; ++y)
                    for (int x = r[0]; x <= r[1]; ++x) ++start_[Index(x, y, z) + 1];
        }
        for (std::size_t c = 0; c < cells; ++c) start_[c + 1] += start_[c];
        entries_.resize(start_[cells]);
        std::vector<std::size_t> fill(start_.begin(), start_.end() - 1);
        for (std::size_t i = 0; i < n; ++i) {
            const int* r = &range[6 * i];
            for (int z = r[4]; z <= r[5]; ++z)
                for (int y = r[2]; y <= r[3]; ++y)
                    for (int x = r[0]; x <= r[1]; ++x) entries_[fill[Index(x, y, z)]++] = unsigned(i);
        }
    }

    // Positions ascending of the facets in cells that meet the cutter's box and plane; false
    // when the cutter is not finite (then every facet must be asked).
    bool Query(const TRI_FACET& cutter, std::vector<unsigned>& out) const {
        out.clear();
        int r[6];
        if (!Cells(Facet_Box(cutter), margin_, r)) return false;
        const double n[3] = {cutter.Normal.x, cutter.Normal.y, cutter.Normal.z};
        const double offset = cutter.Offset;
        if (!std::isfinite(n[0] + n[1] + n[2] + offset)) return false;
        double half[3], reach = margin_;
        for (int a = 0; a < 3; ++a) {
            half[a] = scale_[a] > 0.0 ? 0.5 / scale_[a] : 0.5 * (hi_[a] - lo_[a]);
            reach += std::fabs(n[a]) * (half[a] + margin_);
        }
        for (int z = r[4]; z <= r[5]; ++z)
            for (int y = r[2]; y <= r[3]; ++y)
                for (int x = r[0]; x <= r[1]; ++x) {
                    const int at[3] = {x, y, z};
                    double d = -offset;
                    for (int a = 0; a < 3; ++a) d += n[a] * (lo_[a] + (at[a] + 0.5) * 2.0 * half[a]);
                    if (std::fabs(d) > reach) continue;  // the cell lies wholly on one side
                    const std::size_t c = Index(x, y, z);
                    out.insert(out.end(), entries_.begin() + start_[c], entries_.begin() + start_[c + 1]);
                }
        std::sort(out.begin(), out.end());
        out.erase(std::unique(out.begin(), out.end()), out.end());
        return true;
    }

private:
    std::size_t Index(int x, int y, int z) const { return (std::size_t(z) * count_[1] + y) * count_[0] + x; }
    // Cell range of a box grown by margin, clamped to the grid; false for a box off the grid or
    // not finite.
    bool Cells(const Box& b, double margin, int r[6]) const {
        for (int a = 0; a < 3; ++a) {
            const double l = b.lo[a] - margin, h = b.hi[a] + margin;
            if (!(l <= h) || !std::isfinite(l) || !std::isfinite(h)) return false;
            if (h < lo_[a] - margin_ || l > hi_[a] + margin_) {
                r[0] = 1, r[1] = 0, r[2] = r[3] = r[4] = r[5] = 0;  // empty range
                return true;
            }
            r[2 * a] = Cell(l, a);
            r[2 * a + 1] = Cell(h, a);
        }
        return true;
    }
    int Cell(double v, int a) const {
        const double c = std::floor((v - lo_[a]) * scale_[a]);
        if (!(c > 0.0)) return 0;
        return c >= count_[a] ? count_[a] - 1 : int(c);
    }

    double lo_[3], hi_[3], scale_[3], margin_ = 0.0;
    int count_[3] = {1, 1, 1};
    std::vector<std::size_t> start_;
    std::vector<unsigned> entries_;
};

double Area_Of(const Vec3& a, const Vec3& b, const Vec3& c) {
    return 0.5 * Length(Cross(D(b) - D(a), D(c) - D(a)));
}

}  // namespace

bool Split_Fits(const TRI_FACET& facet, std::size_t pieces) {
    const double area = Area_Of(facet.Corner0, facet.Corner1, facet.Corner2);
    const D3 n = D(facet.Normal);
    double sum = 0.0;
    const TRI_FACET* p = facet.Next;
    for (std::size_t i = 0; i < pieces; ++i, p = p->Next) {
        const D3 x = Cross(D(p->Corner1) - D(p->Corner0), D(p->Corner2) - D(p->Corner0));
        if (!(Dot(x, n) > 0.0)) return false;
        sum += 0.5 * Length(x);
    }
    return std::fabs(sum - area) <= 1e-4 * area;
}

void CutAlongCurve(TriOb& T, const BOUNDARY_LOOP& L, CutReport* report, const CutOptions& options) {
    CutReport local;
    CutReport& rep = report ? *report : local;
    if (T.IsEmpty() || L.IsEmpty()) return;
    auto clock = std::chrono::steady_clock::now();
    std::vector<TRI_FACET*> facets;
    for (TRI_FACET* f = T.Head.Next; f; f = f->Next) facets.push_back(f);
    std::unique_ptr<FacetGrid> grid;
    if (options.spatialFilter) grid = std::make_unique<FacetGrid>(facets);
    std::vector<unsigned> near;

    auto cut_with = [&](TRI_FACET& cutter, const Vec3& direction) {
        ComputePlane(cutter);
        ++rep.cutters;
        auto test = [&](TRI_FACET* f) {
            ++rep.tests;
            if (!IntersectFacet(*f, cutter)) return;
            ++rep.hits;
            const VEC_LIST* later = f->Segments;
            const VEC_LIST* earlier = later->next;
            Push_Record(T.Head.Segments, Point_Of(later), 6);
            std::copy(direction.data(), direction.data() + 3, T.Head.Segments->values + 3);
            Push_Record(T.Head.Segments, Point_Of(earlier), 6);
            std::copy(direction.data(), direction.data() + 3, T.Head.Segments->values + 3);
        };
        if (grid && grid->Query(cutter, near)) {
            for (unsigned i : near) test(facets[i]);
        } else {
            for (TRI_FACET* f : facets) test(f);
        }
    };
    const auto& P = L.Points;
    for (std::size_t i = 0; i + 1 < P.size(); ++i) {
        const Vec3 p0{P[i][0], P[i][1], P[i][2]}, n0{P[i][3], P[i][4], P[i][5]};
        const Vec3 p1{P[i + 1][0], P[i + 1][1], P[i + 1][2]}, n1{P[i + 1][3], P[i + 1][4], P[i + 1][5]};
        TRI_FACET first;
        first.Corner0 = p1 + 10.0f * n1;
        first.Corner1 = p0 + 10.0f * n0;
        first.Corner2 = p0 - 10.0f * n0;
        cut_with(first, first.Corner1 - first.Corner2);
        TRI_FACET second;
        second.Corner0 = p0 - 10.0f * n0;
        second.Corner1 = p1 - 10.0f * n1;
        second.Corner2 = p1 + 10.0f * n1;
        cut_with(second, second.Corner2 - second.Corner1);
    }
    grid.reset();
    rep.msIntersect = Ms_Since(clock);

    clock = std::chrono::steady_clock::now();
    for (const VEC_LIST* r = T.Head.Segments; r; r = r->next) ++rep.weldRecords;
    WeldDirections(T.Head);
    rep.msWeld = Ms_Since(clock);

    clock = std::chrono::steady_clock::now();
    for (TRI_FACET* f : facets) {
        if (!f->Segments) continue;
        ++rep.cutFacets;
        BuildCutPolygons(*f);
        if (!f->Segments) {
            ++rep.notSplit;
            continue;
        }
        const std::size_t made = TriangulateCut(*f, &rep.ring);
        if (Split_Fits(*f, made)) {
            ++rep.split;
            rep.made += made;
            continue;
        }
        // Keep the facet whole rather than leave a hole or an overlap.
        for (std::size_t i = 0; i < made; ++i) {
            TRI_FACET* piece = f->Next;
            f->Next = piece->Next;
            delete piece;
        }
        ClearLists(*f);
        ++rep.keptWhole;
    }
    TRI_FACET* prev = &T.Head;
    while (TRI_FACET* f = prev->Next) {
        if (f->Segments) {
            prev->Next = f->Next;
            delete f;
        } else {
            prev = f;
        }
    }
    rep.msSplit = Ms_Since(clock);
}

double Winding_Sum(const BOUNDARY_LOOP& curve, double cx, double cy, double cz) {
    const auto& P = curve.Points;
    if (P.empty()) return 0.0;
    const D3 c{cx, cy, cz};
    D3 a = D3{P[0][0], P[0][1], P[0][2]} - c;
    double sum = 0.0;
    for (std::size_t b = 0; b + 1 < P.size(); ++b) {
        const D3 m{double(P[b][3]) + P[b + 1][3], double(P[b][4]) + P[b + 1][4],
                   double(P[b][5]) + P[b + 1][5]};
        const D3 a1 = D3{P[b + 1][0], P[b + 1][1], P[b + 1][2]} - c;
        const D3 x = Cross(a, a1);
        // The angle between the two directions; a zero vector normalises to zero, and acos(0).
        const double theta = (Dot(a, a) == 0.0 || Dot(a1, a1) == 0.0) ? std::numbers::pi / 2
                                                                      : std::atan2(Length(x), Dot(a, a1));
        sum += Dot(x, m) > 0.0 ? theta : -theta;
        a = a1;
    }
    return sum;
}

namespace {

// A curve in a plane z = z0 with every normal along z (all stretch normals of one sign): seen
// from a point of that plane the signed angles telescope, so the sum is the angle from the first
// to the last point plus a whole turn for each stretch that crosses the ray behind the point.
// Only stretches whose y range holds the point's y can cross it; a y-banded index finds them.
class PlanarWinding {
public:
    explicit PlanarWinding(const BOUNDARY_LOOP& curve) : P_(curve.Points) {
        const std::size_t n = P_.size();
        if (n < 2) return;
        z0_ = P_[0][2];
        for (std::size_t i = 0; i < n; ++i) {
            if (P_[i][2] != P_[0][2] || P_[i][3] != 0.0f || P_[i][4] != 0.0f) return;
            if (!std::isfinite(P_[i][0]) || !std::isfinite(P_[i][1]) || !std::isfinite(P_[i][5])) return;
        }
        const double m0 = double(P_[0][5]) + P_[1][5];
        if (m0 == 0.0) return;
        sign_ = m0 > 0.0 ? 1.0 : -1.0;
        for (std::size_t i = 0; i + 1 < n; ++i)
            if ((double(P_[i][5]) + P_[i + 1][5]) * sign_ <= 0.0) return;
        lo_ = hi_ = P_[0][1];
        for (const LoopPoint& p : P_) lo_ = std::min(lo_, double(p[1])), hi_ = std::max(hi_, double(p[1]));
        bands_ = int(std::min<std::size_t>(n, 1u << 20));
        scale_ = hi_ > lo_ ? bands_ / (hi_ - lo_) : 0.0;
        start_.assign(bands_ + 1, 0);
        for (int pass = 0; pass < 2; ++pass) {
            std::vector<std::size_t> fill(start_.begin(), start_.end() - 1);
            for (std::size_t b = 0; b + 1 < n; ++b) {
                const int k0 = Band(std::min(P_[b][1], P_[b + 1][1]));
                const int k1 = Band(std::max(P_[b][1], P_[b + 1][1]));
                for (int k = k0; k <= k1; ++k) {
                    if (pass == 0)
                        ++start_[k + 1];
                    else
                        entries_[fill[k]++] = unsigned(b);
                }
            }
            if (pass == 0) {
                for (int k = 0; k < bands_; ++k) start_[k + 1] += start_[k];
                entries_.resize(start_[bands_]);
            }
        }
        usable_ = true;
    }

    bool Usable() const { return usable_; }

    // The sum for a point of the plane, or false when the shortcut cannot decide its sign (a sum
    // near 0, or the point on the curve): then the stretch-by-stretch sum must.
    bool Decide(double cx, double cy, double cz, bool& inside) const {
        if (cz != z0_) return false;
        const std::size_t n = P_.size();
        auto arg = [&](std::size_t i) { return std::atan2(P_[i][1] - cy, P_[i][0] - cx); };
        double sum = sign_ * (arg(n - 1) - arg(0));
        if (cy >= lo_ && cy <= hi_) {
            const int k = Band(cy);
            for (std::size_t e = start_[k]; e < start_[k + 1]; ++e) {
                const std::size_t b = entries_[e];
                const double y0 = P_[b][1], y1 = P_[b + 1][1];
                if (cy < std::min(y0, y1) || cy > std::max(y0, y1)) continue;
                const double ax = P_[b][0] - cx, ay = y0 - cy, bx = P_[b + 1][0] - cx, by = y1 - cy;
                if ((ax == 0.0 && ay == 0.0) || (bx == 0.0 && by == 0.0)) return false;
                const double cross = ax * by - ay * bx, dot = ax * bx + ay * by;
                const double theta = std::atan2(std::fabs(cross), dot);
                const double term = cross * sign_ > 0.0 ? theta : -theta;
                const double raw = sign_ * (std::atan2(by, bx) - std::atan2(ay, ax));
                sum += 2.0 * std::numbers::pi * std::nearbyint((term - raw) / (2.0 * std::numbers::pi));
            }
        }
        if (!(std::fabs(sum) > 1e-9)) return false;
        inside = sum > 0.0;
        return true;
    }

private:
    int Band(double y) const {
        const double k = std::floor((y - lo_) * scale_);
        if (!(k > 0.0)) return 0;
        return k >= bands_ ? bands_ - 1 : int(k);
    }

    const std::vector<LoopPoint>& P_;
    bool usable_ = false;
    double z0_ = 0.0, sign_ = 1.0, lo_ = 0.0, hi_ = 0.0, scale_ = 0.0;
    int bands_ = 1;
    std::vector<std::size_t> start_;
    std::vector<unsigned> entries_;
};

}  // namespace

void ClassifyByCurve(TriOb& from, const BOUNDARY_LOOP& curve, TriOb& to, ClassifyReport* report,
                     const ClassifyOptions& options) {
    ClassifyReport local;
    ClassifyReport& rep = report ? *report : local;
    if (from.IsEmpty() || curve.IsEmpty()) return;
    ClearFacets(to);
    Color_To_RGB(Random_Color(), to.Color);
    std::vector<TRI_FACET*> facets;
    for (TRI_FACET* f = from.Head.Next; f; f = f->Next) facets.push_back(f);
    std::vector<unsigned char> inside(facets.size(), 0), quick(facets.size(), 0);
    PlanarWinding planar(curve);
    const bool shortcut = options.planarShortcut && planar.Usable();
    auto work = [&](std::size_t begin, std::size_t end) {
        for (std::size_t i = begin; i < end; ++i) {
            const TRI_FACET& f = *facets[i];
            const double cx = (double(f.Corner0.x) + f.Corner1.x + f.Corner2.x) / 3.0;
            const double cy = (double(f.Corner0.y) + f.Corner1.y + f.Corner2.y) / 3.0;
            const double cz = (double(f.Corner0.z) + f.Corner1.z + f.Corner2.z) / 3.0;
            bool in = false;
            if (shortcut && planar.Decide(cx, cy, cz, in)) {
                quick[i] = 1;
            } else {
                in = Winding_Sum(curve, cx, cy, cz) > 0.0;
            }
            inside[i] = in;
        }
    };
    unsigned threads = options.threads ? options.threads : std::max(1u, std::thread::hardware_concurrency());
    threads = unsigned(std::min<std::size_t>(threads, std::max<std::size_t>(1, facets.size() / 4096)));
    if (threads <= 1) {
        work(0, facets.size());
    } else {
        std::vector<std::thread> pool;
        const std::size_t chunk = (facets.size() + threads - 1) / threads;
        for (unsigned t = 0; t < threads; ++t) {
            const std::size_t begin = std::min(facets.size(), t * chunk);
            const std::size_t end = std::min(facets.size(), begin + chunk);
            pool.emplace_back(work, begin, end);
        }
        for (std::thread& t : pool) t.join();
    }
    TRI_FACET* prev = &from.Head;
    std::size_t i = 0;
    for (TRI_FACET* f = prev->Next; f; f = prev->Next, ++i) {
        rep.shortcut += quick[i];
        if (inside[i]) {
            prev->Next = f->Next;
            f->Next = to.Head.Next;
            to.Head.Next = f;
            ++rep.moved;
        } else {
            prev = f;
        }
    }
    rep.full = facets.size() - rep.shortcut;
}

}  // namespace orvex
