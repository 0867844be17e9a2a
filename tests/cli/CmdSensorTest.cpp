// orvex sensor against orvex sensor-sim, both the real binary: the diagnostics and readings through
// the simulator's link, its faults, a failed open, and a clean end on a signal that removes the link.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/cli/RunOrvex.h"
#include "tests/support/ScratchFolder.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

using orvex::clitest::Orvex;
using orvex::clitest::Outcome;

class SensorCli : public ::testing::Test {
protected:
    void TearDown() override {
        if (pid_ > 0) Stop(SIGKILL);
    }

    // Starts orvex sensor-sim --link LINK with `extra` arguments, its output going to a file.
    // With `asFromAScript`, SIGINT comes ignored, as a shell script starts background commands.
    bool StartSimulator(const std::vector<std::string>& extra = {}, bool asFromAScript = false) {
        std::vector<std::string> words{std::string(ORVEX_BIN_DIR) + "/orvex", "sensor-sim", "--link", link_};
        words.insert(words.end(), extra.begin(), extra.end());
        std::vector<char*> argv;
        for (std::string& word : words) argv.push_back(word.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, output_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        struct sigaction ignore {
        }, previous{};
        ignore.sa_handler = SIG_IGN;
        if (asFromAScript) sigaction(SIGINT, &ignore, &previous);
        const int spawned = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
        if (asFromAScript) sigaction(SIGINT, &previous, nullptr);
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0) {
            pid_ = -1;
            return false;
        }
        for (int k = 0; k < 250; ++k) {
            if (fs::is_symlink(link_)) return true;
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }
    // Sends `signal` and returns the exit code; -1 when it did not end by itself within five seconds.
    int Stop(int signal) {
        ::kill(pid_, signal);
        int status = 0;
        bool ended = false;
        for (int k = 0; k < 500 && !ended; ++k) {
            ended = ::waitpid(pid_, &status, WNOHANG) == pid_;
            if (!ended) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (!ended) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &status, 0);
        }
        pid_ = -1;
        return ended && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string SimulatorOutput() const {
        std::ifstream in(output_);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    orvex::test::ScratchFolder scratch_{"orvex_sensor"};
    std::string link_ = scratch_.File("sensor0");
    std::string output_ = scratch_.File("sim.txt");
    pid_t pid_ = -1;
    int exitCode_ = -1;  // of a simulator that ended by itself
};

int Count(const std::string& text, const std::string& piece) {
    int n = 0;
    for (std::size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++n;
    return n;
}

TEST_F(SensorCli, ReadsTheSimulatorThroughItsLinkUntilCtrlC) {
    ASSERT_TRUE(StartSimulator({}, true)) << SimulatorOutput();
    const Outcome run = Orvex("sensor --port " + link_ + " --count 20");
    ASSERT_EQ(run.exitCode, 0) << run.out;
    EXPECT_NE(run.out.find("trying to open port: " + link_ +
                           " # 6\nPort is open as #6 - OK.\n"
                           "Device Number is #: 1\n\nSerial #: 4660\n\n"),
              std::string::npos)
        << run.out;
    EXPECT_EQ(Count(run.out, " 0.000000 0.000000 1.000000\n"), 20) << run.out;  // turning about z
    EXPECT_NE(run.out.find("20 readings, 0 errors, "), std::string::npos) << run.out;
    EXPECT_NE(run.out.find(" per second\n"), std::string::npos) << run.out;

    EXPECT_EQ(Stop(SIGINT), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(link_)));
    const std::string printed = SimulatorOutput();
    EXPECT_EQ(printed.rfind("Sensor simulator on /dev/pts/", 0), 0u) << printed;
    EXPECT_NE(printed.find("Stopped after 21 commands"), std::string::npos) << printed;
}

TEST_F(SensorCli, FaultsShowAsCodesAndTexts) {
    ASSERT_TRUE(StartSimulator({"--fault", "checksum", "--serial", "1234"})) << SimulatorOutput();
    const Outcome run = Orvex("sensor --port " + link_ + " --count 3 --hex");
    ASSERT_EQ(run.exitCode, 0) << run.out;
    EXPECT_NE(run.out.find("S/N Error - : Checksum error\n"), std::string::npos) << run.out;
    EXPECT_EQ(Count(run.out, "-7 Checksum error  [0B "), 3) << run.out;
    EXPECT_NE(run.out.find("3 readings, 3 errors, "), std::string::npos) << run.out;
    EXPECT_EQ(Stop(SIGTERM), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(link_)));

    ASSERT_TRUE(
        StartSimulator({"--serial", "1234", "--axis", "x", "--fault", "silence", "--fault-every", "2"}));
    const Outcome every = Orvex("sensor --port " + link_ + " --count 4");
    EXPECT_NE(every.out.find("Serial #: 1234\n"), std::string::npos) << every.out;
    EXPECT_EQ(Count(every.out, "-4 Port read error\n"), 2) << every.out;
    EXPECT_EQ(Count(every.out, "\n1.000000 0.000000 0.000000  0.000000 "), 2) << every.out;
    EXPECT_NE(every.out.find("4 readings, 2 errors, "), std::string::npos) << every.out;
}

TEST_F(SensorCli, AFailedOpenExitsNonZero) {
    const Outcome run = Orvex("sensor --port " + scratch_.File("nothing-here"));
    EXPECT_NE(run.exitCode, 0);
    EXPECT_NE(run.out.find("port open failed.\nComm error -1, General failure: "), std::string::npos)
        << run.out;
    EXPECT_EQ(run.out.find("readings"), std::string::npos) << run.out;
}

TEST_F(SensorCli, TheSimulatorLeavesAFileInTheLinksPlaceAlone) {
    std::ofstream(link_) << "keep me\n";
    ASSERT_FALSE(StartSimulator());
    EXPECT_EQ(exitCode_, 1);
    EXPECT_NE(SimulatorOutput().find("is not a link"), std::string::npos) << SimulatorOutput();
    std::ifstream in(link_);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "keep me");
}

}  // namespace
