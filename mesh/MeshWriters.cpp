// The writers stream straight from the mesh arrays; only the histograms copy and sort values.

#include "mesh/MeshWriters.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "geometry/AtomicFile.h"
#include "mesh/StlFormat.h"

namespace orvex {

namespace {

constexpr double kSideSlack = -1e-8;

Status Nothing_Written(const std::string& name) {
    return Status::Error(name + ": nothing written, the mesh is empty");
}

void Write_Stl_Preamble(AtomicFile& file, std::uint32_t count) {
    unsigned char preamble[kStlPreambleBytes] = {};
    std::memcpy(preamble, kStlHeaderText, sizeof kStlHeaderText - 1);
    std::memcpy(preamble + kStlHeaderBytes, &count, sizeof count);
    file.Write(preamble, sizeof preamble);
}

void Write_Stl_Record(AtomicFile& file, const UniOb& mesh, unsigned f) {
    unsigned char record[kStlRecordBytes] = {};
    StlFacet facet;
    facet.normal = mesh.Face_Normal[f];
    for (int c = 0; c < 3; ++c) facet.corner[c] = mesh.Vertex_Pos[mesh.Face_Index[f][c]];
    std::memcpy(record, &facet, sizeof facet);
    file.Write(record, sizeof record);
}

// Two STL files from one mesh; `upper(f)` picks the first. Both are written and flushed in full
// before either replaces its target, so a failed write leaves neither.
template <class Upper>
Status Write_Split(const UniOb& mesh, const std::string& firstName, const std::string& secondName,
                   Upper upper) {
    std::uint32_t firstCount = 0;
    for (unsigned f = 0; f < mesh.Face_Count; ++f) firstCount += upper(f) ? 1 : 0;
    AtomicFile first, second;
    if (Status s = first.Open(firstName); !s) return s;
    if (Status s = second.Open(secondName); !s) return s;
    Write_Stl_Preamble(first, firstCount);
    Write_Stl_Preamble(second, mesh.Face_Count - firstCount);
    for (unsigned f = 0; f < mesh.Face_Count; ++f) Write_Stl_Record(upper(f) ? first : second, mesh, f);
    if (Status s = first.Finish(); !s) return s;
    if (Status s = second.Finish(); !s) return s;
    if (Status s = first.Commit(); !s) return s;
    return second.Commit();
}

// One histogram table: 200 bins of width (max - min) x 0.005 over the sorted values; a bin
// takes the values below its upper limit that no earlier bin took.
void Write_Histogram_Table(AtomicFile& file, std::vector<float>& values, int lastBin) {
    // NaN would break the sort's ordering; such values belong to no bin anyway.
    std::erase_if(values, [](float v) { return std::isnan(v); });
    if (values.empty()) return;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    const float low = values.front();
    const float width = (values.back() - low) * 0.005f;
    std::size_t cursor = 0;
    for (int b = 0; b < 200; ++b) {
        const float limit = low + float(b + 1) * width;
        std::size_t taken = 0;
        double sum = 0.0;
        while (cursor < n && values[cursor] < limit) {
            sum += values[cursor++];
            ++taken;
        }
        if (b > lastBin) continue;
        const double mean = taken ? sum / double(taken) : 0.0;
        const double fraction = double(taken) / double(n);
        if (std::fabs(mean) > 1e-8 && std::fabs(fraction) > 1e-8) file.Printf("%f\t%f\n", mean, fraction);
    }
}

}  // namespace

Status Write_STL(const UniOb* head, const std::string& name) {
    std::uint64_t total = 0;
    for (const UniOb* mesh = head; mesh; mesh = mesh->next)
        if (!mesh->IsEmpty()) total += mesh->Face_Count;
    if (total == 0) return Nothing_Written(name);
    if (total > std::numeric_limits<std::uint32_t>::max())
        return Status::Error(name + ": " + std::to_string(total) + " facets do not fit one STL file");

    AtomicFile file;
    if (Status s = file.Open(name); !s) return s;
    Write_Stl_Preamble(file, std::uint32_t(total));
    for (const UniOb* mesh = head; mesh; mesh = mesh->next) {
        if (mesh->IsEmpty()) continue;
        for (unsigned f = 0; f < mesh->Face_Count; ++f) Write_Stl_Record(file, *mesh, f);
    }
    return file.Commit();
}

Status Write_STL_Upper_Lower(const UniOb& mesh, const std::string& name, const Vec3& d) {
    if (mesh.IsEmpty()) return Nothing_Written(name);
    return Write_Split(mesh, name + ".upper.stl", name + ".lower.stl",
                       [&](unsigned f) { return double(Dot(mesh.Face_Normal[f], d)) > kSideSlack; });
}

Status Write_STL_Visible(const UniOb& mesh, const std::string& name, const Vec3& e) {
    if (mesh.IsEmpty()) return Nothing_Written(name);
    return Write_Split(mesh, name + ".visble.stl", name + ".invisble.stl", [&](unsigned f) {
        const Vec3& n = mesh.Face_Normal[f];
        const Vec3& A = mesh.Vertex_Pos[mesh.Face_Index[f][0]];
        return double(Dot(n, e) - Dot(n, A)) >= kSideSlack;
    });
}

Status Write_Face_Array(const UniOb& mesh, const std::string& name) {
    if (mesh.IsEmpty()) return Nothing_Written(name);
    AtomicFile file;
    if (Status s = file.Open(name); !s) return s;
    file.Printf("ARRAY SET as [ID]x1  [Face_CenterVertex]x3 [Area]x1 [Normal]x3\n");
    file.Printf("ARRAY_SIZE %u\n", mesh.Face_Count);
    for (unsigned f = 0; f < mesh.Face_Count && !file.Failed(); ++f) {
        const Vec3& A = mesh.Vertex_Pos[mesh.Face_Index[f][0]];
        const Vec3& B = mesh.Vertex_Pos[mesh.Face_Index[f][1]];
        const Vec3& C = mesh.Vertex_Pos[mesh.Face_Index[f][2]];
        const Vec3 sum = A + B + C;
        const Vec3 centre = {sum.x / 3.0f, sum.y / 3.0f, sum.z / 3.0f};
        const Vec3& n = mesh.Face_Normal[f];
        file.Printf("%u\t%f\t%f\t%f\t%f\t%f\t%f\t%f\t\n", f, centre.x, centre.y, centre.z,
                    Triangle_Area(A, B, C), n.x, n.y, n.z);
    }
    file.Printf("\nEnd of Array\n");
    return file.Commit();
}

namespace {

// Text built in a buffer and handed to the file in large blocks. Numbers go through to_chars,
// which gives printf's "%f" and "%d" text exactly, without its per-call parsing and locale.
class TextBlocks {
public:
    explicit TextBlocks(AtomicFile& file) : file_(file) { buffer_.reserve(kBlock + 256); }
    ~TextBlocks() { Flush(); }
    TextBlocks& operator<<(const char* text) {
        buffer_.append(text);
        return Spill();
    }
    TextBlocks& Fixed6(float value) {
        char digits[64];
        const auto end =
            std::to_chars(digits, digits + sizeof digits, double(value), std::chars_format::fixed, 6);
        buffer_.append(digits, end.ptr);
        return Spill();
    }
    TextBlocks& Int(long long value) {
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, value);
        buffer_.append(digits, end.ptr);
        return Spill();
    }
    void Flush() {
        if (!buffer_.empty()) file_.Write(buffer_.data(), buffer_.size());
        buffer_.clear();
    }

private:
    static constexpr std::size_t kBlock = std::size_t(1) << 20;
    TextBlocks& Spill() {
        if (buffer_.size() >= kBlock) Flush();
        return *this;
    }
    AtomicFile& file_;
    std::string buffer_;
};

}  // namespace

