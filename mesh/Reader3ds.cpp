// Read_3DS: the chunk walk, list pairing, then the derived data once.

#include "mesh/Reader3ds.h"

namespace orvex {

Status Read_3DS(UniOb& mesh, std::span<const unsigned char>, const std::string& name, Read3dsReport*) {
    mesh.FreeFaces();
    mesh.FreeVertices();
    return Status::Error(name + ": 3DS reading is not available yet");
}

Status Read_3DS(UniOb& mesh, const std::string& path, Read3dsReport* report) {
    return Read_3DS(mesh, std::span<const unsigned char>{}, path, report);
}

}  // namespace orvex
