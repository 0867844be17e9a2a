#pragma once
// A synthetic face for tests, samples and benchmarks: a gently convex grid surface (a cap of a
// large sphere, facing +z) with two spherical pits (the eyes; Curvature_Max about -1/(2R) inside)
// Eye_Distance apart on the x axis, left eye at +x, and a nose bump below them (-y). Texture
// coordinates follow an affine map (a rotation and a scale) that puts the pit centres at the
// default eye coordinates of the window's eye fields, so the face pipeline finds the eyes as a
// user's face scan would.
//
// The face is described in its own frame (eye midpoint at the origin); Pose then turns it
// (rotations about x, y, z in that order, radians) and moves it. Shift_X/Shift_Y move the sampling
// grid over the surface (a resampling of the same face), not the face.
//
// The byte writers follow the file layouts the readers take (TglReader.h, Reader3ds.h).

#include <cstdint>
#include <string>
#include <vector>

#include "geometry/RgbImage.h"
#include "geometry/Status.h"
#include "geometry/Vec3.h"
#include "mesh/UniOb.h"

namespace orvex {

// The default eye texture coordinates of the eye fields.
inline constexpr float kFaceLeftEyeU = 0.47f, kFaceLeftEyeV = 0.73f;
inline constexpr float kFaceRightEyeU = 0.43f, kFaceRightEyeV = 0.46f;

struct FacePose {
    float Rotate[3] = {0, 0, 0};     // radians about x, then y, then z
    float Translate[3] = {0, 0, 0};  // after the rotation
};

struct FaceSynthParams {
    int Grid = 161;        // vertices per side
    float Spacing = 1.0f;  // between grid lines
    float Shift_X = 0.0f;  // the grid's offset over the surface
    float Shift_Y = 0.0f;
    float Eye_Distance = 64.0f;  // between the pit centres
    float Pit_Radius = 25.0f;    // of the spherical pits
    float Pit_Depth = 8.0f;      // how far a pit's bottom lies below the surface
    float Face_Radius = 400.0f;  // of the convex surface
    float Nose_Depth = 20.0f;    // height of the nose above the surface
    float Nose_Y = -48.0f;       // the nose tip's y below the eye midpoint
    float Nose_Width = 14.0f;    // Gaussian widths of the nose bump across and along
    float Nose_Length = 30.0f;
    FacePose Pose;
};

// Height z of the unposed face at (x, y) of its own frame.
float Face_Height(const FaceSynthParams& params, float x, float y);
// The texture coordinate of (x, y) of the face's own frame.
TexCoord Face_Tex_Coord(const FaceSynthParams& params, float x, float y);
// A point of the face's own frame in the posed face.
Vec3 Face_Pose_Point(const FacePose& pose, Vec3 p);
// The pit centres (the spheres' centres) in the posed face: left, right.
void Face_Eye_Centres(const FaceSynthParams& params, Vec3& left, Vec3& right);

// Fills `mesh` with positions, faces (two per grid cell, counter-clockwise seen from +z before the
// pose) and texture coordinates; Vertex_Color 0. Runs nothing else: Run_Load_Pipeline or a reader
// derives the rest.
void Make_Face(UniOb& mesh, const FaceSynthParams& params);

// A picture for the face: a skin tone with dark disks at the eyes' texture coordinates and a
// reddish nose, so colours from it are easy to recognise. Width x height pixels.
RgbImage Face_Image(const FaceSynthParams& params, int width, int height);

// The bytes of a TGL file holding the mesh's positions, faces and texture coordinates, with
// `jpeg` as its picture when not empty (padded with zeros to a multiple of four).
std::vector<unsigned char> Tgl_Bytes(const UniOb& mesh, const std::vector<unsigned char>& jpeg = {});

struct TdsWriteOptions {
    bool Tex_Coords = false;     // a 0x4140 chunk after the vertex list
    bool Foreign_Chunk = false;  // an unknown chunk between the vertex and the face list
    std::string Name = "face";   // object name (one per object, a number appended from the second)
};
// The bytes of a 3DS file with one object per mesh, in order (at most 65535 vertices and faces
// each; larger meshes are cut to that many).
std::vector<unsigned char> Tds_Bytes(const std::vector<const UniOb*>& meshes,
                                     const TdsWriteOptions& options = {});

// Writes a synthetic face as a TGL file with its picture (JPEG of image_size x image_size pixels
// at quality 90) embedded, and with side_file also as "<path>.jpg" as the reader leaves it;
// image_size 0 writes no picture. Atomic.
Status Write_Face_Tgl(const std::string& path, const FaceSynthParams& params, int image_size = 256,
                      bool side_file = false);

}  // namespace orvex
