#include "analysis/ReduceTriangles.h"

#include <sys/mman.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <new>
#include <numeric>
#include <utility>
#include <vector>

#include "analysis/Curvature.h"
#include "geometry/Random.h"
#include "mesh/Topology.h"

namespace orvex {

namespace {

// Allocator of the working arrays: big ones come straight from the kernel with a request for
// huge pages, as the random visiting order would otherwise miss the TLB on nearly every access.
template <class T>
struct HugePageAllocator {
    using value_type = T;
    static constexpr std::size_t kBig = std::size_t(4) << 20;

    HugePageAllocator() = default;
    template <class U>
    HugePageAllocator(const HugePageAllocator<U>&) {}
    T* allocate(std::size_t n) {
        const std::size_t bytes = n * sizeof(T);
        if (bytes < kBig) return static_cast<T*>(::operator new(bytes));
        void* memory = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (memory == MAP_FAILED) throw std::bad_alloc();
        madvise(memory, bytes, MADV_HUGEPAGE);  // a hint: refused, it costs nothing
        return static_cast<T*>(memory);
    }
    void deallocate(T* p, std::size_t n) {
        const std::size_t bytes = n * sizeof(T);
        if (bytes < kBig)
            ::operator delete(p);
        else
            munmap(p, bytes);
    }
    template <class U>
    bool operator==(const HugePageAllocator<U>&) const {
        return true;
    }
};
template <class T>
using WorkArray = std::vector<T, HugePageAllocator<T>>;

// Working records, packed so that a vertex or a face is one fetch: the run visits vertices in
// random order and is bound by memory latency, not arithmetic.
struct FaceRec {
    FaceIndex c;
    float area;
    Vec3 normal;
    float pad;
};
struct VertexRec {
    Vec3 pos;
    Vec3 normal;
    std::uint32_t stamp;
    std::uint32_t pad;
};
static_assert(sizeof(FaceRec) == 32 && sizeof(VertexRec) == 32);

// Incident-face lists of all vertices in one pool. A list that outgrows its block moves to the
// end of the pool, so a vertex that gathers faces costs amortised constant time per face and no
// vertex owns an allocation.
class FaceLists {
public:
    void Build(const FaceRec* face, unsigned V, unsigned F) {
        head_.assign(V, Head{});
        for (unsigned f = 0; f < F; ++f)
            for (int j = 0; j < 3; ++j) ++head_[face[f].c[j]].capacity;
        std::uint64_t total = 0;
        for (Head& h : head_) {
            h.offset = total;
            total += h.capacity;
        }
        // Lists that grow move to the end; reserved pages the run never reaches are never backed,
        // so a generous reserve saves copying the pool without costing memory.
        pool_.reserve(2 * total + 1024);
        pool_.resize(total);
        for (unsigned f = 0; f < F; ++f)
            for (int j = 0; j < 3; ++j) {
                Head& h = head_[face[f].c[j]];
                pool_[h.offset + h.size++] = f;
            }
    }
    std::uint32_t Size(int v) const { return head_[v].size; }
    std::uint32_t At(int v, std::uint32_t i) const { return pool_[head_[v].offset + i]; }
    const std::uint32_t* Begin(int v) const { return pool_.data() + head_[v].offset; }
    const std::uint32_t* End(int v) const { return pool_.data() + head_[v].offset + head_[v].size; }

