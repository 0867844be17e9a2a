// Read_STL: file bytes, flavour detection, facet checks and merging, then the load pipeline.

#include "mesh/StlReader.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <optional>
#include <vector>

#include "geometry/Clock.h"
#include "geometry/Color.h"
#include "geometry/Random.h"
#include "mesh/FaceMeasures.h"
#include "mesh/FileBytes.h"
#include "mesh/LoadPipeline.h"
#include "mesh/StlAscii.h"
#include "mesh/StlFormat.h"
#include "mesh/Topology.h"

namespace orvex {

float Coincidence_Tolerance = 0.0005f;

namespace {

constexpr std::size_t kProgressStep = 1u << 18;
constexpr std::size_t kSpacingSamples = 1024;
constexpr std::size_t kPrefetchAhead = 8;
constexpr std::size_t kHashRing = 16;  // above kPrefetchAhead, a power of two
constexpr std::size_t kThreadedFacets = 1u << 16;
constexpr unsigned kScanLimit = 4096;
// Face indices are ints: stop while three more corners still fit.
constexpr unsigned kMaxVertices = unsigned(std::numeric_limits<int>::max()) - 3;
// A text file has no zero byte; a binary one nearly always has one early (in its facet count).
constexpr std::size_t kTextProbeBytes = 1024;

void Draw_Colour(UniOb& mesh) {
    const int r = Crt_Rand15();
    mesh.Color_RGBA[3] = float(r % 129) / 256.0f + 0.5f;
    Color_To_RGB(Random_Color(), mesh.Color_RGBA);
}

bool Starts_With_Solid(std::span<const unsigned char> bytes) {
    std::size_t i = 0;
    while (i < bytes.size() && i < kStlHeaderBytes &&
           (bytes[i] == ' ' || bytes[i] == '\t' || bytes[i] == '\r' || bytes[i] == '\n'))
        ++i;
    if (bytes.size() - i < 5) return false;
    for (std::size_t k = 0; k < 5; ++k) {
        unsigned char c = bytes[i + k];
        if (c >= 'A' && c <= 'Z') c = static_cast<unsigned char>(c - 'A' + 'a');
        if (c != "solid"[k]) return false;
    }
    return true;
}

bool Has_Zero_Byte(std::span<const unsigned char> bytes) {
    const std::size_t n = std::min(bytes.size(), kTextProbeBytes);
    return std::memchr(bytes.data(), 0, n) != nullptr;
}

// No mesh has coordinates like these: beyond kAbsurdlyLarge its volume overflows a float, and
// below kAbsurdlySmall (but not zero) lie denormals and the floats that small integers, 16-bit
// samples or text make when read as floats.
constexpr float kAbsurdlyLarge = 1e15f;
constexpr float kAbsurdlySmall = 1e-28f;
constexpr std::size_t kPlausibilitySamples = 1024;

bool Absurd(float v) {
    const float a = std::fabs(v);
    return !(a <= kAbsurdlyLarge) || (a != 0.0f && a < kAbsurdlySmall);
}

// Bytes a text file is made of: printable ASCII, white space, and anything of UTF-8.
bool Looks_Like_Text(std::span<const unsigned char> bytes) {
    const std::size_t n = std::min(bytes.size(), kTextProbeBytes);
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char c = bytes[i];
        if (c < 0x09 || (c > 0x0D && c < 0x20) || c == 0x7F) return false;
    }
    return true;
}

// A count that does not fit the file is either a torn STL or no STL at all: a torn one still holds
// coordinates, another file read as records gives infinities, NaNs and absurd magnitudes in most
// facets. A quarter of a sample is enough to tell; facets with every corner at zero say nothing.
bool Records_Look_Like_A_Mesh(const unsigned char* records, std::size_t count) {
    std::size_t judged = 0, absurd = 0;
    const std::size_t stride = std::max<std::size_t>(1, count / kPlausibilitySamples);
    for (std::size_t k = 0; k < count; k += stride) {
        StlFacet facet;
        Stl_Read_Record(records + k * kStlRecordBytes, facet);
        bool allZero = true, bad = false;
        for (const Vec3& c : facet.corner)
            for (int a = 0; a < 3; ++a) {
                allZero = allZero && c[a] == 0.0f;
                bad = bad || Absurd(c[a]);
            }
        if (allZero) continue;
        ++judged;
        if (bad) ++absurd;
    }
    return judged == 0 || absurd * 4 < judged;
}

bool Finite_Facet(const StlFacet& facet) {
    for (const Vec3& c : facet.corner)
        if (!std::isfinite(c.x) || !std::isfinite(c.y) || !std::isfinite(c.z)) return false;
    return true;
}

float Edge_Reach(const Vec3& a, const Vec3& b) {
    return std::max({std::fabs(a.x - b.x), std::fabs(a.y - b.y), std::fabs(a.z - b.z)});
}

// The median per-axis edge length of a sample of facets: sizes the merger's grid cells only.
template <class FacetAt>
float Estimate_Spacing(std::size_t count, FacetAt facetAt) {
    std::vector<float> sample;
    const std::size_t stride = std::max<std::size_t>(1, count / kSpacingSamples);
    for (std::size_t k = 0; k < count && sample.size() < kSpacingSamples; k += stride) {
        const StlFacet facet = facetAt(k);
        if (!Finite_Facet(facet)) continue;
        const float mean =
            (Edge_Reach(facet.corner[0], facet.corner[1]) + Edge_Reach(facet.corner[1], facet.corner[2]) +
             Edge_Reach(facet.corner[2], facet.corner[0])) /
            3.0f;
        if (std::isfinite(mean)) sample.push_back(mean);
    }
    if (sample.empty()) return 0.0f;
    auto middle = sample.begin() + sample.size() / 2;
    std::nth_element(sample.begin(), middle, sample.end());
    // Cells about an edge wide hold a few vertices each: fewer, better cached cells than one
    // vertex per cell, and short chains.
    return *middle;
}

// Beside a large read that goes on to the load pipeline, the merge's second thread takes each
// facet's normal, area, tetrahedron and corner angles from its corners as read whenever it has
// caught up with the points, a block a call. The pipeline takes over the faces done; those with a
// corner merged into another point's vertex it takes again from the merged positions.
template <class FacetAt>
class TermsAhead {
public:
    static constexpr unsigned kBlock = 2048;

