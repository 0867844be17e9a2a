// The synthetic face and the TGL and 3DS byte writers.

#include "mesh/FaceSynth.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "geometry/AtomicFile.h"
#include "geometry/Jpeg.h"
#include "mesh/TglReader.h"

namespace orvex {

namespace {

// The texture map is a similarity: uv = centre + [a -b; b a] (x, y), fixed by the two eyes.
struct TexMap {
    double a, b, cu, cv;
};

TexMap Face_Tex_Map(const FaceSynthParams& params) {
    const double e = params.Eye_Distance != 0.0f ? params.Eye_Distance : 1.0;
    return {(double(kFaceLeftEyeU) - kFaceRightEyeU) / e, (double(kFaceLeftEyeV) - kFaceRightEyeV) / e,
            (double(kFaceLeftEyeU) + kFaceRightEyeU) / 2, (double(kFaceLeftEyeV) + kFaceRightEyeV) / 2};
}

double Surface(const FaceSynthParams& params, double x, double y) {
    const double r = params.Face_Radius > 0.0f ? params.Face_Radius : 1e30;
    return -(x * x + y * y) / (2 * r);
}

// The centre of a pit's sphere: Pit_Depth below the surface plus the radius above its bottom.
Vec3 Pit_Centre(const FaceSynthParams& params, double x) {
    return {float(x), 0.0f, float(Surface(params, x, 0) - params.Pit_Depth + params.Pit_Radius)};
}

void Put_U16(std::vector<unsigned char>& out, unsigned value) {
    out.push_back(static_cast<unsigned char>(value & 0xFF));
    out.push_back(static_cast<unsigned char>(value >> 8 & 0xFF));
}
void Put_U32(std::vector<unsigned char>& out, std::uint32_t value) {
    for (int k = 0; k < 4; ++k) out.push_back(static_cast<unsigned char>(value >> 8 * k & 0xFF));
}
void Put_F32(std::vector<unsigned char>& out, float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, 4);
    Put_U32(out, bits);
}
void Set_U32(std::vector<unsigned char>& out, std::size_t at, std::uint32_t value) {
    for (int k = 0; k < 4; ++k) out[at + k] = static_cast<unsigned char>(value >> 8 * k & 0xFF);
}

// Opens a chunk; returns where its length goes, patched by End_Chunk.
std::size_t Begin_Chunk(std::vector<unsigned char>& out, unsigned id) {
    Put_U16(out, id);
    const std::size_t at = out.size();
    Put_U32(out, 0);
    return at;
}
void End_Chunk(std::vector<unsigned char>& out, std::size_t at) {
    Set_U32(out, at, std::uint32_t(out.size() - (at - 2)));
}

std::uint32_t Mix(std::uint32_t a, std::uint32_t b, double t) {
    std::uint32_t out = 0;
    for (int k = 0; k < 3; ++k) {
        const double ca = a >> 8 * k & 0xFF, cb = b >> 8 * k & 0xFF;
        out |= std::uint32_t(std::lround(ca + (cb - ca) * std::clamp(t, 0.0, 1.0))) << 8 * k;
    }
    return out;
}

}  // namespace

float Face_Height(const FaceSynthParams& params, float x, float y) {
    double z = Surface(params, x, y);
    const double half = params.Eye_Distance / 2.0;
    const double r = params.Pit_Radius;
    for (const double cx : {half, -half}) {
        const Vec3 c = Pit_Centre(params, cx);
        const double d2 = (x - cx) * (x - cx) + double(y) * y;
        if (d2 < r * r) z = std::min(z, double(c.z) - std::sqrt(r * r - d2));
    }
    const double sx = params.Nose_Width, sy = params.Nose_Length;
    if (sx > 0 && sy > 0) {
        const double dx = x / sx, dy = (y - params.Nose_Y) / sy;
        z += params.Nose_Depth * std::exp(-0.5 * (dx * dx + dy * dy));
    }
    return float(z);
}

TexCoord Face_Tex_Coord(const FaceSynthParams& params, float x, float y) {
    const TexMap m = Face_Tex_Map(params);
    return {float(m.cu + m.a * x - m.b * y), float(m.cv + m.b * x + m.a * y)};
}

Vec3 Face_Pose_Point(const FacePose& pose, Vec3 p) {
    double q[3] = {p.x, p.y, p.z};
    for (int axis = 0; axis < 3; ++axis) {
        const double c = std::cos(pose.Rotate[axis]), s = std::sin(pose.Rotate[axis]);
        const int i = (axis + 1) % 3, j = (axis + 2) % 3;
        const double qi = c * q[i] - s * q[j], qj = s * q[i] + c * q[j];
        q[i] = qi;
        q[j] = qj;
    }
    return {float(q[0] + pose.Translate[0]), float(q[1] + pose.Translate[1]),
            float(q[2] + pose.Translate[2])};
}

