#include "render/MeshPasses.h"

#include <algorithm>
#include <cstddef>
#include <vector>

#include "analysis/Spectrum.h"
#include "geometry/Color.h"
#include "render/GL.h"

namespace orvex {

namespace {
MeshSubmission gSubmission = MeshSubmission::VertexArrays;

// Faces per draw call when corners must be expanded (face normals, texture coordinates, corner
// colours): keeps the scratch memory small and each upload inside the cache.
constexpr unsigned kChunkFaces = 8192;

// Scratch memory reused from frame to frame; only its capacity survives a frame.
struct Scratch {
    std::vector<Vec3> positions;
    std::vector<Vec3> normals;
    std::vector<float> colors;
    std::vector<float> vertexColors;
    std::vector<float> texCoords;
    std::vector<GLuint> indices;
};

Scratch& Scratch_Buffers() {
    thread_local Scratch scratch;
    return scratch;
}

const GLuint* Face_Indices(const UniOb& mesh) {
    static_assert(sizeof(FaceIndex) == 3 * sizeof(GLuint));
    return reinterpret_cast<const GLuint*>(mesh.Face_Index.data());
}

GLsizei Corner_Count(const UniOb& mesh) {
    return GLsizei(3 * std::size_t(mesh.Face_Count));
}

// Immediate mode leaves the last corner's normal current; arrays leave it undefined.
void Leave_Normal(const Vec3& n) {
    glNormal3fv(n.data());
}

const Vec3& Last_Corner_Normal(const UniOb& mesh) {
    return mesh.Vertex_Normal[mesh.Face_Index.back()[2]];
}

// Runs draw(firstFace, faceCount) over the faces in chunks.
template <class Draw>
void For_Face_Chunks(const UniOb& mesh, Draw draw) {
    for (unsigned first = 0; first < mesh.Face_Count; first += kChunkFaces)
        draw(first, std::min(kChunkFaces, mesh.Face_Count - first));
}

bool Has_Vertex_Colors(const UniOb& mesh) {
    return mesh.Vertex_Color.size() >= mesh.Vertex_Count;
}

// Per-vertex spectrum colour, or -1 in the red channel when the value is outside the ramp.
void Spectrum_Vertex_Colors(const UniOb& mesh, int mode, float intensity, std::vector<float>& rgb) {
    rgb.assign(3 * std::size_t(mesh.Vertex_Count), -1.0f);
    for (unsigned v = 0; v < mesh.Vertex_Count; ++v)
        Spectrum_Vertex_Color(mesh, mode, intensity, int(v), &rgb[3 * std::size_t(v)]);
}
}  // namespace

void Set_Mesh_Submission(MeshSubmission mode) {
    gSubmission = mode;
}
MeshSubmission Mesh_Submission() {
    return gSubmission;
}

bool Mesh_Drawable(const UniOb& mesh) {
    return !mesh.IsEmpty() && mesh.Vertex_Pos.size() >= mesh.Vertex_Count &&
           mesh.Vertex_Normal.size() >= mesh.Vertex_Count && mesh.Face_Index.size() >= mesh.Face_Count &&
           mesh.Face_Normal.size() >= mesh.Face_Count;
}

void Draw_Mesh_Flat_Faces(const UniOb& mesh) {
    if (!Mesh_Drawable(mesh)) return;
    if (gSubmission == MeshSubmission::Immediate) {
        glBegin(GL_TRIANGLES);
        for (unsigned f = 0; f < mesh.Face_Count; ++f) {
            glNormal3fv(mesh.Face_Normal[f].data());
            for (int k : mesh.Face_Index[f]) glVertex3fv(mesh.Vertex_Pos[k].data());
        }
        glEnd();
        return;
    }
    // A face normal per corner: the corners have to be written out face by face.
    Scratch& s = Scratch_Buffers();
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    For_Face_Chunks(mesh, [&](unsigned first, unsigned count) {
        s.positions.resize(3 * std::size_t(count));
        s.normals.resize(3 * std::size_t(count));
        for (unsigned i = 0; i < count; ++i) {
            const FaceIndex& t = mesh.Face_Index[first + i];
            const Vec3& n = mesh.Face_Normal[first + i];
            for (int j = 0; j < 3; ++j) {
                s.positions[3 * i + j] = mesh.Vertex_Pos[t[j]];
                s.normals[3 * i + j] = n;
            }
        }
        glVertexPointer(3, GL_FLOAT, sizeof(Vec3), s.positions.data());
        glNormalPointer(GL_FLOAT, sizeof(Vec3), s.normals.data());
        glDrawArrays(GL_TRIANGLES, 0, GLsizei(3 * count));
    });
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    Leave_Normal(mesh.Face_Normal[mesh.Face_Count - 1]);
}

void Draw_Mesh_Smooth_Faces(const UniOb& mesh) {
    if (!Mesh_Drawable(mesh)) return;
    if (gSubmission == MeshSubmission::Immediate) {
        glBegin(GL_TRIANGLES);
        for (unsigned f = 0; f < mesh.Face_Count; ++f)
            for (int k : mesh.Face_Index[f]) {
                glNormal3fv(mesh.Vertex_Normal[k].data());
                glVertex3fv(mesh.Vertex_Pos[k].data());
            }
        glEnd();
        return;
    }
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glVertexPointer(3, GL_FLOAT, sizeof(Vec3), mesh.Vertex_Pos.data());
    glNormalPointer(GL_FLOAT, sizeof(Vec3), mesh.Vertex_Normal.data());
    glDrawElements(GL_TRIANGLES, Corner_Count(mesh), GL_UNSIGNED_INT, Face_Indices(mesh));
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    Leave_Normal(Last_Corner_Normal(mesh));
}

void Draw_Mesh_Plain_Faces(const UniOb& mesh) {
    if (!Mesh_Drawable(mesh)) return;
    if (gSubmission == MeshSubmission::Immediate) {
        Draw_Mesh_Flat_Faces(mesh);
        return;
    }
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, sizeof(Vec3), mesh.Vertex_Pos.data());
    glDrawElements(GL_TRIANGLES, Corner_Count(mesh), GL_UNSIGNED_INT, Face_Indices(mesh));
    glDisableClientState(GL_VERTEX_ARRAY);
    Leave_Normal(mesh.Face_Normal[mesh.Face_Count - 1]);
}

