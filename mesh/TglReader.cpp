// Read_TGL: header checks, blocks, picture colours, then the light smoothing and derived data.

#include "mesh/TglReader.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "analysis/AreaSmooth.h"
#include "analysis/Curvature.h"
#include "geometry/AtomicFile.h"
#include "geometry/Color.h"
#include "geometry/Random.h"
#include "mesh/FileBytes.h"
#include "mesh/Topology.h"

namespace orvex {

namespace {

std::int32_t Int32_At(std::span<const unsigned char> bytes, std::uint64_t at) {
    std::uint32_t value = 0;
    for (int k = 0; k < 4; ++k) value |= std::uint32_t(bytes[at + k]) << 8 * k;
    return std::int32_t(value);
}

float Float_At(std::span<const unsigned char> bytes, std::uint64_t at) {
    const std::uint32_t bits = std::uint32_t(Int32_At(bytes, at));
    float value;
    std::memcpy(&value, &bits, 4);
    return value;
}

// Every count and offset is a signed 32-bit value: the products stay far inside 64 bits.
Status Check_Block(const std::string& name, const char* what, std::int64_t offset, std::int64_t count,
                   std::int64_t record, std::uint64_t size) {
    if (offset < 0)
        return Status::Error(name + ": the " + what + " has a negative offset (" + std::to_string(offset) +
                             ")");
    if (count < 0)
        return Status::Error(name + ": the " + what + " has a negative count (" + std::to_string(count) +
                             ")");
    const std::uint64_t end = std::uint64_t(offset) + std::uint64_t(count) * std::uint64_t(record);
    if (end > size)
        return Status::Error(name + ": the " + what + " (" + std::to_string(count) + " records of " +
                             std::to_string(record) + " bytes at offset " + std::to_string(offset) +
                             ") runs past the end of the file (" + std::to_string(size) + " bytes)");
    return Status::Ok();
}

void Append(std::string& text, const std::string& more) {
    if (more.empty()) return;
    if (!text.empty()) text += "; ";
    text += more;
}

}  // namespace

std::uint32_t Tgl_Pixel(const RgbImage& image, float u, float v) {
    if (!image.Consistent()) return 0;
    // NaN fails every comparison and lands on the first pixel.
    const auto index = [](float p, int n) {
        if (!(p >= 0.0f)) return 0;
        if (p >= float(n)) return n - 1;
        return std::min(int(p), n - 1);
    };
    return image.At(index(float(image.Width) * u, image.Width),
                    index((1.0f - v) * float(image.Height), image.Height));
}

Status Read_File_Bytes(const std::string& path, std::vector<unsigned char>& out) {
    out.clear();
    FileBytes file;
    if (Status opened = file.Open(path); !opened) return opened;
    const std::span<const unsigned char> bytes = file.Bytes();
    out.assign(bytes.begin(), bytes.end());
    return Status::Ok();
}

Status Read_TGL(UniOb& mesh, std::span<const unsigned char> bytes, const std::string& name,
                const TglReadOptions& options) {
    TglReadReport local;
    TglReadReport& report = options.Report ? *options.Report : local;
    report = {};
    mesh.FreeFaces();
    mesh.FreeVertices();
    mesh.FreeCurvature();

    // The colour is drawn first, whatever the file holds, so the generator advances the same way.
    mesh.Color_RGBA[3] = float(Crt_Rand15() % 129) / 256.0f + 0.5f;
    Color_To_RGB(Random_Color(), mesh.Color_RGBA);

    const std::uint64_t size = bytes.size();
    if (size < kTglHeaderSize)
        return Status::Error(name + ": too short for a TGL file (" + std::to_string(size) +
                             " bytes; the header alone takes " + std::to_string(kTglHeaderSize) + ")");
    const std::int64_t vertexAt = Int32_At(bytes, 100), V = Int32_At(bytes, 104);
    const std::int64_t faceAt = Int32_At(bytes, 108), F = Int32_At(bytes, 112);
    const std::int64_t texAt = Int32_At(bytes, 120), imageAt = Int32_At(bytes, 124);
    report.Vertices = V > 0 ? std::uint64_t(V) : 0;
    report.Faces_Declared = F > 0 ? std::uint64_t(F) : 0;
    if (Status s = Check_Block(name, "vertex block", vertexAt, V, 12, size); !s) return s;
    if (Status s = Check_Block(name, "face block", faceAt, F, 12, size); !s) return s;
    if (Status s = Check_Block(name, "texture-coordinate block", texAt, V, 8, size); !s) return s;
    std::int64_t words = 0;
    if (imageAt != 0) {
        if (Status s = Check_Block(name, "image block header", imageAt, 3, 4, size); !s) return s;
        words = Int32_At(bytes, std::uint64_t(imageAt) + 8);
        if (Status s = Check_Block(name, "image block", imageAt + 12, words, 4, size); !s) return s;
    }
    if (V == 0) return Status::Error(name + ": holds no vertices");
    if (F == 0) return Status::Error(name + ": holds no faces");

    for (std::int64_t v = 0; v < V; ++v) {
        for (int k = 0; k < 3; ++k) {
            if (!std::isfinite(Float_At(bytes, std::uint64_t(vertexAt + 12 * v + 4 * k))))
                return Status::Error(name + ": vertex " + std::to_string(v) +
                                     " has a NaN or infinite coordinate; not a usable TGL file");
        }
    }
    std::uint64_t kept = 0;
    for (std::int64_t f = 0; f < F; ++f) {
        bool inside = true;
        for (int k = 0; k < 3; ++k) {
            const std::int64_t index = Int32_At(bytes, std::uint64_t(faceAt + 12 * f + 4 * k));
            inside = inside && index >= 0 && index < V;
        }
        kept += inside;
    }
    report.Faces_Dropped = std::uint64_t(F) - kept;
    if (kept == 0)
        return Status::Error(name + ": none of its " + std::to_string(F) + " faces indexes its " +
                             std::to_string(V) + " vertices");

    mesh.AllocVertices(unsigned(V));
    mesh.AllocCurvature(unsigned(V));
    mesh.AllocFaces(unsigned(kept));
    for (std::int64_t v = 0; v < V; ++v) {
        for (int k = 0; k < 3; ++k)
            mesh.Vertex_Pos[v][k] = Float_At(bytes, std::uint64_t(vertexAt + 12 * v + 4 * k));
        for (int k = 0; k < 2; ++k)
            mesh.Tex_Coord[v][k] = Float_At(bytes, std::uint64_t(texAt + 8 * v + 4 * k));
        mesh.Vertex_Color[v] = 0;
    }
    std::size_t out = 0;
    for (std::int64_t f = 0; f < F; ++f) {
        FaceIndex face;
        bool inside = true;
        for (int k = 0; k < 3; ++k) {
            face[k] = Int32_At(bytes, std::uint64_t(faceAt + 12 * f + 4 * k));
            inside = inside && face[k] >= 0 && face[k] < V;
        }
        if (inside) mesh.Face_Index[out++] = face;
    }

    std::string notes;
    if (report.Faces_Dropped)
        Append(notes, name + ": " + std::to_string(report.Faces_Dropped) + " of " + std::to_string(F) +
                          " faces index outside the " + std::to_string(V) + " vertices and were left out");
    if (imageAt != 0) {
        report.Has_Image = true;
        report.Image_Offset = std::uint64_t(imageAt) + 12;
        report.Image_Size = 4 * std::uint64_t(words);
        JpegDecoded decoded;
        Status image = Decode_Jpeg(bytes.data() + report.Image_Offset, std::size_t(report.Image_Size),
                                   decoded, name + ".jpg", options.Limits);
        if (image && decoded.Image.Consistent()) {
            report.Image_Width = decoded.Image.Width;
            report.Image_Height = decoded.Image.Height;
            for (std::int64_t v = 0; v < V; ++v)
                mesh.Vertex_Color[v] =
                    int(Tgl_Pixel(decoded.Image, mesh.Tex_Coord[v][0], mesh.Tex_Coord[v][1]));
            if (!decoded.Warning.empty()) Append(notes, name + ".jpg: " + decoded.Warning);
        } else {
            report.Image_Problem = image ? name + ".jpg: the picture is empty" : image.message;
            Append(notes, report.Image_Problem + "; the mesh has no colours");
        }
    }

    Build_Rings(mesh);
    for (int pass = 0; pass < 3; ++pass) AreaSmooth(mesh, 0.01f);
    Compute_Face_Normals(mesh);
    Compute_Vertex_Normals(mesh, true);
    Fit_Curvature(mesh);
    Compute_Box(mesh);
    return Status{true, notes};
}

Status Read_TGL(UniOb& mesh, const std::string& path, const TglReadOptions& options) {
    TglReadReport local;
    TglReadOptions inner = options;
    if (!inner.Report) inner.Report = &local;
    TglReadReport& report = *inner.Report;
    std::vector<unsigned char> bytes;
    if (Status s = Read_File_Bytes(path, bytes); !s) {
        report = {};
        mesh.FreeFaces();
        mesh.FreeVertices();
        return s;
    }
    Status status = Read_TGL(mesh, bytes, path, inner);
    if (!status || !report.Has_Image || !options.Write_Side_File) return status;
    const std::string side = path + ".jpg";
    AtomicFile file;
    Status written = file.Open(side);
    if (written) {
        file.Write(bytes.data() + report.Image_Offset, std::size_t(report.Image_Size));
        written = file.Commit();
    }
    if (written) {
        report.Side_File = side;
    } else {
        report.Side_File_Problem = written.message;
        Append(status.message, written.message + " (the picture was not saved beside the file)");
    }
    return status;
}

}  // namespace orvex
