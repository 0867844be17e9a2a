// orvex generate: the written files hold the asked-for distribution, and bad requests end with a
// reason and a non-zero exit. Runs the real binary.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/cli/RunOrvex.h"
#include "tests/support/ScratchFolder.h"

namespace {

namespace fs = std::filesystem;

using orvex::clitest::Orvex;
using orvex::clitest::Outcome;

std::vector<std::vector<double>> Rows(const fs::path& path) {
    std::ifstream in(path);
    std::vector<std::vector<double>> rows;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::vector<double> row;
        double v;
        while (fields >> v) row.push_back(v);
        rows.push_back(row);
    }
    return rows;
}

class Generate : public ::testing::Test {
protected:
    std::string Path(const std::string& name) const { return scratch_.File(name); }
    orvex::test::ScratchFolder scratch_{"orvex_generate"};
};

TEST_F(Generate, OnSphereFileHoldsPointsAtTheRadius) {
    const Outcome run = Orvex("generate " + Path("s.xyz") + " -d on-sphere -n 1000 --range 250 250 250");
    ASSERT_EQ(run.exitCode, 0) << run.out;
    EXPECT_NE(run.out.find("1000 points generated"), std::string::npos) << run.out;
    const auto rows = Rows(Path("s.xyz"));
    ASSERT_EQ(rows.size(), 1000u);
    for (const auto& r : rows) {
        ASSERT_EQ(r.size(), 3u);
        // Six decimals in the file.
        EXPECT_NEAR(std::sqrt(r[0] * r[0] + r[1] * r[1] + r[2] * r[2]), 250.0, 2e-3);
    }
}

TEST_F(Generate, RanStartsWithTheCountAndIndexesNameDistributions) {
    const Outcome run = Orvex("generate " + Path("c.ran") + " -d 0 -n 50 --range 10 20 30");
    ASSERT_EQ(run.exitCode, 0) << run.out;
    const auto rows = Rows(Path("c.ran"));
    ASSERT_EQ(rows.size(), 51u);
    EXPECT_EQ(rows[0], std::vector<double>{50});
    for (std::size_t i = 1; i < rows.size(); ++i) {
        EXPECT_LE(std::fabs(rows[i][0]), 5.0);
        EXPECT_LE(std::fabs(rows[i][1]), 10.0);
        EXPECT_LE(std::fabs(rows[i][2]), 15.0);
    }
}

TEST_F(Generate, XycGivesEveryPointTheSetColour) {
    const Outcome run = Orvex("generate " + Path("p.xyc") + " -n 20 --rotate");
    ASSERT_EQ(run.exitCode, 0) << run.out;
    const auto rows = Rows(Path("p.xyc"));
    ASSERT_EQ(rows.size(), 20u);
    for (const auto& r : rows) {
        ASSERT_EQ(r.size(), 6u);
        for (int k = 3; k < 6; ++k) {
            EXPECT_EQ(r[k], rows[0][k]);
            EXPECT_GE(r[k], 63.0);  // random colours use 64..255
        }
    }
}

TEST_F(Generate, WritesExactlyTheNameGivenWhateverTheCaseOfItsExtension) {
    for (const std::string name : {"P.RAN", "q.Xyz", "c.XYC", "low.ran"}) {
        const Outcome run = Orvex("generate " + Path(name) + " -n 7");
        ASSERT_EQ(run.exitCode, 0) << run.out;
        EXPECT_NE(run.out.find("Wrote " + Path(name) + "\n"), std::string::npos) << run.out;
        std::vector<std::string> files;
        for (const auto& entry : fs::directory_iterator(scratch_.Path()))
            files.push_back(entry.path().filename().string());
        EXPECT_EQ(files, std::vector<std::string>{name});
        fs::remove(Path(name));
    }
    // Read back by the format its extension names.
    ASSERT_EQ(Orvex("generate " + Path("P.RAN") + " -n 7").exitCode, 0);
    EXPECT_EQ(Rows(Path("P.RAN")).front(), std::vector<double>{7});
}

TEST_F(Generate, DensityThreePutsThirtyPercentOnTheSphere) {
    const Outcome run = Orvex("generate " + Path("d.xyz") + " --density 3 -n 1000 --range 100 100 100");
    ASSERT_EQ(run.exitCode, 0) << run.out;
    int on = 0;
    for (const auto& r : Rows(Path("d.xyz")))
        on += std::fabs(std::sqrt(r[0] * r[0] + r[1] * r[1] + r[2] * r[2]) - 100) < 1e-3;
    EXPECT_EQ(on, 300);
}

TEST_F(Generate, BadRequestsSayWhyAndFail) {
    struct Case {
        std::string arguments;
        std::string reason;
    };
    const Case cases[] = {
        {Path("x.txt"), "must end in .ran, .xyz or .xyc"},
        {Path("x.xyz") + " -n -5", "between 0 and 100000000"},
        {Path("x.xyz") + " -n 5000000000", "between 0 and 100000000"},
        {Path("x.xyz") + " -d nowhere", "unknown distribution"},
        {Path("x.xyz") + " -n 0", "nothing written"},
        {Path("no/such/folder/x.xyz") + " -n 3", "no/such/folder/x.xyz"},
    };
    for (const Case& c : cases) {
        const Outcome run = Orvex("generate " + c.arguments);
        EXPECT_NE(run.exitCode, 0) << c.arguments;
        EXPECT_NE(run.out.find(c.reason), std::string::npos) << c.arguments << "\n" << run.out;
    }
    EXPECT_FALSE(fs::exists(Path("x.xyz")));
}

}  // namespace