Status Write_C_Arrays(const UniOb& mesh, const std::string& name) {
    if (mesh.IsEmpty()) return Nothing_Written(name);
    AtomicFile file;
    if (Status s = file.Open(name); !s) return s;
    const unsigned V = mesh.Vertex_Count, F = mesh.Face_Count;
    auto ending = [](unsigned i, unsigned count) { return i + 1 < count ? "},\n" : "}\n};\n"; };
    {
        TextBlocks out(file);
        auto triple = [&](const Vec3& p, const char* end) {
            out << "{";
            out.Fixed6(p.x) << ",";
            out.Fixed6(p.y) << ",";
            out.Fixed6(p.z) << end;
        };
        out << "float car_vertex[";
        out.Int(V) << "][3]={\n";
        for (unsigned v = 0; v < V && !file.Failed(); ++v) triple(mesh.Vertex_Pos[v], ending(v, V));
        out << "int car_face[";
        out.Int(F) << "][3]={\n";
        for (unsigned f = 0; f < F && !file.Failed(); ++f) {
            const FaceIndex& t = mesh.Face_Index[f];
            out << "{";
            out.Int(t[0]) << ",";
            out.Int(t[1]) << ",";
            out.Int(t[2]) << ending(f, F);
        }
        out << "float car_face_normal[";
        out.Int(F) << "][3]={\n";
        for (unsigned f = 0; f < F && !file.Failed(); ++f) triple(mesh.Face_Normal[f], ending(f, F));
    }
    return file.Commit();
}

Status Write_Histograms(const UniOb& mesh, const std::string& name) {
    if (mesh.IsEmpty()) return Nothing_Written(name);
    std::vector<float> edges, areas, curvature;
    edges.reserve(3 * std::size_t(mesh.Face_Count));
    areas.reserve(mesh.Face_Count);
    for (unsigned f = 0; f < mesh.Face_Count; ++f) {
        const Vec3& A = mesh.Vertex_Pos[mesh.Face_Index[f][0]];
        const Vec3& B = mesh.Vertex_Pos[mesh.Face_Index[f][1]];
        const Vec3& C = mesh.Vertex_Pos[mesh.Face_Index[f][2]];
        edges.push_back(Point_Distance(A, B));
        edges.push_back(Point_Distance(B, C));
        edges.push_back(Point_Distance(C, A));
        areas.push_back(Triangle_Area(A, B, C));
    }
    // A mesh that never had its curvature computed contributes no curvature values.
    if (mesh.Curvature_Max.size() == mesh.Vertex_Count && mesh.Curvature_Min.size() == mesh.Vertex_Count) {
        curvature.reserve(mesh.Vertex_Count);
        for (unsigned v = 0; v < mesh.Vertex_Count; ++v) {
            const float k = std::fabs(mesh.Curvature_Max[v] * mesh.Curvature_Min[v]);
            curvature.push_back(k / (k + 1.0f));
        }
    }

    AtomicFile file;
    if (Status s = file.Open(name); !s) return s;
    Write_Histogram_Table(file, edges, 199);
    file.Printf("\n\n\n");
    Write_Histogram_Table(file, areas, 199);
    file.Printf("\n\n\n");
    Write_Histogram_Table(file, curvature, 198);
    file.Printf("\n\n\n\n\n\n\n");
    return file.Commit();
}

}  // namespace orvex
