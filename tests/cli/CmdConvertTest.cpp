// orvex convert between STL, PLY and OBJ, the merge option, and orvex info on PLY and OBJ files.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "mesh/MeshWriters.h"
#include "mesh/ObjReader.h"
#include "mesh/PlyReader.h"
#include "mesh/StlReader.h"
#include "mesh/StlSynth.h"
#include "tests/cli/RunOrvex.h"
#include "tests/support/ScratchFolder.h"

namespace orvex {
namespace {

using clitest::Orvex;
using test::ScratchFolder;

TEST(CmdConvert, ChainsThroughEveryFormatAndBackExactly) {
    ScratchFolder folder("convert_chain");
    SphereShape shape;
    shape.bands = 7;
    shape.segments = 9;
    shape.radius = 2.5;
    const std::vector<unsigned char> bytes = Make_Sphere_Stl(shape);
    std::ofstream(folder.File("a.stl"), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    UniOb original;
    ASSERT_TRUE(Read_STL(original, folder.File("a.stl")));

    const std::string line = std::to_string(original.Face_Count) + " Facets. " +
                             std::to_string(original.Vertex_Count) + " Points. ";
    for (const auto& [from, to] : {std::pair{"a.stl", "b.ply"}, {"b.ply", "c.obj"}, {"c.obj", "d.stl"}}) {
        const auto run = Orvex(std::string("convert ") + folder.File(from) + " " + folder.File(to));
        EXPECT_EQ(run.exitCode, 0) << run.out;
        EXPECT_NE(run.out.find(line), std::string::npos) << run.out;
    }
    UniOb back;
    ASSERT_TRUE(Read_STL(back, folder.File("d.stl")));
    EXPECT_EQ(back.Vertex_Pos, original.Vertex_Pos);
    EXPECT_EQ(back.Face_Index, original.Face_Index);
}

TEST(CmdConvert, MergesOnlyWhenAskedAndRefusesWhatItCannot) {
    ScratchFolder folder("convert_merge");
    std::ofstream(folder.File("split.obj")) << "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 0 0\nv 1 1 0\nv 0 1.0001 0\n"
                                               "f 1 2 3\nf 4 5 6\n";
    auto run = Orvex("convert " + folder.File("split.obj") + " " + folder.File("kept.ply"));
    EXPECT_EQ(run.exitCode, 0) << run.out;
    EXPECT_NE(run.out.find("2 Facets. 6 Points. "), std::string::npos) << run.out;
    run = Orvex("convert " + folder.File("split.obj") + " " + folder.File("welded.ply") + " --merge 0.001");
    EXPECT_EQ(run.exitCode, 0) << run.out;
    EXPECT_NE(run.out.find("2 Facets. 4 Points. "), std::string::npos) << run.out;
    run = Orvex("convert " + folder.File("split.obj") + " " + folder.File("x.ply") + " --merge -1");
    EXPECT_NE(run.exitCode, 0);
    EXPECT_FALSE(std::filesystem::exists(folder.File("x.ply")));

    run = Orvex("convert " + folder.File("split.obj") + " " + folder.File("out.xyz"));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.out.find("give an output name ending in .stl, .ply or .obj"), std::string::npos) << run.out;
    std::ofstream(folder.File("points.ply")) << "ply\nformat ascii 1.0\nelement vertex 1\nproperty float x\n"
                                                "property float y\nproperty float z\nend_header\n0 0 0\n";
    run = Orvex("convert " + folder.File("points.ply") + " " + folder.File("out.stl"));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.out.find("no faces"), std::string::npos) << run.out;
    EXPECT_FALSE(std::filesystem::exists(folder.File("out.stl")));
}

TEST(CmdInfo, ReadsPlyAndObjWithWhatTheyCarry) {
    ScratchFolder folder("info_formats");
    std::ofstream(folder.File("tri.ply"))
        << "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\nproperty float z\n"
           "property uchar red\nproperty uchar green\nproperty uchar blue\nelement face 2\n"
           "property list uchar int vertex_indices\nend_header\n0 0 0 255 0 0\n1 0 0 0 255 0\n0 1 0 0 0 255\n"
           "3 0 1 2\n3 0 1 7\n";
    auto run = Orvex("info " + folder.File("tri.ply"));
    EXPECT_EQ(run.exitCode, 1) << "a dropped face is reported";
    EXPECT_NE(run.out.find("1 Facets. 3 Points. 0.5 Area. 0 Vol. "), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Format: PLY ascii, 1 faces read, 1 dropped"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Colours: yes"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("1 of 2 faces dropped"), std::string::npos) << run.out;

    std::ofstream(folder.File("tri.obj"))
        << "mtllib gone.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nf 1/1 2/1 3/1\n";
    run = Orvex("info " + folder.File("tri.obj"));
    EXPECT_EQ(run.exitCode, 0) << run.out;
    EXPECT_NE(run.out.find("Format: OBJ, 1 faces read, 0 dropped"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Texture coordinates: yes"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("note: material file 'gone.mtl' not found"), std::string::npos) << run.out;
}

}  // namespace
}  // namespace orvex
