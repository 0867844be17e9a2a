// The synthetic face and the TGL and 3DS byte writers.

#include "mesh/FaceSynth.h"

namespace orvex {

float Face_Height(const FaceSynthParams&, float, float) {
    return 0.0f;
}
TexCoord Face_Tex_Coord(const FaceSynthParams&, float, float) {
    return {0.0f, 0.0f};
}
Vec3 Face_Pose_Point(const FacePose&, Vec3 p) {
    return p;
}
void Face_Eye_Centres(const FaceSynthParams&, Vec3& left, Vec3& right) {
    left = right = Vec3{};
}
void Make_Face(UniOb& mesh, const FaceSynthParams&) {
    mesh.FreeFaces();
    mesh.FreeVertices();
}
RgbImage Face_Image(const FaceSynthParams&, int, int) {
    return {};
}
std::vector<unsigned char> Tgl_Bytes(const UniOb&, const std::vector<unsigned char>&) {
    return {};
}
std::vector<unsigned char> Tds_Bytes(const std::vector<const UniOb*>&, const TdsWriteOptions&) {
    return {};
}
Status Write_Face_Tgl(const std::string& path, const FaceSynthParams&, int) {
    return Status::Error(path + ": not available yet");
}

}  // namespace orvex
