// Read_STL: merging as the tree defines it, the load pipeline's results, both file flavours, and
// every kind of damaged input, read from bytes in memory.

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "geometry/Random.h"
#include "mesh/StlFormat.h"
#include "mesh/StlReader.h"
#include "mesh/StlSynth.h"

namespace orvex {
namespace {

using Bytes = std::vector<unsigned char>;

StlFacet Facet(Vec3 a, Vec3 b, Vec3 c, Vec3 normal = {}) {
    return StlFacet{normal, {a, b, c}};
}

Bytes Binary(const std::vector<StlFacet>& facets, std::uint32_t declared, const char* header = "test") {
    Bytes bytes(kStlPreambleBytes + kStlRecordBytes * facets.size(), 0);
    std::memcpy(bytes.data(), header, std::strlen(header));
    std::memcpy(bytes.data() + kStlHeaderBytes, &declared, 4);
    for (std::size_t k = 0; k < facets.size(); ++k)
        std::memcpy(bytes.data() + kStlPreambleBytes + k * kStlRecordBytes, &facets[k], sizeof(StlFacet));
    return bytes;
}
Bytes Binary(const std::vector<StlFacet>& facets) {
    return Binary(facets, std::uint32_t(facets.size()));
}

Bytes Text(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

// Restores the program-wide tolerance after each test, to what it was rather than to a number,
// so that a changed default is seen by DefaultToleranceIsFiveTenThousandths whatever runs first.
class StlRead : public ::testing::Test {
protected:
    void SetUp() override { savedTolerance = Coincidence_Tolerance; }
    void TearDown() override { Coincidence_Tolerance = savedTolerance; }
    Status Read(const Bytes& bytes, StlReadReport* report = nullptr) {
        StlReadOptions options;
        options.report = report;
        return Read_STL_Memory(mesh, bytes, "mem.stl", options);
    }
    UniOb mesh;
    float savedTolerance = 0;
};

// Two facets of the unit square in z = 0, counter-clockwise from +z.
std::vector<StlFacet> Square() {
    return {Facet({0, 0, 0}, {1, 0, 0}, {1, 1, 0}), Facet({0, 0, 0}, {1, 1, 0}, {0, 1, 0})};
}

// The closed cube of side 2 as 12 facets, outward.
std::vector<StlFacet> Cube() {
    std::vector<StlFacet> facets;
    auto corner = [](int i) {
        return Vec3{(i & 4) ? 1.0f : -1.0f, (i & 2) ? 1.0f : -1.0f, (i & 1) ? 1.0f : -1.0f};
    };
    const int quads[6][4] = {{0, 1, 3, 2}, {4, 6, 7, 5}, {0, 4, 5, 1},
                             {2, 3, 7, 6}, {0, 2, 6, 4}, {1, 5, 7, 3}};
    for (const auto& q : quads) {
        facets.push_back(Facet(corner(q[0]), corner(q[1]), corner(q[2])));
        facets.push_back(Facet(corner(q[0]), corner(q[2]), corner(q[3])));
    }
    return facets;
}

// ---- Merging ----

TEST_F(StlRead, SingleFacetGivesIndicesZeroOneTwo) {
    ASSERT_TRUE(Read(Binary({Facet({0, 0, 0}, {1, 0, 0}, {0, 1, 0})})));
    EXPECT_EQ(mesh.Vertex_Count, 3u);
    EXPECT_EQ(mesh.Face_Index[0], (FaceIndex{0, 1, 2}));
    EXPECT_EQ(mesh.Vertex_Pos[1], (Vec3{1, 0, 0}));
}

TEST_F(StlRead, TwoFacetsSharingAnEdgeGiveFourVertices) {
    ASSERT_TRUE(Read(Binary(Square())));
    EXPECT_EQ(mesh.Vertex_Count, 4u);
    EXPECT_EQ(mesh.Face_Index[0], (FaceIndex{0, 1, 2}));
    EXPECT_EQ(mesh.Face_Index[1], (FaceIndex{0, 2, 3}));
}

TEST_F(StlRead, MergesAtExactlyTheToleranceAndNotBeyond) {
    const float t = 0.0005f;
    ASSERT_TRUE(
        Read(Binary({Facet({0, 0, 0}, {1, 0, 0}, {0, 1, 0}), Facet({t, t, t}, {0, 0, 1}, {1, 0, 1})})));
    EXPECT_EQ(mesh.Vertex_Count, 5u);
    EXPECT_EQ(mesh.Face_Index[1][0], 0);

    ASSERT_TRUE(
        Read(Binary({Facet({0, 0, 0}, {1, 0, 0}, {0, 1, 0}), Facet({0, 0.0006f, 0}, {0, 0, 1}, {1, 0, 1})})));
    EXPECT_EQ(mesh.Vertex_Count, 6u);
    EXPECT_EQ(mesh.Face_Index[1][0], 3);
}

TEST_F(StlRead, DefaultToleranceIsFiveTenThousandths) {
    EXPECT_EQ(Coincidence_Tolerance, 0.0005f);
}

TEST_F(StlRead, ToleranceChangesOnlyLaterReads) {
    const Bytes bytes = Binary({Facet({0, 0, 0}, {1, 0, 0}, {0.01f, 0, 0})});
    ASSERT_TRUE(Read(bytes));
    EXPECT_EQ(mesh.Vertex_Count, 3u);
    Coincidence_Tolerance = 0.02f;
    EXPECT_EQ(mesh.Vertex_Count, 3u);
    ASSERT_TRUE(Read(bytes));
    EXPECT_EQ(mesh.Vertex_Count, 2u);
    EXPECT_EQ(mesh.Face_Index[0], (FaceIndex{0, 1, 0}));
}

TEST_F(StlRead, NegativeToleranceStillMergesIdenticalCorners) {
    Coincidence_Tolerance = -1.0f;
    ASSERT_TRUE(Read(Binary(Square())));
    EXPECT_EQ(mesh.Vertex_Count, 4u);
}

TEST_F(StlRead, CoincidentCornersGiveADegenerateFace) {
    std::vector<StlFacet> facets = Square();
    facets.push_back(Facet({5, 5, 5}, {5, 5, 5}, {5, 5, 5}, {0, 0, 1}));
    ASSERT_TRUE(Read(Binary(facets)));
    EXPECT_EQ(mesh.Face_Index[2], (FaceIndex{4, 4, 4}));
    EXPECT_EQ(mesh.Face_Normal[2], (Vec3{0, 0, 0}));
    EXPECT_FLOAT_EQ(mesh.Area, 1.0f);
}

TEST_F(StlRead, FaceNormalsComeFromTheCornersNotTheFile) {
    std::vector<StlFacet> facets = Cube();
    ASSERT_TRUE(Read(Binary(facets)));
    const std::vector<Vec3> clean = mesh.Face_Normal;
    for (StlFacet& f : facets) f.normal = {0.3f, -7.0f, std::numeric_limits<float>::quiet_NaN()};
    ASSERT_TRUE(Read(Binary(facets)));
    EXPECT_EQ(mesh.Face_Normal, clean);
    EXPECT_EQ(clean[0], (Vec3{-1, 0, 0}));
}

TEST_F(StlRead, CubeRunsTheWholePipeline) {
    ASSERT_TRUE(Read(Binary(Cube())));
    EXPECT_EQ(mesh.Face_Count, 12u);
    EXPECT_EQ(mesh.Vertex_Count, 8u);
    EXPECT_NEAR(mesh.Area, 24.0f, 1e-4f);
    EXPECT_NEAR(mesh.Volume, 8.0f, 1e-4f);
    EXPECT_EQ(mesh.Volume_Initial, mesh.Volume);
    EXPECT_EQ(mesh.Box_Min, (Vec3{-1, -1, -1}));
    EXPECT_EQ(mesh.Box_Max, (Vec3{1, 1, 1}));
    for (int label : mesh.Vertex_Label) EXPECT_EQ(label, 0);
    EXPECT_EQ(mesh.Vertex_Ring.entries.size(), 36u);
    ASSERT_EQ(mesh.Curvature_Max.size(), 8u);
    EXPECT_GE(mesh.Load_Time, 0);
}

TEST_F(StlRead, ColourIsDrawnBeforeReadingEvenWhenTheFileIsBad) {
    Random_Reset_All();
    const int r = Crt_Rand15();
    Random_Reset_All();
    EXPECT_FALSE(Read({}));
    EXPECT_FLOAT_EQ(mesh.Color_RGBA[3], float(r % 129) / 256.0f + 0.5f);
    for (int c = 0; c < 3; ++c) {
        // Random_Color keeps every channel within 64..255.
        EXPECT_GE(mesh.Color_RGBA[c], 64.0f / 255.0f);
        EXPECT_LE(mesh.Color_RGBA[c], 1.0f);
    }
}

TEST_F(StlRead, ReadsAFileFromDisk) {
    const std::string path = (std::filesystem::path(::testing::TempDir()) / "orvex_read_cube.stl").string();
    const Bytes bytes = Binary(Cube());
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    ASSERT_TRUE(Read_STL(mesh, path));
    EXPECT_EQ(mesh.Vertex_Count, 8u);
    std::filesystem::remove(path);
}

class CancelAfterFirstReport : public Progress {
public:
    void Report(double, const std::string&) override { ++reports; }
    bool IsCancelRequested() const override { return reports > 0; }
    int reports = 0;
};

TEST_F(StlRead, CancelledReadLeavesTheMeshEmpty) {
    const std::vector<unsigned char> bytes = Make_Sphere_Stl(Sphere_For_Triangles(600000));
    CancelAfterFirstReport progress;
    StlReadReport report;
    StlReadOptions options;
    options.progress = &progress;
    options.report = &report;
    const Status status = Read_STL_Memory(mesh, bytes, "big.stl", options);
    EXPECT_FALSE(status);
    EXPECT_EQ(report.fault, StlFault::Cancelled);
    EXPECT_NE(status.message.find("cancelled"), std::string::npos);
    EXPECT_GT(progress.reports, 0);
    EXPECT_TRUE(mesh.IsEmpty());
}

// ---- Text STL ----

std::string Ascii_Square(const char* name = "square") {
    return std::string("solid ") + name +
           "\n"
           "  facet normal 0 0 1\n    outer loop\n      vertex 0 0 0\n      vertex 1 0 0\n      vertex 1 1 "
           "0\n"
           "    endloop\n  endfacet\n"
           "  facet normal 0 0 1\n    outer loop\n      vertex 0 0 0\n      vertex 1.0e0 1 0\n      vertex 0 "
           "+1 -0\n"
           "    endloop\n  endfacet\n"
           "endsolid " +
           name + "\n";
}

TEST_F(StlRead, TextFileMergesLikeTheBinaryOne) {
    StlReadReport report;
    ASSERT_TRUE(Read(Text(Ascii_Square()), &report));
    EXPECT_TRUE(report.ascii);
    EXPECT_EQ(report.fault, StlFault::None);
    EXPECT_EQ(mesh.Face_Count, 2u);
    EXPECT_EQ(mesh.Vertex_Count, 4u);
    EXPECT_EQ(mesh.Face_Index[1], (FaceIndex{0, 2, 3}));
    EXPECT_FLOAT_EQ(mesh.Area, 1.0f);
}

TEST_F(StlRead, TextKeywordsInCapitalsAndSeveralSolids) {
    std::string text = Ascii_Square("a") + Ascii_Square("b");
    for (char& c : text) c = char(std::toupper(static_cast<unsigned char>(c)));
    ASSERT_TRUE(Read(Text(text)));
    EXPECT_EQ(mesh.Face_Count, 4u);
    EXPECT_EQ(mesh.Vertex_Count, 4u);
}

TEST_F(StlRead, TextWithoutEndsolidIsAccepted) {
    std::string text = Ascii_Square();
    text.resize(text.rfind("endsolid"));
    ASSERT_TRUE(Read(Text(text)));
    EXPECT_EQ(mesh.Face_Count, 2u);
}

// ---- Damaged input ----

TEST_F(StlRead, FileThatCannotBeOpenedLeavesTheMeshEmpty) {
    const Status status = Read_STL(mesh, "/nonexistent-folder/none.stl");
    EXPECT_FALSE(status);
    EXPECT_NE(status.message.find("/nonexistent-folder/none.stl"), std::string::npos);
    EXPECT_TRUE(mesh.IsEmpty());
    StlReadReport report;
    StlReadOptions options;
    options.report = &report;
    EXPECT_FALSE(Read_STL(mesh, ::testing::TempDir(), options));
    EXPECT_EQ(report.fault, StlFault::Unreadable);
    EXPECT_TRUE(mesh.IsEmpty());
}

TEST_F(StlRead, EmptyFile) {
    StlReadReport report;
    const Status status = Read({}, &report);
    EXPECT_FALSE(status);
    EXPECT_EQ(report.fault, StlFault::NoFacets);
    EXPECT_NE(status.message.find("empty"), std::string::npos);
    EXPECT_TRUE(mesh.IsEmpty());
}

TEST_F(StlRead, ShorterThanTheHeader) {
    const Status status = Read(Bytes(83, 7));
    EXPECT_FALSE(status);
    EXPECT_NE(status.message.find("83 bytes"), std::string::npos);
    EXPECT_TRUE(mesh.IsEmpty());
}

TEST_F(StlRead, FacetCountZero) {
    const Status status = Read(Binary({}, 0));
    EXPECT_FALSE(status);
    EXPECT_NE(status.message.find("0"), std::string::npos);
    EXPECT_TRUE(mesh.IsEmpty());
}

TEST_F(StlRead, CountLargerThanTheFileKeepsTheCompleteFacets) {
    Bytes bytes = Binary(Square(), 5);
    bytes.resize(bytes.size() + 30);  // a torn third record
    StlReadReport report;
    const Status status = Read(bytes, &report);
    EXPECT_FALSE(status);
    EXPECT_NE(status.message.find("truncated after 2 of 5 facets"), std::string::npos) << status.message;
    EXPECT_EQ(mesh.Face_Count, 2u);
    EXPECT_EQ(mesh.Vertex_Count, 4u);
    EXPECT_FLOAT_EQ(mesh.Area, 1.0f);
}

TEST_F(StlRead, HugeCountIsNotTrustedForAllocation) {
    const Status status = Read(Binary({Facet({0, 0, 0}, {1, 0, 0}, {0, 1, 0})}, 0xFFFFFFFFu));
    EXPECT_NE(status.message.find("truncated after 1 of 4294967295 facets"), std::string::npos)
        << status.message;
    EXPECT_EQ(mesh.Face_Count, 1u);
}

TEST_F(StlRead, NonFiniteFacetsAreLeftOutAndCounted) {
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    std::vector<StlFacet> facets = {Facet({nan, 0, 0}, {1, 0, 0}, {0, 1, 0}), Square()[0],
                                    Facet({0, 0, 0}, {inf, 1, 0}, {0, 1, 0}), Square()[1],
                                    Facet({nan, nan, nan}, {nan, nan, nan}, {-inf, nan, 0})};
    StlReadReport report;
    const Status status = Read(Binary(facets), &report);
    EXPECT_FALSE(status);
    EXPECT_NE(status.message.find("3 facets with NaN or infinite coordinates"), std::string::npos)
        << status.message;
    EXPECT_EQ(report.facetsNonFinite, 3u);
    // The good facets merge as if the bad ones had never been there.
    EXPECT_EQ(mesh.Face_Count, 2u);
    EXPECT_EQ(mesh.Vertex_Count, 4u);
    EXPECT_FLOAT_EQ(mesh.Area, 1.0f);
    EXPECT_TRUE(std::isfinite(mesh.Box_Min.x) && std::isfinite(mesh.Box_Max.x));
}

TEST_F(StlRead, OnlyNonFiniteFacetsLeaveTheMeshEmpty) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const Status status =
        Read(Binary(std::vector<StlFacet>(1000, Facet({nan, 0, 0}, {0, nan, 0}, {0, 0, nan}))));
    EXPECT_FALSE(status);
    EXPECT_TRUE(mesh.IsEmpty());
}

TEST_F(StlRead, MalformedTextNamesTheLineAndKeepsTheFacetsBefore) {
    std::string text = Ascii_Square();
    text.insert(text.find("endsolid"),
                "  facet normal 0 0 1\n    outer loop\n      vertex 0 0 0\n      vertex 1 0\n");
    const Status status = Read(Text(text));
    EXPECT_FALSE(status);
    EXPECT_NE(status.message.find("line 20"), std::string::npos) << status.message;
    EXPECT_NE(status.message.find("a number"), std::string::npos) << status.message;
    EXPECT_EQ(mesh.Face_Count, 2u);
}

TEST_F(StlRead, TextWithFourCornersIsMalformed) {
    std::string text = Ascii_Square();
    text.insert(text.find("    endloop"), "      vertex 2 2 2\n");
    const Status status = Read(Text(text));
    EXPECT_FALSE(status);
    EXPECT_NE(status.message.find("line 7: expected 'endloop', found 'vertex'"), std::string::npos)
        << status.message;
}

TEST_F(StlRead, TextWithoutFacets) {
    const Status status = Read(Text("solid nothing\nendsolid nothing\n"));
    EXPECT_FALSE(status);
    EXPECT_TRUE(mesh.IsEmpty());
}

TEST_F(StlRead, TextNumbersOutOfRangeCountAsNonFinite) {
    std::string text = Ascii_Square();
    text.replace(text.find("vertex 1 0 0"), 12, "vertex 1e60 0 0");
    StlReadReport report;
    EXPECT_FALSE(Read(Text(text), &report));
    EXPECT_EQ(report.facetsNonFinite, 1u);
    EXPECT_EQ(mesh.Face_Count, 1u);
}

TEST_F(StlRead, BinaryWithSolidHeaderAndExactSizeStaysBinary) {
    StlReadReport report;
    ASSERT_TRUE(Read(Binary(Cube(), 12, "solid cube exported by a careless tool"), &report));
    EXPECT_FALSE(report.ascii);
    EXPECT_EQ(mesh.Vertex_Count, 8u);
}

TEST_F(StlRead, TruncatedBinaryWithSolidHeaderIsNotTakenForText) {
    Bytes bytes = Binary(Cube(), 12, "solid cube");
    bytes.resize(bytes.size() - 20);
    StlReadReport report;
    const Status status = Read(bytes, &report);
    EXPECT_FALSE(report.ascii);
    EXPECT_NE(status.message.find("truncated after 11 of 12 facets"), std::string::npos) << status.message;
}

TEST_F(StlRead, RandomBytesNeverCrash) {
    std::uint64_t state = 12345;
    for (int round = 0; round < 200; ++round) {
        Bytes bytes(84 + (round * 37) % 600);
        for (auto& b : bytes) {
            state = state * 6364136223846793005ull + 1442695040888963407ull;
            b = static_cast<unsigned char>(state >> 56);
        }
        if (round % 3 == 0) std::memcpy(bytes.data(), "solid", 5);
        if (round % 5 == 0) {
            const std::uint32_t count = std::uint32_t((bytes.size() - 84) / 50);
            std::memcpy(bytes.data() + 80, &count, 4);
        }
        Read(bytes);
        for (const FaceIndex& f : mesh.Face_Index)
            for (int i : f) ASSERT_LT(unsigned(i), mesh.Vertex_Count);
    }
}

// ---- Files that are no STL ----

// Prose of some hundred bytes whose facet-count bytes (80 to 83) read "y `.": 778,051,705 facets.
std::string Prose() {
    std::string text(80, ' ');
    const std::string start = "Notes on the scanner set-up, written before the session.\n";
    text.replace(0, start.size(), start);
    text +=
        "y `. Then the turntable is levelled, the lamps are warmed and the calibration "
        "board is photographed from twelve angles; every step is noted here.\n";
    while (text.size() < 420) text += "more notes about the scan and its lighting\n";
    return text;
}

TEST_F(StlRead, TextThatIsNoStlIsRefusedAndNothingLoads) {
    const Bytes prose = Text(Prose());
    ASSERT_EQ(Stl_Read_Count(prose.data()), 778051705u);
    // A point file (digits, blanks and newlines) reads as tiny positive floats, not absurd ones.
    std::string points;
    for (int i = 0; points.size() < 600; ++i) points += std::to_string(i * 0.125) + " 4.5 -17.25\n";
    for (const Bytes& bytes : {prose, Text(points)}) {
        StlReadReport report;
        const Status status = Read(bytes, &report);
        EXPECT_FALSE(status);
        EXPECT_EQ(report.fault, StlFault::NotBinaryStl);
        EXPECT_NE(status.message.find("mem.stl: not a binary STL file (it is text, and does not begin with "
                                      "\"solid\"); nothing was loaded"),
                  std::string::npos)
            << status.message;
        EXPECT_TRUE(mesh.IsEmpty());
        EXPECT_EQ(report.facetsRead, 0u);
    }
}

Bytes Random_Bytes(std::size_t size, std::uint64_t seed) {
    Bytes bytes(size);
    for (auto& b : bytes) {
        seed = seed * 6364136223846793005ull + 1442695040888963407ull;
        b = static_cast<unsigned char>(seed >> 56);
    }
    return bytes;
}

TEST_F(StlRead, OtherBinaryFilesAreRefusedWhenTheirCountDoesNotFit) {
    // Random bytes (compressed or image data) with a zero byte early, and 16-bit samples as in a
    // CT volume, which read as denormals and tiny floats.
    Bytes noise = Random_Bytes(84 + 50 * 40 + 17, 99);
    noise[3] = 0;
    Bytes samples(84 + 50 * 300 + 6);
    std::uint64_t seed = 7;
    for (std::size_t i = 0; i + 1 < samples.size(); i += 2) {
        seed = seed * 6364136223846793005ull + 1442695040888963407ull;
        const unsigned value = (i / 700) % 3 ? unsigned(seed >> 52) : 0u;  // 0 .. 4095, air in places
        samples[i] = static_cast<unsigned char>(value);
        samples[i + 1] = static_cast<unsigned char>(value >> 8);
    }
    for (const Bytes& bytes : {noise, samples}) {
        ASSERT_NE(bytes.size(), Stl_Binary_Size(Stl_Read_Count(bytes.data())));
        StlReadReport report;
        const Status status = Read(bytes, &report);
        EXPECT_EQ(report.fault, StlFault::NotBinaryStl);
        EXPECT_NE(status.message.find(" does not fit its " + std::to_string(bytes.size()) +
                                      " bytes, and the facets hold infinite or absurd numbers); nothing was "
                                      "loaded"),
                  std::string::npos)
            << status.message;
        EXPECT_TRUE(mesh.IsEmpty());
    }
}

TEST_F(StlRead, TornFileWithAFewBadFacetsIsStillAnStl) {
    // A sphere cut short, its header text and a few NaN facets among the complete ones.
    Bytes bytes = Make_Sphere_Stl(Sphere_For_Triangles(2000));
    const std::uint32_t declared = Stl_Read_Count(bytes.data());
    std::memcpy(bytes.data(), "solid sphere made by hand, no zero byte in this header at all......", 64);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (std::size_t k = 0; k < 200; k += 10)
        std::memcpy(bytes.data() + kStlPreambleBytes + k * kStlRecordBytes + 12, &nan, 4);
    bytes.resize(Stl_Binary_Size(1000) + 23);
    StlReadReport report;
    const Status status = Read(bytes, &report);
    EXPECT_EQ(report.fault, StlFault::Damaged);
    EXPECT_NE(status.message.find("truncated after 1000 of " + std::to_string(declared) + " facets"),
              std::string::npos)
        << status.message;
    EXPECT_EQ(report.facetsNonFinite, 20u);
    EXPECT_EQ(mesh.Face_Count, 980u);
}

TEST_F(StlRead, FileOfExactlyTheDeclaredSizeIsAlwaysRead) {
    // Garbage of exactly 84 + 50 N bytes is a (bad) binary STL: its NaN facets are counted.
    Bytes bytes = Random_Bytes(Stl_Binary_Size(64), 5);
    const std::uint32_t count = 64;
    std::memcpy(bytes.data() + kStlHeaderBytes, &count, 4);
    StlReadReport report;
    Read(bytes, &report);
    EXPECT_NE(report.fault, StlFault::NotBinaryStl);
    EXPECT_EQ(report.facetsRead, 64u);
}

// ---- Text numbers ----

// The square's text with the x of its second corner replaced.
std::string Square_With_X(const std::string& x) {
    std::string text = Ascii_Square();
    text.replace(text.find("vertex 1 0 0") + 7, 1, x);
    return text;
}

TEST_F(StlRead, TextNumbersAreWhatStrtofGives) {
    const std::string tiny = "0." + std::string(59, '0') + "1";  // 1e-60 without an exponent
    for (const std::string& x :
         {std::string("1e-60"), tiny, std::string("-1e-60"), std::string("1e-40"), std::string("+2.5e-44"),
          std::string("3.4e38"), std::string("-0.000000001e-30")}) {
        std::string text = Ascii_Square();
        text.replace(text.find("vertex 1 0 0"), 12, "vertex " + x + " 7 7");  // a corner of its own
        ASSERT_TRUE(Read(Text(text))) << x;
        ASSERT_EQ(mesh.Face_Count, 2u) << x;
        const float expected = std::strtof(x.c_str(), nullptr);
        const float read = mesh.Vertex_Pos[mesh.Face_Index[0][1]].x;
        EXPECT_EQ(std::memcmp(&read, &expected, 4), 0) << x << " read as " << read;
    }
}

TEST_F(StlRead, TextNumbersBeyondTheFloatRangeLeaveTheirFacetOut) {
    const std::string huge = "1" + std::string(52, '0') + "e-2";  // 1e50 with a negative exponent
    for (const std::string& x :
         {std::string("1e+60"), std::string("-1e60"), huge, std::string("3.5e38"), std::string("1e400")}) {
        StlReadReport report;
        const Status status = Read(Text(Square_With_X(x)), &report);
        EXPECT_FALSE(status) << x;
        EXPECT_EQ(report.facetsNonFinite, 1u) << x;
        EXPECT_EQ(mesh.Face_Count, 1u) << x;
        EXPECT_NE(status.message.find("1 facets with NaN or infinite coordinates left out"),
                  std::string::npos)
            << status.message;
    }
}

TEST_F(StlRead, TextSignsAreReadAsTheCLibraryReadsThem) {
    for (const char* bad : {"+-0", "+", "++1", "-+1", "0x1p3"}) {
        const Status status = Read(Text(Square_With_X(bad)));
        EXPECT_FALSE(status) << bad;
        EXPECT_NE(status.message.find(std::string("line 5: expected a number, found '") + bad + "'"),
                  std::string::npos)
            << status.message;
        EXPECT_EQ(mesh.Face_Count, 0u) << bad;
    }
    ASSERT_TRUE(Read(Text(Square_With_X("+1"))));
    EXPECT_EQ(mesh.Vertex_Count, 4u);
}

// ---- Input ending at the end of a page ----

// Bytes placed so that the last one is the last of a page and the next page cannot be touched:
// a read one byte past the end faults in every build.
class PageEndBytes {
public:
    explicit PageEndBytes(const Bytes& bytes) {
        const std::size_t page = std::size_t(sysconf(_SC_PAGESIZE));
        const std::size_t pages = (bytes.size() + page - 1) / page;
        size_ = (pages + 1) * page;
        void* map = mmap(nullptr, size_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (map == MAP_FAILED) return;
        base_ = static_cast<unsigned char*>(map);
        mprotect(base_ + pages * page, page, PROT_NONE);
        data_ = base_ + pages * page - bytes.size();
        std::memcpy(data_, bytes.data(), bytes.size());
        span_ = {data_, bytes.size()};
    }
    ~PageEndBytes() {
        if (base_) munmap(base_, size_);
    }
    std::span<const unsigned char> Span() const { return span_; }

private:
    unsigned char* base_ = nullptr;
    unsigned char* data_ = nullptr;
    std::size_t size_ = 0;
    std::span<const unsigned char> span_;
};

TEST_F(StlRead, InputEndingOnAPageBoundaryIsReadWithinItsBytes) {
    const Bytes sphere = Make_Sphere_Stl(Sphere_For_Triangles(500));
    const std::uint32_t facets = Stl_Read_Count(sphere.data());
    Bytes torn = sphere;
    torn.resize(Stl_Binary_Size(facets / 2));
    Bytes tornMidRecord = sphere;
    tornMidRecord.resize(Stl_Binary_Size(facets / 2) + 49);
    std::string cut = Ascii_Square();
    cut.resize(cut.rfind("endloop"));
    std::string noNewline = Ascii_Square();
    noNewline.resize(noNewline.rfind("endsolid") - 1);
    std::string longNumber = Square_With_X("1" + std::string(60, '0'));
    longNumber.resize(longNumber.rfind("endsolid") - 1);
    struct Case {
        Bytes bytes;
        unsigned faces;
    };
    const std::vector<Case> cases = {{sphere, facets},
                                     {torn, facets / 2},
                                     {tornMidRecord, facets / 2},
                                     {Text(cut), 1},
                                     {Text(noNewline), 2},
                                     {Text(longNumber), 1},
                                     {Text(Prose()), 0},
                                     {Text("solid x\nfacet normal 0 0 1e"), 0}};
    for (const Case& c : cases) {
        const PageEndBytes guarded(c.bytes);
        ASSERT_EQ(guarded.Span().size(), c.bytes.size());
        Read_STL_Memory(mesh, guarded.Span(), "page.stl");
        EXPECT_EQ(mesh.Face_Count, c.faces);
    }
}

// ---- Real scans ----

class StlRealData : public StlRead {
protected:
    bool Load(const char* file) {
        const std::string path = std::string(ORVEX_SHARED_DATA_DIR) + "/" + file;
        if (!std::filesystem::exists(path)) return false;
        const Status status = Read_STL(mesh, path);
        EXPECT_TRUE(status) << status.message;
        return true;
    }
};

TEST_F(StlRealData, BunnyWeldsExactlyAtZeroTolerance) {
    Coincidence_Tolerance = 0.0f;
    if (!Load("mesh_bunny_zipper.stl")) GTEST_SKIP() << "mesh_bunny_zipper.stl not in the shared data folder";
    EXPECT_EQ(mesh.Face_Count, 69451u);
    EXPECT_EQ(mesh.Vertex_Count, 34834u);
    // Five simple holes of 223 edges in all: each rim vertex starts one unmatched edge.
    EXPECT_EQ(std::count(mesh.Vertex_Label.begin(), mesh.Vertex_Label.end(), -2), 223);
    EXPECT_NEAR(mesh.Box_Min.x, -0.0946899f, 1e-6f);
    EXPECT_NEAR(mesh.Box_Max.y, 0.187321f, 1e-6f);
}

TEST_F(StlRealData, BunnyAtTheDefaultToleranceMergesOnlyCloseCorners) {
    if (!Load("mesh_bunny_zipper.stl")) GTEST_SKIP() << "mesh_bunny_zipper.stl not in the shared data folder";
    EXPECT_EQ(mesh.Face_Count, 69451u);
    EXPECT_LE(mesh.Vertex_Count, 34834u);
    EXPECT_GT(mesh.Vertex_Count, 30000u);
}

TEST_F(StlRealData, HorseIsClosedAndWoundInwards) {
    Coincidence_Tolerance = 0.0f;
    if (!Load("mesh_horse.stl")) GTEST_SKIP() << "mesh_horse.stl not in the shared data folder";
    EXPECT_EQ(mesh.Face_Count, 96966u);
    EXPECT_EQ(mesh.Vertex_Count, 48485u);
    EXPECT_EQ(std::count(mesh.Vertex_Label.begin(), mesh.Vertex_Label.end(), -2), 0);
    EXPECT_NEAR(mesh.Volume, -2.63418e-4f, 2e-7f);
}

TEST_F(StlRealData, HorseAtTheDefaultToleranceLosesItsShortestEdges) {
    // Scanned in metres, the horse has edges shorter than half a millimetre.
    if (!Load("mesh_horse.stl")) GTEST_SKIP() << "mesh_horse.stl not in the shared data folder";
    EXPECT_EQ(mesh.Face_Count, 96966u);
    EXPECT_LT(mesh.Vertex_Count, 48485u);
    EXPECT_NEAR(mesh.Volume, -2.63418e-4f, 2e-6f);
}

TEST_F(StlRealData, BenchyKeepsItsZeroAreaFacets) {
    if (!Load("mesh_3dbenchy.stl")) GTEST_SKIP() << "mesh_3dbenchy.stl not in the shared data folder";
    EXPECT_EQ(mesh.Face_Count, 225154u);
    EXPECT_EQ(mesh.Vertex_Count, 112569u);
    EXPECT_NEAR(mesh.Volume, 15550.5f, 1.0f);
    EXPECT_NEAR(mesh.Box_Max.x, 30.0005f, 1e-3f);
}

}  // namespace
}  // namespace orvex