    void Append(int v, std::uint32_t f) {
        Head& h = head_[v];
        if (h.size == h.capacity) {
            const std::uint32_t grown = h.capacity < 4 ? 8 : 2 * h.capacity;
            const std::size_t moved = pool_.size();
            pool_.resize(moved + grown);
            std::copy(pool_.begin() + h.offset, pool_.begin() + h.offset + h.size, pool_.begin() + moved);
            h.offset = moved;
            h.capacity = grown;
        }
        pool_[h.offset + h.size++] = f;
    }
    // Removes the first occurrence, keeping the order of the rest.
    void Erase(int v, std::uint32_t f) {
        Head& h = head_[v];
        std::uint32_t* p = pool_.data() + h.offset;
        for (std::uint32_t i = 0; i < h.size; ++i) {
            if (p[i] != f) continue;
            for (std::uint32_t k = i + 1; k < h.size; ++k) p[k - 1] = p[k];
            --h.size;
            return;
        }
    }
    void Clear(int v) { head_[v].size = 0; }
    void Prefetch_Head(int v) const { __builtin_prefetch(&head_[v]); }

private:
    struct Head {
        std::uint64_t offset = 0;
        std::uint32_t size = 0;
        std::uint32_t capacity = 0;
    };
    WorkArray<std::uint32_t> pool_;
    WorkArray<Head> head_;
};

int Corner_Of(const FaceIndex& t, int s) {
    return t[0] == s ? 0 : (t[1] == s ? 1 : 2);
}
int After(const FaceIndex& t, int s) {
    return t[(Corner_Of(t, s) + 1) % 3];
}
int Before(const FaceIndex& t, int s) {
    return t[(Corner_Of(t, s) + 2) % 3];
}

// A closed fan around s has every ring neighbour once after s and once before it, so the index
// sums cancel; two fans meeting at s cancel too, which the ring walk catches.
bool Closed_Fan(const FaceRec* face, const FaceLists& lists, int s) {
    std::int64_t sum = 0;
    for (const std::uint32_t* f = lists.Begin(s); f != lists.End(s); ++f)
        sum += std::int64_t(After(face[*f].c, s)) - Before(face[*f].c, s);
    return sum == 0;
}

class Reducer {
public:
    Reducer(UniOb& mesh, float t) : mesh_(mesh), t_(t), V_(mesh.Vertex_Count), F_(mesh.Face_Count) {
        const Vec3* pos = mesh.Vertex_Pos.data();
        faces_.resize(F_);
        for (unsigned f = 0; f < F_; ++f) {
            const FaceIndex& c = mesh.Face_Index[f];
            faces_[f] = {c, Triangle_Area(pos[c[0]], pos[c[1]], pos[c[2]]), mesh.Face_Normal[f], 0.0f};
        }
        verts_.resize(V_);
        for (unsigned v = 0; v < V_; ++v) verts_[v] = {pos[v], mesh.Vertex_Normal[v], 0u, 0u};
        // The mesh itself stays untouched until the rebuild commits, so running out of memory
        // anywhere on the way leaves it as it was.
        face_ = faces_.data();
        vert_ = verts_.data();
        lists_.Build(face_, V_, F_);
        vertexLive_.assign(V_, 1);
        faceLive_.assign(F_, 1);
    }

    unsigned Phase1(Progress* progress, bool& cancelled) {
        // Drawing a position and swapping the last candidate into the hole keeps each draw
        // uniform and constant-time. The whole order is drawn first, so the loop can fetch the
        // data of the vertices a few steps ahead: in random order nearly every access misses
        // the cache otherwise.
        WorkArray<std::uint32_t> order(V_);
        std::iota(order.begin(), order.end(), 0u);
        for (std::uint32_t left = V_; left > 0; --left) {
            const std::uint32_t k = Random_Below(left);
            std::swap(order[k], order[left - 1]);
        }
        unsigned removed = 0;
        for (std::uint32_t i = 0; i < V_; ++i) {
            if ((i & 0xffffu) == 0xffffu) {
                if (Cancel_Requested(progress)) {
                    cancelled = true;
                    break;
                }
                Report_Progress(progress, 0.9 * i / V_, "Reducing triangles");
            }
            Prefetch(order, i);
            if (Collapse(static_cast<int>(order[V_ - 1 - i]))) ++removed;
        }
        return removed;
    }

    unsigned Phase2() {
        unsigned removed = 0;
        for (unsigned v = 0; v < V_; ++v)
            if (lists_.Size(static_cast<int>(v)) == 3 && Remove_Valence3(static_cast<int>(v))) ++removed;
        return removed;
    }

