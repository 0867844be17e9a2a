#include "analysis/WriteFeatures.h"

#include <charconv>
#include <cmath>

#include "geometry/AtomicFile.h"

namespace orvex {

void Append_Fixed6(std::string& out, float value) {
    char digits[64];
    const auto end =
        std::to_chars(digits, digits + sizeof digits, double(value), std::chars_format::fixed, 6);
    out.append(digits, end.ptr);
}

Status WriteFeatures(const UniOb& mesh, const std::string& path) {
    std::string text = "SIZE\t" + std::to_string(mesh.Feature_Vertices.size()) + "\n";
    for (const int v : mesh.Feature_Vertices) {
        if (v < 0 || unsigned(v) >= mesh.Vertex_Count) continue;
        const Vec3& p = mesh.Vertex_Pos[v];
        const Vec3& n = mesh.Vertex_Normal[v];
        const float kMax = mesh.HasCurvature() ? mesh.Curvature_Max[v] : 0.0f;
        const float kMin = mesh.HasCurvature() ? mesh.Curvature_Min[v] : 0.0f;
        for (const float value : {p.x, p.y, p.z, n.x, n.y, n.z, kMax, kMin}) {
            Append_Fixed6(text, value);
            text += '\t';
        }
        Append_Fixed6(text, std::exp(-std::fabs(0.02f * p.x)));
        text += '\n';
    }
    AtomicFile file;
    if (Status opened = file.Open(path); !opened) return opened;
    file.Write(text.data(), text.size());
    return file.Commit();
}

}  // namespace orvex
