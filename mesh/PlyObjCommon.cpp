// The parts the PLY and OBJ readers share: the read wrappers, the optional merge, the end of a read.

#include "mesh/PlyObjCommon.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "geometry/Clock.h"
#include "geometry/Color.h"
#include "geometry/Random.h"
#include "mesh/LoadPipeline.h"
#include "mesh/ObjReader.h"
#include "mesh/PlyReader.h"
#include "mesh/StlMerge.h"
#include "mesh/StlReader.h"

namespace orvex {

namespace {

std::string Lower_Extension(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    for (char& c : extension) c = char(std::tolower(static_cast<unsigned char>(c)));
    return extension;
}

}  // namespace

bool Is_Ply_Name(const std::string& path) {
    return Lower_Extension(path) == ".ply";
}
bool Is_Obj_Name(const std::string& path) {
    return Lower_Extension(path) == ".obj";
}

bool Has_Vertex_Colors(const UniOb& mesh) {
    if (mesh.Vertex_Color.size() < mesh.Vertex_Count) return false;
    for (unsigned v = 0; v < mesh.Vertex_Count; ++v)
        if (mesh.Vertex_Color[v] != 0) return true;
    return false;
}

bool Has_Tex_Coords(const UniOb& mesh) {
    if (mesh.Tex_Coord.size() < mesh.Vertex_Count) return false;
    for (unsigned v = 0; v < mesh.Vertex_Count; ++v)
        if (mesh.Tex_Coord[v][0] != 0.0f || mesh.Tex_Coord[v][1] != 0.0f) return true;
    return false;
}

std::uint64_t Merge_Mesh_Vertices(UniOb& mesh, float tolerance) {
    if (mesh.IsEmpty()) return 0;
    if (std::isnan(tolerance) || tolerance < 0.0f) tolerance = 0.0f;
    const unsigned V = mesh.Vertex_Count;
    // The grid wants a typical edge length; a sample of faces gives it.
    double edgeSum = 0.0;
    unsigned edges = 0;
    for (unsigned f = 0; f < mesh.Face_Count && edges < 3000; ++f) {
        for (int s = 0; s < 3; ++s) {
            const Vec3& a = mesh.Vertex_Pos[mesh.Face_Index[f][s]];
            const Vec3& b = mesh.Vertex_Pos[mesh.Face_Index[f][(s + 1) % 3]];
            const double d =
                std::fabs(double(a.x) - b.x) + std::fabs(double(a.y) - b.y) + std::fabs(double(a.z) - b.z);
            if (std::isfinite(d)) {
                edgeSum += d;
                ++edges;
            }
        }
    }
    const float spacing = edges && edgeSum > 0.0 ? float(edgeSum / edges) : 1.0f;
    std::vector<int> target(V);
    int kept = 0;
    {
        VertexMerger merger(tolerance, std::max(spacing, tolerance * 4.0f), V);
        for (unsigned v = 0; v < V; ++v) {
            const int index = merger.Insert(mesh.Vertex_Pos[v]);
            target[v] = index;
            kept = std::max(kept, index + 1);
        }
        merger.Finish();
        for (unsigned v = 0; v < V; ++v) target[v] = merger.Index(target[v]);
    }
    if (unsigned(kept) == V) return 0;
    const std::size_t K = std::size_t(kept);
    std::vector<Vec3> pos(K);
    std::vector<int> color(K);
    std::vector<TexCoord> tex(K);
    std::vector<bool> seen(K, false);
    for (unsigned v = 0; v < V; ++v) {
        const int w = target[v];
        if (seen[std::size_t(w)]) continue;
        seen[std::size_t(w)] = true;
        pos[std::size_t(w)] = mesh.Vertex_Pos[v];
        color[std::size_t(w)] = mesh.Vertex_Color[v];
        tex[std::size_t(w)] = mesh.Tex_Coord[v];
    }
    mesh.AllocVertices(unsigned(kept));
    mesh.Vertex_Pos = std::move(pos);
    mesh.Vertex_Color = std::move(color);
    mesh.Tex_Coord = std::move(tex);
    for (FaceIndex& face : mesh.Face_Index)
        for (int& corner : face) corner = target[std::size_t(corner)];
    return V - unsigned(kept);
}

Status Read_Mesh_File(UniOb& mesh, const std::string& path, const MeshFileOptions& options) {
    if (Is_Ply_Name(path)) return Read_PLY_File(mesh, path, options);
    if (Is_Obj_Name(path)) return Read_OBJ_File(mesh, path, options);
    if (Lower_Extension(path) == ".stl") {
        MeshFileReport local;
        MeshFileReport& report = options.report ? *options.report : local;
        report = {};
        StlReadReport stl;
        StlReadOptions stlOptions;
        stlOptions.runPipeline = false;
        stlOptions.progress = options.progress;
        stlOptions.report = &stl;
        const float saved = Coincidence_Tolerance;
        // The STL reader always merges; "no merge" is the merge of identical corners only.
        Coincidence_Tolerance = options.mergeTolerance >= 0.0f ? options.mergeTolerance : 0.0f;
        Status status = Read_STL(mesh, path, stlOptions);
        Coincidence_Tolerance = saved;
        report.format = stl.ascii ? "STL text" : "STL binary";
        report.facesDeclared = stl.facetsDeclared;
        report.facesRead = stl.facetsRead;
        report.facesDropped = stl.facetsNonFinite;
        report.damaged = stl.fault == StlFault::Damaged;
        if (options.runPipeline) Run_Load_Pipeline(mesh, options.progress);
        return status;
    }
    return Status::Error(path + ": not a mesh file this program reads (give .stl, .ply or .obj)");
}

namespace mesh_file_detail {

Status Read_Mesh_Bytes(UniOb& mesh, std::span<const unsigned char> bytes, const std::string& name,
                       const MeshFileOptions& options, MeshBodyReader read) {
    Start_Mesh(mesh);
    MeshFileReport local;
    MeshFileReport& report = options.report ? *options.report : local;
    report = {};
    return read(mesh, bytes, name, options, report, Millisecond_Clock());
}

Status Read_Mesh_Path(UniOb& mesh, const std::string& path, const MeshFileOptions& options,
                      MeshBodyReader read) {
    Start_Mesh(mesh);
    MeshFileReport local;
    MeshFileReport& report = options.report ? *options.report : local;
    report = {};
    const int start = Millisecond_Clock();
    MeshFileOptions withoutPipeline = options;
    withoutPipeline.runPipeline = false;
    withoutPipeline.report = &report;
    Status status;
    {
        // The file is released before the pipeline allocates its arrays.
        FileBytes file;
        if (Status opened = file.Open(path); !opened) return opened;
        status = read(mesh, file.Bytes(), path, withoutPipeline, report, start);
    }
    if (options.runPipeline) Run_Load_Pipeline(mesh, options.progress);
    return status;
}

void Start_Mesh(UniOb& mesh) {
    mesh.FreeFaces();
    mesh.FreeVertices();
    mesh.Load_Time = 0;
    const int r = Crt_Rand15();
    mesh.Color_RGBA[3] = float(r % 129) / 256.0f + 0.5f;
    Color_To_RGB(Random_Color(), mesh.Color_RGBA);
}

void Finish_Mesh(UniOb& mesh, std::vector<Vec3>& positions, std::vector<int>& colors,
                 std::vector<TexCoord>& texCoords, std::vector<FaceIndex>& faces,
                 const MeshFileOptions& options, MeshFileReport& report, int startMs) {
    if (!faces.empty() && !positions.empty()) {
        const unsigned V = unsigned(positions.size());
        mesh.AllocVertices(V);
        mesh.Vertex_Pos = std::move(positions);
        if (colors.size() == V) mesh.Vertex_Color = std::move(colors);
        if (texCoords.size() == V) mesh.Tex_Coord = std::move(texCoords);
        mesh.Face_Count = unsigned(faces.size());
        mesh.Face_Index = std::move(faces);
        mesh.Face_Normal.assign(mesh.Face_Count, Vec3{});
        if (options.mergeTolerance >= 0.0f)
            report.verticesMerged = Merge_Mesh_Vertices(mesh, options.mergeTolerance);
    }
    positions = {};
    colors = {};
    texCoords = {};
    faces = {};
    mesh.Load_Time = Millisecond_Clock() - startMs;
    if (options.runPipeline) Run_Load_Pipeline(mesh, options.progress);
}

std::uint64_t Remove_Bad_Vertices(const std::vector<unsigned char>& bad, std::vector<Vec3>& positions,
                                  std::vector<int>& colors, std::vector<TexCoord>& texCoords,
                                  std::vector<FaceIndex>& faces) {
    const std::size_t V = positions.size();
    auto isBad = [&bad](std::size_t v) { return v < bad.size() && bad[v]; };
    std::size_t kept = 0;
    for (const FaceIndex& f : faces) {
        bool ok = true;
        for (int c : f)
            if (c < 0 || std::size_t(c) >= V || isBad(std::size_t(c))) ok = false;
        if (ok) faces[kept++] = f;
    }
    const std::uint64_t dropped = faces.size() - kept;
    faces.resize(kept);
    if (std::none_of(bad.begin(), bad.end(), [](unsigned char b) { return b != 0; })) return dropped;
    std::vector<int> renumber(V, -1);
    std::size_t next = 0;
    for (std::size_t v = 0; v < V; ++v) {
        if (isBad(v)) continue;
        renumber[v] = int(next);
        positions[next] = positions[v];
        if (colors.size() == V) colors[next] = colors[v];
        if (texCoords.size() == V) texCoords[next] = texCoords[v];
        ++next;
    }
    positions.resize(next);
    if (colors.size() == V) colors.resize(next);
    if (texCoords.size() == V) texCoords.resize(next);
    for (FaceIndex& f : faces)
        for (int& c : f) c = renumber[std::size_t(c)];
    return dropped;
}

Status Make_Status(const std::string& name, std::vector<std::string> problems, const MeshFileReport& report) {
    if (report.verticesNonFinite)
        problems.push_back(std::to_string(report.verticesNonFinite) +
                           " vertices with NaN or infinite coordinates left out with their faces");
    if (report.facesDropped)
        problems.push_back(std::to_string(report.facesDropped) + " of " +
                           std::to_string(report.facesDropped + report.facesRead) + " faces dropped");
    if (problems.empty()) return Status::Ok();
    std::string text = name + ": ";
    for (std::size_t i = 0; i < problems.size(); ++i) text += (i ? "; " : "") + problems[i];
    return Status::Error(text);
}

}  // namespace mesh_file_detail

}  // namespace orvex