    TermsAhead(LoadFaceTerms& terms, std::size_t count, const FacetAt& facetAt)
        : terms_(terms), count_(unsigned(count)), facetAt_(facetAt) {}

    // One block; false when none is left (or no room for the normals).
    bool Step() {
        const unsigned begin = terms_.done;
        if (begin >= count_) return false;
        if (normals_.empty()) {
            try {
                normals_.resize(count_);
                corners_.resize(3 * kBlock);
            } catch (...) {
                normals_.clear();
                return false;
            }
        }
        const unsigned end = std::min(count_, begin + kBlock);
        for (unsigned k = begin; k < end; ++k) {
            const StlFacet facet = facetAt_(k);
            std::copy(std::begin(facet.corner), std::end(facet.corner), &corners_[3 * (k - begin)]);
        }
        Corner_Measures(corners_.data(), end - begin, &normals_[begin], &terms_.areas[begin],
                        &terms_.angles[3 * std::size_t(begin)], &terms_.tetra[begin]);
        terms_.done = end;
        return end < count_;
    }
    // Faces [0, terms.done) have theirs here; the rest are zero.
    std::vector<Vec3>& Normals() { return normals_; }

private:
    LoadFaceTerms& terms_;
    const unsigned count_;
    const FacetAt& facetAt_;
    std::vector<Vec3> normals_;
    std::vector<Vec3> corners_;  // a block's, three a facet
};

// Merges the corners of `count` facets into the mesh. False when cancelled. With `terms`, the
// pipeline follows: its per-face work may start beside the merge.
template <class FacetAt>
bool Merge_Facets(UniOb& mesh, std::size_t count, FacetAt facetAt, const StlReadOptions& options,
                  StlReadReport& report, LoadFaceTerms* terms) {
    const float tolerance = Coincidence_Tolerance >= 0.0f ? Coincidence_Tolerance : 0.0f;
    // Large files share the merging with a second thread; the face indices are then the corners'
    // distinct points until the end.
    const bool threaded = count >= kThreadedFacets && count <= kMaxVertices / 3;
    // Declared before the merger, whose second thread uses it until the merger ends.
    std::optional<TermsAhead<FacetAt>> termsAhead;
    if (terms && threaded && terms->Allocate(unsigned(count))) termsAhead.emplace(*terms, count, facetAt);
    std::function<bool()> idleWork;
    if (termsAhead) idleWork = [&termsAhead] { return termsAhead->Step(); };
    VertexMerger merger(tolerance, Estimate_Spacing(count, facetAt), count / 2 + 3, kScanLimit,
                        threaded ? 3 * count : 0, std::move(idleWork));
    std::vector<FaceIndex> faces;
    std::vector<Vec3> normals;
    faces.reserve(count);
    // The file's normals are replaced by the pipeline's; they are kept only for a read without it.
    const bool keepNormals = !termsAhead;
    if (keepNormals) normals.reserve(count);
    // Table slots are random accesses; asking for them a few facets early hides most misses. The
    // corners' hashes are kept for their insertion.
    std::uint64_t hashes[kHashRing][3];
    for (std::size_t k = 0; k < std::min(count, kPrefetchAhead); ++k) {
        const StlFacet facet = facetAt(k);
        for (int c = 0; c < 3; ++c) hashes[k][c] = VertexMerger::Hash(facet.corner[c]);
    }
    for (std::size_t k = 0; k < count; ++k) {
        if (k + kPrefetchAhead < count) {
            const StlFacet ahead = facetAt(k + kPrefetchAhead);
            std::uint64_t* hash = hashes[(k + kPrefetchAhead) % kHashRing];
            for (int c = 0; c < 3; ++c) {
                hash[c] = VertexMerger::Hash(ahead.corner[c]);
                merger.Prefetch(hash[c]);
            }
        }
        const StlFacet facet = facetAt(k);
        const std::uint64_t* hash = hashes[k % kHashRing];
        if (!threaded && merger.Count() > kMaxVertices) {
            report.tooManyVertices = true;
            break;
        }
        if (!Finite_Facet(facet)) {
            ++report.facetsNonFinite;
        } else {
            faces.push_back({merger.Insert(facet.corner[0], hash[0]), merger.Insert(facet.corner[1], hash[1]),
                             merger.Insert(facet.corner[2], hash[2])});
            if (keepNormals) normals.push_back(facet.normal);
        }
        if ((k + 1) % kProgressStep == 0) {
            Report_Progress(options.progress, double(k + 1) / double(count), "Reading STL");
            if (Cancel_Requested(options.progress)) return false;
        }
    }
    merger.Finish();
    report.merge = merger.Stats();
    if (termsAhead) {
        // Face k is facet k only when every facet was kept.
        if (faces.size() == count && termsAhead->Normals().size() == count)
            normals = std::move(termsAhead->Normals());
        else
            terms->done = 0;
    }
    if (faces.empty()) return true;
    if (merger.Renumbered()) {
        const unsigned done = terms ? terms->done : 0;
        for (unsigned f = 0; f < faces.size(); ++f) {
            bool stale = false;
            for (int& corner : faces[f]) {
                stale = stale || merger.Merged(corner);
                corner = merger.Index(corner);
            }
            if (stale && f < done) terms->stale.push_back(f);
        }
    }
    normals.resize(faces.size());

    // The faces reach the mesh only complete, so a cancelled read leaves it empty.
    mesh.FreeFaces();
    mesh.Face_Count = static_cast<unsigned>(faces.size());
    mesh.Face_Index = std::move(faces);
    mesh.Face_Normal = std::move(normals);
    const unsigned vertices = merger.Count();
    mesh.AllocVertices(vertices);
    mesh.AllocCurvature(vertices);
    std::copy(merger.Positions().begin(), merger.Positions().end(), mesh.Vertex_Pos.begin());
    return true;
}

void Run_Pipeline_Timed(UniOb& mesh, Progress* progress, LoadFaceTerms& terms, StlReadReport& report) {
    const int start = Millisecond_Clock();
    Run_Load_Pipeline(mesh, progress, terms);
    report.pipelineMs = Millisecond_Clock() - start;
}

std::string Join(const std::vector<std::string>& parts) {
    std::string text;
    for (const std::string& part : parts) text += (text.empty() ? "" : "; ") + part;
    return text;
}

Status Read_Bytes(UniOb& mesh, std::span<const unsigned char> bytes, const std::string& name,
                  const StlReadOptions& options, StlReadReport& report, int startTime, LoadFaceTerms* terms) {
    std::vector<std::string> problems;
    auto fail = [&](StlFault fault, const std::string& what) {
        report.fault = fault;
        return Status::Error(name + ": " + what);
    };

    if (bytes.empty()) return fail(StlFault::NoFacets, "the file is empty");
    const bool exactBinary =
        bytes.size() >= kStlPreambleBytes && bytes.size() == Stl_Binary_Size(Stl_Read_Count(bytes.data()));
    bool merged = false;

    if (!exactBinary && Starts_With_Solid(bytes) && !Has_Zero_Byte(bytes)) {
        report.ascii = true;
        std::vector<StlFacet> facets;
        Status parsed = Parse_Stl_Ascii(bytes, name, facets, options.progress);
        if (Cancel_Requested(options.progress)) return fail(StlFault::Cancelled, "reading cancelled");
        if (!parsed) problems.push_back(parsed.message.substr(name.size() + 2));
        report.facetsDeclared = report.facetsRead = facets.size();
        if (facets.empty() && parsed) return fail(StlFault::NoFacets, "the file holds no facets");
        merged = Merge_Facets(
            mesh, facets.size(), [&](std::size_t k) { return facets[k]; }, options, report, terms);
    } else {
        if (bytes.size() < kStlPreambleBytes)
            return fail(StlFault::NoFacets, "too short for an STL file (" + std::to_string(bytes.size()) +
                                                " bytes; the header and facet count take 84)");
        const std::uint32_t declared = Stl_Read_Count(bytes.data());
        report.facetsDeclared = declared;
        const std::uint64_t present = (bytes.size() - kStlPreambleBytes) / kStlRecordBytes;
        const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(declared, present));
        const unsigned char* records = bytes.data() + kStlPreambleBytes;
        if (!exactBinary) {
            std::string why;
            if (Looks_Like_Text(bytes))
                why = "it is text, and does not begin with \"solid\"";
            else if (!Records_Look_Like_A_Mesh(records, std::size_t(present)))
                why = "its facet count " + std::to_string(declared) + " does not fit its " +
                      std::to_string(bytes.size()) + " bytes, and the facets hold infinite or absurd numbers";
            if (!why.empty())
                return fail(StlFault::NotBinaryStl,
                            std::string(kStlNotBinaryText) + " (" + why + "); nothing was loaded");
        }
        if (declared == 0) return fail(StlFault::NoFacets, "the facet count is 0, the file holds no facets");
        report.facetsRead = count;
        if (count < declared)
            problems.push_back("truncated after " + std::to_string(count) + " of " +
                               std::to_string(declared) + " facets");
        merged = Merge_Facets(
            mesh, count,
            [records](std::size_t k) {
                StlFacet facet;
                Stl_Read_Record(records + k * kStlRecordBytes, facet);
                return facet;
            },
            options, report, terms);
    }
    if (!merged) {
        mesh.FreeFaces();
        mesh.FreeVertices();
        return fail(StlFault::Cancelled, "reading cancelled");
    }
    if (report.tooManyVertices)
        problems.push_back("more than " + std::to_string(kMaxVertices) + " vertices; the facets after " +
                           std::to_string(mesh.Face_Count) + " were not read");
    if (report.facetsNonFinite)
        problems.push_back(std::to_string(report.facetsNonFinite) +
                           " facets with NaN or infinite coordinates left out");
    mesh.Load_Time = Millisecond_Clock() - startTime;

