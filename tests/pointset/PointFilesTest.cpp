// The point files RAN, XYZ and XYC and the hull STL: exact texts, round trips, and files that are
// damaged, truncated, lie about their count or cannot be opened.

#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <bit>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "geometry/Vec3.h"
#include "geometry/NumberScanner.h"
#include "pointset/PointList.h"
#include "tests/support/ScratchFolder.h"

namespace orvex {
namespace {

namespace fs = std::filesystem;
using Point = std::array<float, 6>;

std::vector<Point> Points_Of(const POINT_LIST& set, int floats = 3) {
    std::vector<Point> out;
    for (const VEC_LIST* p = set.points.next; p; p = p->next) {
        Point q{};
        for (int k = 0; k < floats; ++k) q[k] = p->values[k];
        out.push_back(q);
    }
    return out;
}

void Add(POINT_LIST& set, std::initializer_list<float> values) {
    VEC_LIST* node = set.NewPoint(unsigned(values.size()));
    std::copy(values.begin(), values.end(), node->values);
    set.InsertFront(node);
}

class PointFiles : public ::testing::Test {
protected:
    std::string Path(const std::string& name) const { return (folder_ / name).string(); }
    std::string Write(const std::string& name, const std::string& text) const {
        std::ofstream(Path(name), std::ios::binary) << text;
        return Path(name);
    }
    std::string Read(const std::string& name) const {
        std::ifstream in(Path(name), std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    test::ScratchFolder scratch_{"orvex_pointfiles"};
    fs::path folder_ = scratch_.Path();
};

// ---- Round trips and exact texts ----------------------------------------------------------------

TEST_F(PointFiles, RanRoundTripReversesTheOrder) {
    POINT_LIST set;
    Add(set, {1, 2, 3});
    Add(set, {-4.5f, 0.25f, 6});
    Add(set, {7, 8, 9.125f});
    ASSERT_TRUE(set.WriteRAN(Path("three")));
    EXPECT_EQ(Read("three.ran"),
              "3\n7.000000 8.000000 9.125000\n-4.500000 0.250000 6.000000\n1.000000 2.000000 3.000000\n");
    POINT_LIST back;
    ASSERT_TRUE(back.ReadRAN(Path("three.ran")));
    std::vector<Point> written = Points_Of(set), read = Points_Of(back);
    std::reverse(written.begin(), written.end());
    EXPECT_EQ(read, written);
    EXPECT_EQ(back.boundsMin, (Vec3{-4.5f, 0.25f, 3}));
    EXPECT_EQ(back.boundsMax, (Vec3{7, 8, 9.125f}));
}

TEST_F(PointFiles, XyzRoundTripKeepsSixDecimals) {
    POINT_LIST set;
    Add(set, {0.1234567f, -1e-7f, 123456.75f});
    ASSERT_TRUE(set.WriteXYZ(Path("one")));
    EXPECT_EQ(Read("one.xyz"), "0.123457 -0.000000 123456.750000\n");
    POINT_LIST back;
    ASSERT_TRUE(back.ReadXYZ(Path("one.xyz")));
    ASSERT_EQ(back.Count(0), 1u);
    EXPECT_FLOAT_EQ(back.points.next->values[0], 0.123457f);
    EXPECT_FALSE(back.coloured);
}

TEST_F(PointFiles, XycRecordBecomesAColouredPointAndComesBackTheSame) {
    const std::string path = Write("c.xyc", "1 2 3 255 0 128\n");
    POINT_LIST set;
    ASSERT_TRUE(set.ReadXYC(path));
    ASSERT_EQ(set.Count(0), 1u);
    EXPECT_TRUE(set.coloured);
    const float* v = set.points.next->values;
    EXPECT_EQ(v[0], 1.0f);
    EXPECT_EQ(v[3], 1.0f);
    EXPECT_EQ(v[4], 0.0f);
    EXPECT_NEAR(v[5], 0.50196f, 1e-5f);
    ASSERT_TRUE(set.WriteXYC(Path("back")));
    EXPECT_EQ(Read("back.xyc"), "1.000000 2.000000 3.000000 255 0 128\n");
}

TEST_F(PointFiles, EveryColourByteSurvivesTheRoundTrip) {
    std::string text;
    for (int c = 0; c < 256; ++c)
        text += "0.000000 0.000000 0.000000 " + std::to_string(c) + " " + std::to_string(255 - c) + " " +
                std::to_string(c) + "\n";
    POINT_LIST set;
    ASSERT_TRUE(set.ReadXYC(Write("all.xyc", text)));
    ASSERT_TRUE(set.WriteXYC(Path("once")));
    POINT_LIST again;
    ASSERT_TRUE(again.ReadXYC(Path("once.xyc")));
    ASSERT_TRUE(again.WriteXYC(Path("twice")));
    // Two reversals give the original order back.
    EXPECT_EQ(Read("twice.xyc"), text);
}

TEST_F(PointFiles, WritersUseAPointWhateverTheLocale) {
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = previous ? previous : "C";
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8") && !std::setlocale(LC_NUMERIC, "fr_FR.UTF-8"))
        GTEST_SKIP() << "no locale with a decimal comma is installed";
    POINT_LIST set;
    Add(set, {1.5f, -2.25f, 3});
    const bool written = bool(set.WriteXYZ(Path("p")));
    POINT_LIST back;
    const bool read = bool(back.ReadXYZ(Path("p.xyz")));
    std::setlocale(LC_NUMERIC, saved.c_str());
    ASSERT_TRUE(written && read);
    EXPECT_EQ(Read("p.xyz"), "1.500000 -2.250000 3.000000\n");
    EXPECT_EQ(back.points.next->values[1], -2.25f);
}

TEST_F(PointFiles, LargeFilesReadAcrossBlockBoundaries) {
    // About 4 MB of text: numbers are split between the scanner's 1 MiB blocks.
    POINT_LIST set;
    for (int i = 0; i < 120000; ++i) Add(set, {i * 0.5f, -i * 0.25f, float(i % 977)});
    ASSERT_TRUE(set.WriteRAN(Path("big")));
    POINT_LIST back;
    ASSERT_TRUE(back.ReadRAN(Path("big.ran")));
    std::vector<Point> expected = Points_Of(set);
    std::reverse(expected.begin(), expected.end());
    EXPECT_EQ(Points_Of(back), expected);
}

TEST_F(PointFiles, ReadersAcceptWhatTheCLibraryReads) {
    const std::string path = Write("forms.xyz", "+1.5\t-2e2   3\r\n.5 5. -0\n1e-50 2E+1 -0.0\n");
    POINT_LIST set;
    ASSERT_TRUE(set.ReadXYZ(path));
    const std::vector<Point> points = Points_Of(set);
    ASSERT_EQ(points.size(), 3u);
    EXPECT_EQ(points[2][0], 1.5f);
    EXPECT_EQ(points[2][1], -200.0f);
    EXPECT_EQ(points[1][0], 0.5f);
    EXPECT_EQ(points[1][1], 5.0f);
    EXPECT_EQ(points[0][0], 0.0f);  // too small for a float
    EXPECT_EQ(points[0][1], 20.0f);
}

TEST_F(PointFiles, NumbersAreWhatStrtofMakesOfThem) {
    // Too small even for a double, rounded to nothing or to a denormal, hexadecimal; three a point.
    // clang-format off
    const std::string tokens[] = {
        "1e-507", "-1e-507", "1e-46",
        "-7e-46", "7.1e-46", "1e-40",
        "1e-310", "-0", "0x1",
        "0X1.8p1", "-0x.8p-2", "0x1p-149",
        "0x1.8p-150", "0x1p-151", "+0x0p0",
        "-0x1p-999999999999999", "0x1.fffffep127", "3.4028235e38",
        // Leading zeros decide between too small and too large.
        "0." + std::string(100, '0') + "1e50", "0x.0000000000000000001p-100", "123456e-60"};
    // clang-format on
    std::string text;
    for (std::size_t i = 0; i < std::size(tokens); ++i) text += tokens[i] + (i % 3 == 2 ? "\n" : " ");
    POINT_LIST set;
    const Status status = set.ReadXYZ(Write("forms.xyz", text));
    ASSERT_TRUE(status) << status.message;
    std::vector<Point> points = Points_Of(set);
    std::reverse(points.begin(), points.end());
    ASSERT_EQ(points.size(), std::size(tokens) / 3);
    for (std::size_t i = 0; i < std::size(tokens); ++i) {
        const float value = points[i / 3][i % 3];
        EXPECT_EQ(std::bit_cast<std::uint32_t>(value),
                  std::bit_cast<std::uint32_t>(std::strtof(tokens[i].c_str(), nullptr)))
            << tokens[i] << " read as " << value;
    }
    // The C library's answers, spelt out.
    EXPECT_EQ(std::bit_cast<std::uint32_t>(points[0][1]), 0x80000000u);  // -1e-507 is -0
    EXPECT_EQ(points[1][1], 0x1p-149f);
    EXPECT_EQ(points[2][2], 1.0f);
    EXPECT_EQ(points[3][0], 3.0f);
    EXPECT_EQ(points[3][1], -0.125f);
    EXPECT_EQ(points[4][0], 0x1p-149f);
    EXPECT_EQ(points[4][1], 0.0f);
    EXPECT_EQ(points[5][2], std::numeric_limits<float>::max());
}

TEST_F(PointFiles, ReadersRandomiseTheColour) {
    POINT_LIST set;
    set.colour[0] = set.colour[1] = set.colour[2] = 0.0f;
    ASSERT_TRUE(set.ReadXYZ(Write("a.xyz", "1 2 3\n")));
    EXPECT_GE(set.colour[0], 64 / 255.0f);
}

TEST_F(PointFiles, HullOfFourPointsIs284BytesOfOutwardFacets) {
    POINT_LIST set;
    VEC_LIST* corner[4];
    const float at[4][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    for (int i = 0; i < 4; ++i) {
        corner[i] = set.NewPoint(3);
        std::copy(at[i], at[i] + 3, corner[i]->values);
        set.InsertFront(corner[i]);
    }
    // Counter-clockwise seen from outside.
    const int faces[4][3] = {{0, 2, 1}, {0, 1, 3}, {0, 3, 2}, {1, 2, 3}};
    for (const auto& f : faces) {
        CON_FACE_LIST_VEC* face = set.NewFace();
        for (int c = 0; c < 3; ++c) face->v[c] = corner[f[c]];
        face->next = set.hull.next;
        set.hull.next = face;
    }
    ASSERT_TRUE(set.WriteHullSTL(Path("tetra")));
    const std::string bytes = Read("tetra.stl");
    ASSERT_EQ(bytes.size(), 284u);
    EXPECT_EQ(std::string(bytes.c_str()), "STLEXP Object01");
    EXPECT_EQ(bytes.substr(16, 64), std::string(64, '\0'));
    std::uint32_t count;
    std::memcpy(&count, bytes.data() + 80, 4);
    EXPECT_EQ(count, 4u);
    const Vec3 centre{0.25f, 0.25f, 0.25f};
    for (int f = 0; f < 4; ++f) {
        float record[12];
        std::memcpy(record, bytes.data() + 84 + 50 * f, sizeof record);
        const Vec3 n{record[0], record[1], record[2]};
        EXPECT_NEAR(Dot(n, n), 1.0f, 1e-5f);
        const Vec3 a{record[3], record[4], record[5]};
        EXPECT_GT(Dot(n, a - centre), 0.0f) << "face " << f << " points inward";
        EXPECT_EQ(bytes[84 + 50 * f + 48], '\0');
        EXPECT_EQ(bytes[84 + 50 * f + 49], '\0');
    }
}

// ---- Nothing to write -------------------------------------------------------------------------

TEST_F(PointFiles, EmptySetsAndUncolouredSetsWriteNoFile) {
    POINT_LIST empty;
    EXPECT_FALSE(empty.WriteRAN(Path("e")));
    EXPECT_FALSE(empty.WriteXYZ(Path("e")));
    EXPECT_FALSE(empty.WriteXYC(Path("e")));
    EXPECT_FALSE(empty.WriteHullSTL(Path("e")));
    POINT_LIST plain;
    Add(plain, {1, 2, 3});
    const Status status = plain.WriteXYC(Path("e"));
    EXPECT_FALSE(status);
    EXPECT_NE(status.message.find("no colours"), std::string::npos);
    EXPECT_FALSE(plain.WriteHullSTL(Path("e")));
    EXPECT_TRUE(fs::is_empty(folder_));
}

TEST_F(PointFiles, AWriteThatFailsSaysSoAndLeavesNothing) {
    POINT_LIST set;
    Add(set, {1, 2, 3});
    const Status status = set.WriteXYZ(Path("missing/folder/p"));
    EXPECT_FALSE(status);
    EXPECT_NE(status.message.find("missing/folder/p.xyz"), std::string::npos);
}

// ---- Damaged files -------------------------------------------------------------------------------

TEST_F(PointFiles, AFileThatCannotBeOpenedLeavesTheSetEmpty) {
    POINT_LIST set;
    Add(set, {1, 2, 3});
    const Status status = set.ReadRAN(Path("nowhere.ran"));
    EXPECT_FALSE(status);
    EXPECT_NE(status.message.find("nowhere.ran: cannot open"), std::string::npos) << status.message;
    EXPECT_EQ(set.Count(0), 0u);
    EXPECT_FALSE(set.ReadXYZ(Path("nowhere.xyz")));
    EXPECT_FALSE(set.ReadXYC(Path("nowhere.xyc")));
    EXPECT_EQ(set.Count(0), 0u);
}

TEST_F(PointFiles, ADirectoryIsNotAPointFile) {
    POINT_LIST set;
    EXPECT_FALSE(set.ReadXYZ(folder_.string()));
    EXPECT_EQ(set.Count(0), 0u);
}

TEST_F(PointFiles, RanCountLargerThanTheDataReadsWhatIsThere) {
    POINT_LIST set;
    const Status status = set.ReadRAN(Write("short.ran", "5\n1 2 3\n4 5 6\n"));
    EXPECT_FALSE(status);
    EXPECT_NE(status.message.find("read 2 of 5 points"), std::string::npos) << status.message;
    EXPECT_EQ(set.Count(0), 2u);
    EXPECT_EQ(set.boundsMax, (Vec3{4, 5, 6}));
}

TEST_F(PointFiles, RanCountOfBillionsAllocatesNothingForIt) {
    POINT_LIST set;
    const Status status = set.ReadRAN(Write("liar.ran", "4000000000\n1 2 3\n"));
    EXPECT_FALSE(status);
    EXPECT_NE(status.message.find("read 1 of 4000000000 points"), std::string::npos) << status.message;
    EXPECT_EQ(set.Count(0), 1u);
}

TEST_F(PointFiles, RanCountSmallerThanTheDataReadsThatMany) {
    POINT_LIST set;
    EXPECT_TRUE(set.ReadRAN(Write("long.ran", "1\n1 2 3\n4 5 6\n")));
    EXPECT_EQ(set.Count(0), 1u);
    EXPECT_EQ(set.points.next->values[0], 1.0f);
}

TEST_F(PointFiles, RanWithoutAUsableCountReadsNothing) {
    struct Case {
        const char* text;
        const char* expected;
    };
    for (const Case c :
         {Case{"", "no point count"}, Case{"abc\n1 2 3\n", "line 1: 'abc' is not a point count"},
          Case{"-3\n1 2 3\n", "point count -3 is impossible"}, Case{"99999999999\n1 2 3\n", "impossible"},
          Case{"2.5\n1 2 3\n", "not a point count"}}) {
        POINT_LIST set;
        const Status status = set.ReadRAN(Write("bad.ran", c.text));
        EXPECT_FALSE(status) << c.text;
        EXPECT_NE(status.message.find(c.expected), std::string::npos) << status.message;
        EXPECT_EQ(set.Count(0), 0u) << c.text;
    }
}

TEST_F(PointFiles, TextThatIsNotANumberEndsTheReading) {
    POINT_LIST set;
    const Status status = set.ReadXYZ(Write("junk.xyz", "1 2 3\n4 5 abc\n7 8 9\n"));
    EXPECT_FALSE(status);
    EXPECT_NE(status.message.find("line 2: 'abc' is not a number; read 1 point"), std::string::npos)
        << status.message;
    ASSERT_EQ(set.Count(0), 1u);
    EXPECT_EQ(set.points.next->values[2], 3.0f);
}

TEST_F(PointFiles, NumbersWithTrailingTextOrNoFiniteValueAreNotNumbers) {
    struct Case {
        std::string text;
        const char* expected;
    };
    for (const Case& c :
         {Case{"1 2 3abc\n", "'3abc' is not a number"}, Case{"1,5 2 3\n", "'1,5' is not a number"},
          Case{"1 2 0x\n", "'0x' is not a number"}, Case{"1 2 0x-1\n", "'0x-1' is not a number"},
          Case{"1 2 +-0\n", "'+-0' is not a number"}, Case{"1 2 0x1p\n", "'0x1p' is not a number"},
          Case{"1 2 nan\n", "'nan' is not a finite number"},
          Case{"INF 2 3\n", "'INF' is not a finite number"},
          Case{"1 2 1e60\n", "'1e60' is not a finite number"},
          Case{"1 2 -1e400\n", "'-1e400' is not a finite number"},
          Case{"1 2 0x1p128\n", "'0x1p128' is not a finite number"},
          Case{"1 2 0x1" + std::string(49, '0') + "p-60\n", "...' is not a finite number"}}) {
        POINT_LIST set;
        const Status status = set.ReadXYZ(Write("t.xyz", c.text));
        EXPECT_FALSE(status) << c.text;
        EXPECT_NE(status.message.find(c.expected), std::string::npos) << status.message;
        EXPECT_EQ(set.Count(0), 0u) << c.text;
    }
}

TEST_F(PointFiles, AnIncompleteLastPointIsReportedAndNotMade) {
    // Cut after one, two or all but one value of the last record, in every format.
    struct Case {
        const char* name;
        const char* text;
    };
    for (const Case c :
         {Case{"x.xyz", "1 2 3\n4"}, Case{"xy.xyz", "1 2 3\n4 5"}, Case{"x.ran", "2\n1 2 3\n4\n"},
          Case{"x.xyc", "1 2 3 4 5 6\n7"}, Case{"xyzrg.xyc", "1 2 3 4 5 6\n7 8 9 10 11\n"}}) {
        POINT_LIST set;
        const std::string path = Write(c.name, c.text);
        const std::string kind = path.substr(path.size() - 3);
        const Status status = kind == "ran"   ? set.ReadRAN(path)
                              : kind == "xyz" ? set.ReadXYZ(path)
                                              : set.ReadXYC(path);
        EXPECT_FALSE(status) << c.name;
        EXPECT_NE(status.message.find("the last point is incomplete"), std::string::npos) << status.message;
        EXPECT_EQ(set.Count(0), 1u) << c.name;
        EXPECT_EQ(set.boundsMax, (Vec3{1, 2, 3})) << c.name;
    }
}

TEST_F(PointFiles, SmallFilesAreReadThroughASmallBlock) {
    const std::string path = Write("small.xyz", "1 2 3\n");
    std::FILE* file = std::fopen(path.c_str(), "r");
    ASSERT_TRUE(file);
    NumberScanner small(file);
    EXPECT_LE(small.BlockBytes(), 4096u);
    std::fclose(file);
    POINT_LIST set;
    for (int i = 0; i < 200000; ++i) Add(set, {float(i), 2, 3});
    ASSERT_TRUE(set.WriteXYZ(Path("large")));
    file = std::fopen(Path("large.xyz").c_str(), "r");
    ASSERT_TRUE(file);
    NumberScanner large(file);
    EXPECT_EQ(large.BlockBytes(), std::size_t(1) << 20);
    std::fclose(file);
}

TEST_F(PointFiles, AFileThatGrowsAfterItWasSizedIsReadWhole) {
    // The block is sized when the reading starts; a token longer than that block still comes whole.
    const std::string path = Write("grow.xyz", "1 2 3\n");
    std::FILE* file = std::fopen(path.c_str(), "r");
    ASSERT_TRUE(file);
    NumberScanner scan(file);
    const std::string digits = "0." + std::string(5000, '7');
    std::ofstream(path, std::ios::app) << "4 5 " << digits << " 6e-1";
    float v[7] = {};
    for (float& x : v) ASSERT_EQ(scan.NextFloat(x), NumberScanner::Result::Number) << scan.BadText();
    float end = 0;
    EXPECT_EQ(scan.NextFloat(end), NumberScanner::Result::End);
    std::fclose(file);
    EXPECT_EQ(v[5], std::strtof(digits.c_str(), nullptr));
    EXPECT_EQ(v[6], 0.6f);
    EXPECT_EQ(scan.Line(), 2u);
}

TEST_F(PointFiles, TokensAsLongAsTheWholeFileAreNumbers) {
    // One token that fills the file, of every length around the smallest block.
    for (std::size_t length = 250; length < 262; ++length) {
        std::string text(length, '0');
        text.back() = '5';
        const std::string path = Write("one.xyz", text);
        std::FILE* file = std::fopen(path.c_str(), "r");
        ASSERT_TRUE(file);
        NumberScanner scan(file);
        float value = 0;
        EXPECT_EQ(scan.NextFloat(value), NumberScanner::Result::Number) << length;
        EXPECT_EQ(value, 5.0f);
        std::fclose(file);
    }
}

TEST_F(PointFiles, EmptyOrBlankFilesGiveAnEmptySet) {
    POINT_LIST set;
    EXPECT_TRUE(set.ReadXYZ(Write("empty.xyz", "")));
    EXPECT_TRUE(set.ReadXYZ(Write("blank.xyz", " \n\n\t\n")));
    EXPECT_EQ(set.Count(0), 0u);
}

TEST_F(PointFiles, ColourBytesOutsideTheByteRangeAreClamped) {
    POINT_LIST set;
    ASSERT_TRUE(set.ReadXYC(Write("wide.xyc", "0 0 0 300 -4 10\n")));
    const float* v = set.points.next->values;
    EXPECT_EQ(v[3], 1.0f);
    EXPECT_EQ(v[4], 0.0f);
    EXPECT_EQ(v[5], 10 / 255.0f);
}

TEST_F(PointFiles, FractionalColourIsNotAColourByte) {
    POINT_LIST set;
    EXPECT_FALSE(set.ReadXYC(Write("frac.xyc", "0 0 0 0.5 0 0\n")));
    EXPECT_EQ(set.Count(0), 0u);
}

TEST_F(PointFiles, ATokenLongerThanABlockIsRejected) {
    std::string text = "1 2 ";
    text += std::string(3u << 20, '7');
    text += "\n4 5 6\n";
    POINT_LIST set;
    EXPECT_FALSE(set.ReadXYZ(Write("long.xyz", text)));
    EXPECT_EQ(set.Count(0), 0u);
}

}  // namespace
}  // namespace orvex
