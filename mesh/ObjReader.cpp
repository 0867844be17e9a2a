// Read_OBJ: tinyobjloader's callback parser feeding our own checks.

#include "mesh/ObjReader.h"

// The parser is compiled here, not linked, so the sanitizers and the fuzzer see inside it.
#define TINYOBJLOADER_IMPLEMENTATION
#include <tiny_obj_loader.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <istream>
#include <limits>
#include <streambuf>
#include <vector>

namespace orvex {

namespace {

using namespace mesh_file_detail;

constexpr std::size_t kMaxVertices = std::size_t(std::numeric_limits<int>::max()) - 3;

// The bytes as a stream, without copying them.
class SpanBuffer : public std::streambuf {
public:
    explicit SpanBuffer(std::span<const unsigned char> bytes) {
        char* begin = const_cast<char*>(reinterpret_cast<const char*>(bytes.data()));
        setg(begin, begin, begin + bytes.size());
    }
};

// Materials are not used: only whether the named file is there, for the note.
class MaterialProbe : public tinyobj::MaterialReader {
public:
    explicit MaterialProbe(std::filesystem::path folder) : folder_(std::move(folder)) {}
    bool operator()(const std::string& file, std::vector<tinyobj::material_t>*, std::map<std::string, int>*,
                    std::string*, std::string*) override {
        std::error_code error;
        if (std::filesystem::is_regular_file(folder_ / file, error)) return true;
        missing.push_back(file);
        return false;
    }
    std::vector<std::string> missing;

private:
    std::filesystem::path folder_;
};

struct ObjState {
    std::vector<Vec3> positions;
    std::vector<unsigned char> bad;
    std::vector<TexCoord> vt;
    std::vector<TexCoord> texCoords;  // per vertex, once a corner names one
    std::vector<unsigned char> texSet;
    std::size_t normals = 0;
    std::vector<FaceIndex> faces;
    std::vector<int> corners;
    std::uint64_t polygons = 0;
    std::uint64_t dropped = 0;
    std::uint64_t texConflicts = 0;
    std::uint64_t nonFinite = 0;
    bool tooManyVertices = false;
    Progress* progress = nullptr;
    bool cancelled = false;
};

// An OBJ index (1-based, or negative from the end of the list so far) as a 0-based one; -1 when it
// names nothing.
long long Resolve(int index, std::size_t count) {
    if (index > 0) return std::size_t(index) <= count ? index - 1 : -1;
    if (index < 0)
        return -static_cast<long long>(index) <= static_cast<long long>(count)
                   ? static_cast<long long>(count) + index
                   : -1;
    return -1;
}

void On_Vertex(void* user, tinyobj::real_t x, tinyobj::real_t y, tinyobj::real_t z, tinyobj::real_t) {
    auto& s = *static_cast<ObjState*>(user);
    if (s.positions.size() >= kMaxVertices) {
        s.tooManyVertices = true;
        return;
    }
    const bool finite = std::isfinite(x) && std::isfinite(y) && std::isfinite(z);
    s.positions.push_back(Vec3{float(x), float(y), float(z)});
    s.bad.push_back(finite ? 0 : 1);
    if (!finite) ++s.nonFinite;
}

void On_Normal(void* user, tinyobj::real_t, tinyobj::real_t, tinyobj::real_t) {
    ++static_cast<ObjState*>(user)->normals;
}

void On_TexCoord(void* user, tinyobj::real_t u, tinyobj::real_t v, tinyobj::real_t) {
    static_cast<ObjState*>(user)->vt.push_back(
        TexCoord{std::isfinite(u) ? float(u) : 0.0f, std::isfinite(v) ? float(v) : 0.0f});
}

void On_Face(void* user, tinyobj::index_t* indices, int count) {
    auto& s = *static_cast<ObjState*>(user);
    ++s.polygons;
    if ((s.polygons & 0x3FFFF) == 0 && Cancel_Requested(s.progress)) s.cancelled = true;
    if (count < 3) {
        ++s.dropped;
        return;
    }
    s.corners.resize(std::size_t(count));
    for (int k = 0; k < count; ++k) {
        const long long v = Resolve(indices[k].vertex_index, s.positions.size());
        if (v < 0 || s.bad[std::size_t(v)]) {
            ++s.dropped;
            return;
        }
        // 0 means "not given" for vt and vn.
        if (indices[k].texcoord_index != 0 && Resolve(indices[k].texcoord_index, s.vt.size()) < 0) {
            ++s.dropped;
            return;
        }
        if (indices[k].normal_index != 0 && Resolve(indices[k].normal_index, s.normals) < 0) {
            ++s.dropped;
            return;
        }
        s.corners[std::size_t(k)] = int(v);
    }
    for (int k = 0; k < count; ++k) {
        if (indices[k].texcoord_index == 0) continue;
        const TexCoord& t = s.vt[std::size_t(Resolve(indices[k].texcoord_index, s.vt.size()))];
        const std::size_t v = std::size_t(s.corners[std::size_t(k)]);
        if (s.texCoords.size() < s.positions.size()) {
            s.texCoords.resize(s.positions.size(), TexCoord{0, 0});
            s.texSet.resize(s.positions.size(), 0);
        }
        if (!s.texSet[v]) {
            s.texSet[v] = 1;
            s.texCoords[v] = t;
        } else if (s.texCoords[v] != t) {
            ++s.texConflicts;
        }
    }
    for (int k = 1; k + 1 < count; ++k)
        s.faces.push_back(FaceIndex{s.corners[0], s.corners[std::size_t(k)], s.corners[std::size_t(k) + 1]});
}

Status Read_Stream(UniOb& mesh, std::span<const unsigned char> bytes, const std::string& name,
                   const MeshFileOptions& options, MeshFileReport& report, int startMs) {
    report.format = "OBJ";
    SpanBuffer buffer(bytes);
    std::istream stream(&buffer);
    ObjState state;
    state.progress = options.progress;
    tinyobj::callback_t callback;
    callback.vertex_cb = On_Vertex;
    callback.normal_cb = On_Normal;
    callback.texcoord_cb = On_TexCoord;
    callback.index_cb = On_Face;
    MaterialProbe materials(std::filesystem::path(name).parent_path());
    std::string warnings, errors;
    tinyobj::LoadObjWithCallback(stream, callback, &state, &materials, &warnings, &errors);
    if (state.cancelled) {
        mesh.FreeFaces();
        mesh.FreeVertices();
        return Status::Error(name + ": reading cancelled");
    }

    report.verticesDeclared = state.positions.size();
    report.facesDeclared = state.polygons;
    report.verticesNonFinite = state.nonFinite;
    for (const std::string& file : materials.missing)
        report.notes.push_back("material file '" + file + "' not found; the mesh takes its own colour");
    if (state.texConflicts)
        report.notes.push_back(
            std::to_string(state.texConflicts) +
            " corners name another texture coordinate than their vertex's first; the first is kept");
    std::vector<std::string> problems;
    if (state.tooManyVertices)
        problems.push_back("more than " + std::to_string(kMaxVertices) + " vertices; the rest were not read");
    if (state.polygons == 0) return Status::Error(name + ": no faces");

    std::uint64_t faceDrops = 0;
    if (state.nonFinite) {
        std::vector<int> noColors;
        if (!state.texCoords.empty()) state.texCoords.resize(state.positions.size(), TexCoord{0, 0});
        faceDrops = Remove_Bad_Vertices(state.bad, state.positions, noColors, state.texCoords, state.faces);
    }
    report.facesDropped = state.dropped + faceDrops;
    report.facesRead = state.polygons - state.dropped - std::min(faceDrops, state.polygons - state.dropped);
    report.texCoords = !state.texCoords.empty();
    if (!state.texCoords.empty()) state.texCoords.resize(state.positions.size(), TexCoord{0, 0});
    if (state.faces.empty() && problems.empty() && report.facesDropped == 0)
        problems.push_back("no usable faces");
    std::vector<int> colors;
    Finish_Mesh(mesh, state.positions, colors, state.texCoords, state.faces, options, report, startMs);
    return Make_Status(name, problems, report);
}

}  // namespace

Status Read_OBJ(UniOb& mesh, std::span<const unsigned char> bytes, const std::string& name,
                const MeshFileOptions& options) {
    return Read_Mesh_Bytes(mesh, bytes, name, options, Read_Stream);
}

Status Read_OBJ_File(UniOb& mesh, const std::string& path, const MeshFileOptions& options) {
    return Read_Mesh_Path(mesh, path, options, Read_Stream);
}

}  // namespace orvex