    void Rebuild();

private:
    // Four stages, each reading what the one before brought in: the vertex's list head and
    // record, its face list, its faces, and their corners.
    void Prefetch(const WorkArray<std::uint32_t>& order, std::uint32_t i) const {
        constexpr std::uint32_t kHead = 32, kList = 16, kFaces = 8, kCorners = 4;
        auto at = [&](std::uint32_t ahead) { return static_cast<int>(order[V_ - 1 - (i + ahead)]); };
        if (i + kHead < V_) {
            const int v = at(kHead);
            lists_.Prefetch_Head(v);
            __builtin_prefetch(&vert_[v]);
        }
        if (i + kList < V_) __builtin_prefetch(lists_.Begin(at(kList)));
        if (i + kFaces < V_) {
            const int v = at(kFaces);
            for (const std::uint32_t* f = lists_.Begin(v); f != lists_.End(v); ++f)
                __builtin_prefetch(&face_[*f]);
        }
        if (i + kCorners < V_) {
            const int v = at(kCorners);
            for (const std::uint32_t* f = lists_.Begin(v); f != lists_.End(v); ++f)
                for (int j = 0; j < 3; ++j) __builtin_prefetch(&vert_[face_[*f].c[j]]);
        }
    }

    static constexpr std::uint32_t kLiteralWalk = 16;
    bool Walk_Ring(int s, std::uint32_t n);
    bool Collapse(int s);
    bool Remove_Valence3(int s);
    bool Has_Other_Face(int a, int b, int c, std::uint32_t skip0, std::uint32_t skip1,
                        std::uint32_t skip2) const;

