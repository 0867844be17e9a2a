// orvex bench hull: the window's two tables made headless in the current folder, and the requests it
// refuses. Runs the real binary on tiny clouds.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "tests/cli/RunOrvex.h"
#include "tests/support/ScratchFolder.h"

namespace {

namespace fs = std::filesystem;

using orvex::clitest::Outcome;

class BenchHull : public ::testing::Test {
protected:
    // Runs orvex in the scratch folder.
    Outcome Orvex(const std::string& arguments) const {
        return orvex::clitest::Orvex(arguments, folder.string());
    }

    int Rows(const std::string& name, const std::regex& row) const {
        std::ifstream in(folder / name);
        int rows = 0;
        for (std::string line; std::getline(in, line);) rows += std::regex_match(line, row);
        return rows;
    }

    orvex::test::ScratchFolder scratch_{"orvex_bench_hull"};
    fs::path folder = scratch_.Path();
};

const std::regex kDensityRow(R"([\d.]+\t[\d.]+\t[\d.]+\t[\d.]+\t\t\t[\d.]+\t[\d.]+\t[\d.]+\t[\d.]+)");
const std::regex kSizeRow(R"(\d+\t[\d.]+\t[\d.]+\t[\d.]+\t\t\t\d+\t[\d.]+\t[\d.]+\t[\d.]+)");

TEST_F(BenchHull, MakesBothTablesInTheCurrentFolder) {
    const Outcome run = Orvex("bench hull --points 30 --max-points 100");
    ASSERT_EQ(run.exitCode, 0) << run.out;
    EXPECT_EQ(Rows("CH_ratio.txt", kDensityRow), 33);
    EXPECT_EQ(Rows("CH_Distance.txt", kSizeRow), 18);  // 3 cases x 3 algorithms x 10 and 100
    // The report lines of the "Detail" window come out on stdout.
    EXPECT_NE(run.out.find("Density Convex Hull Test... with 1 repeats."), std::string::npos);
    EXPECT_NE(run.out.find("Full Test of Convex Hull Start... with 1 repeats."), std::string::npos);
    EXPECT_NE(run.out.find("CH_Distance.txt written. Totla Cost: "), std::string::npos);
}

TEST_F(BenchHull, OneRoutineOnly) {
    const Outcome run = Orvex("bench hull --routine size --max-points 10 --repeats 2");
    ASSERT_EQ(run.exitCode, 0) << run.out;
    EXPECT_FALSE(fs::exists(folder / "CH_ratio.txt"));
    EXPECT_EQ(Rows("CH_Distance.txt", kSizeRow), 9);
}

TEST_F(BenchHull, RefusedRequestsFailAndWriteNothing) {
    for (const char* arguments : {"--points 3", "--repeats 0", "--max-points 5", "--routine sideways"}) {
        const Outcome run = Orvex(std::string("bench hull ") + arguments);
        EXPECT_NE(run.exitCode, 0) << arguments << "\n" << run.out;
    }
    EXPECT_FALSE(fs::exists(folder / "CH_ratio.txt"));
    EXPECT_FALSE(fs::exists(folder / "CH_Distance.txt"));
}

}  // namespace
