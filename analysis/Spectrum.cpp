// Spectrum values and colours per vertex and per face corner.

#include "analysis/Spectrum.h"

#include "geometry/Color.h"
#include "geometry/Statistics.h"

namespace orvex {

float Spectrum_Value(const UniOb& mesh, int mode, int v) {
    const bool hasCurvature =
        mesh.Curvature_Max.size() == mesh.Vertex_Count && mesh.Curvature_Min.size() == mesh.Vertex_Count;
    const float kMax = hasCurvature ? mesh.Curvature_Max[v] : 0.0f;
    const float kMin = hasCurvature ? mesh.Curvature_Min[v] : 0.0f;
    switch (static_cast<SpectrumMode>(mode)) {
        case SpectrumMode::Master:
            return kMax;
        case SpectrumMode::Second:
            return kMin;
        case SpectrumMode::Mean:
            return (kMax + kMin) * 0.5f;
        case SpectrumMode::Gaussian:
            return kMax * kMin;
        case SpectrumMode::Zyr:
            return Shape_Index(kMax, kMin);
        case SpectrumMode::Region:
            return static_cast<float>(mesh.Vertex_Label[v]);
        case SpectrumMode::Temp:
            return mesh.Vertex_Pos[v].z;
    }
    return kMax * kMin;
}

float Spectrum_Vertex_Color(const UniOb& mesh, int mode, float intensity, int v, float rgb[3]) {
    const float value = Spectrum_Value(mesh, mode, v);
    switch (static_cast<SpectrumMode>(mode)) {
        case SpectrumMode::Zyr:
            Spectrum_Linear(rgb, value);
            break;
        case SpectrumMode::Temp:
            Spectrum_Angle(rgb, value);
            break;
        case SpectrumMode::Region: {
            const int label = mesh.Vertex_Label[v];
            if (label <= 0) {
                rgb[0] = rgb[1] = rgb[2] = 1.0f;
            } else {
                Palette16(label, rgb);
            }
            break;
        }
        default:
            Spectrum_Exp(rgb, value, intensity);
            break;
    }
    return value;
}

void Spectrum_Corner_Colors(const UniOb& mesh, int mode, float intensity, std::vector<float>& out) {
    out.clear();
    if (mesh.IsEmpty()) return;
    // Colour each vertex once; a ramp never writes a negative channel, so -1 left in place marks
    // a value outside the ramp's domain.
    std::vector<float> vertexRgb(3 * std::size_t(mesh.Vertex_Count), -1.0f);
    for (unsigned v = 0; v < mesh.Vertex_Count; ++v)
        Spectrum_Vertex_Color(mesh, mode, intensity, static_cast<int>(v), &vertexRgb[3 * std::size_t(v)]);

    out.resize(9 * std::size_t(mesh.Face_Count));
    float rgb[3] = {1.0f, 1.0f, 1.0f};  // what a leading out-of-domain corner shows
    float* o = out.data();
    for (const FaceIndex& t : mesh.Face_Index) {
        for (int j = 0; j < 3; ++j) {
            const float* c = &vertexRgb[3 * std::size_t(t[j])];
            if (c[0] >= 0.0f) rgb[0] = c[0], rgb[1] = c[1], rgb[2] = c[2];
            *o++ = rgb[0];
            *o++ = rgb[1];
            *o++ = rgb[2];
        }
    }
}

}  // namespace orvex
