// Facets, LOP files and facet objects.

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "facet/TriFacet.h"
#include "facet/TriOb.h"
#include "tests/support/ScratchFolder.h"
#include "tests/support/TestMeshes.h"

namespace orvex {
namespace {

void Write_Text(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string Read_Text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<float> First_Values(const TRI_FACET& facet) {
    std::vector<float> xs;
    for (const VEC_LIST* r = facet.Segments; r; r = r->next) xs.push_back(r->values[0]);
    return xs;
}

const char kFourLines[] =
    "1,0,0,0,0,1\n"
    "2,0,0,0,0,1\n"
    "3,0.5,-1,0,1,0\n"
    "4,0,0,1,0,0\n";

TEST(Lop, FourLinesReadReversedAndWrittenBackReversed) {
    test::ScratchFolder folder;
    Write_Text(folder.File("four.lop"), kFourLines);
    TRI_FACET facet;
    LopReadReport report;
    ASSERT_TRUE(ReadLOP(facet, folder.File("four.lop"), &report));
    EXPECT_EQ(report.records, 4u);
    EXPECT_EQ(First_Values(facet), (std::vector<float>{4, 3, 2, 1}));
    EXPECT_FLOAT_EQ(facet.Segments->next->values[2], -1.0f);

    ASSERT_TRUE(WriteLOP(facet, folder.File("back")));
    EXPECT_EQ(Read_Text(folder.File("back.lop")),
              "4.000000,0.000000,0.000000,1.000000,0.000000,0.000000\n"
              "3.000000,0.500000,-1.000000,0.000000,1.000000,0.000000\n"
              "2.000000,0.000000,0.000000,0.000000,0.000000,1.000000\n"
              "1.000000,0.000000,0.000000,0.000000,0.000000,1.000000\n");

    // A second read replaces the records.
    ASSERT_TRUE(ReadLOP(facet, folder.File("back.lop")));
    EXPECT_EQ(First_Values(facet), (std::vector<float>{1, 2, 3, 4}));
}

TEST(Lop, CrlfBlankLinesAndNoFinalLineFeedAreFine) {
    test::ScratchFolder folder;
    Write_Text(folder.File("dos.lop"),
               "1, 0, 0, 0, 0, 1\r\n\r\n2,0,0,0,0,1\r\n  \n3,0,0,0,0,1\r\n4,0,0,0,0,1");
    TRI_FACET facet;
    LopReadReport report;
    const Status status = ReadLOP(facet, folder.File("dos.lop"), &report);
    EXPECT_TRUE(status) << status.message;
    EXPECT_EQ(First_Values(facet), (std::vector<float>{4, 3, 2, 1}));
}

TEST(Lop, BadThirdLineKeepsTwoRecordsAndNamesFileAndLine) {
    test::ScratchFolder folder;
    const std::string path = folder.File("bad.lop");
    using namespace std::string_literals;
    for (const std::string& bad :
         {"3,0,0,0,0\n"s, "3,0,0,0,0,1,7\n"s, "3;0;0;0;0;1\n"s, "3,0,0,x,0,1\n"s, "3,0,0,nan,0,1\n"s,
          "3,0,0,1e39,0,1\n"s, "3,0,0,0,0,1 junk\n"s, "3,0,0,0\0,0,1\n"s}) {
        Write_Text(path, "1,0,0,0,0,1\n2,0,0,0,0,1\n" + bad + "4,0,0,0,0,1\n5,0,0,0,0,1\n");
        TRI_FACET facet;
        LopReadReport report;
        const Status status = ReadLOP(facet, path, &report);
        EXPECT_FALSE(status) << bad;
        EXPECT_NE(status.message.find(path), std::string::npos) << status.message;
        EXPECT_NE(status.message.find("line 3"), std::string::npos) << status.message;
        EXPECT_EQ(report.badLine, 3u);
        EXPECT_EQ(First_Values(facet), (std::vector<float>{2, 1})) << bad;
    }
}

TEST(Lop, OddCountDropsTheLastRecordAndSaysSo) {
    test::ScratchFolder folder;
    Write_Text(folder.File("odd.lop"), "1,0,0,0,0,1\n2,0,0,0,0,1\n3,0,0,0,0,1\n");
    TRI_FACET facet;
    LopReadReport report;
    const Status status = ReadLOP(facet, folder.File("odd.lop"), &report);
    EXPECT_FALSE(status);
    EXPECT_NE(status.message.find("dropped"), std::string::npos) << status.message;
    EXPECT_TRUE(report.droppedOdd);
    EXPECT_EQ(report.records, 2u);
    // The pairs stay the file's pairs: (2, 1) is the one segment.
    EXPECT_EQ(First_Values(facet), (std::vector<float>{2, 1}));
}

TEST(Lop, LineOverFourKibIsMalformed) {
    test::ScratchFolder folder;
    const std::string record = "2,0,0,0,0,1";
    const std::string fits = record + std::string(Lop_Line_Limit - record.size(), ' ');
    const std::string over = fits + " ";
    Write_Text(folder.File("long.lop"), "1,0,0,0,0,1\n" + fits + "\r\n3,0,0,0,0,1\n" + over + "\n");
    TRI_FACET facet;
    LopReadReport report;
    EXPECT_FALSE(ReadLOP(facet, folder.File("long.lop"), &report));
    EXPECT_EQ(report.badLine, 4u);
    // Three good records before it: the odd last is dropped.
    EXPECT_EQ(First_Values(facet), (std::vector<float>{2, 1}));
}

TEST(Lop, MissingFileAndEmptyWritesAreReported) {
    test::ScratchFolder folder;
    TRI_FACET facet;
    const Status missing = ReadLOP(facet, folder.File("none.lop"));
    EXPECT_FALSE(missing);
    EXPECT_NE(missing.message.find("none.lop"), std::string::npos);
    EXPECT_FALSE(WriteLOP(facet, folder.File("empty")));
    EXPECT_FALSE(std::filesystem::exists(folder.File("empty.lop")));

    Write_Text(folder.File("two.lop"), "1,0,0,0,0,1\n2,0,0,0,0,1\n");
    ASSERT_TRUE(ReadLOP(facet, folder.File("two.lop")));
    EXPECT_FALSE(WriteLOP(facet, folder.File("no/such/folder/x")));
}

TEST(Facet, PlaneSideHasATolerance) {
    TRI_FACET facet;
    facet.Corner0 = {0, 0, 1};
    facet.Corner1 = {1, 0, 1};
    facet.Corner2 = {0, 1, 1};
    ComputePlane(facet);
    EXPECT_FLOAT_EQ(facet.Normal.z, 1.0f);
    EXPECT_FLOAT_EQ(facet.Offset, 1.0f);
    facet.Offset = 0.0f;  // 5e-9 is below float resolution at 1
    EXPECT_EQ(PlaneSide(facet, {3, 4, 5e-9f}), 0);
    EXPECT_EQ(PlaneSide(facet, {3, 4, 2e-8f}), 1);
    EXPECT_EQ(PlaneSide(facet, {3, 4, -2e-8f}), -1);
}

TEST(FacetObject, FillFromMeshesRunsBackwardsAndWriteStlOfThreeFacetsIs234Bytes) {
    UniOb first, second;
    test::Make_Triangle(first);
    test::Finish_Mesh(first);
    test::Make_Square(second);
    test::Finish_Mesh(second);
    first.next = &second;
    TriOb object;
    FillFromMeshes(object, &first);
    first.next = nullptr;
    ASSERT_EQ(object.FacetCount(), 3u);
    // Last face of the last mesh first.
    const TRI_FACET* f = object.Head.Next;
    EXPECT_EQ(f->Corner0, second.Vertex_Pos[second.Face_Index[1][0]]);
    EXPECT_EQ(f->Next->Corner2, second.Vertex_Pos[second.Face_Index[0][2]]);
    EXPECT_EQ(f->Next->Next->Corner1, first.Vertex_Pos[first.Face_Index[0][1]]);
    EXPECT_FLOAT_EQ(f->Offset, Dot(f->Normal, f->Corner1));
    EXPECT_EQ(object.Color[3], 0.0f);

    test::ScratchFolder folder;
    ASSERT_TRUE(WriteSTL(object, folder.File("three.stl")));
    const std::string bytes = Read_Text(folder.File("three.stl"));
    ASSERT_EQ(bytes.size(), 234u);
    EXPECT_EQ(std::memcmp(bytes.data(), "STLEXP Object01\0", 16), 0);
    EXPECT_EQ(bytes.substr(16, 64), std::string(64, '\0'));
    std::uint32_t count;
    std::memcpy(&count, bytes.data() + 80, 4);
    EXPECT_EQ(count, 3u);
    float record[12];
    std::memcpy(record, bytes.data() + 84, sizeof record);
    EXPECT_EQ(record[3], f->Corner0.x);
    EXPECT_EQ(record[11], f->Corner2.z);

    const Status unwritable = WriteSTL(object, folder.File("no/such/three.stl"));
    EXPECT_FALSE(unwritable);
    EXPECT_NE(unwritable.message.find("three.stl"), std::string::npos) << unwritable.message;

    object.Head.Segments = new VEC_LIST(6);
    ClearFacets(object);
    EXPECT_TRUE(object.IsEmpty());
    EXPECT_EQ(object.Head.Segments, nullptr);
    EXPECT_FALSE(WriteSTL(object, folder.File("none.stl")));
    EXPECT_FALSE(std::filesystem::exists(folder.File("none.stl")));
}

TEST(FacetObject, FacetsMoveBetweenListsAndDieOneByOne) {
    // Facets come from a shared pool: any facet may leave one list for another.
    UniOb grid;
    test::Make_Grid(grid, 30);
    test::Finish_Mesh(grid);
    TriOb a, b;
    FillFromMeshes(a, &grid);
    ASSERT_EQ(a.FacetCount(), 1800u);
    // Every third facet moves to b, every third is destroyed, the rest stay.
    int k = 0;
    for (TRI_FACET* prev = &a.Head; prev->Next; ++k) {
        TRI_FACET* f = prev->Next;
        if (k % 3 == 0) {
            prev->Next = f->Next;
            f->Next = b.Head.Next;
            b.Head.Next = f;
        } else if (k % 3 == 1) {
            prev->Next = f->Next;
            f->Segments = new VEC_LIST(4);
            delete f;
        } else {
            prev = f;
        }
    }
    EXPECT_EQ(a.FacetCount(), 600u);
    EXPECT_EQ(b.FacetCount(), 600u);
    ClearFacets(a);
    UniOb empty;
    FillFromMeshes(b, &empty);
    EXPECT_TRUE(b.IsEmpty());
    FillFromMeshes(a, &grid);
    EXPECT_EQ(a.FacetCount(), 1800u);
}

}  // namespace
}  // namespace orvex
