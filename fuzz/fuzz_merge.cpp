// The vertex merger against the plain HYPER_POINT tree, for any tolerance and grid spacing: tiny,
// denormal, huge (1e30, the largest float), infinite, undefined, negative. Promises: every corner
// gets the tree's index (NaN and negative tolerances acting as 0) and the merger keeps the tree's
// positions; through the reader such odd tolerances are refused or merge likewise; nothing loops
// (libFuzzer's -timeout catches that).
//
// Input: tolerance choice, spacing choice, scan-limit choice (its high bits: whether two threads
// share the work), a raw float, then points, each a control byte and its data
// (raw floats, steps of the tolerance from the last point, a repeat of an earlier point nudged by
// an ulp, or small dyadic numbers).

#include <algorithm>
#include <limits>
#include <span>

#include "fuzz/MeshChecks.h"
#include "mesh/StlMerge.h"
#include "mesh/StlMergeTree.h"
#include "mesh/StlReader.h"

namespace orvex::fuzz {

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();
const float kTolerances[] = {0.0f,
                             std::numeric_limits<float>::denorm_min(),
                             1e-40f,
                             0x1p-11f,
                             0.0005f,
                             0.001f,
                             0.5f,
                             1.0f,
                             1000.0f,
                             1e30f,
                             std::numeric_limits<float>::max(),
                             kInf,
                             std::numeric_limits<float>::quiet_NaN(),
                             -1.0f,
                             -0.0f,
                             1e-30f};
constexpr std::size_t kToleranceChoices = sizeof kTolerances / sizeof kTolerances[0];
const unsigned kScanLimits[] = {1, 2, 3, 4, 8, 16, 64, 4096};

class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool Has(std::size_t n) const { return size_ - at_ >= n; }
    std::uint8_t Byte() { return Has(1) ? data_[at_++] : 0; }
    float Float() {
        float f = 0.0f;
        if (Has(4)) std::memcpy(&f, data_ + at_, 4);
        at_ += Has(4) ? 4 : size_ - at_;
        return f;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

bool Finite(const Vec3& p) {
    return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
}

std::vector<Vec3> Points(Input& in, float tolerance, float spacing) {
    std::vector<Vec3> points;
    Vec3 last{};
    while (in.Has(1)) {
        const std::uint8_t c = in.Byte();
        Vec3 p;
        switch (c & 3) {
            case 0:
                p = {in.Float(), in.Float(), in.Float()};
                break;
            case 1: {  // steps of about a tolerance from the last point
                const float units[4] = {tolerance, tolerance / 2, std::nextafter(tolerance, kInf), spacing};
                const float unit = units[(c >> 2) & 3];
                p = last;
                for (int a = 0; a < 3; ++a) p[a] += float(std::int8_t(in.Byte())) * unit;
                break;
            }
            case 2: {  // an earlier point, each axis nudged by an ulp or not
                if (points.empty()) continue;
                p = points[in.Byte() % points.size()];
                for (int a = 0; a < 3; ++a) {
                    const int nudge = (c >> (2 + 2 * a)) & 3;
                    if (nudge == 1) p[a] = std::nextafter(p[a], kInf);
                    if (nudge == 2) p[a] = std::nextafter(p[a], -kInf);
                }
                break;
            }
            default: {  // small dyadic numbers: corners a tolerance apart across cell borders
                const float scale = std::ldexp(1.0f, -int((c >> 2) & 63));
                for (int a = 0; a < 3; ++a) p[a] = float(std::int8_t(in.Byte())) * scale;
                break;
            }
        }
        if (!Finite(p)) continue;
        points.push_back(p);
        last = p;
    }
    return points;
}

void Put_Float(Bytes& out, float f) {
    Append(out, &f, 4);
}

}  // namespace

void Make_Seeds(const std::string& dir) {
    auto seed = [&](const std::string& name, std::uint8_t tol, std::uint8_t spacing, std::uint8_t limit,
                    const Bytes& points) {
        Bytes bytes{tol, spacing, limit};
        Put_Float(bytes, 0.25f);
        bytes.insert(bytes.end(), points.begin(), points.end());
        Write_Seed(dir, name, bytes);
    };
    // A walk of steps of a tolerance, half a tolerance and a little more than one.
    Bytes walk;
    for (int k = 0; k < 40; ++k) {
        walk.push_back(std::uint8_t(1 | ((k % 3) << 2)));
        for (int a = 0; a < 3; ++a) walk.push_back(std::uint8_t(std::int8_t((k * 7 + a * 3) % 5 - 2)));
    }
    // Raw points on a unit sphere, then repeats nudged by an ulp.
    Bytes sphere;
    for (int k = 0; k < 24; ++k) {
        sphere.push_back(0);
        const float t = float(k) * 0.7f, u = float(k) * 0.3f;
        Put_Float(sphere, std::cos(t) * std::cos(u));
        Put_Float(sphere, std::sin(t) * std::cos(u));
        Put_Float(sphere, std::sin(u));
    }
    for (int k = 0; k < 24; ++k) {
        sphere.push_back(std::uint8_t(2 | (k << 2)));
        sphere.push_back(std::uint8_t(k * 5));
    }
    // Dyadic corners straddling a cell border: -2^-33 and 2^-11 - 2^-33 with tolerance 2^-11.
    Bytes dyadic;
    for (int k = 0; k < 16; ++k) {
        dyadic.push_back(std::uint8_t(3 | ((11 + k % 3) << 2)));
        for (int a = 0; a < 3; ++a) dyadic.push_back(std::uint8_t(std::int8_t(k % 4 - 1 + a)));
    }
    for (std::uint8_t t = 0; t < kToleranceChoices; ++t) {
        seed("walk-" + std::to_string(t), t, std::uint8_t(t % 10), std::uint8_t(t % 8), walk);
        seed("sphere-" + std::to_string(t), t, 4, std::uint8_t(7 - t % 8), sphere);
    }
    seed("dyadic", 3, 0, 7, dyadic);
    seed("dyadic-crowded", 3, 9, 0, dyadic);
    Bytes raw{0xFF, 0, 0};
    Put_Float(raw, 3e-3f);
    raw.insert(raw.end(), walk.begin(), walk.end());
    Write_Seed(dir, "raw-tolerance", raw);
}

}  // namespace orvex::fuzz

