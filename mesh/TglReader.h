#pragma once
// Read_TGL: an indexed mesh with texture coordinates and an optional embedded JPEG picture that
// colours the vertices. Layout (little-endian, offsets from the start of the file): at 100 the
// vertex block offset, 104 the vertex count V, 108 the face block offset, 112 the face count F,
// 120 the texture-coordinate block offset, 124 the image block offset (0: no picture). Blocks:
// V x 3 floats, F x 3 int32 indices, V x 2 floats (u, v), and the picture as two unused int32, a
// word count W and 4W bytes of JPEG data.
//
// Nothing in the header is trusted: every count and offset is checked in 64 bits against the file
// size before anything is allocated, and a block that does not fit refuses the file with a
// message naming the block. A NaN or infinite position refuses the file too. Faces indexing
// outside 0..V-1 are dropped and counted. A picture that cannot be decoded leaves the mesh without
// colours (Vertex_Color 0) and the status, still ok, says why; so does a side file that cannot be
// written.
//
// After reading: rings, three area-weighted smoothing passes with factor 0.01, face normals,
// weighted vertex normals, curvature and the box. Volume, Area, Load_Time and Mesh_Texture stay 0.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "geometry/Jpeg.h"
#include "geometry/RgbImage.h"
#include "geometry/Status.h"
#include "mesh/UniOb.h"

namespace orvex {

// The fixed part of the layout.
inline constexpr std::size_t kTglHeaderSize = 128;

struct TglReadReport {
    std::uint64_t Vertices = 0;
    std::uint64_t Faces_Declared = 0;
    std::uint64_t Faces_Dropped = 0;  // an index outside 0..V-1
    bool Has_Image = false;           // the image offset is not 0
    std::uint64_t Image_Offset = 0;   // where the JPEG bytes start in the file
    std::uint64_t Image_Size = 0;     // 4W
    int Image_Width = 0;              // 0 when the picture could not be decoded
    int Image_Height = 0;
    std::string Image_Problem;      // why the vertices have no colours, empty when they have
    std::string Side_File;          // "<path>.jpg" when it was written
    std::string Side_File_Problem;  // why it was not
};

struct TglReadOptions {
    TglReadReport* Report = nullptr;
    JpegLimits Limits;
    bool Write_Side_File = true;  // the path form only: "<path>.jpg" with the JPEG bytes
};

// Fills `mesh` (its old vertices and faces released) from the bytes of a TGL file; `name` stands
// for the file in messages. On a refusal the mesh is left empty and the status failed; a loaded
// mesh gives an ok status whose message, if any, tells what was dropped or left out.
Status Read_TGL(UniOb& mesh, std::span<const unsigned char> bytes, const std::string& name,
                const TglReadOptions& options = {});

// Reads the file and writes its picture beside it as "<path>.jpg" (atomically, overwriting),
// decoding from the bytes in hand, so a folder that refuses the side file costs only that file.
Status Read_TGL(UniOb& mesh, const std::string& path, const TglReadOptions& options = {});

// The colour of texture coordinate (u, v): pixel (trunc(w u), trunc((1 - v) h)), row 0 at the top,
// clamped to the edge pixel for u = 1, v = 0, anything outside [0, 1] and NaN. 0 for an empty picture.
std::uint32_t Tgl_Pixel(const RgbImage& image, float u, float v);

// The whole of a file (a folder or an unreadable file gives a message naming it). The TGL and
// 3DS path forms read through it.
Status Read_File_Bytes(const std::string& path, std::vector<unsigned char>& out);

}  // namespace orvex
