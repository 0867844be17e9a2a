// Allocation and release of the mesh arrays, and the mesh list helpers.

#include "mesh/UniOb.h"

namespace orvex {

UniOb::~UniOb() {
    FreeFaces();
    FreeVertices();
    FreeCurvature();
    FreeFeatures();
    next = nullptr;
    FreeTemplates();
    // Mesh_Texture belongs to the drawing layer, which deletes the GL name before the mesh goes.
    Feature_Vertices = {};
    Left_Eye = nullptr;
    Right_Eye = nullptr;
    Free_Vec_List(Region_List);
    Free_Vec_List(Profile_Marks);
}

void UniOb::AllocFaces(unsigned F) {
    FreeFaces();
    Face_Count = F;
    Face_Index.resize(F);
    Face_Normal.resize(F);
}

void UniOb::FreeFaces() {
    Face_Index = {};
    Face_Normal = {};
    Face_Count = 0;
}

void UniOb::AllocVertices(unsigned V) {
    FreeVertices();
    Vertex_Count = V;
    Vertex_Pos.resize(V);
    Vertex_Color.resize(V);
    Tex_Coord.resize(V);
    Vertex_Normal.resize(V);
    Vertex_Label.assign(V, 0);
}

// Released whatever the count says: a ring table or curvature array built for an earlier vertex
// set must never outlive it.
void UniOb::FreeVertices() {
    Vertex_Pos = {};
    Vertex_Normal = {};
    Tex_Coord = {};
    FreeCurvature();
    Vertex_Color = {};
    FreeRing();
    Boundary_Chain = {};
    Vertex_Label = {};
    Vertex_Count = 0;
}

void UniOb::AllocCurvature(unsigned V) {
    FreeCurvature();
    Curvature_Max.resize(V);
    Curvature_Min.resize(V);
}

void UniOb::FreeCurvature() {
    Curvature_Max = {};
    Curvature_Min = {};
}

void UniOb::FreeRing() {
    Vertex_Ring.Clear();
}

void UniOb::AllocFeatures(unsigned n) {
    FreeFeatures();
    Feature_Count = n;
    Feature_Records.resize(n);
}

void UniOb::FreeFeatures() {
    Feature_Records = {};
    Feature_Count = 0;
}

void UniOb::AllocTemplates(unsigned n) {
    FreeTemplates();
    Template_Count = n;
    Template_Records.resize(n);
}

void UniOb::FreeTemplates() {
    Template_Records = {};
    Template_Count = 0;
}

UniOb* Push_Front(UniOb* head, UniOb* mesh) {
    mesh->next = head;
    return mesh;
}

// Iterative, so a long list never deepens the stack.
void Free_Mesh_List(UniOb*& head) {
    while (head) {
        UniOb* rest = head->next;
        head->next = nullptr;
        delete head;
        head = rest;
    }
}

}  // namespace orvex