using namespace orvex;
using namespace orvex::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in(data, size);
    const std::uint8_t toleranceChoice = in.Byte();
    const std::uint8_t spacingChoice = in.Byte();
    const std::uint8_t limitChoice = in.Byte();
    const unsigned scanLimit = kScanLimits[limitChoice % 8];
    const float raw = in.Float();
    const float tolerance = toleranceChoice < kToleranceChoices ? kTolerances[toleranceChoice] : raw;
    const float goodTolerance = tolerance >= 0.0f && std::isfinite(tolerance) ? tolerance : 0.0f;
    const float spacings[10] = {0.0f,          1e-30f,           1e-6f, 0.001f,
                                1.0f,          1000.0f,          1e30f, std::numeric_limits<float>::max(),
                                goodTolerance, 4 * goodTolerance};
    float spacing = spacings[spacingChoice % 10];
    if (!std::isfinite(spacing)) spacing = 0.0f;
    const std::vector<Vec3> points = Points(in, goodTolerance, spacing);
    // A bound on the distinct points shares the work with a second thread.
    const std::size_t bound = (limitChoice >> 3) % 2 ? points.size() : 0;

    // The merger takes any tolerance: NaN and negative ones act as 0, an infinite one merges all.
    const float effective = tolerance >= 0.0f ? tolerance : 0.0f;
    {
        VertexMerger merger(tolerance, spacing, points.size() / 2 + 3, scanLimit, bound);
        HyperPointTree tree(effective);
        std::vector<int> inserted, wanted;
        for (const Vec3& p : points) {
            inserted.push_back(merger.Insert(p));
            wanted.push_back(tree.Insert(p));
        }
        merger.Finish();
        for (std::size_t k = 0; k < points.size(); ++k) {
            const int got = merger.Index(inserted[k]);
            FUZZ_CHECK(got == wanted[k],
                       "point %zu: merger %d, tree %d (tolerance %g, spacing %g, scan limit %u, bound %zu)",
                       k, got, wanted[k], double(tolerance), double(spacing), scanLimit, bound);
        }
        FUZZ_CHECK(merger.Count() == tree.Count(), "%u vertices, the tree %u", merger.Count(), tree.Count());
        for (unsigned v = 0; v < tree.Count(); ++v)
            FUZZ_CHECK(merger.Positions()[v] == tree.Nodes()[v].position, "vertex %u moved", v);
    }
    if (tolerance >= 0.0f && std::isfinite(tolerance)) return 0;

    // Odd tolerances also go through the reader, which may refuse them.
    std::vector<StlFacet> facets(points.size() / 3);
    for (std::size_t k = 0; k < facets.size(); ++k)
        for (int s = 0; s < 3; ++s) facets[k].corner[s] = points[3 * k + s];
    if (facets.empty()) return 0;
    Bytes file(kStlPreambleBytes, 0);
    const auto count = std::uint32_t(facets.size());
    std::memcpy(file.data() + kStlHeaderBytes, &count, 4);
    for (const StlFacet& facet : facets) {
        unsigned char record[kStlRecordBytes];
        Stl_Put_Record(record, facet);
        Append(file, record, sizeof record);
    }
    const float saved = Coincidence_Tolerance;
    Coincidence_Tolerance = tolerance;
    UniOb mesh;
    StlReadOptions options;
    options.runPipeline = false;
    const Status status = Read_STL_Memory(mesh, file, "fuzz.stl", options);
    Coincidence_Tolerance = saved;
    Check_Mesh_Shape(mesh, false);
    if (mesh.IsEmpty()) {
        FUZZ_CHECK(!status.ok, "nothing read, yet ok");
        return 0;
    }
    FUZZ_CHECK(std::isinf(tolerance) || status.ok, "failed with tolerance %g: %s", double(tolerance),
               status.message.c_str());
    Check_Mesh_Merge(mesh, facets, effective);
    HyperPointTree tree(effective);
    for (std::size_t k = 0; k < facets.size(); ++k)
        for (int s = 0; s < 3; ++s)
            FUZZ_CHECK(mesh.Face_Index[k][s] == tree.Insert(facets[k].corner[s]), "facet %zu corner %d", k,
                       s);
    return 0;
}