void Face_Eye_Centres(const FaceSynthParams& params, Vec3& left, Vec3& right) {
    left = Face_Pose_Point(params.Pose, Pit_Centre(params, params.Eye_Distance / 2.0));
    right = Face_Pose_Point(params.Pose, Pit_Centre(params, -params.Eye_Distance / 2.0));
}

void Make_Face(UniOb& mesh, const FaceSynthParams& params) {
    mesh.FreeFaces();
    mesh.FreeVertices();
    const int n = params.Grid;
    if (n < 2) return;
    mesh.AllocVertices(unsigned(n) * unsigned(n));
    mesh.AllocFaces(2u * unsigned(n - 1) * unsigned(n - 1));
    const double centre = (n - 1) / 2.0;
    for (int row = 0; row < n; ++row) {
        for (int col = 0; col < n; ++col) {
            const float x = float((col - centre) * params.Spacing + params.Shift_X);
            const float y = float((row - centre) * params.Spacing + params.Shift_Y);
            const std::size_t i = std::size_t(row) * n + col;
            mesh.Vertex_Pos[i] = Face_Pose_Point(params.Pose, {x, y, Face_Height(params, x, y)});
            mesh.Tex_Coord[i] = Face_Tex_Coord(params, x, y);
            mesh.Vertex_Color[i] = 0;
        }
    }
    std::size_t f = 0;
    for (int row = 0; row + 1 < n; ++row) {
        for (int col = 0; col + 1 < n; ++col) {
            const int a = row * n + col, b = a + 1, c = a + n + 1, d = a + n;
            mesh.Face_Index[f++] = {a, b, c};
            mesh.Face_Index[f++] = {a, c, d};
        }
    }
}

RgbImage Face_Image(const FaceSynthParams& params, int width, int height) {
    RgbImage image;
    if (width <= 0 || height <= 0) return image;
    image.Width = width;
    image.Height = height;
    image.Pixels.resize(std::size_t(width) * height);
    const TexMap m = Face_Tex_Map(params);
    const double norm = m.a * m.a + m.b * m.b;
    const double half = params.Eye_Distance / 2.0;
    const double rim = params.Pit_Radius;
    const std::uint32_t skin = Pixel_Rgb(224, 176, 144), shade = Pixel_Rgb(150, 105, 80);
    const std::uint32_t eye = Pixel_Rgb(40, 60, 110), nose = Pixel_Rgb(210, 90, 80);
    for (int py = 0; py < height; ++py) {
        for (int px = 0; px < width; ++px) {
            const double du = (px + 0.5) / width - m.cu, dv = 1.0 - (py + 0.5) / height - m.cv;
            const double x = (m.a * du + m.b * dv) / norm, y = (-m.b * du + m.a * dv) / norm;
            std::uint32_t colour = Mix(skin, shade, std::hypot(x, y) / 300.0);
            for (const double cx : {half, -half})
                if ((x - cx) * (x - cx) + y * y < rim * rim * 0.5) colour = eye;
            if (params.Nose_Width > 0 && params.Nose_Length > 0) {
                const double dx = x / params.Nose_Width, dy = (y - params.Nose_Y) / params.Nose_Length;
                if (dx * dx + dy * dy < 1.0) colour = nose;
            }
            image.Pixels[std::size_t(py) * width + px] = colour;
        }
    }
    return image;
}

std::vector<unsigned char> Tgl_Bytes(const UniOb& mesh, const std::vector<unsigned char>& jpeg) {
    const std::size_t V = mesh.Vertex_Count, F = mesh.Face_Count;
    std::vector<unsigned char> out(kTglHeaderSize, 0);
    const std::size_t vertexAt = out.size(), faceAt = vertexAt + 12 * V, texAt = faceAt + 12 * F;
    const std::size_t imageAt = texAt + 8 * V;
    Set_U32(out, 100, std::uint32_t(vertexAt));
    Set_U32(out, 104, std::uint32_t(V));
    Set_U32(out, 108, std::uint32_t(faceAt));
    Set_U32(out, 112, std::uint32_t(F));
    Set_U32(out, 120, std::uint32_t(texAt));
    Set_U32(out, 124, jpeg.empty() ? 0u : std::uint32_t(imageAt));
    out.reserve(imageAt + (jpeg.empty() ? 0 : 12 + jpeg.size() + 3));
    for (std::size_t v = 0; v < V; ++v)
        for (int k = 0; k < 3; ++k) Put_F32(out, mesh.Vertex_Pos[v][k]);
    for (std::size_t f = 0; f < F; ++f)
        for (int k = 0; k < 3; ++k) Put_U32(out, std::uint32_t(mesh.Face_Index[f][k]));
    for (std::size_t v = 0; v < V; ++v)
        for (int k = 0; k < 2; ++k) Put_F32(out, mesh.Tex_Coord[v][k]);
    if (!jpeg.empty()) {
        const std::size_t words = (jpeg.size() + 3) / 4;
        Put_U32(out, 0);
        Put_U32(out, 0);
        Put_U32(out, std::uint32_t(words));
        out.insert(out.end(), jpeg.begin(), jpeg.end());
        out.resize(out.size() + (4 * words - jpeg.size()), 0);
    }
    return out;
}

