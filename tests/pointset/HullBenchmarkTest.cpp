// The hull benchmarks: the tables they write, their report lines and progress texts, the number format of the
// reports, and what they do with requests they cannot serve.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "geometry/GeneralNumber.h"
#include "pointset/HullBenchmark.h"
#include "tests/support/ScratchFolder.h"

namespace orvex {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> Lines_Of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string Read_All(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> Fields_Of(const std::string& line) {
    std::vector<std::string> fields;
    std::string field;
    std::istringstream in(line);
    while (std::getline(in, field, '\t')) fields.push_back(field);
    return fields;
}

// Every benchmark writes into the current folder: each test gets its own.
class InScratchFolder : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = fs::current_path();
        fs::current_path(folder_);
    }
    void TearDown() override { fs::current_path(previous_); }

    // Hooks that keep everything the routine reports.
    HullBenchmarkHooks Recording() {
        HullBenchmarkHooks hooks;
        hooks.memo = [this](const std::string& line) { memo.push_back(line); };
        hooks.text = [this](const std::string& text, int line) { texts.push_back({text, line}); };
        hooks.generated = [this](const POINT_LIST& set) { generatedCounts.push_back(set.Count(0)); };
        hooks.repaint = [this] { ++repaints; };
        return hooks;
    }

    std::vector<std::string> memo;
    std::vector<std::pair<std::string, int>> texts;
    std::vector<unsigned> generatedCounts;
    int repaints = 0;
    test::ScratchFolder scratch_{"orvex_hull_bench"};
    fs::path folder_ = scratch_.Path();

private:
    fs::path previous_;
};

const std::regex kDensityRow(
    R"(\d+\.\d\d\t\d+\.\d\d\t\d+\.\d\d\t\d+\.\d\d\t\t\t\d+\.\d\d\t\d+\.\d\d\t\d+\.\d\d\t\d+\.\d\d)");
const std::regex kSizeRow(
    R"(\d+\t\d+\.\d\d\t\d+\.\d\d\t\d+\.\d\d\t\t\t\d+\t\d+\.\d\d\t\d+\.\d\d\t\d+\.\d\d)");

// ---- The number format of the reports ---------------------------------------------------------

TEST(GeneralNumber, FixedWhileTheDigitsBeforeThePointFit) {
    EXPECT_EQ(General_Number(0.5, 3), "0.5");
    EXPECT_EQ(General_Number(24.0, 3), "24");
    EXPECT_EQ(General_Number(123.4, 3), "123");
    EXPECT_EQ(General_Number(3.14159, 3), "3.14");
    EXPECT_EQ(General_Number(-2.718, 3), "-2.72");
    EXPECT_EQ(General_Number(0.0001234, 3), "0.000123");
    EXPECT_EQ(General_Number(12345678.9, 8), "12345679");
    EXPECT_EQ(General_Number(3.0, 8), "3");
}

TEST(GeneralNumber, ScientificBeyondTheDigitsWithTwoExponentDigits) {
    EXPECT_EQ(General_Number(1234.5, 3), "1.23E03");
    EXPECT_EQ(General_Number(1000.0, 3), "1E03");
    EXPECT_EQ(General_Number(-98765.0, 3), "-9.88E04");
    EXPECT_EQ(General_Number(123456789.0, 8), "1.2345679E08");
    EXPECT_EQ(General_Number(1e100, 3), "1E100");
}

TEST(GeneralNumber, SmallValuesSwitchBelowOneHundredThousandth) {
    EXPECT_EQ(General_Number(0.00001, 3), "0.00001");
    EXPECT_EQ(General_Number(0.0000123, 3), "0.0000123");
    EXPECT_EQ(General_Number(0.000009, 3), "9E-06");
    EXPECT_EQ(General_Number(1.2345e-7, 3), "1.23E-07");
}

TEST(GeneralNumber, RoundsHalfAwayFromZeroAndFollowsTheRoundedValue) {
    EXPECT_EQ(General_Number(2.5, 1), "3");
    EXPECT_EQ(General_Number(-2.5, 1), "-3");
    EXPECT_EQ(General_Number(0.125, 2), "0.13");
    EXPECT_EQ(General_Number(999.6, 3),
              "1E03");  // rounds up to four digits before the point
    EXPECT_EQ(General_Number(999.4, 3), "999");
    EXPECT_EQ(General_Number(9.9996, 3), "10");
}

