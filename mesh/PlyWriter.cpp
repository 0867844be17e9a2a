// The PLY and OBJ writers.

#include "mesh/PlyWriter.h"

#include <cctype>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <string>

#include "geometry/AtomicFile.h"
#include "mesh/MeshWriters.h"
#include "mesh/PlyObjCommon.h"

namespace orvex {

namespace {

constexpr std::size_t kFlushBytes = 1u << 20;

// Text gathered in one buffer and handed to the file in large pieces.
class TextOut {
public:
    explicit TextOut(AtomicFile& file) : file_(file) { text_.reserve(kFlushBytes + 256); }
    ~TextOut() { Flush(); }
    void Put(const char* s) { text_ += s; }
    void Float(float value) {
        char buffer[32];
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
        text_.append(buffer, result.ptr);
        Check();
    }
    void Int(long long value) {
        char buffer[24];
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
        text_.append(buffer, result.ptr);
        Check();
    }
    void Char(char c) { text_ += c; }
    void Flush() {
        if (!text_.empty()) file_.Write(text_.data(), text_.size());
        text_.clear();
    }

private:
    void Check() {
        if (text_.size() >= kFlushBytes) Flush();
    }
    AtomicFile& file_;
    std::string text_;
};

struct ListCounts {
    std::uint64_t vertices = 0;
    std::uint64_t faces = 0;
    bool colors = false;
    bool texCoords = false;
};

ListCounts Count(const UniOb* head) {
    ListCounts counts;
    for (const UniOb* mesh = head; mesh; mesh = mesh->next) {
        if (mesh->IsEmpty()) continue;
        counts.vertices += mesh->Vertex_Count;
        counts.faces += mesh->Face_Count;
        counts.colors = counts.colors || Has_Vertex_Colors(*mesh);
        counts.texCoords = counts.texCoords || Has_Tex_Coords(*mesh);
    }
    return counts;
}

// A mesh's vertex colour as bytes; a mesh without colours gives its own colour.
void Vertex_Rgb(const UniOb& mesh, bool meshHasColors, unsigned v, unsigned char rgb[3]) {
    if (meshHasColors) {
        const int c = mesh.Vertex_Color[v];
        rgb[0] = static_cast<unsigned char>(c & 0xFF);
        rgb[1] = static_cast<unsigned char>((c >> 8) & 0xFF);
        rgb[2] = static_cast<unsigned char>((c >> 16) & 0xFF);
        return;
    }
    for (int k = 0; k < 3; ++k) {
        const float f = mesh.Color_RGBA[k];
        rgb[k] = static_cast<unsigned char>(f <= 0.0f ? 0 : f >= 1.0f ? 255 : int(f * 255.0f + 0.5f));
    }
}

TexCoord Vertex_Uv(const UniOb& mesh, bool meshHasTex, unsigned v) {
    return meshHasTex ? mesh.Tex_Coord[v] : TexCoord{0.0f, 0.0f};
}

Status Nothing_Written(const std::string& name) {
    return Status::Error(name + ": nothing written, the mesh is empty");
}

Status Too_Many(const std::string& name) {
    return Status::Error(name + ": nothing written, more vertices than a file index can hold");
}

}  // namespace

Status Write_PLY(const UniOb* head, const std::string& name, PlyEncoding encoding) {
    const ListCounts counts = Count(head);
    if (counts.faces == 0) return Nothing_Written(name);
    if (counts.vertices > 0x7FFFFFFFu) return Too_Many(name);
    AtomicFile file;
    if (Status s = file.Open(name); !s) return s;
    const bool ascii = encoding == PlyEncoding::Ascii;
    file.Printf("ply\nformat %s 1.0\ncomment Orvex Vision\nelement vertex %llu\n",
                ascii ? "ascii" : "binary_little_endian", static_cast<unsigned long long>(counts.vertices));
    file.Printf("property float x\nproperty float y\nproperty float z\n");
    if (counts.colors) file.Printf("property uchar red\nproperty uchar green\nproperty uchar blue\n");
    if (counts.texCoords) file.Printf("property float u\nproperty float v\n");
    file.Printf("element face %llu\nproperty list uchar int vertex_indices\nend_header\n",
                static_cast<unsigned long long>(counts.faces));

    std::string binary;
    TextOut text(file);
    auto put = [&binary, &file](const void* data, std::size_t size) {
        binary.append(static_cast<const char*>(data), size);
        if (binary.size() >= kFlushBytes) {
            file.Write(binary.data(), binary.size());
            binary.clear();
        }
    };
    for (const UniOb* mesh = head; mesh; mesh = mesh->next) {
        if (mesh->IsEmpty()) continue;
        const bool meshColors = counts.colors && Has_Vertex_Colors(*mesh);
        const bool meshTex = counts.texCoords && Has_Tex_Coords(*mesh);
        for (unsigned v = 0; v < mesh->Vertex_Count; ++v) {
            const Vec3& p = mesh->Vertex_Pos[v];
            unsigned char rgb[3];
            if (counts.colors) Vertex_Rgb(*mesh, meshColors, v, rgb);
            const TexCoord uv = Vertex_Uv(*mesh, meshTex, v);
            if (ascii) {
                text.Float(p.x);
                text.Char(' ');
                text.Float(p.y);
                text.Char(' ');
                text.Float(p.z);
                if (counts.colors)
                    for (int k = 0; k < 3; ++k) {
                        text.Char(' ');
                        text.Int(rgb[k]);
                    }
                if (counts.texCoords) {
                    text.Char(' ');
                    text.Float(uv[0]);
                    text.Char(' ');
                    text.Float(uv[1]);
                }
                text.Char('\n');
            } else {
                const float xyz[3] = {p.x, p.y, p.z};
                put(xyz, sizeof xyz);
                if (counts.colors) put(rgb, 3);
                if (counts.texCoords) put(uv.data(), 8);
            }
        }
    }
    std::int64_t base = 0;
    for (const UniOb* mesh = head; mesh; mesh = mesh->next) {
        if (mesh->IsEmpty()) continue;
        for (unsigned f = 0; f < mesh->Face_Count; ++f) {
            const FaceIndex& face = mesh->Face_Index[f];
            if (ascii) {
                text.Char('3');
                for (int c : face) {
                    text.Char(' ');
                    text.Int(base + c);
                }
                text.Char('\n');
            } else {
                unsigned char record[13];
                record[0] = 3;
                for (int k = 0; k < 3; ++k) {
                    const std::int32_t index = std::int32_t(base + face[std::size_t(k)]);
                    std::memcpy(record + 1 + 4 * k, &index, 4);
                }
                put(record, sizeof record);
            }
        }
        base += mesh->Vertex_Count;
    }
    text.Flush();
    if (!binary.empty()) file.Write(binary.data(), binary.size());
    return file.Commit();
}

Status Write_OBJ(const UniOb* head, const std::string& name) {
    const ListCounts counts = Count(head);
    if (counts.faces == 0) return Nothing_Written(name);
    if (counts.vertices > 0x7FFFFFFFu) return Too_Many(name);
    AtomicFile file;
    if (Status s = file.Open(name); !s) return s;
    file.Printf("# Orvex Vision\n# %llu vertices, %llu faces\n",
                static_cast<unsigned long long>(counts.vertices),
                static_cast<unsigned long long>(counts.faces));
    TextOut text(file);
    for (const UniOb* mesh = head; mesh; mesh = mesh->next) {
        if (mesh->IsEmpty()) continue;
        for (unsigned v = 0; v < mesh->Vertex_Count; ++v) {
            const Vec3& p = mesh->Vertex_Pos[v];
            text.Put("v ");
            text.Float(p.x);
            text.Char(' ');
            text.Float(p.y);
            text.Char(' ');
            text.Float(p.z);
            text.Char('\n');
        }
    }
    if (counts.texCoords) {
        for (const UniOb* mesh = head; mesh; mesh = mesh->next) {
            if (mesh->IsEmpty()) continue;
            const bool meshTex = Has_Tex_Coords(*mesh);
            for (unsigned v = 0; v < mesh->Vertex_Count; ++v) {
                const TexCoord uv = Vertex_Uv(*mesh, meshTex, v);
                text.Put("vt ");
                text.Float(uv[0]);
                text.Char(' ');
                text.Float(uv[1]);
                text.Char('\n');
            }
        }
    }
    // One vt per vertex, in the same order: a corner's vt index is its vertex index.
    std::int64_t base = 1;
    for (const UniOb* mesh = head; mesh; mesh = mesh->next) {
        if (mesh->IsEmpty()) continue;
        for (unsigned f = 0; f < mesh->Face_Count; ++f) {
            text.Char('f');
            for (int c : mesh->Face_Index[f]) {
                text.Char(' ');
                text.Int(base + c);
                if (counts.texCoords) {
                    text.Char('/');
                    text.Int(base + c);
                }
            }
            text.Char('\n');
        }
        base += mesh->Vertex_Count;
    }
    text.Flush();
    return file.Commit();
}

Status Write_Mesh_File(const UniOb* head, const std::string& name) {
    if (Is_Ply_Name(name)) return Write_PLY(head, name);
    if (Is_Obj_Name(name)) return Write_OBJ(head, name);
    std::string extension = name.size() >= 4 ? name.substr(name.size() - 4) : std::string();
    for (char& c : extension) c = char(std::tolower(static_cast<unsigned char>(c)));
    if (extension == ".stl") return Write_STL(head, name);
    return Status::Error(name + ": nothing written, give a name ending in .stl, .ply or .obj");
}

}  // namespace orvex