std::vector<unsigned char> Tds_Bytes(const std::vector<const UniOb*>& meshes,
                                     const TdsWriteOptions& options) {
    std::vector<unsigned char> out;
    const std::size_t main = Begin_Chunk(out, 0x4D4D);
    const std::size_t version = Begin_Chunk(out, 0x0002);  // a chunk the reader skips
    Put_U32(out, 3);
    End_Chunk(out, version);
    const std::size_t editor = Begin_Chunk(out, 0x3D3D);
    int number = 0;
    for (const UniOb* mesh : meshes) {
        const std::size_t object = Begin_Chunk(out, 0x4000);
        std::string name = options.Name;
        if (number++ > 0) name += std::to_string(number);
        out.insert(out.end(), name.begin(), name.end());
        out.push_back(0);
        const std::size_t trimesh = Begin_Chunk(out, 0x4100);
        const unsigned V = std::min(mesh->Vertex_Count, 65535u), F = std::min(mesh->Face_Count, 65535u);
        const std::size_t vertices = Begin_Chunk(out, 0x4110);
        Put_U16(out, V);
        for (unsigned v = 0; v < V; ++v)
            for (int k = 0; k < 3; ++k) Put_F32(out, mesh->Vertex_Pos[v][k]);
        End_Chunk(out, vertices);
        if (options.Tex_Coords) {
            const std::size_t mapping = Begin_Chunk(out, 0x4140);
            Put_U16(out, V);
            for (unsigned v = 0; v < V; ++v)
                for (int k = 0; k < 2; ++k) Put_F32(out, mesh->Tex_Coord[v][k]);
            End_Chunk(out, mapping);
        }
        if (options.Foreign_Chunk) {
            // The local axes of the object: an identity matrix and no move.
            const std::size_t axes = Begin_Chunk(out, 0x4160);
            const float matrix[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
            for (float value : matrix) Put_F32(out, value);
            End_Chunk(out, axes);
        }
        const std::size_t faces = Begin_Chunk(out, 0x4120);
        Put_U16(out, F);
        for (unsigned f = 0; f < F; ++f) {
            for (int k = 0; k < 3; ++k) Put_U16(out, unsigned(mesh->Face_Index[f][k]) & 0xFFFF);
            Put_U16(out, 7);
        }
        End_Chunk(out, faces);
        End_Chunk(out, trimesh);
        End_Chunk(out, object);
    }
    End_Chunk(out, editor);
    End_Chunk(out, main);
    return out;
}

Status Write_Face_Tgl(const std::string& path, const FaceSynthParams& params, int image_size,
                      bool side_file) {
    UniOb mesh;
    Make_Face(mesh, params);
    std::vector<unsigned char> jpeg;
    if (image_size > 0) {
        Status encoded = Encode_Jpeg(Face_Image(params, image_size, image_size), 90, jpeg);
        if (!encoded) return Status::Error(path + ": " + encoded.message);
    }
    std::vector<unsigned char> bytes = Tgl_Bytes(mesh, jpeg);
    // Both files are complete before either replaces what was there.
    AtomicFile file, side;
    Status status = file.Open(path);
    if (!status) return status;
    file.Write(bytes.data(), bytes.size());
    if (Status done = file.Finish(); !done) return done;
    if (side_file && !jpeg.empty()) {
        if (Status opened = side.Open(path + ".jpg"); !opened) return opened;
        // The side file holds the embedded words, padding included, as the reader writes it.
        side.Write(bytes.data() + bytes.size() - 4 * ((jpeg.size() + 3) / 4), 4 * ((jpeg.size() + 3) / 4));
        if (Status done = side.Finish(); !done) return done;
    }
    if (Status done = file.Commit(); !done) return done;
    return side_file && !jpeg.empty() ? side.Commit() : Status::Ok();
}

}  // namespace orvex