TEST(GeneralNumber, FloatsShowTheirDecimalValueNotTheirBinaryNoise) {
    EXPECT_EQ(General_Number(0.1f, 8), "0.1");
    EXPECT_EQ(General_Number(1.0f / 3.0f, 8), "0.33333334");
    EXPECT_EQ(General_Number(0.1f, 3), "0.1");
}

TEST(GeneralNumber, ZeroAndNonNumbers) {
    EXPECT_EQ(General_Number(0.0, 3), "0");
    EXPECT_EQ(General_Number(-0.0, 8), "0");
    EXPECT_EQ(General_Number(NAN, 3), "NAN");
    EXPECT_EQ(General_Number(INFINITY, 3), "INF");
    EXPECT_EQ(General_Number(-INFINITY, 3), "-INF");
}

// ---- Report lines -----------------------------------------------------------------------------

TEST(HullReportLines, ButtonLineHasTwelveFieldsWithRatiosPerPoint) {
    HullStats s{};
    s[0] = 1000, s[1] = 120, s[2] = 236, s[3] = 116, s[4] = 500, s[5] = 0, s[6] = 25, s[8] = 3333,
    s[9] = 12345, s[10] = 2000, s[11] = 7;
    EXPECT_EQ(Hull_Button_Line(9, s), "9\t1000\t120\t236\t116\t500\t0\t0.025\t3.33\t12.3\t2\t7");
}

TEST(HullReportLines, RunLineHasTenFieldsAndAverageLineEightDigits) {
    HullStats s{};
    s[0] = 300, s[1] = 40, s[2] = 76, s[3] = 36, s[5] = 0, s[8] = 100, s[9] = 2500, s[10] = 700, s[11] = 3;
    s[12] = 4;
    EXPECT_EQ(Hull_Run_Line(s), "4\t300\t40\t76\t36\t0\t0.333\t8.33\t2.33\t3");
    float a[15] = {};
    a[0] = 300, a[1] = 40.5f, a[2] = 77, a[3] = 1.0f / 3.0f, a[8] = 2, a[9] = 123456789.0f, a[12] = 4.25f;
    EXPECT_EQ(Hull_Average_Line(a), "4.25\t300\t40.5\t77\t0.33333334\t0\t2\t1.2345679E08\t0\t0");
}

TEST(HullReportLines, NoPointsGivesZeroRatiosNotADivisionByZero) {
    HullStats s{};
    s[8] = 5;
    EXPECT_EQ(Hull_Run_Line(s), "0\t0\t0\t0\t0\t0\t0\t0\t0\t0");
}

TEST(HullSpread, OneValueHasNoRangeAndNoDeviation) {
    const float one[1] = {42.0f};
    const Spread s = Spread_Of(one, 1);
    EXPECT_EQ(s.mean, 42.0f);
    EXPECT_EQ(s.halfRange, 0.0f);
    EXPECT_EQ(s.deviation, 0.0f);
}

TEST(HullSpread, PopulationStatistics) {
    const float values[4] = {2, 4, 4, 6};
    const Spread s = Spread_Of(values, 4);
    EXPECT_FLOAT_EQ(s.mean, 4.0f);
    EXPECT_FLOAT_EQ(s.halfRange, 2.0f);
    EXPECT_FLOAT_EQ(s.deviation, std::sqrt(2.0f));  // variance 8 / 4, not 8 / 3
    const float same[3] = {5, 5, 5};
    EXPECT_EQ(Spread_Of(same, 3).deviation, 0.0f);
}

// ---- Density routine --------------------------------------------------------------------------

