// The polling thread against the simulator: it starts idle, fills the mailbox with one frame request
// per take, never spins on a missing or dead line, and ends promptly when told, even mid-silence.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "device/MyThread.h"
#include "device/SensorSimulator.h"

namespace {

using namespace orvex;
using Clock = std::chrono::steady_clock;

long Millis_Since(Clock::time_point start) {
    return long(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

// Waits up to five seconds for `done`.
template <typename Done>
bool Eventually(Done done) {
    for (int k = 0; k < 500; ++k) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return done();
}

TEST(SensorSample, IdentityTurnsTheViewToDiagMinusOneOneOne) {
    Matrix4 model;
    for (int e = 0; e < 16; ++e) model[e] = float(100 + e);
    const double identity[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
    Apply_Sensor_Sample(identity, model);
    const Matrix4 expected = {-1, 0, 0, 103, 0, 1, 0, 107, 0, 0, 1, 111, 112, 113, 114, 115};
    EXPECT_EQ(model, expected);
}

TEST(SensorSample, ColumnsOfTheSampleGoToRowsOfTheArray) {
    Matrix4 model{};
    const double S[4][4] = {{1, 2, 3, 0}, {4, 5, 6, 0}, {7, 8, 9, 0}, {0, 0, 0, 1}};
    Apply_Sensor_Sample(S, model);
    const Matrix4 expected = {-1, -4, -7, 0, 2, 5, 8, 0, 3, 6, 9, 0, 0, 0, 0, 0};
    EXPECT_EQ(model, expected);
}

class Polling : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(simulator_.Start(error)) << error;
        quiet_ = std::fopen("/dev/null", "w");
        thread_.Driver().SetOutput(quiet_);
        thread_.Driver().SetPortPath(simulator_.Path());
        thread_.SetFrameRequest([this] { ++requests_; });
    }
    void TearDown() override {
        thread_.WaitFor();
        std::fclose(quiet_);
    }

    SensorSimulator simulator_;
    MyThread thread_;
    std::FILE* quiet_ = nullptr;
    std::atomic<int> requests_{0};
};

TEST_F(Polling, CreatedIdle) {
    ASSERT_EQ(thread_.Driver().OpenSensor(5), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(thread_.Running());
    EXPECT_EQ(thread_.Passes(), 0);
    EXPECT_EQ(simulator_.Commands(), 1);  // the serial number only
}

TEST_F(Polling, GoodReadingsWaitInTheMailboxWithOneFrameRequest) {
    ASSERT_EQ(thread_.Driver().OpenSensor(5), 1);
    ASSERT_TRUE(thread_.Start());
    EXPECT_FALSE(thread_.Start());
    ASSERT_TRUE(Eventually([&] { return thread_.Passes() >= 10; }));
    EXPECT_EQ(requests_.load(), 1);  // nothing taken yet: no more requests
    SensorUpdate update = thread_.Take();
    EXPECT_TRUE(update.fresh);
    EXPECT_EQ(update.result, 1);
    EXPECT_NEAR(update.S[2][2], 1.0, 1e-3);  // turning about z
    EXPECT_EQ(update.S[3][3], 1.0);
    ASSERT_TRUE(Eventually([&] { return requests_.load() == 2; }));
    Matrix4 model;
    Mat4_Identity(model);
    Apply_Sensor_Sample(thread_.Take().S, model);
    EXPECT_NEAR(model[0], -model[5], 1e-3);
}

TEST_F(Polling, TerminationDuringSilenceIsPrompt) {
    ASSERT_EQ(thread_.Driver().OpenSensor(5), 1);
    simulator_.InjectFault(SensorFault::Silence, -1);
    ASSERT_TRUE(thread_.Start());
    ASSERT_TRUE(Eventually([&] { return thread_.Passes() >= 2; }));
    const auto start = Clock::now();
    thread_.WaitFor();
    EXPECT_LT(Millis_Since(start), 280 + 200);  // within one reading's time-out
    EXPECT_FALSE(thread_.Running());
    const SensorUpdate update = thread_.Take();
    EXPECT_FALSE(update.fresh);
    EXPECT_EQ(update.result, -4);
    EXPECT_EQ(requests_.load(), 1);  // one for the changed result, none per failure
}

TEST_F(Polling, NoSpinningWithoutAPortOrOnADeadLine) {
    thread_.Driver().SetPortPath(simulator_.Path() + "-missing");
    ASSERT_EQ(thread_.Driver().OpenSensor(5), -1);
    ASSERT_TRUE(thread_.Start());
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    EXPECT_LE(thread_.Passes(), 4);
    EXPECT_EQ(thread_.Take().result, -8);
    auto start = Clock::now();
    thread_.WaitFor();
    EXPECT_LT(Millis_Since(start), 100);  // not even a reading to wait for

    thread_.Driver().SetPortPath(simulator_.Path());
    ASSERT_EQ(thread_.Driver().OpenSensor(5), 1);
    ASSERT_TRUE(thread_.Start());
    ASSERT_TRUE(Eventually([&] { return thread_.Take().fresh; }));
    simulator_.Stop();
    const long before = thread_.Passes();
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    EXPECT_LE(thread_.Passes() - before, 4);
    EXPECT_LT(thread_.Take().result, 0);
}

}  // namespace
