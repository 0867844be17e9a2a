// Read_TGL: the layout, the picture colours and the side file, and damaged or hostile files, read
// from bytes written by the synthetic face's writer.

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "analysis/CandidateRegions.h"
#include "geometry/Jpeg.h"
#include "mesh/FaceSynth.h"
#include "mesh/TglReader.h"
#include "tests/support/ScratchFolder.h"

namespace orvex {
namespace {

using Bytes = std::vector<unsigned char>;

void Put32(Bytes& bytes, std::size_t at, std::uint32_t value) {
    std::memcpy(bytes.data() + at, &value, 4);
}
std::uint32_t Get32(const Bytes& bytes, std::size_t at) {
    std::uint32_t value;
    std::memcpy(&value, bytes.data() + at, 4);
    return value;
}

// A picture of four solid quadrants, each far from the others, so the JPEG keeps them apart.
RgbImage Quadrants(int w, int h) {
    RgbImage image{w, h, {}};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.Pixels.push_back(x < w / 2 ? (y < h / 2 ? Pixel_Rgb(255, 0, 0) : Pixel_Rgb(0, 0, 255))
                                             : (y < h / 2 ? Pixel_Rgb(0, 255, 0) : Pixel_Rgb(255, 255, 255)));
    return image;
}

Bytes Jpeg_Of(const RgbImage& image) {
    Bytes jpeg;
    EXPECT_TRUE(Encode_Jpeg(image, 95, jpeg).ok);
    return jpeg;
}

FaceSynthParams Small_Face() {
    FaceSynthParams params;
    params.Grid = 13;
    params.Spacing = 10.0f;
    return params;
}

// A square of two triangles with chosen texture coordinates.
void Square(UniOb& mesh, const std::vector<TexCoord>& tex) {
    mesh.AllocVertices(4);
    mesh.AllocFaces(2);
    mesh.Vertex_Pos = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    mesh.Face_Index = {FaceIndex{0, 1, 2}, FaceIndex{0, 2, 3}};
    mesh.Tex_Coord = tex;
}

TglReadOptions With(TglReadReport* report) {
    TglReadOptions options;
    options.Report = report;
    return options;
}

bool Mesh_Sound(const UniOb& mesh) {
    if (mesh.Face_Index.size() != mesh.Face_Count || mesh.Vertex_Pos.size() != mesh.Vertex_Count)
        return false;
    if ((mesh.Face_Count == 0) != (mesh.Vertex_Count == 0)) return false;
    for (const FaceIndex& face : mesh.Face_Index)
        for (int index : face)
            if (index < 0 || unsigned(index) >= mesh.Vertex_Count) return false;
    for (const Vec3& p : mesh.Vertex_Pos)
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) return false;
    return true;
}

TEST(TglPixel, EdgesClampAndTheTopRowIsVOne) {
    RgbImage image{4, 3, {}};
    for (int k = 0; k < 12; ++k) image.Pixels.push_back(std::uint32_t(k + 1));
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(Tgl_Pixel(image, 0.0f, 1.0f), image.At(0, 0));
    EXPECT_EQ(Tgl_Pixel(image, 1.0f, 1.0f), image.At(3, 0));
    EXPECT_EQ(Tgl_Pixel(image, 0.0f, 0.0f), image.At(0, 2));
    EXPECT_EQ(Tgl_Pixel(image, 1.0f, 0.0f), image.At(3, 2));
    EXPECT_EQ(Tgl_Pixel(image, 0.5f, 0.5f), image.At(2, 1));
    EXPECT_EQ(Tgl_Pixel(image, -3.0f, 7.0f), image.At(0, 0));
    EXPECT_EQ(Tgl_Pixel(image, 1e30f, -1e30f), image.At(3, 2));
    EXPECT_EQ(Tgl_Pixel(image, nan, nan), image.At(0, 0));
    EXPECT_EQ(Tgl_Pixel(image, std::numeric_limits<float>::infinity(), 0.5f), image.At(3, 1));
    EXPECT_EQ(Tgl_Pixel(RgbImage{}, 0.5f, 0.5f), 0u);
}

TEST(TglRead, FaceKeepsItsLayoutAndTakesItsColoursFromThePicture) {
    UniOb face;
    const FaceSynthParams params = Small_Face();
    Make_Face(face, params);
    const Bytes jpeg = Jpeg_Of(Face_Image(params, 64, 48));
    UniOb mesh;
    TglReadReport report;
    const Status status = Read_TGL(mesh, Tgl_Bytes(face, jpeg), "face.tgl", With(&report));
    ASSERT_TRUE(status.ok) << status.message;
    EXPECT_EQ(status.message, "");
    ASSERT_EQ(mesh.Vertex_Count, face.Vertex_Count);
    ASSERT_EQ(mesh.Face_Count, face.Face_Count);
    EXPECT_EQ(mesh.Face_Index, face.Face_Index);
    EXPECT_EQ(mesh.Tex_Coord, face.Tex_Coord);
    EXPECT_EQ(report.Image_Width, 64);
    EXPECT_EQ(report.Image_Height, 48);
    EXPECT_EQ(report.Faces_Dropped, 0u);

    JpegDecoded decoded;
    ASSERT_TRUE(Decode_Jpeg(jpeg.data(), jpeg.size(), decoded).ok);
    unsigned moved = 0;
    for (unsigned v = 0; v < mesh.Vertex_Count; ++v) {
        EXPECT_EQ(std::uint32_t(mesh.Vertex_Color[v]),
                  Tgl_Pixel(decoded.Image, face.Tex_Coord[v][0], face.Tex_Coord[v][1]));
        const Vec3 &a = mesh.Vertex_Pos[v], &b = face.Vertex_Pos[v];
        const bool same = a.x == b.x && a.y == b.y && a.z == b.z;
        // Three smoothing passes move the inner vertices; the rim and its neighbours stay.
        if (mesh.Vertex_Label[v] < 0) {
            EXPECT_TRUE(same) << v;
        }
        moved += !same;
    }
    EXPECT_GT(moved, mesh.Vertex_Count / 3);
    EXPECT_EQ(mesh.Volume, 0.0f);
    EXPECT_EQ(mesh.Area, 0.0f);
    EXPECT_EQ(mesh.Load_Time, 0);
    EXPECT_EQ(mesh.Mesh_Texture, 0u);
    EXPECT_GE(mesh.Color_RGBA[3], 0.5f);
    EXPECT_LT(mesh.Color_RGBA[3], 1.0f);
    EXPECT_LT(mesh.Box_Min.x, -50.0f);
    EXPECT_GT(mesh.Box_Max.x, 50.0f);
    ASSERT_EQ(mesh.Vertex_Normal.size(), mesh.Vertex_Count);
    EXPECT_GT(mesh.Vertex_Normal[mesh.Vertex_Count / 2].z, 0.9f);
    ASSERT_TRUE(mesh.HasCurvature());
}

TEST(TglRead, PitsOfTheSyntheticFaceCurveAsTheirSpheres) {
    FaceSynthParams params;
    params.Grid = 141;
    params.Spacing = 1.0f;
    UniOb face;
    Make_Face(face, params);
    UniOb mesh;
    ASSERT_TRUE(Read_TGL(mesh, Tgl_Bytes(face), "face.tgl").ok);
    // The vertex at the left pit's bottom: column 70 + 32, row 70.
    const unsigned bottom = 70 * 141 + 102;
    EXPECT_NEAR(mesh.Curvature_Max[bottom], -1.0f / (2 * params.Pit_Radius), 0.003f);
    EXPECT_NEAR(mesh.Curvature_Min[bottom], -1.0f / (2 * params.Pit_Radius), 0.008f);
    // Far from the pits and the nose the surface is gently convex.
    const unsigned cheek = 130 * 141 + 70;
    EXPECT_GT(mesh.Curvature_Max[cheek], 0.0f);
    EXPECT_LT(mesh.Curvature_Max[cheek], 0.003f);
}

TEST(TglRead, TopLeftBottomRightAndWithoutAPicture) {
    UniOb square;
    Square(square, {{0, 1}, {1, 0}, {1, 1}, {0, 0}});
    const Bytes jpeg = Jpeg_Of(Quadrants(16, 16));
    UniOb mesh;
    ASSERT_TRUE(Read_TGL(mesh, Tgl_Bytes(square, jpeg), "sq.tgl").ok);
    const auto near = [](int colour, std::uint32_t want) {
        for (int k = 0; k < 3; ++k)
            if (std::abs(int(colour >> 8 * k & 0xFF) - int(want >> 8 * k & 0xFF)) > 24) return false;
        return true;
    };
    EXPECT_TRUE(near(mesh.Vertex_Color[0], Pixel_Rgb(255, 0, 0)));      // (0, 1): top left
    EXPECT_TRUE(near(mesh.Vertex_Color[1], Pixel_Rgb(255, 255, 255)));  // (1, 0): bottom right
    EXPECT_TRUE(near(mesh.Vertex_Color[2], Pixel_Rgb(0, 255, 0)));      // (1, 1): top right
    EXPECT_TRUE(near(mesh.Vertex_Color[3], Pixel_Rgb(0, 0, 255)));      // (0, 0): bottom left

    TglReadReport report;
    ASSERT_TRUE(Read_TGL(mesh, Tgl_Bytes(square), "sq.tgl", With(&report)).ok);
    EXPECT_FALSE(report.Has_Image);
    for (int colour : mesh.Vertex_Color) EXPECT_EQ(colour, 0);
}

TEST(TglRead, SideFileHoldsTheEmbeddedBytesAndOnlyWhenThereIsAPicture) {
    test::ScratchFolder folder;
    UniOb square;
    Square(square, {{0, 0}, {1, 0}, {1, 1}, {0, 1}});
    Bytes jpeg = Jpeg_Of(Quadrants(8, 8));
    while (jpeg.size() % 4 != 1) jpeg.push_back(0);  // so the writer pads three bytes
    const Bytes file = Tgl_Bytes(square, jpeg);
    const std::string path = folder.File("head.tgl");
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
    {
        std::ofstream old(path + ".jpg");
        old << "an older picture, longer than nothing at all and then some more";
    }
    UniOb mesh;
    TglReadReport report;
    Status status = Read_TGL(mesh, path, With(&report));
    ASSERT_TRUE(status.ok) << status.message;
    EXPECT_EQ(report.Side_File, path + ".jpg");
    std::ifstream in(path + ".jpg", std::ios::binary);
    const Bytes side((std::istreambuf_iterator<char>(in)), {});
    const Bytes embedded(file.begin() + std::ptrdiff_t(Get32(file, 124)) + 12, file.end());
    EXPECT_EQ(side, embedded);
    EXPECT_EQ(side.size() % 4, 0u);

    const Bytes plain = Tgl_Bytes(square);
    const std::string bare = folder.File("bare.tgl");
    std::ofstream(bare, std::ios::binary)
        .write(reinterpret_cast<const char*>(plain.data()), std::streamsize(plain.size()));
    ASSERT_TRUE(Read_TGL(mesh, bare).ok);
    EXPECT_FALSE(std::filesystem::exists(bare + ".jpg"));
}

TEST(TglRead, SideFileThatCannotBeWrittenCostsOnlyTheSideFile) {
    test::ScratchFolder folder;
    UniOb square;
    Square(square, {{0, 1}, {1, 0}, {1, 1}, {0, 0}});
    const Bytes file = Tgl_Bytes(square, Jpeg_Of(Quadrants(8, 8)));
    const std::string path = folder.File("head.tgl");
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
    std::filesystem::create_directory(path + ".jpg");  // a folder stands where the picture would go
    UniOb mesh;
    TglReadReport report;
    const Status status = Read_TGL(mesh, path, With(&report));
    ASSERT_TRUE(status.ok);
    EXPECT_EQ(mesh.Face_Count, 2u);
    EXPECT_EQ(report.Image_Width, 8);
    EXPECT_NE(mesh.Vertex_Color[0], 0);
    EXPECT_FALSE(report.Side_File_Problem.empty());
    EXPECT_NE(status.message.find("head.tgl.jpg"), std::string::npos) << status.message;
}

TEST(TglRead, BadPictureLoadsTheMeshWithoutColoursAndSaysWhy) {
    UniOb square;
    Square(square, {{0, 1}, {1, 0}, {1, 1}, {0, 0}});
    UniOb mesh;
    TglReadReport report;
    Status status = Read_TGL(mesh, Tgl_Bytes(square, Bytes(64, 0x5A)), "bad.tgl", With(&report));
    ASSERT_TRUE(status.ok);
    EXPECT_EQ(mesh.Face_Count, 2u);
    EXPECT_FALSE(report.Image_Problem.empty());
    EXPECT_NE(status.message.find("bad.tgl.jpg"), std::string::npos) << status.message;
    for (int colour : mesh.Vertex_Color) EXPECT_EQ(colour, 0);

    // A picture above the pixel limit is refused before anything is decoded.
    TglReadOptions small;
    small.Report = &report;
    small.Limits.Max_Pixels = 100;
    status = Read_TGL(mesh, Tgl_Bytes(square, Jpeg_Of(Quadrants(16, 16))), "big.tgl", small);
    ASSERT_TRUE(status.ok);
    EXPECT_EQ(report.Image_Width, 0);
    EXPECT_FALSE(report.Image_Problem.empty());

    // An image block of no words holds no picture either.
    Bytes empty = Tgl_Bytes(square, Bytes(4, 0));
    Put32(empty, Get32(empty, 124) + 8, 0);
    empty.resize(empty.size() - 4);
    status = Read_TGL(mesh, empty, "empty.tgl", With(&report));
    EXPECT_TRUE(status.ok);
    EXPECT_FALSE(report.Image_Problem.empty());
}

TEST(TglRead, FacesOutsideTheVerticesAreDroppedAndCounted) {
    UniOb square;
    Square(square, {{0, 0}, {1, 0}, {1, 1}, {0, 1}});
    square.AllocFaces(5);
    square.Face_Index = {FaceIndex{0, 1, 2}, FaceIndex{0, 2, 4}, FaceIndex{-1, 1, 2}, FaceIndex{0, 2, 3},
                         FaceIndex{INT_MAX, INT_MIN, 0}};
    UniOb mesh;
    TglReadReport report;
    const Status status = Read_TGL(mesh, Tgl_Bytes(square), "drop.tgl", With(&report));
    ASSERT_TRUE(status.ok);
    EXPECT_EQ(report.Faces_Dropped, 3u);
    EXPECT_EQ(mesh.Face_Count, 2u);
    EXPECT_EQ(mesh.Face_Index[1], (FaceIndex{0, 2, 3}));
    EXPECT_NE(status.message.find("3 of 5 faces"), std::string::npos) << status.message;

    square.Face_Index = {FaceIndex{4, 4, 4}, FaceIndex{9, 1, 2}, FaceIndex{0, 1, 5}, FaceIndex{7, 7, 7},
                         FaceIndex{-2, 0, 1}};
    EXPECT_FALSE(Read_TGL(mesh, Tgl_Bytes(square), "none.tgl").ok);
    EXPECT_TRUE(mesh.IsEmpty());
}

// Each header field that does not fit the file refuses it, naming the block, with nothing loaded.
TEST(TglRead, HeaderThatDoesNotFitRefusesTheFileNamingTheBlock) {
    UniOb square;
    Square(square, {{0, 0}, {1, 0}, {1, 1}, {0, 1}});
    const Bytes good = Tgl_Bytes(square, Jpeg_Of(Quadrants(8, 8)));
    const std::uint32_t size = std::uint32_t(good.size());
    struct Fault {
        std::size_t at;
        std::uint32_t value;
        const char* names;
    };
    const Fault faults[] = {
        {100, size, "vertex block"},
        {100, 0xFFFFFFF0u, "vertex block"},
        {104, 0x7FFFFFFFu, "vertex block"},
        {104, 0x80000000u, "vertex block"},
        {108, size - 8, "face block"},
        {112, 0x15555556u, "face block"},
        {112, 0xFFFFFFFFu, "face block"},
        {120, size - 16, "texture-coordinate block"},
        {124, size - 4, "image block"},
        {124, 0x80000000u, "image block"},
        {Get32(good, 124) + 8, 0x40000001u, "image block"},
        {Get32(good, 124) + 8, 0xFFFFFFFFu, "image block"},
    };
    for (const Fault& fault : faults) {
        Bytes bytes = good;
        Put32(bytes, fault.at, fault.value);
        UniOb mesh;
        Square(mesh, {{0, 0}, {0, 0}, {0, 0}, {0, 0}});
        const Status status = Read_TGL(mesh, bytes, "hostile.tgl", {});
        EXPECT_FALSE(status.ok) << fault.at;
        EXPECT_TRUE(mesh.IsEmpty());
        EXPECT_NE(status.message.find("hostile.tgl"), std::string::npos);
        EXPECT_NE(status.message.find(fault.names), std::string::npos) << status.message;
    }
    UniOb mesh;
    EXPECT_FALSE(Read_TGL(mesh, Bytes(good.begin(), good.begin() + 127), "short.tgl").ok);
    EXPECT_FALSE(Read_TGL(mesh, Bytes{}, "nothing.tgl").ok);
    Bytes noFaces = good;
    Put32(noFaces, 112, 0);
    EXPECT_FALSE(Read_TGL(mesh, noFaces, "nofaces.tgl").ok);
}

TEST(TglRead, NonFiniteCoordinateRefusesTheFile) {
    UniOb square;
    Square(square, {{0, 0}, {1, 0}, {1, 1}, {0, 1}});
    for (const float bad :
         {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()}) {
        square.Vertex_Pos[2].y = bad;
        UniOb mesh;
        const Status status = Read_TGL(mesh, Tgl_Bytes(square), "nan.tgl");
        EXPECT_FALSE(status.ok);
        EXPECT_TRUE(mesh.IsEmpty());
        EXPECT_NE(status.message.find("vertex 2"), std::string::npos) << status.message;
    }
    // Texture coordinates may be anything: the lookup clamps them.
    square.Vertex_Pos[2].y = 1.0f;
    square.Tex_Coord[1] = {std::numeric_limits<float>::quiet_NaN(), -std::numeric_limits<float>::infinity()};
    UniOb mesh;
    EXPECT_TRUE(Read_TGL(mesh, Tgl_Bytes(square, Jpeg_Of(Quadrants(8, 8))), "tex.tgl").ok);
}

// Every truncation and thousands of byte changes of a valid file: no crash, no read outside the
// bytes (the sanitizer build runs the same), a sound mesh or a refusal with an empty mesh.
TEST(TglRead, TruncationsAndByteFlipsGiveASoundMeshOrARefusal) {
    FaceSynthParams params;
    params.Grid = 5;
    params.Spacing = 30.0f;
    UniOb face;
    Make_Face(face, params);
    const Bytes good = Tgl_Bytes(face, Jpeg_Of(Face_Image(params, 16, 16)));
    UniOb mesh;
    for (std::size_t n = 0; n < good.size(); ++n) {
        const Status status =
            Read_TGL(mesh, Bytes(good.begin(), good.begin() + std::ptrdiff_t(n)), "cut.tgl");
        ASSERT_TRUE(Mesh_Sound(mesh)) << n;
        ASSERT_EQ(status.ok, !mesh.IsEmpty()) << n;
    }
    std::mt19937 random(15);
    for (int round = 0; round < 4000; ++round) {
        Bytes bytes = good;
        const int changes = 1 + int(random() % 4);
        for (int c = 0; c < changes; ++c) {
            // Half the changes hit the header and the face block, where they matter most.
            const std::size_t at =
                random() % 2 ? random() % (kTglHeaderSize + 12 * face.Vertex_Count + 12 * face.Face_Count)
                             : random() % bytes.size();
            bytes[at] = static_cast<unsigned char>(random());
        }
        const Status status = Read_TGL(mesh, bytes, "flip.tgl");
        ASSERT_TRUE(Mesh_Sound(mesh)) << round;
        ASSERT_EQ(status.ok, !mesh.IsEmpty()) << round;
    }
}

// The sample faces a user opens first: their pictures, and two candidate regions at the eye pits,
// 64 apart, whichever the pose.
TEST(TglRead, SampleFacesShowTheirPictureAndTwoEyePits) {
    for (const char* name : {"face1.tgl", "face2.tgl"}) {
        SCOPED_TRACE(name);
        const std::string path = std::string(ORVEX_SAMPLES_DIR) + "/" + name;
        std::vector<unsigned char> bytes;
        ASSERT_TRUE(Read_File_Bytes(path, bytes).ok);
        UniOb mesh;
        TglReadReport report;
        ASSERT_TRUE(Read_TGL(mesh, bytes, name, With(&report)).ok);
        EXPECT_EQ(mesh.Vertex_Count, 111u * 111u);
        EXPECT_EQ(report.Image_Width, 256);
        EXPECT_EQ(report.Image_Height, 256);
        FindCandidateRegions(mesh);
        std::vector<Vec3> centres;
        for (const VEC_LIST* r = mesh.Region_List; r; r = r->next)
            centres.push_back({r->values[0], r->values[1], r->values[2]});
        ASSERT_EQ(centres.size(), 2u);
        const Vec3 d = centres[0] - centres[1];
        EXPECT_NEAR(std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z), 64.0f, 6.0f);
    }
}

}  // namespace
}  // namespace orvex
