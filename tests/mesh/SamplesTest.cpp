// The sample files a new user opens first: they must weld into the surfaces their README names,
// closed where it says closed and with one rim where it says open.

#include <gtest/gtest.h>

#include <string>

#include "mesh/LoadPipeline.h"
#include "mesh/StlReader.h"

namespace orvex {
namespace {

struct Sample {
    const char* file;
    unsigned facets;
    unsigned rimVertices;  // 0: closed
};

unsigned Boundary_Vertices(const UniOb& mesh) {
    unsigned n = 0;
    for (int label : mesh.Vertex_Label) n += label == -2 ? 1 : 0;
    return n;
}

TEST(Samples, WeldIntoTheSurfacesTheirReadmeNames) {
    const Sample samples[] = {
        {"cube.stl", 12, 0}, {"sphere.stl", 9024, 0}, {"torus.stl", 9216, 0}, {"bowl.stl", 4512, 96}};
    for (const Sample& sample : samples) {
        SCOPED_TRACE(sample.file);
        UniOb mesh;
        ASSERT_TRUE(Read_STL(mesh, std::string(ORVEX_SAMPLES_DIR) + "/" + sample.file));
        Run_Load_Pipeline(mesh);
        EXPECT_EQ(mesh.Face_Count, sample.facets);
        EXPECT_EQ(Boundary_Vertices(mesh), sample.rimVertices);
        // Euler characteristic: 2 for the sphere-like, 0 for the torus, 1 for the disc-like bowl.
        const long edges = (3L * mesh.Face_Count + sample.rimVertices) / 2;
        const long chi = long(mesh.Vertex_Count) - edges + long(mesh.Face_Count);
        EXPECT_EQ(chi, sample.file == std::string("torus.stl") ? 0 : sample.rimVertices ? 1 : 2);
    }
}

}  // namespace
}  // namespace orvex