void Draw_Mesh_Texture_Faces(const UniOb& mesh) {
    if (!Mesh_Drawable(mesh)) return;
    static constexpr float kCornerTex[6] = {0, 0, 1, 0, 0, 1};
    if (gSubmission == MeshSubmission::Immediate) {
        for (unsigned f = 0; f < mesh.Face_Count; ++f) {
            glBegin(GL_TRIANGLES);
            glNormal3fv(mesh.Face_Normal[f].data());
            for (int j = 0; j < 3; ++j) {
                glTexCoord2fv(&kCornerTex[2 * j]);
                glVertex3fv(mesh.Vertex_Pos[mesh.Face_Index[f][j]].data());
            }
            glEnd();
        }
        return;
    }
    Scratch& s = Scratch_Buffers();
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    For_Face_Chunks(mesh, [&](unsigned first, unsigned count) {
        s.positions.resize(3 * std::size_t(count));
        s.normals.resize(3 * std::size_t(count));
        s.texCoords.resize(6 * std::size_t(count));
        for (unsigned i = 0; i < count; ++i) {
            const FaceIndex& t = mesh.Face_Index[first + i];
            for (int j = 0; j < 3; ++j) {
                s.positions[3 * i + j] = mesh.Vertex_Pos[t[j]];
                s.normals[3 * i + j] = mesh.Face_Normal[first + i];
            }
            std::copy(kCornerTex, kCornerTex + 6, s.texCoords.begin() + 6 * std::ptrdiff_t(i));
        }
        glVertexPointer(3, GL_FLOAT, sizeof(Vec3), s.positions.data());
        glNormalPointer(GL_FLOAT, sizeof(Vec3), s.normals.data());
        glTexCoordPointer(2, GL_FLOAT, 0, s.texCoords.data());
        glDrawArrays(GL_TRIANGLES, 0, GLsizei(3 * count));
    });
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    Leave_Normal(mesh.Face_Normal[mesh.Face_Count - 1]);
    glTexCoord2fv(&kCornerTex[4]);
}

void Draw_Mesh_Vertex_Color_Faces(const UniOb& mesh) {
    if (!Mesh_Drawable(mesh)) return;
    if (!Has_Vertex_Colors(mesh)) {
        Draw_Mesh_Smooth_Faces(mesh);
        return;
    }
    float rgb[3];
    if (gSubmission == MeshSubmission::Immediate) {
        for (unsigned f = 0; f < mesh.Face_Count; ++f) {
            glBegin(GL_TRIANGLES);
            for (int k : mesh.Face_Index[f]) {
                Color_To_RGB(mesh.Vertex_Color[k], rgb);
                glColor3fv(rgb);
                glNormal3fv(mesh.Vertex_Normal[k].data());
                glVertex3fv(mesh.Vertex_Pos[k].data());
            }
            glEnd();
        }
        return;
    }
    Scratch& s = Scratch_Buffers();
    s.colors.resize(3 * std::size_t(mesh.Vertex_Count));
    for (unsigned v = 0; v < mesh.Vertex_Count; ++v) Color_To_RGB(mesh.Vertex_Color[v], &s.colors[3 * v]);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glVertexPointer(3, GL_FLOAT, sizeof(Vec3), mesh.Vertex_Pos.data());
    glNormalPointer(GL_FLOAT, sizeof(Vec3), mesh.Vertex_Normal.data());
    glColorPointer(3, GL_FLOAT, 0, s.colors.data());
    glDrawElements(GL_TRIANGLES, Corner_Count(mesh), GL_UNSIGNED_INT, Face_Indices(mesh));
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    const int last = mesh.Face_Index.back()[2];
    glColor3fv(&s.colors[3 * std::size_t(last)]);
    Leave_Normal(mesh.Vertex_Normal[last]);
}