    UniOb& mesh_;
    float t_;
    unsigned V_, F_;
    WorkArray<FaceRec> faces_;
    WorkArray<VertexRec> verts_;
    FaceRec* face_ = nullptr;
    VertexRec* vert_ = nullptr;
    FaceLists lists_;
    std::vector<unsigned char> vertexLive_, faceLive_;
    std::uint32_t stampNow_ = 0;
    std::vector<int> ring_;
    std::vector<std::pair<int, std::uint32_t>> continuing_;  // (corner after s, list position)
};

// Whether a's list holds a face other than the three skipped whose corners are exactly {a, b, c}.
bool Reducer::Has_Other_Face(int a, int b, int c, std::uint32_t skip0, std::uint32_t skip1,
                             std::uint32_t skip2) const {
    for (const std::uint32_t* f = lists_.Begin(a); f != lists_.End(a); ++f) {
        if (*f == skip0 || *f == skip1 || *f == skip2) continue;
        const FaceIndex& t = face_[*f].c;
        const bool hasB = t[0] == b || t[1] == b || t[2] == b;
        const bool hasC = t[0] == c || t[1] == c || t[2] == c;
        if (hasB && hasC) return true;
    }
    return false;
}

// The scans over the list in order, literally for small fans. A large fan follows each ring
// entry to the one face continuing it, found by a sorted look-up, and ends a scan where that face
// lies before the last one appended: the same ring in O(n log n) rather than O(n^2). A fan where
// two faces continue the same entry walks no closed ring either way and is refused at once.
bool Reducer::Walk_Ring(int s, std::uint32_t n) {
    ring_.clear();
    const FaceIndex& first = face_[lists_.At(s, 0)].c;
    ring_.push_back(After(first, s));
    ring_.push_back(Before(first, s));
    if (n <= kLiteralWalk) {
        while (ring_.size() < n) {
            bool appended = false;
            for (std::uint32_t i = 1; i < n; ++i) {
                const FaceIndex& t = face_[lists_.At(s, i)].c;
                if (After(t, s) == ring_.back()) {
                    ring_.push_back(Before(t, s));
                    appended = true;
                }
            }
            if (!appended) return false;
        }
        return true;
    }
    continuing_.clear();
    for (std::uint32_t i = 1; i < n; ++i) continuing_.push_back({After(face_[lists_.At(s, i)].c, s), i});
    std::sort(continuing_.begin(), continuing_.end());
    for (std::size_t i = 1; i < continuing_.size(); ++i)
        if (continuing_[i].first == continuing_[i - 1].first) return false;
    while (ring_.size() < n) {
        std::uint32_t cursor = 0;  // list position of the last face appended in this scan
        bool appended = false;
        for (;;) {
            const auto next = std::lower_bound(continuing_.begin(), continuing_.end(),
                                               std::pair<int, std::uint32_t>{ring_.back(), 0u});
            if (next == continuing_.end() || next->first != ring_.back() || next->second <= cursor) break;
            ring_.push_back(Before(face_[lists_.At(s, next->second)].c, s));
            cursor = next->second;
            appended = true;
        }
        if (!appended) return false;
    }
    return true;
}

bool Reducer::Collapse(int s) {
    const std::uint32_t n = lists_.Size(s);
    if (n == 0) return false;
    if (!Closed_Fan(face_, lists_, s)) return false;
    const Vec3& normal = vert_[s].normal;
    for (const std::uint32_t* f = lists_.Begin(s); f != lists_.End(s); ++f)
        if (Point_Distance(normal, face_[*f].normal) > t_) return false;

    // Target: the nearer of the other two corners of the smallest face.
    std::uint32_t smallest = lists_.At(s, 0);
    for (const std::uint32_t* f = lists_.Begin(s); f != lists_.End(s); ++f)
        if (face_[*f].area < face_[smallest].area) smallest = *f;
    const int c1 = After(face_[smallest].c, s), c2 = Before(face_[smallest].c, s);
    const int P =
        Point_Distance(vert_[s].pos, vert_[c2].pos) < Point_Distance(vert_[s].pos, vert_[c1].pos) ? c2 : c1;

    // q holds s->P with third corner Q, S holds P->s with third corner R.
    std::uint32_t q = UINT32_MAX, S = UINT32_MAX;
    int Q = -1, R = -1;
    for (const std::uint32_t* f = lists_.Begin(s); f != lists_.End(s); ++f) {
        const FaceIndex& t = face_[*f].c;
        if (q == UINT32_MAX && After(t, s) == P) q = *f, Q = Before(t, s);
        if (S == UINT32_MAX && Before(t, s) == P) S = *f, R = After(t, s);
    }
    if (q == UINT32_MAX || S == UINT32_MAX || q == S) return false;

    // Ordered ring: scans append every face continuing the ring until it is long enough; a scan
    // that appends nothing means s is not one fan (two cones meeting), and s stays.
    if (!Walk_Ring(s, n)) return false;

    // A closed fan of n faces walks to n different neighbours, and its last face closes the ring;
    // index sums can cancel by chance without that. A scan that appended the first neighbour
    // again leaves a ring too long, which the convexity test would reject anyway.
    const std::size_t L = ring_.size();
    if (L != n) return false;
    ++stampNow_;
    for (const int v : ring_) {
        if (vert_[v].stamp == stampNow_) return false;
        vert_[v].stamp = stampNow_;
    }
    bool closes = false;
    for (const std::uint32_t* f = lists_.Begin(s); f != lists_.End(s) && !closes; ++f)
        closes = After(face_[*f].c, s) == ring_.back() && Before(face_[*f].c, s) == ring_.front();
    if (!closes) return false;

    // Convexity against the vertex normal.
    for (std::size_t h = 0; h < L; ++h) {
        const Vec3& a = vert_[ring_[h]].pos;
        const Vec3& b = vert_[ring_[(h + 1) % L]].pos;
        const Vec3& c = vert_[ring_[(h + 2) % L]].pos;
        const double e1[3] = {double(b.x) - a.x, double(b.y) - a.y, double(b.z) - a.z};
        const double e2[3] = {double(c.x) - b.x, double(c.y) - b.y, double(c.z) - b.z};
        const double turn = (e1[1] * e2[2] - e1[2] * e2[1]) * normal.x +
                            (e1[2] * e2[0] - e1[0] * e2[2]) * normal.y +
                            (e1[0] * e2[1] - e1[1] * e2[0]) * normal.z;
        if (!(turn >= 0.01)) return false;
    }

    // Link condition: a neighbour of both s and P other than Q and R would get a second edge to
    // P, and that edge four faces (two sheets lying close, as in thin flat parts). The ring is
    // stamped above.
    for (const std::uint32_t* f = lists_.Begin(P); f != lists_.End(P); ++f)
        for (int j = 0; j < 3; ++j) {
            const int c = face_[*f].c[j];
            if (c != s && c != P && c != Q && c != R && vert_[c].stamp == stampNow_) return false;
        }
    // Three faces around s leave (P, Q, R); a face on those corners already (a flat tetrahedron)
    // would be doubled.
    if (n == 3 && Has_Other_Face(P, Q, R, q, S, UINT32_MAX)) return false;

    lists_.Erase(Q, q);
    lists_.Erase(R, S);
    lists_.Erase(s, S);
    lists_.Erase(s, q);
    lists_.Erase(P, S);
    lists_.Erase(P, q);
    // Appending to P may move the pool, so s's list is read by position.
    for (std::uint32_t i = 0; i < lists_.Size(s); ++i) {
        const std::uint32_t f = lists_.At(s, i);
        FaceIndex& t = face_[f].c;
        t[Corner_Of(t, s)] = P;
        Facet_Normal(face_[f].normal, vert_[t[0]].pos, vert_[t[1]].pos, vert_[t[2]].pos);
        face_[f].area = Triangle_Area(vert_[t[0]].pos, vert_[t[1]].pos, vert_[t[2]].pos);
        lists_.Append(P, f);
    }
    vertexLive_[s] = 0;
    faceLive_[S] = faceLive_[q] = 0;
    lists_.Clear(s);
    return true;
}

bool Reducer::Remove_Valence3(int s) {
    if (!Closed_Fan(face_, lists_, s)) return false;
    const Vec3& normal = vert_[s].normal;
    for (const std::uint32_t* f = lists_.Begin(s); f != lists_.End(s); ++f)
        if (!(Dot(face_[*f].normal, normal) >= 0.9f)) return false;

    const std::uint32_t f0 = lists_.At(s, 0), f1 = lists_.At(s, 1), f2 = lists_.At(s, 2);
    const int O = After(face_[f0].c, s), P = Before(face_[f0].c, s);
    int Q = -1;
    bool secondIsPQ = false;
    if (After(face_[f1].c, s) == P) {
        Q = Before(face_[f1].c, s);
        secondIsPQ = true;
    } else if (Before(face_[f1].c, s) == O) {
        Q = After(face_[f1].c, s);
    }
    if (Q < 0 || Q == O || Q == P || O == P) return false;
    // The third face must close the fan, or removing s would open a hole.
    const int thirdFrom = secondIsPQ ? Q : P, thirdTo = secondIsPQ ? O : Q;
    if (After(face_[f2].c, s) != thirdFrom || Before(face_[f2].c, s) != thirdTo) return false;
    if (Has_Other_Face(O, P, Q, f0, f1, f2)) return false;

    for (const std::uint32_t f : {f1, f2})
        for (int j = 0; j < 3; ++j)
            if (face_[f].c[j] != s) lists_.Erase(face_[f].c[j], f);
    FaceIndex& t = face_[f0].c;
    t[Corner_Of(t, s)] = Q;
    Facet_Normal(face_[f0].normal, vert_[t[0]].pos, vert_[t[1]].pos, vert_[t[2]].pos);
    lists_.Append(Q, f0);
    vertexLive_[s] = 0;
    faceLive_[f1] = faceLive_[f2] = 0;
    lists_.Clear(s);
    return true;
}

// Compacts the live vertices and faces in index order and derives the rest again. Texture
// coordinates and colours go with their vertices.
void Reducer::Rebuild() {
    std::vector<int> newIndex(V_, -1);
    unsigned liveVertices = 0;
    for (unsigned v = 0; v < V_; ++v)
        if (vertexLive_[v]) newIndex[v] = static_cast<int>(liveVertices++);
    UniOb fresh;
    unsigned liveFaces = 0;
    for (unsigned f = 0; f < F_; ++f) liveFaces += faceLive_[f] ? 1u : 0u;
    fresh.AllocFaces(liveFaces);
    for (unsigned f = 0, out = 0; f < F_; ++f)
        if (faceLive_[f])
            fresh.Face_Index[out++] = {newIndex[face_[f].c[0]], newIndex[face_[f].c[1]],
                                       newIndex[face_[f].c[2]]};
    lists_ = FaceLists();
    faces_ = {};
    verts_ = {};

    fresh.AllocVertices(liveVertices);
    fresh.AllocCurvature(liveVertices);
    const bool withTex = mesh_.Tex_Coord.size() == V_, withColor = mesh_.Vertex_Color.size() == V_;
    for (unsigned v = 0; v < V_; ++v) {
        if (newIndex[v] < 0) continue;
        const int w = newIndex[v];
        fresh.Vertex_Pos[w] = mesh_.Vertex_Pos[v];
        if (withTex) fresh.Tex_Coord[w] = mesh_.Tex_Coord[v];
        if (withColor) fresh.Vertex_Color[w] = mesh_.Vertex_Color[v];
    }
    newIndex = {};

    Compute_Face_Normals(fresh);
    Compute_Vertex_Normals(fresh, false);
    ComputeCurvature(fresh);
    Compute_Box(fresh);

    // Nothing below allocates: the mesh takes the new arrays whole.
    std::swap(mesh_.Vertex_Count, fresh.Vertex_Count);
    std::swap(mesh_.Face_Count, fresh.Face_Count);
    mesh_.Vertex_Pos.swap(fresh.Vertex_Pos);
    mesh_.Vertex_Normal.swap(fresh.Vertex_Normal);
    mesh_.Tex_Coord.swap(fresh.Tex_Coord);
    mesh_.Vertex_Color.swap(fresh.Vertex_Color);
    mesh_.Vertex_Label.swap(fresh.Vertex_Label);
    mesh_.Curvature_Max.swap(fresh.Curvature_Max);
    mesh_.Curvature_Min.swap(fresh.Curvature_Min);
    std::swap(mesh_.Vertex_Ring, fresh.Vertex_Ring);
    mesh_.Boundary_Chain.swap(fresh.Boundary_Chain);
    mesh_.Face_Index.swap(fresh.Face_Index);
    mesh_.Face_Normal.swap(fresh.Face_Normal);
    mesh_.Box_Min = fresh.Box_Min;
    mesh_.Box_Max = fresh.Box_Max;
}

}  // namespace

ReduceResult ReduceTriangles(UniOb& mesh, float thresholdDegrees, Progress* progress) {
    ReduceResult result;
    result.verticesBefore = mesh.Vertex_Count;
    result.facesBefore = mesh.Face_Count;
    if (mesh.IsEmpty() || !std::isfinite(thresholdDegrees) || thresholdDegrees > 15.0f) return result;
    result.ran = true;
    const float t = thresholdDegrees * static_cast<float>(M_PI) / 180.0f;

    try {
        Reducer reducer(mesh, t);
        result.phase1Removed = reducer.Phase1(progress, result.cancelled);
        if (!result.cancelled) result.phase2Removed = reducer.Phase2();
        Report_Progress(progress, 0.9, "Rebuilding the mesh");
        reducer.Rebuild();
    } catch (const std::bad_alloc&) {
        ReduceResult unchanged;
        unchanged.verticesBefore = result.verticesBefore;
        unchanged.facesBefore = result.facesBefore;
        unchanged.outOfMemory = true;
        return unchanged;
    }
    Report_Progress(progress, 1.0, "Reduced");
    return result;
}

}  // namespace orvex
