// Read_TGL on any bytes, against the header read again here.
// Promises: a file whose header blocks do not fit its size, that holds no vertices or no usable
// faces, or a NaN or infinite position is refused with the mesh empty and a message naming the
// file; otherwise the mesh holds every vertex, the faces whose indices lie in 0..V-1 in file order
// (the others counted), the texture coordinates bit for bit, finite positions, and colours that
// are all 0 when the picture was not usable and otherwise the picture's pixels at the coordinates;
// Volume, Area, Load_Time and Mesh_Texture stay 0.

#include "fuzz/FuzzSupport.h"
#include "fuzz/MeshChecks.h"
#include "geometry/Jpeg.h"
#include "mesh/FaceSynth.h"
#include "mesh/TglReader.h"

namespace orvex::fuzz {

namespace {

// Pictures beyond this are refused, so that each input decodes in milliseconds.
constexpr std::uint64_t kFuzzMaxPixels = std::uint64_t(1) << 20;

std::int64_t Int_At(const std::uint8_t* data, std::uint64_t at) {
    std::int32_t value;
    std::memcpy(&value, data + at, 4);
    return value;
}

float Float_At(const std::uint8_t* data, std::uint64_t at) {
    float value;
    std::memcpy(&value, data + at, 4);
    return value;
}

bool Fits(std::int64_t offset, std::int64_t count, std::int64_t record, std::size_t size) {
    return offset >= 0 && count >= 0 && std::uint64_t(offset) + std::uint64_t(count * record) <= size;
}

}  // namespace

void Make_Seeds(const std::string& dir) {
    FaceSynthParams params;
    params.Grid = 6;
    params.Spacing = 24.0f;
    UniOb face;
    Make_Face(face, params);
    Bytes jpeg;
    FUZZ_CHECK(Encode_Jpeg(Face_Image(params, 16, 12), 80, jpeg).ok, "cannot encode a seed picture");
    Write_Seed(dir, "face.tgl", Tgl_Bytes(face, jpeg));
    Write_Seed(dir, "plain.tgl", Tgl_Bytes(face));
    Bytes bad = jpeg;
    for (std::size_t k = bad.size() / 2; k < bad.size(); ++k) bad[k] ^= 0x55;
    Write_Seed(dir, "bad-picture.tgl", Tgl_Bytes(face, bad));
    face.Face_Index[2] = {0, 1, 1000};
    face.Face_Index[5] = {-1, 2, 3};
    Write_Seed(dir, "dropped-faces.tgl", Tgl_Bytes(face));
    params.Grid = 3;
    params.Pose.Rotate[1] = 0.7f;
    Make_Face(face, params);
    Write_Seed(dir, "small.tgl", Tgl_Bytes(face, jpeg));
}

}  // namespace orvex::fuzz

using namespace orvex;
using namespace orvex::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    UniOb mesh;
    TglReadReport report;
    TglReadOptions options;
    options.Report = &report;
    options.Limits.Max_Pixels = kFuzzMaxPixels;
    const Status status = Read_TGL(mesh, std::span<const unsigned char>(data, size), "fuzz.tgl", options);
    Check_Mesh_Shape(mesh, true);
    FUZZ_CHECK(bool(status) == !mesh.IsEmpty(), "status %d with %u faces", int(bool(status)),
               mesh.Face_Count);
    if (!status)
        FUZZ_CHECK(status.message.find("fuzz.tgl") != std::string::npos,
                   "the refusal does not name the file: %s", status.message.c_str());

    // The reference: the header read again.
    bool refused = size < kTglHeaderSize;
    std::int64_t V = 0, F = 0, vertexAt = 0, faceAt = 0, texAt = 0, imageAt = 0, words = 0;
    if (!refused) {
        vertexAt = Int_At(data, 100);
        V = Int_At(data, 104);
        faceAt = Int_At(data, 108);
        F = Int_At(data, 112);
        texAt = Int_At(data, 120);
        imageAt = Int_At(data, 124);
        refused = !Fits(vertexAt, V, 12, size) || !Fits(faceAt, F, 12, size) || !Fits(texAt, V, 8, size);
        if (!refused && imageAt != 0) {
            refused = !Fits(imageAt, 3, 4, size);
            if (!refused) {
                words = Int_At(data, std::uint64_t(imageAt) + 8);
                refused = !Fits(imageAt + 12, words, 4, size);
            }
        }
        refused = refused || V == 0 || F == 0;
    }
    for (std::int64_t v = 0; !refused && v < V; ++v)
        for (int k = 0; k < 3; ++k)
            refused = refused || !std::isfinite(Float_At(data, std::uint64_t(vertexAt + 12 * v + 4 * k)));
    std::vector<FaceIndex> kept;
    for (std::int64_t f = 0; !refused && f < F; ++f) {
        FaceIndex face;
        bool inside = true;
        for (int k = 0; k < 3; ++k) {
            face[k] = int(Int_At(data, std::uint64_t(faceAt + 12 * f + 4 * k)));
            inside = inside && face[k] >= 0 && face[k] < V;
        }
        if (inside) kept.push_back(face);
    }
    refused = refused || kept.empty();
    FUZZ_CHECK(refused == !status, "refused %d, the reference %d: %s", int(!status), int(refused),
               status.message.c_str());
    if (refused) return 0;

    FUZZ_CHECK(mesh.Vertex_Count == std::uint64_t(V), "%u vertices, the file %lld", mesh.Vertex_Count,
               static_cast<long long>(V));
    FUZZ_CHECK(mesh.Face_Index == kept, "the faces are not the file's usable faces in order");
    FUZZ_CHECK(report.Faces_Dropped == std::uint64_t(F) - kept.size(), "%llu dropped, the reference %lld",
               static_cast<unsigned long long>(report.Faces_Dropped),
               static_cast<long long>(F - std::int64_t(kept.size())));
    for (std::int64_t v = 0; v < V; ++v)
        for (int k = 0; k < 2; ++k)
            FUZZ_CHECK(Same_Bits(mesh.Tex_Coord[v][k], Float_At(data, std::uint64_t(texAt + 8 * v + 4 * k))),
                       "texture coordinate %lld changed", static_cast<long long>(v));
    FUZZ_CHECK(mesh.Volume == 0.0f && mesh.Area == 0.0f && mesh.Load_Time == 0 && mesh.Mesh_Texture == 0,
               "a measure was computed");
    FUZZ_CHECK(report.Has_Image == (imageAt != 0), "image %d", int(report.Has_Image));

    JpegDecoded decoded;
    bool usable = false;
    if (imageAt != 0) {
        JpegLimits limits;
        limits.Max_Pixels = kFuzzMaxPixels;
        usable = Decode_Jpeg(data + imageAt + 12, std::size_t(4 * words), decoded, "again", limits).ok &&
                 decoded.Image.Consistent();
    }
    FUZZ_CHECK(usable == report.Image_Problem.empty() || imageAt == 0, "picture usable %d, problem '%s'",
               int(usable), report.Image_Problem.c_str());
    for (std::int64_t v = 0; v < V; ++v) {
        const std::uint32_t want =
            usable ? Tgl_Pixel(decoded.Image, mesh.Tex_Coord[v][0], mesh.Tex_Coord[v][1]) : 0u;
        FUZZ_CHECK(std::uint32_t(mesh.Vertex_Color[v]) == want, "vertex %lld colour %08x, the picture %08x",
                   static_cast<long long>(v), unsigned(mesh.Vertex_Color[v]), unsigned(want));
    }
    return 0;
}