void DrawSpectrum(const UniOb& mesh, int mode, float intensity) {
    if (!Mesh_Drawable(mesh)) return;
    // The region colours read the labels; a mesh without them has no regions to show.
    if (mode == int(SpectrumMode::Region) && mesh.Vertex_Label.size() < mesh.Vertex_Count) return;
    if (gSubmission == MeshSubmission::Immediate) {
        std::vector<float> corner;
        Spectrum_Corner_Colors(mesh, mode, intensity, corner);
        glBegin(GL_TRIANGLES);
        const float* c = corner.data();
        for (unsigned f = 0; f < mesh.Face_Count; ++f)
            for (int k : mesh.Face_Index[f]) {
                glColor3fv(c);
                c += 3;
                glNormal3fv(mesh.Vertex_Normal[k].data());
                glVertex3fv(mesh.Vertex_Pos[k].data());
            }
        glEnd();
        return;
    }
    // Colour each vertex once, then let corners outside the ramp repeat the corner before them.
    Scratch& s = Scratch_Buffers();
    std::vector<float>& vertexRgb = s.vertexColors;
    Spectrum_Vertex_Colors(mesh, mode, intensity, vertexRgb);
    float carried[3] = {1.0f, 1.0f, 1.0f};
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    For_Face_Chunks(mesh, [&](unsigned first, unsigned count) {
        s.positions.resize(3 * std::size_t(count));
        s.normals.resize(3 * std::size_t(count));
        s.colors.resize(9 * std::size_t(count));
        for (unsigned i = 0; i < count; ++i) {
            const FaceIndex& t = mesh.Face_Index[first + i];
            for (int j = 0; j < 3; ++j) {
                const float* c = &vertexRgb[3 * std::size_t(t[j])];
                if (c[0] >= 0.0f) std::copy(c, c + 3, carried);
                std::copy(carried, carried + 3, s.colors.begin() + 3 * std::ptrdiff_t(3 * i + j));
                s.positions[3 * i + j] = mesh.Vertex_Pos[t[j]];
                s.normals[3 * i + j] = mesh.Vertex_Normal[t[j]];
            }
        }
        glVertexPointer(3, GL_FLOAT, sizeof(Vec3), s.positions.data());
        glNormalPointer(GL_FLOAT, sizeof(Vec3), s.normals.data());
        glColorPointer(3, GL_FLOAT, 0, s.colors.data());
        glDrawArrays(GL_TRIANGLES, 0, GLsizei(3 * count));
    });
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    glColor3fv(carried);
    Leave_Normal(Last_Corner_Normal(mesh));
}

void Draw_Mesh_Face_Loops(const UniOb& mesh) {
    if (!Mesh_Drawable(mesh)) return;
    if (gSubmission == MeshSubmission::Immediate) {
        for (unsigned f = 0; f < mesh.Face_Count; ++f) {
            glBegin(GL_LINE_LOOP);
            for (int k : mesh.Face_Index[f]) glVertex3fv(mesh.Vertex_Pos[k].data());
            glEnd();
        }
        return;
    }
    // A loop of three corners is the three segments a-b, b-c, c-a.
    Scratch& s = Scratch_Buffers();
    s.indices.resize(6 * std::size_t(mesh.Face_Count));
    GLuint* out = s.indices.data();
    for (const FaceIndex& t : mesh.Face_Index) {
        const GLuint a = GLuint(t[0]), b = GLuint(t[1]), c = GLuint(t[2]);
        out[0] = a, out[1] = b, out[2] = b, out[3] = c, out[4] = c, out[5] = a;
        out += 6;
    }
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, sizeof(Vec3), mesh.Vertex_Pos.data());
    glDrawElements(GL_LINES, GLsizei(s.indices.size()), GL_UNSIGNED_INT, s.indices.data());
    glDisableClientState(GL_VERTEX_ARRAY);
}

void Draw_Mesh_Points(const UniOb& mesh) {
    if (!Mesh_Drawable(mesh)) return;
    if (gSubmission == MeshSubmission::Immediate) {
        glBegin(GL_POINTS);
        for (unsigned v = 0; v < mesh.Vertex_Count; ++v) glVertex3fv(mesh.Vertex_Pos[v].data());
        glEnd();
        return;
    }
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, sizeof(Vec3), mesh.Vertex_Pos.data());
    glDrawArrays(GL_POINTS, 0, GLsizei(mesh.Vertex_Count));
    glDisableClientState(GL_VERTEX_ARRAY);
}

}  // namespace orvex
