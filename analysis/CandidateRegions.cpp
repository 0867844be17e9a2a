// Two-ring statistics, candidate labelling, region numbering and region records with merging.

#include "analysis/CandidateRegions.h"

#include <algorithm>

#include "analysis/Curvature.h"
#include "geometry/Statistics.h"
#include "geometry/VecList.h"

namespace orvex {

namespace {

constexpr int kCandidateMark = -100;
constexpr float kBandLow = -0.03f;
constexpr float kBandHigh = -0.01f;
constexpr float kMaxDeviation = 0.02f;
constexpr float kMergeDistance = 20.0f;
constexpr unsigned kCancelStep = 4096;

bool RingsMatch(const UniOb& mesh) {
    return mesh.Vertex_Ring.IsBuilt() && mesh.Vertex_Ring.start.size() == mesh.Vertex_Count + 1u;
}

bool CurvatureMatches(const UniOb& mesh) {
    return mesh.Curvature_Max.size() == mesh.Vertex_Count && mesh.Curvature_Min.size() == mesh.Vertex_Count;
}

// Makes entries 3-5 of a region record a unit vector.
void NormalizeRecordNormal(float* r) {
    Vec3 n{r[3], r[4], r[5]};
    Vec3_Normalize(n);
    r[3] = n.x;
    r[4] = n.y;
    r[5] = n.z;
}

// One region record: centre (0-2), unit mean normal (3-5), vertex count as weight (6).
VEC_LIST* MakeRegionRecord(const UniOb& mesh, const std::vector<int>& vertices) {
    double centre[3] = {0.0, 0.0, 0.0};
    double normal[3] = {0.0, 0.0, 0.0};
    for (int v : vertices) {
        for (int k = 0; k < 3; ++k) {
            centre[k] += mesh.Vertex_Pos[v][k];
            normal[k] += mesh.Vertex_Normal[v][k];
        }
    }
    auto* record = new VEC_LIST(7);
    float* r = record->values;
    const double count = static_cast<double>(vertices.size());
    for (int k = 0; k < 3; ++k) {
        r[k] = static_cast<float>(centre[k] / count);
        r[3 + k] = static_cast<float>(normal[k]);
    }
    r[6] = static_cast<float>(count);
    NormalizeRecordNormal(r);
    return record;
}

// Folds every later record whose centre lies within the merge distance of the current one into
// it, comparing against the current record's updated centre.
void MergeNearRegions(VEC_LIST* head) {
    for (VEC_LIST* a = head; a; a = a->next) {
        float* ra = a->values;
        VEC_LIST* before = a;
        while (VEC_LIST* b = before->next) {
            float* rb = b->values;
            if (Point_Distance(Vec3{ra[0], ra[1], ra[2]}, Vec3{rb[0], rb[1], rb[2]}) < kMergeDistance) {
                const float wa = ra[6], wb = rb[6], w = wa + wb;
                for (int k = 0; k < 6; ++k) ra[k] = (ra[k] * wa + rb[k] * wb) / w;
                ra[6] = w;
                NormalizeRecordNormal(ra);
                before->next = b->next;
                delete b;
            } else {
                before = b;
            }
        }
    }
}

}  // namespace

RingStats TwoRingStats(const UniOb& mesh, int v) {
    TwoRingScratch scratch;
    return TwoRingStats(mesh, v, scratch);
}

RingStats TwoRingStats(const UniOb& mesh, int v, TwoRingScratch& scratch) {
    RingStats stats;
    if (mesh.IsEmpty() || !RingsMatch(mesh) || !CurvatureMatches(mesh)) return stats;
    if (v < 0 || static_cast<unsigned>(v) >= mesh.Vertex_Count) return stats;

    // A stamp per vertex stands in for searching the list being built; the list and its order
    // are the same.
    if (scratch.stamp.size() != mesh.Vertex_Count) {
        scratch.stamp.assign(mesh.Vertex_Count, 0);
        scratch.query = 0;
    }
    if (++scratch.query == 0) {
        std::fill(scratch.stamp.begin(), scratch.stamp.end(), 0u);
        scratch.query = 1;
    }
    const unsigned q = scratch.query;
    const VertexRing& ring = mesh.Vertex_Ring;
    std::vector<int>& list = scratch.members;
    list.clear();
    list.push_back(v);
    scratch.stamp[v] = q;
    for (const int* w = ring.Begin(v); w != ring.End(v); ++w) {
        list.push_back(*w);
        scratch.stamp[*w] = q;
    }
    for (const int* w = ring.Begin(v); w != ring.End(v); ++w) {
        for (const int* u = ring.Begin(*w); u != ring.End(*w); ++u) {
            if (scratch.stamp[*u] == q) continue;
            scratch.stamp[*u] = q;
            list.push_back(*u);
        }
    }

    scratch.valuesMax.resize(list.size());
    scratch.valuesMin.resize(list.size());
    for (std::size_t i = 0; i < list.size(); ++i) {
        scratch.valuesMax[i] = mesh.Curvature_Max[list[i]];
        scratch.valuesMin[i] = mesh.Curvature_Min[list[i]];
    }
    Mean_Std(scratch.valuesMax.data(), list.size(), stats.meanMax, stats.stdMax);
    Mean_Std(scratch.valuesMin.data(), list.size(), stats.meanMin, stats.stdMin);
    return stats;
}

void FloodLabel(UniOb& mesh, int vertex, int from, int to) {
    std::vector<int> stack;
    FloodLabel(mesh, vertex, from, to, stack);
}

// Every vertex is relabelled when first reached, so the relabelled set (all that a caller can
// see) is the one the depth-first recursion gives, whatever the visiting order.
void FloodLabel(UniOb& mesh, int vertex, int from, int to, std::vector<int>& stack) {
    if (mesh.IsEmpty() || !RingsMatch(mesh) || from == to) return;
    if (vertex < 0 || static_cast<unsigned>(vertex) >= mesh.Vertex_Count) return;
    const VertexRing& ring = mesh.Vertex_Ring;
    int* label = mesh.Vertex_Label.data();
    stack.clear();
    stack.push_back(vertex);
    while (!stack.empty()) {
        const int v = stack.back();
        stack.pop_back();
        for (const int* u = ring.Begin(v); u != ring.End(v); ++u) {
            if (label[*u] != from) continue;
            label[*u] = to;
            stack.push_back(*u);
        }
    }
}

void FindCandidateRegions(UniOb& mesh, Progress* progress) {
    if (mesh.IsEmpty()) return;
    if (!RingsMatch(mesh) || !CurvatureMatches(mesh)) ComputeCurvature(mesh);
    const unsigned V = mesh.Vertex_Count;
    std::vector<int>& label = mesh.Vertex_Label;

    // Marking the candidates only reads the mesh, so a cancel here leaves everything as it was.
    std::vector<char> candidate(V, 0);
    TwoRingScratch scratch;
    for (unsigned v = 0; v < V; ++v) {
        if (v % kCancelStep == 0) {
            if (Cancel_Requested(progress)) return;
            Report_Progress(progress, double(v) / V, "Candidate regions");
        }
        // Region numbers of an earlier run count as interior again; only -1/-2 are excluded.
        if (label[v] < 0 && label[v] != kCandidateMark) continue;
        const RingStats stats = TwoRingStats(mesh, static_cast<int>(v), scratch);
        candidate[v] = stats.meanMax > kBandLow && stats.meanMax < kBandHigh && stats.stdMax < kMaxDeviation;
    }
    for (unsigned v = 0; v < V; ++v) {
        if (label[v] > 0 || label[v] == kCandidateMark) label[v] = 0;
        if (candidate[v]) label[v] = kCandidateMark;
    }
    candidate = {};

    int next = 1;
    std::vector<int> stack;
    for (unsigned v = 0; v < V; ++v) {
        if (label[v] != kCandidateMark) continue;
        label[v] = next;
        FloodLabel(mesh, static_cast<int>(v), kCandidateMark, next, stack);
        ++next;
    }
    const int regionCount = next - 1;

    // Vertex indices per region in index order.
    std::vector<std::vector<int>> members(regionCount);
    for (unsigned v = 0; v < V; ++v)
        if (label[v] >= 1 && label[v] <= regionCount) members[label[v] - 1].push_back(static_cast<int>(v));

    Free_Vec_List(mesh.Region_List);
    mesh.Left_Eye = mesh.Right_Eye = nullptr;  // they pointed into the records just deleted
    for (int r = 0; r < regionCount; ++r) {
        VEC_LIST* record = MakeRegionRecord(mesh, members[r]);
        record->next = mesh.Region_List;
        mesh.Region_List = record;
    }
    MergeNearRegions(mesh.Region_List);
    Report_Progress(progress, 1.0, "Candidate regions");
}

}  // namespace orvex
