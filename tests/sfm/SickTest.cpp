// Sick laser scan files and the points a scan draws.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "sfm/SickScan.h"
#include "tests/support/ScratchFolder.h"

namespace orvex {
namespace {

// count integers: scan k (from 0) has tag 1000 k, reading i of it is 10 i + k.
std::string Integers(int count) {
    std::ostringstream text;
    for (int n = 0; n < count; ++n) {
        const int k = n / Sick_Record, i = n % Sick_Record;
        text << (i == 0 ? 1000 * k : 10 * (i - 1) + k) << (i % 20 == 19 ? '\n' : ' ');
    }
    return text.str();
}

void Write_Text(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::vector<const VEC_LIST*> Nodes(const VEC_LIST* head) {
    std::vector<const VEC_LIST*> nodes;
    for (; head; head = head->next) nodes.push_back(head);
    return nodes;
}

struct ScanList {
    VEC_LIST* head = nullptr;
    ~ScanList() { Free_Vec_List(head); }
};

TEST(Sick, EveryWholeGroupOf362IntegersIsAScan) {
    test::ScratchFolder folder;
    const std::string path = folder.File("scans.txt");
    Write_Text(path, Integers(724));
    ScanList list;
    SickReadReport report;
    ASSERT_TRUE(Read_Sick(path, list.head, &report));
    const auto scans = Nodes(list.head);
    ASSERT_EQ(scans.size(), 2u);
    EXPECT_EQ(report.integers, 724u);
    EXPECT_EQ(scans[1]->tag, 1000);
    EXPECT_EQ(scans[1]->values[0], 1000.0f);
    EXPECT_EQ(scans[1]->values[1], 1.0f);       // reading 0
    EXPECT_EQ(scans[1]->values[361], 3601.0f);  // reading 360
    EXPECT_EQ(scans[0]->values[181], 1800.0f);

    // One integer short: the second group is dropped and said so; the first scan replaces the list.
    Write_Text(path, Integers(723));
    const Status status = Read_Sick(path, list.head, &report);
    EXPECT_FALSE(status);
    EXPECT_NE(status.message.find("361 integers"), std::string::npos) << status.message;
    EXPECT_EQ(report.dropped, 361u);
    EXPECT_EQ(Nodes(list.head).size(), 1u);
}

TEST(Sick, SeattleLogHas241Scans) {
    const std::string path = std::string(ORVEX_SHARED_DATA_DIR) + "/sick_seattle_lms.txt";
    if (!std::filesystem::exists(path)) GTEST_SKIP() << "no " << path;
    ScanList list;
    SickReadReport report;
    const Status status = Read_Sick(path, list.head, &report);
    ASSERT_TRUE(status) << status.message;
    const auto scans = Nodes(list.head);
    ASSERT_EQ(scans.size(), 241u);
    EXPECT_EQ(report.dropped, 0u);
    EXPECT_EQ(scans.front()->tag, 0);
    EXPECT_EQ(scans.back()->tag, 1165330);
    EXPECT_EQ(scans.back()->values[0], 1165330.0f);
    EXPECT_EQ(scans.front()->values[1], 6400.0f);
}

TEST(Sick, ATokenThatIsNoIntegerEndsTheReadingAtItsLine) {
    test::ScratchFolder folder;
    const std::string path = folder.File("bad.txt");
    ScanList list;
    SickReadReport report;
    for (const char* bad : {"12.5", "abc", "4294967296"}) {
        // The bad token starts the line after the integers.
        const std::string text = Integers(Sick_Record + 5) + "\n";
        const auto line = std::uint64_t(std::count(text.begin(), text.end(), '\n')) + 1;
        Write_Text(path, text + bad + " 1 2 3\n");
        const Status status = Read_Sick(path, list.head, &report);
        EXPECT_FALSE(status) << bad;
        EXPECT_EQ(report.badLine, line) << bad;
        EXPECT_NE(status.message.find("line " + std::to_string(line) + ": "), std::string::npos)
            << status.message;
        EXPECT_EQ(report.scans, 1u);
        EXPECT_EQ(report.dropped, 5u);
        EXPECT_EQ(Nodes(list.head).size(), 1u);
    }
    // Nothing whole before the bad token: the list stays as it was.
    const VEC_LIST* before = list.head;
    Write_Text(path, "5 6 seven\n");
    EXPECT_FALSE(Read_Sick(path, list.head, &report));
    EXPECT_EQ(list.head, before);
    EXPECT_EQ(report.badLine, 1u);
    EXPECT_FALSE(Read_Sick(folder.File("missing.txt"), list.head));
    Write_Text(path, "");
    EXPECT_FALSE(Read_Sick(path, list.head));
    EXPECT_EQ(list.head, before);
}

TEST(Sick, OnlyReadingsFrom300To75000AreDrawnAtHalfDegrees) {
    VEC_LIST scan(Sick_Record);
    for (int i = 0; i < Sick_Record; ++i) scan.values[i] = 81870.0f;  // no return
    scan.values[1] = 300.0f;                                          // reading 0 along +x
    scan.values[2] = 299.0f;
    scan.values[181] = 75000.0f;  // reading 180 along +y
    scan.values[182] = 75001.0f;
    scan.values[361] = 1000.0f;  // reading 360 along -x
    Vec3 points[Sick_Readings];
    ASSERT_EQ(Scan_Points(scan, points), 3);
    EXPECT_FLOAT_EQ(points[0].x, 300.0f);
    EXPECT_EQ(points[0].y, 0.0f);
    EXPECT_NEAR(points[1].x, 0.0f, 0.01f);
    EXPECT_FLOAT_EQ(points[1].y, 75000.0f);
    EXPECT_FLOAT_EQ(points[2].x, -1000.0f);
    EXPECT_NEAR(points[2].y, 0.0f, 1e-3f);
    EXPECT_EQ(points[2].z, 0.0f);
}

}  // namespace
}  // namespace orvex