TEST_F(InScratchFolder, DensityRoutineWritesThirtyThreeRowsUnderThreeHeaders) {
    POINT_LIST set;
    HullBenchmarkSettings settings;
    settings.repeats = 1;
    settings.pointCount = 1000;
    const HullBenchmarkResult result = Run_Density_Benchmark(set, settings, Recording());
    ASSERT_TRUE(result.status) << result.status.message;

    const std::string text = Read_All(kDensityBenchmarkFile);
    const std::string head =
        "Convex Hull Ratio Test... with 1 repeats\n\n"
        "Data with point_num, time_avg, time_err, time_variance\t point_num, "
        "distance_avg, distance_err, "
        "distance_variance\n\n"
        "\n\n==================Quick Hull Best algorithm================\n";
    ASSERT_EQ(text.substr(0, head.size()), head);
    EXPECT_NE(text.find("\n\n\n\n==================Quick Hull Special "
                        "algorithm================\n"),
              std::string::npos);
    EXPECT_NE(text.find("\n\n\n\n==================Incremental algorithm================\n"),
              std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 3), "\n\n\n");

    int rows = 0, headers = 0;
    for (const std::string& line : Lines_Of(text)) {
        if (std::regex_match(line, kDensityRow)) {
            ++rows;
            const std::vector<std::string> f = Fields_Of(line);
            // One repeat: both half ranges and both deviations are 0.
            ASSERT_EQ(f.size(), 10u);  // the three tabs leave two empty fields
            EXPECT_EQ(f[2], "0.00");
            EXPECT_EQ(f[3], "0.00");
            EXPECT_EQ(f[8], "0.00");
            EXPECT_EQ(f[9], "0.00");
            EXPECT_EQ(f[0], f[6]);  // the hull's share of the points, twice
            const double share = std::stod(f[0]);
            EXPECT_GT(share, 0.0);
            EXPECT_LE(share, 1.0);
        } else if (line.find("algorithm=") != std::string::npos) {
            ++headers;
        }
    }
    EXPECT_EQ(rows, 33);
    EXPECT_EQ(headers, 3);
}

TEST_F(InScratchFolder, DensityRoutineReportsEveryRunAndItsAverages) {
    POINT_LIST set;
    HullBenchmarkSettings settings;
    settings.repeats = 1;
    settings.pointCount = 200;
    ASSERT_TRUE(Run_Density_Benchmark(set, settings, Recording()).status);

    // 1 + 3 x (1 + 11 x (density, run, "In Average", averages, 2 empty)).
    ASSERT_EQ(memo.size(), 1u + 3u * (1u + 11u * 6u));
    EXPECT_EQ(memo[0], "Density Convex Hull Test... with 1 repeats.");
    EXPECT_EQ(memo[1], "==================Quick Hull Best algorithm================");
    EXPECT_EQ(memo[2], "***Density = 00 %");
    EXPECT_EQ(Fields_Of(memo[3]).size(), 10u);
    EXPECT_EQ(memo[4], "In Average");
    EXPECT_EQ(memo[6], "");
    EXPECT_EQ(memo[7], "");
    EXPECT_EQ(memo[8], "***Density = 10 %");
    EXPECT_EQ(memo[2 + 10 * 6], "***Density = 100 %");

    // The last configuration: one repeat, so the averages are that run's counters, with 8 to 10 as whole
    // multiples of the point count.
    const HullStats& s = set.stats;
    const std::vector<std::string> last = Fields_Of(memo[memo.size() - 3]);
    ASSERT_EQ(last.size(), 10u);
    EXPECT_EQ(last[1], "200");
    EXPECT_EQ(last[2], std::to_string(s[1]));
    EXPECT_EQ(last[3], std::to_string(s[2]));
    EXPECT_EQ(last[6], std::to_string(s[8] / s[0]));
    EXPECT_EQ(last[7], std::to_string(s[9] / s[0]));
    EXPECT_EQ(last[8], std::to_string(s[10] / s[0]));
    // A closed triangulated hull: F = 2V - 4 when every vertex is a corner.
    EXPECT_EQ(s[2], 2 * s[1] - 4);
}

TEST_F(InScratchFolder, DensityRoutineShowsItsProgressInOrder) {
    POINT_LIST set;
    HullBenchmarkSettings settings;
    settings.repeats = 1;
    settings.pointCount = 100;
    ASSERT_TRUE(Run_Density_Benchmark(set, settings, Recording()).status);
    ASSERT_EQ(texts.size(), 33u * 3u);
    EXPECT_EQ(texts[0], (std::pair<std::string, int>{" Creating random 100 points...", 0}));
    EXPECT_EQ(texts[1], (std::pair<std::string, int>{" Calculating convex hull : 100", 0}));
    EXPECT_EQ(texts[2], (std::pair<std::string, int>{"0 % completed", 1}));
    EXPECT_EQ(texts[5].first, "3 % completed");  // 1 x 100 / 33
    EXPECT_EQ(texts.back().first, "96 % completed");
    EXPECT_EQ(repaints, 33);
    ASSERT_EQ(generatedCounts.size(), 33u);
    EXPECT_EQ(generatedCounts.front(), 100u);
}

