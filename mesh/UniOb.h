#pragma once
// UniOb: the indexed triangle mesh. Flat arrays per vertex and per face; the per-vertex arrays
// (positions, normals, texture coordinates, colours, labels) are allocated and released together,
// the curvature arrays separately with the same length, face indices and face normals together.
// A mesh is empty when it has no vertices or no faces; every mesh operation checks that first.
// Meshes live in singly linked lists (newest first) owned by the main window.

#include <array>
#include <cstdint>
#include <vector>

#include "geometry/Vec3.h"
#include "geometry/VecList.h"

namespace orvex {

// One-ring lists in one flat table: the entries of vertex v are entries[start[v] .. start[v + 1]),
// one per incident face (the corner following v in that face), the most recent face first.
struct VertexRing {
    std::vector<std::uint32_t> start;  // V + 1 offsets
    std::vector<int> entries;

    bool IsBuilt() const { return !start.empty(); }
    std::uint32_t Size(int v) const { return start[v + 1] - start[v]; }
    const int* Begin(int v) const { return entries.data() + start[v]; }
    const int* End(int v) const { return entries.data() + start[v + 1]; }
    void Clear() {
        start = {};
        entries = {};
    }
};

using FaceIndex = std::array<int, 3>;
using TexCoord = std::array<float, 2>;
using Record10 = std::array<float, 10>;

class UniOb {
public:
    UniOb() = default;
    ~UniOb();
    UniOb(const UniOb&) = delete;
    UniOb& operator=(const UniOb&) = delete;

    bool IsEmpty() const { return Vertex_Count == 0 || Face_Count == 0; }

    void AllocFaces(unsigned F);
    void FreeFaces();
    void AllocVertices(unsigned V);
    void FreeVertices();
    void AllocCurvature(unsigned V);
    void FreeCurvature();
    void FreeRing();
    void AllocFeatures(unsigned n);
    void FreeFeatures();
    void AllocTemplates(unsigned n);
    void FreeTemplates();
    bool HasCurvature() const { return !Curvature_Max.empty(); }

    UniOb* next = nullptr;
    float Color_RGBA[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    int Load_Time = 0;
    std::vector<int> Vertex_Label;
    unsigned Vertex_Count = 0;
    unsigned Face_Count = 0;
    unsigned Feature_Count = 0;
    unsigned Template_Count = 0;
    std::vector<Vec3> Vertex_Pos;
    std::vector<Vec3> Vertex_Normal;
    std::vector<Vec3> Face_Normal;
    std::vector<float> Curvature_Max;  // empty when not allocated
    std::vector<float> Curvature_Min;
    float Volume = 0.0f;
    float Volume_Initial = 0.0f;
    float Area = 0.0f;
    std::vector<Record10> Feature_Records;
    std::vector<Record10> Template_Records;
    float Feature_Scale = 0.0f;
    std::vector<TexCoord> Tex_Coord;
    unsigned Mesh_Texture = 0;  // GL texture name; the drawing layer creates and deletes it
    std::vector<FaceIndex> Face_Index;
    std::vector<int> Vertex_Color;
    std::vector<int> Boundary_Chain;
    VertexRing Vertex_Ring;
    std::vector<int> Feature_Vertices;
    VEC_LIST* Region_List = nullptr;
    VEC_LIST* Left_Eye = nullptr;   // non-owning, into Region_List
    VEC_LIST* Right_Eye = nullptr;  // non-owning, into Region_List
    VEC_LIST* Profile_Marks = nullptr;
    Vec3 Box_Min;
    Vec3 Box_Max;
    Vec3 Volume_Centroid;
    Vec3 Principal_Axes[3];
    float Axes_Extent[6] = {0, 0, 0, 0, 0, 0};
};

// mesh.next := head; returns mesh as the new head.
UniOb* Push_Front(UniOb* head, UniOb* mesh);
// Unlinks and destroys every mesh of the list; head becomes null.
void Free_Mesh_List(UniOb*& head);

}  // namespace orvex
