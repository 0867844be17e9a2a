// Read_3DS: the chunk walk, list pairing, then the derived data once.

#include "mesh/Reader3ds.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "analysis/Curvature.h"
#include "geometry/Color.h"
#include "mesh/TglReader.h"
#include "mesh/Topology.h"

namespace orvex {

namespace {

unsigned U16_At(std::span<const unsigned char> bytes, std::uint64_t at) {
    return unsigned(bytes[at]) | unsigned(bytes[at + 1]) << 8;
}

std::uint32_t U32_At(std::span<const unsigned char> bytes, std::uint64_t at) {
    std::uint32_t value = 0;
    for (int k = 0; k < 4; ++k) value |= std::uint32_t(bytes[at + k]) << 8 * k;
    return value;
}

float Float_At(std::span<const unsigned char> bytes, std::uint64_t at) {
    const std::uint32_t bits = U32_At(bytes, at);
    float value;
    std::memcpy(&value, &bits, 4);
    return value;
}

std::string Chunk_Name(unsigned id, std::uint64_t at) {
    char text[64];
    std::snprintf(text, sizeof text, "chunk 0x%04X at offset %llu", id, static_cast<unsigned long long>(at));
    return text;
}

void Append(std::string& text, const std::string& more) {
    if (!text.empty()) text += "; ";
    text += more;
}

}  // namespace

Status Read_3DS(UniOb& mesh, std::span<const unsigned char> bytes, const std::string& name,
                Read3dsReport* out) {
    Read3dsReport local;
    Read3dsReport& report = out ? *out : local;
    report = {};
    mesh.FreeFaces();
    mesh.FreeVertices();
    mesh.FreeCurvature();

    // The vertex list being read, and the last pair of a face list with the vertex list before it.
    std::vector<Vec3> vertices, pairVertices;
    std::vector<TexCoord> tex, pairTex;
    std::vector<FaceIndex> pairFaces;
    bool haveVertices = false, havePair = false;
    // Mapping coordinates may follow the face list; they still belong to its pair.
    bool pairUsesCurrent = false;
    int colour = 0;
    std::string notes;

    const std::uint64_t size = bytes.size();
    // Ends of the chunks entered, innermost last; the file is the outermost.
    std::vector<std::uint64_t> parents{size};
    std::uint64_t at = 0;
    for (;;) {
        while (parents.size() > 1 && at >= parents.back()) parents.pop_back();
        const std::uint64_t end = parents.back();
        if (at >= end) break;
        if (end - at < 6) {
            report.Stopped = true;
            Append(notes, name + ": " + std::to_string(end - at) + " bytes at offset " + std::to_string(at) +
                              " are too few for a chunk header; reading stopped there");
            break;
        }
        const unsigned id = U16_At(bytes, at);
        const std::uint64_t length = U32_At(bytes, at + 2);
        if (length < 6 || length > end - at) {
            report.Stopped = true;
            Append(notes,
                   name + ": " + Chunk_Name(id, at) + " has the length " + std::to_string(length) +
                       (length < 6 ? ", shorter than its header" : ", past the end of the chunk holding it") +
                       "; reading stopped there");
            break;
        }
        const std::uint64_t body = at + 6, chunkEnd = at + length;
        // A list's records must lie inside its chunk.
        const auto list_fits = [&](std::uint64_t record, unsigned& count) {
            if (chunkEnd - body < 2) return false;
            count = U16_At(bytes, body);
            return 2 + record * count <= chunkEnd - body;
        };
        const auto list_too_long = [&](const char* what, unsigned count) {
            report.Stopped = true;
            Append(notes, name + ": the " + what + " in " + Chunk_Name(id, at) + " (" +
                              std::to_string(count) +
                              " records) is longer than its chunk; reading stopped there");
        };
        switch (id) {
            case 0x4D4D:
            case 0x3D3D:
            case 0x4100:
                parents.push_back(chunkEnd);
                at = body;
                break;
            case 0x4000: {
                const unsigned char* first = bytes.data() + body;
                const void* zero = std::memchr(first, 0, std::size_t(chunkEnd - body));
                if (!zero) {
                    report.Stopped = true;
                    Append(notes, name + ": the object name in " + Chunk_Name(id, at) +
                                      " does not end inside its chunk; reading stopped there");
                    at = size;  // ends the walk
                    break;
                }
                parents.push_back(chunkEnd);
                at = body + std::uint64_t(static_cast<const unsigned char*>(zero) - first) + 1;
                break;
            }
            case 0x4110: {
                unsigned n = 0;
                if (!list_fits(12, n)) {
                    list_too_long("vertex list", n);
                    at = size;  // ends the walk
                    break;
                }
                ++report.Vertex_Lists;
                vertices.resize(n);
                tex.clear();
                for (unsigned v = 0; v < n; ++v) {
                    for (int k = 0; k < 3; ++k) {
                        const float value = Float_At(bytes, body + 2 + 12 * std::uint64_t(v) + 4 * k);
                        if (!std::isfinite(value))
                            return Status::Error(name + ": vertex " + std::to_string(v) +
                                                 " of the vertex list at offset " + std::to_string(at) +
                                                 " has a NaN or infinite coordinate");
                        vertices[v][k] = value;
                    }
                }
                haveVertices = true;
                pairUsesCurrent = false;
                parents.push_back(chunkEnd);
                at = body + 2 + 12 * std::uint64_t(n);
                break;
            }
            case 0x4140: {
                unsigned n = 0;
                if (haveVertices && list_fits(8, n) && n == vertices.size()) {
                    tex.resize(n);
                    for (unsigned v = 0; v < n; ++v)
                        for (int k = 0; k < 2; ++k)
                            tex[v][k] = Float_At(bytes, body + 2 + 8 * std::uint64_t(v) + 4 * k);
                    if (pairUsesCurrent) pairTex = tex;
                    parents.push_back(chunkEnd);
                    at = body + 2 + 8 * std::uint64_t(n);
                } else {
                    at = chunkEnd;
                }
                break;
            }
            case 0x4120: {
                unsigned m = 0;
                if (!list_fits(8, m)) {
                    list_too_long("face list", m);
                    at = size;  // ends the walk
                    break;
                }
                ++report.Face_Lists;
                colour = Random_Color();
                if (!haveVertices) {
                    report.Faces_Dropped += m;
                } else if (m > 0) {  // an empty list, like a vertex list without one, keeps the pair
                    pairFaces.clear();
                    pairFaces.reserve(m);
                    for (unsigned f = 0; f < m; ++f) {
                        FaceIndex face;
                        bool inside = true;
                        for (int k = 0; k < 3; ++k) {
                            face[k] = int(U16_At(bytes, body + 2 + 8 * std::uint64_t(f) + 2 * k));
                            inside = inside && std::size_t(face[k]) < vertices.size();
                        }
                        if (inside)
                            pairFaces.push_back(face);
                        else
                            ++report.Faces_Dropped;
                    }
                    pairVertices = vertices;
                    pairTex = tex;
                    havePair = true;
                    pairUsesCurrent = true;
                }
                parents.push_back(chunkEnd);
                at = body + 2 + 8 * std::uint64_t(m);
                break;
            }
            default:
                at = chunkEnd;
                break;
        }
    }

    if (report.Faces_Dropped) {
        std::string dropped = name + ": " + std::to_string(report.Faces_Dropped) +
                              " faces came before any vertex list or indexed past it and were left out";
        notes = notes.empty() ? dropped : dropped + "; " + notes;
    }
    if (!havePair || pairFaces.empty() || pairVertices.empty()) {
        std::string message = name + ": no faces over a vertex list found";
        if (!notes.empty()) message += " (" + notes + ")";
        return Status::Error(message);
    }

    const unsigned V = unsigned(pairVertices.size()), F = unsigned(pairFaces.size());
    mesh.AllocVertices(V);
    mesh.AllocCurvature(V);
    mesh.AllocFaces(F);
    mesh.Vertex_Pos = std::move(pairVertices);
    mesh.Face_Index = std::move(pairFaces);
    report.Tex_Coords = pairTex.size() == V;
    for (unsigned v = 0; v < V; ++v) {
        mesh.Tex_Coord[v] = report.Tex_Coords ? pairTex[v] : TexCoord{0.0f, 0.0f};
        mesh.Vertex_Color[v] = 0;
    }
    Color_To_RGB(colour, mesh.Color_RGBA);
    mesh.Color_RGBA[3] = 1.0f;
    Compute_Face_Normals(mesh);
    Compute_Vertex_Normals(mesh, true);
    Build_Rings(mesh);
    Fit_Curvature(mesh);
    Compute_Box(mesh);
    return Status{true, notes};
}

Status Read_3DS(UniOb& mesh, const std::string& path, Read3dsReport* report) {
    std::vector<unsigned char> bytes;
    if (Status s = Read_File_Bytes(path, bytes); !s) {
        if (report) *report = {};
        mesh.FreeFaces();
        mesh.FreeVertices();
        return s;
    }
    return Read_3DS(mesh, bytes, path, report);
}

}  // namespace orvex