    if (mesh.IsEmpty() && problems.empty()) problems.push_back("no usable facets");
    return problems.empty() ? Status::Ok() : fail(StlFault::Damaged, Join(problems));
}

}  // namespace

Status Read_STL(UniOb& mesh, const std::string& path, const StlReadOptions& options) {
    mesh.FreeFaces();
    mesh.FreeVertices();
    mesh.Load_Time = 0;
    Draw_Colour(mesh);
    const int start = Millisecond_Clock();
    StlReadReport local;
    StlReadReport& report = options.report ? *options.report : local;
    report = {};
    Status status;
    LoadFaceTerms terms;
    {
        FileBytes file;
        if (Status opened = file.Open(path); !opened) {
            report.fault = StlFault::Unreadable;
            return opened;
        }
        status = Read_Bytes(mesh, file.Bytes(), path, options, report, start,
                            options.runPipeline ? &terms : nullptr);
    }
    // The file is released before the pipeline allocates its own arrays.
    if (options.runPipeline) Run_Pipeline_Timed(mesh, options.progress, terms, report);
    return status;
}

Status Read_STL_Memory(UniOb& mesh, std::span<const unsigned char> bytes, const std::string& name,
                       const StlReadOptions& options) {
    mesh.FreeFaces();
    mesh.FreeVertices();
    mesh.Load_Time = 0;
    Draw_Colour(mesh);
    StlReadReport local;
    StlReadReport& report = options.report ? *options.report : local;
    report = {};
    LoadFaceTerms terms;
    Status status = Read_Bytes(mesh, bytes, name, options, report, Millisecond_Clock(),
                               options.runPipeline ? &terms : nullptr);
    if (options.runPipeline) Run_Pipeline_Timed(mesh, options.progress, terms, report);
    return status;
}

}  // namespace orvex