TEST_F(InScratchFolder, DensityPutsTheRightShareOnTheHull) {
    // Density 10 puts every point on the sphere, so (nearly) all of them are hull vertices; density 0 fills
    // the ball, where only a few are. Rows 1 and 11 of the first algorithm show it.
    POINT_LIST set;
    HullBenchmarkSettings settings;
    settings.pointCount = 500;
    ASSERT_TRUE(Run_Density_Benchmark(set, settings, {}).status);
    std::vector<double> shares;
    for (const std::string& line : Lines_Of(Read_All(kDensityBenchmarkFile))) {
        if (std::regex_match(line, kDensityRow)) shares.push_back(std::stod(Fields_Of(line)[0]));
    }
    ASSERT_EQ(shares.size(), 33u);
    EXPECT_LT(shares[0], 0.5);
    EXPECT_GT(shares[10], 0.9);
    EXPECT_GT(shares[10], shares[5]);
    EXPECT_GT(shares[5], shares[0]);
}

// ---- Size routine -----------------------------------------------------------------------------

TEST_F(InScratchFolder, SizeRoutineStopsAtTheCapAndCountsTheRealPoints) {
    POINT_LIST set;
    HullBenchmarkSettings settings;
    settings.repeats = 2;
    settings.maxPoints = 1000;
    const HullBenchmarkResult result = Run_Size_Benchmark(set, settings, Recording());
    ASSERT_TRUE(result.status) << result.status.message;

    const std::string text = Read_All(kSizeBenchmarkFile);
    const std::string head =
        "Convex Hull Distance Size Test... with 2 repeats\n\n"
        "Data with point_num, distance_avg, distance_err, distance_variance\t "
        "point_num, hyper_avg, hyper_err, "
        "hyper_variance\n\n"
        "\n\n****Cubic Cases****\n==================Quick Hull Best "
        "algorithm================\n10\t";
    ASSERT_EQ(text.substr(0, head.size()), head);
    EXPECT_NE(text.find("\n\n\n\n****In Sphere Cases****\n"), std::string::npos);
    EXPECT_NE(text.find("\n\n\n\n****On Sphere Case****\n"), std::string::npos);

    std::vector<std::string> sizes;
    for (const std::string& line : Lines_Of(text)) {
        if (!std::regex_match(line, kSizeRow)) continue;
        const std::vector<std::string> f = Fields_Of(line);
        sizes.push_back(f[0]);
        ASSERT_EQ(f.size(), 10u);
        EXPECT_EQ(f[0], f[6]);
        // Two repeats: the population deviation of two values is their half range.
        for (int k : {1, 7}) {
            EXPECT_NEAR(std::stod(f[k + 2]), std::stod(f[k + 1]), 0.0100001) << line;
        }
        // Every cloud needs some distance tests and fills at least its first four faces.
        EXPECT_GT(std::stod(f[1]), 0.0) << line;
    }
    ASSERT_EQ(sizes.size(), 27u);  // 3 cases x 3 algorithms x 10, 100, 1000
    for (std::size_t i = 0; i < sizes.size(); ++i)
        EXPECT_EQ(sizes[i], std::to_string(int(std::pow(10, 1 + i % 3))));

    EXPECT_EQ(memo.front(), "Full Test of Convex Hull Start... with 2 repeats.");
    EXPECT_EQ(memo[1], "****Cubic Cases****");
    EXPECT_EQ(texts.back().first, "98 % completed");  // run 53 of 54
    ASSERT_EQ(generatedCounts.size(), 54u);
    EXPECT_EQ(generatedCounts.back(), 1000u);
}

TEST_F(InScratchFolder, SizeRoutineOnSphereKeepsEveryPoint) {
    // Points on a sphere are all hull vertices: the last cloud (on the sphere, 100 points) keeps them.
    POINT_LIST set;
    HullBenchmarkSettings settings;
    settings.maxPoints = 100;
    ASSERT_TRUE(Run_Size_Benchmark(set, settings, {}).status);
    EXPECT_EQ(set.stats[0], 100u);
    EXPECT_EQ(set.stats[1], 100u);
    EXPECT_EQ(set.stats[2], 196u);
    EXPECT_EQ(set.Count(0), 100u);
}

// ---- Requests the routines refuse -------------------------------------------------------------

// Asks to stop once the benchmark has made `clouds` clouds; counts every report it gets.
class StopAfterClouds : public Progress {
public:
    StopAfterClouds(const std::vector<unsigned>& generated, std::size_t clouds)
        : generated_(generated), clouds_(clouds) {}
    void Report(double fraction, const std::string& text) override {
        ++reports;
        EXPECT_GE(fraction, last);
        EXPECT_LE(fraction, 1.0);
        EXPECT_NE(text.find("% completed"), std::string::npos) << text;
        last = fraction;
    }
    bool IsCancelRequested() const override { return generated_.size() >= clouds_; }

