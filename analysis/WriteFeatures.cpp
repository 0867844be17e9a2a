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
    // A feature outside the mesh is left out, and SIZE counts only the records written, so a
    // reader that trusts SIZE never runs past the data.
    std::string body;
    std::size_t written = 0;
    for (const int v : mesh.Feature_Vertices) {
        if (v < 0 || unsigned(v) >= mesh.Vertex_Count) continue;
        ++written;
        const Vec3& p = mesh.Vertex_Pos[v];
        const Vec3& n = mesh.Vertex_Normal[v];
        const float kMax = mesh.HasCurvature() ? mesh.Curvature_Max[v] : 0.0f;
        const float kMin = mesh.HasCurvature() ? mesh.Curvature_Min[v] : 0.0f;
        for (const float value : {p.x, p.y, p.z, n.x, n.y, n.z, kMax, kMin}) {
            Append_Fixed6(body, value);
            body += '\t';
        }
        Append_Fixed6(body, std::exp(-std::fabs(0.02f * p.x)));
        body += '\n';
    }
    const std::string text = "SIZE\t" + std::to_string(written) + "\n" + body;
    AtomicFile file;
    if (Status opened = file.Open(path); !opened) return opened;
    file.Write(text.data(), text.size());
    return file.Commit();
}

}  // namespace orvex