    int reports = 0;
    double last = 0.0;

private:
    const std::vector<unsigned>& generated_;
    std::size_t clouds_;
};

TEST_F(InScratchFolder, RefusedRequestsWriteNoTable) {
    POINT_LIST set;
    HullBenchmarkSettings settings;
    for (int repeats : {0, -3, kMaxBenchmarkRepeats + 1}) {
        settings.repeats = repeats;
        const HullBenchmarkResult result = Run_Density_Benchmark(set, settings, Recording());
        EXPECT_FALSE(result.status) << repeats;
        EXPECT_NE(result.status.message.find("repeats"), std::string::npos);
        EXPECT_FALSE(Run_Size_Benchmark(set, settings, {}).status) << repeats;
    }
    settings.repeats = 1;
    for (unsigned n : {0u, 3u, kMaxGeneratedPoints + 1}) {
        settings.pointCount = n;
        const HullBenchmarkResult result = Run_Density_Benchmark(set, settings, Recording());
        EXPECT_FALSE(result.status) << n;
        EXPECT_NE(result.status.message.find(std::to_string(n)), std::string::npos);
    }
    EXPECT_TRUE(memo.empty());
    EXPECT_FALSE(fs::exists(kDensityBenchmarkFile));
    EXPECT_FALSE(fs::exists(kSizeBenchmarkFile));
}

// Stopped between runs: the configurations finished so far stay in the table as whole lines, the
// one cut short is left out, and the table's last line says where it stopped.
TEST_F(InScratchFolder, StoppedRunKeepsTheFinishedConfigurations) {
    { std::ofstream(kDensityBenchmarkFile) << "old table\n"; }
    POINT_LIST set;
    HullBenchmarkSettings settings;
    settings.pointCount = 100;
    settings.repeats = 2;
    StopAfterClouds stop(generatedCounts, 5);
    const HullBenchmarkResult result = Run_Density_Benchmark(set, settings, Recording(), &stop);
    ASSERT_TRUE(result.status) << result.status.message;
    EXPECT_TRUE(result.stopped);
    EXPECT_EQ(result.runsDone, 5);
    EXPECT_EQ(result.runsTotal, 66);
    EXPECT_EQ(generatedCounts.size(), 5u);
    EXPECT_GE(stop.reports, 5);  // the hull runs' own reports come through as well

    const std::string table = Read_All(kDensityBenchmarkFile);
    ASSERT_FALSE(table.empty());
    EXPECT_EQ(table.back(), '\n');
    const std::vector<std::string> lines = Lines_Of(table);
    int rows = 0;
    for (const std::string& line : lines) rows += std::regex_match(line, kDensityRow);
    EXPECT_EQ(rows, 2);  // densities 0 and 1; density 2 had one of its two runs
    EXPECT_EQ(lines.back(), "Stopped by the user after 5 of 66 runs.");
    EXPECT_EQ(Stopped_Line(result), lines.back());
}

TEST_F(InScratchFolder, SizeRoutineStopsBetweenRunsToo) {
    POINT_LIST set;
    HullBenchmarkSettings settings;
    settings.maxPoints = 100;
    StopAfterClouds stop(generatedCounts, 3);
    const HullBenchmarkResult result = Run_Size_Benchmark(set, settings, Recording(), &stop);
    ASSERT_TRUE(result.status) << result.status.message;
    EXPECT_TRUE(result.stopped);
    EXPECT_EQ(result.runsDone, 3);
    EXPECT_EQ(result.runsTotal, 18);
    const std::vector<std::string> lines = Lines_Of(Read_All(kSizeBenchmarkFile));
    int rows = 0;
    for (const std::string& line : lines) rows += std::regex_match(line, kSizeRow);
    EXPECT_EQ(rows, 3);
    EXPECT_EQ(lines.back(), "Stopped by the user after 3 of 18 runs.");
}

TEST_F(InScratchFolder, UnwritableTableIsReported) {
    POINT_LIST set;
    HullBenchmarkSettings settings;
    settings.pointCount = 100;
    settings.file = (folder_ / "no such folder" / "CH_ratio.txt").string();
    const HullBenchmarkResult result = Run_Density_Benchmark(set, settings, {});
    EXPECT_FALSE(result.status);
    EXPECT_NE(result.status.message.find("no such folder"), std::string::npos);
}

}  // namespace
}  // namespace orvex
