// The sensor driver against its byte layouts and, through a pseudo-terminal, against the simulator:
// the diagnostics it prints, the faults a line can have and that a dead line never makes it spin.

#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "device/SensorDriver.h"
#include "device/SensorSimulator.h"

namespace {

using namespace orvex;
using Clock = std::chrono::steady_clock;

// What the driver prints, in memory.
class Printed {
public:
    Printed() : file_(open_memstream(&data_, &size_)) {}
    ~Printed() {
        std::fclose(file_);
        std::free(data_);
    }
    std::FILE* File() const { return file_; }
    std::string Text() {
        std::fflush(file_);
        return std::string(data_, size_);
    }

private:
    char* data_ = nullptr;
    std::size_t size_ = 0;
    std::FILE* file_;
};

// A 23-byte orientation reply from nine words and bytes 19-20, its checksum summed here by hand.
std::vector<unsigned char> Orientation(const std::array<int, 9>& w, int extra, bool sumExtra = true) {
    std::vector<unsigned char> bytes{0x0B};
    unsigned sum = 0x0B;
    for (int value : w) {
        bytes.push_back(static_cast<unsigned char>(value >> 8));
        bytes.push_back(static_cast<unsigned char>(value));
        sum += unsigned(value & 0xFFFF);
    }
    bytes.push_back(static_cast<unsigned char>(extra >> 8));
    bytes.push_back(static_cast<unsigned char>(extra));
    if (sumExtra) sum += unsigned(extra & 0xFFFF);
    bytes.push_back(static_cast<unsigned char>(sum >> 8));
    bytes.push_back(static_cast<unsigned char>(sum));
    return bytes;
}

long Millis_Since(Clock::time_point start) {
    return long(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

TEST(SensorBytes, SerialReplyPassesItsChecksum) {
    const unsigned char reply[5] = {0xF1, 0x12, 0x34, 0x13, 0x25};
    EXPECT_EQ(Sensor_Checksum(reply, 5), 0x1325);
    EXPECT_TRUE(Sensor_Checksum_Matches(reply, 5));
    const unsigned char wrong[5] = {0xF1, 0x12, 0x34, 0x13, 0x26};
    EXPECT_FALSE(Sensor_Checksum_Matches(wrong, 5));
    EXPECT_EQ(Sensor_Checksum(reply, 3), -1);
    EXPECT_FALSE(Sensor_Checksum_Matches(reply, 3));
}

TEST(SensorBytes, OrientationArrivesColumnByColumnInFixedPoint) {
    float M[3][3];
    Sensor_Decode_Orientation(Orientation({0x2000, 0, 0, 0, 0, 0, 0, 0, 0}, 0).data(), M);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) EXPECT_EQ(M[i][j], i == 0 && j == 0 ? 1.0f : 0.0f) << i << j;
    Sensor_Decode_Orientation(Orientation({0, 0x2000, 0, 0, 0, 0, 0, 0, 0}, 0).data(), M);
    EXPECT_EQ(M[1][0], 1.0f);
    EXPECT_EQ(M[0][1], 0.0f);
    Sensor_Decode_Orientation(Orientation({0xE000, 0, 0, 0, 0, 0, 0, 0, 0x7FFF}, 0).data(), M);
    EXPECT_EQ(M[0][0], -1.0f);
    EXPECT_FLOAT_EQ(M[2][2], 32767.0f / 8192.0f);
}

TEST(SensorBytes, BytesNineteenAndTwentyCountInTheSum) {
    EXPECT_TRUE(Sensor_Checksum_Matches(Orientation({1, 2, 3, 4, 5, 6, 7, 8, 9}, 0x4321).data(), 23));
    EXPECT_FALSE(Sensor_Checksum_Matches(Orientation({1, 2, 3, 4, 5, 6, 7, 8, 9}, 0x4321, false).data(), 23));
}

TEST(SensorDriverTable, MapDeviceAndErrorTexts) {
    SensorDriver driver;
    EXPECT_EQ(driver.MapDevice(17, 3), -8);
    EXPECT_EQ(driver.MapDevice(-1, 3), -8);
    EXPECT_EQ(driver.MapDevice(1, 10), -2);
    EXPECT_EQ(driver.MapDevice(1, -1), -2);
    EXPECT_EQ(driver.MapDevice(16, 9), 16);
    EXPECT_EQ(driver.devicePort[16], 9);
    EXPECT_STREQ(SensorDriver::ErrorText(-12), "Undefined error");
    EXPECT_STREQ(SensorDriver::ErrorText(0), "Undefined error");
    EXPECT_STREQ(SensorDriver::ErrorText(5), "Undefined error");
    EXPECT_STREQ(SensorDriver::ErrorText(-6), "Port read timout error");
    EXPECT_STREQ(SensorDriver::ErrorText(-8), "Invalid device Number");
    EXPECT_STREQ(SensorDriver::ErrorText(-11), "Unable to read gyro scale from EEPROM");
}

TEST(SensorDriverTable, TransactChecksDeviceAndPortBeforeIndexing) {
    SensorDriver driver;
    unsigned char reply[23];
    EXPECT_EQ(driver.Transact(17, 0x0B, reply, 23), -8);
    EXPECT_EQ(driver.Transact(-1, 0x0B, reply, 23), -8);
    EXPECT_EQ(driver.Transact(1, 0x0B, reply, 23), -2);  // device not mapped
    ASSERT_EQ(driver.MapDevice(1, 3), 1);
    EXPECT_EQ(driver.Transact(1, 0x0B, reply, 23), -2);  // port never opened
    double S[4][4] = {};
    EXPECT_EQ(driver.ReadSample(driver.device, S), -8);  // device -1 before any open
    EXPECT_EQ(driver.CreatePort(10), -2);
    EXPECT_EQ(driver.CreatePort(-1), -2);
}

TEST(SensorDriverTable, PortsAreSerialDevicesCountedFromOne) {
    SensorDriver driver;
    EXPECT_EQ(driver.PortName(6), "/dev/ttyS5");
    EXPECT_EQ(driver.PortName(1), "/dev/ttyS0");
    driver.SetPortPath("/tmp/sensor0");
    EXPECT_EQ(driver.PortName(6), "/tmp/sensor0");
}

TEST(SensorDriverOpen, AFailedOpenPrintsTheCommErrorAndLeavesNoDevice) {
    Printed printed;
    SensorDriver driver;
    driver.SetOutput(printed.File());
    const std::string missing = ::testing::TempDir() + "/no-such-sensor-port";
    driver.SetPortPath(missing);
    EXPECT_EQ(driver.OpenSensor(5), -1);
    EXPECT_EQ(printed.Text(), "trying to open port: " + missing + " # 6\nport open failed.\n" +
                                  "Comm error -1, General failure: ");
    EXPECT_EQ(driver.device, -1);
    EXPECT_EQ(driver.portHandle[6], -1);
    double S[4][4] = {};
    EXPECT_EQ(driver.ReadSample(driver.device, S), -8);
}

TEST(SensorDriverOpen, WithoutAPathPortSixIsTtyS5) {
    Printed printed;
    SensorDriver driver;
    driver.SetOutput(printed.File());
    driver.OpenSensor(5);
    EXPECT_EQ(printed.Text().rfind("trying to open port: /dev/ttyS5 # 6\n", 0), 0u) << printed.Text();
}

TEST(SensorDriverOpen, AFileThatIsNoTerminalIsRefused) {
    const std::string path = ::testing::TempDir() + "/plain-file-" + std::to_string(::getpid());
    std::fclose(std::fopen(path.c_str(), "w"));
    Printed printed;
    SensorDriver driver;
    driver.SetOutput(printed.File());
    driver.SetPortPath(path);
    EXPECT_EQ(driver.OpenSensor(5), -1);
    std::remove(path.c_str());
}

class SensorLine : public ::testing::Test {
protected:
    void SetUp() override { Begin({}); }
    void Begin(const SensorSimulatorSettings& settings) {
        simulator_ = std::make_unique<SensorSimulator>(settings);
        std::string error;
        ASSERT_TRUE(simulator_->Start(error)) << error;
        driver_.SetOutput(printed_.File());
        driver_.SetPortPath(simulator_->Path());
    }
    void Open() {
        ASSERT_EQ(driver_.OpenSensor(5), 1) << printed_.Text();
        ASSERT_EQ(driver_.device, 1);
    }
    std::string OpenLines(const std::string& serialLine) const {
        return "trying to open port: " + simulator_->Path() + " # 6\nPort is open as #6 - OK.\n" +
               "Device Number is #: 1\n\n" + serialLine + "\n";
    }

    Printed printed_;
    std::unique_ptr<SensorSimulator> simulator_;
    SensorDriver driver_;
};

TEST_F(SensorLine, OpenPrintsTheSerialNumber) {
    Open();
    EXPECT_EQ(printed_.Text(), OpenLines("Serial #: 4660\n"));
    EXPECT_GE(driver_.portHandle[6], 0);
    EXPECT_EQ(driver_.devicePort[1], 6);
}

TEST_F(SensorLine, ASilentSerialQueryIsPrintedButTheOpenHolds) {
    simulator_->InjectFault(SensorFault::Silence, 1);
    EXPECT_EQ(driver_.OpenSensor(5), 1);
    EXPECT_EQ(printed_.Text(), OpenLines("S/N Error - : Port read error\n"));
    EXPECT_EQ(driver_.device, 1);
    double S[4][4];
    EXPECT_EQ(driver_.ReadSample(driver_.device, S), 1);
}

TEST_F(SensorLine, TheSerialComesFromBytesOneAndTwo) {
    Open();
    simulator_->QueueReply({0xF1, 0x12, 0x34, 0x13, 0x25});
    int serial = -1;
    EXPECT_EQ(driver_.ReadSerialNumber(driver_.device, serial), 1);
    EXPECT_EQ(serial, 4660);
    simulator_->QueueReply({0xF1, 0x12, 0x34, 0x13, 0x26});
    EXPECT_EQ(driver_.ReadSerialNumber(driver_.device, serial), -7);
    EXPECT_EQ(serial, 0);
}

TEST_F(SensorLine, OrientationRepliesDecodeThroughTheLine) {
    Open();
    float M[3][3];
    simulator_->QueueReply(Orientation({0x2000, 0, 0, 0, 0, 0, 0, 0, 0}, 0));
    ASSERT_EQ(driver_.ReadOrientation(driver_.device, 2, M), 1);
    EXPECT_EQ(M[0][0], 1.0f);
    EXPECT_EQ(M[1][0] + M[2][0] + M[0][1] + M[1][1] + M[2][1] + M[0][2] + M[1][2] + M[2][2], 0.0f);
    simulator_->QueueReply(Orientation({0, 0x2000, 0, 0, 0, 0, 0, 0, 0}, 0));
    ASSERT_EQ(driver_.ReadOrientation(driver_.device, 1, M), 1);
    EXPECT_EQ(M[1][0], 1.0f);
    EXPECT_EQ(M[0][0], 0.0f);
    simulator_->QueueReply(Orientation({0xE000, 0, 0, 0, 0, 0, 0, 0, 0}, 0x1234));
    ASSERT_EQ(driver_.ReadOrientation(driver_.device, 2, M), 1);
    EXPECT_EQ(M[0][0], -1.0f);
    simulator_->QueueReply(Orientation({0xE000, 0, 0, 0, 0, 0, 0, 0, 0}, 0x1234, false));
    EXPECT_EQ(driver_.ReadOrientation(driver_.device, 2, M), -7);
}

TEST_F(SensorLine, ASampleIsTheOrientationWidened) {
    Open();
    simulator_->QueueReply(Orientation({0x2000, 0x1000, 0, 0, 0x2000, 0, 0, 0, 0x2000}, 0));
    double S[4][4];
    ASSERT_EQ(driver_.ReadSample(driver_.device, S), 1);
    const double expected[4][4] = {{1, 0, 0, 0}, {0.5, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) EXPECT_EQ(S[i][j], expected[i][j]) << i << j;
}

TEST_F(SensorLine, ABadChecksumLeavesTheSampleUntouched) {
    Open();
    simulator_->InjectFault(SensorFault::BadChecksum, 1);
    double S[4][4];
    for (auto& row : S)
        for (double& value : row) value = 7.0;
    EXPECT_EQ(driver_.ReadSample(driver_.device, S), -7);
    EXPECT_EQ(driver_.LastReply().size(), 23u);
    for (auto& row : S)
        for (double value : row) EXPECT_EQ(value, 7.0);
    EXPECT_EQ(driver_.ReadSample(driver_.device, S), 1);
}

TEST_F(SensorLine, SilenceAndAShortReplyAreReadErrorsAfterTheTimeOut) {
    Open();
    double S[4][4];
    simulator_->InjectFault(SensorFault::Silence, 1);
    auto start = Clock::now();
    EXPECT_EQ(driver_.ReadSample(driver_.device, S), -4);
    EXPECT_GE(Millis_Since(start), 280);  // 50 + 23 x 10
    simulator_->InjectFault(SensorFault::ShortReply, 1);
    start = Clock::now();
    EXPECT_EQ(driver_.ReadSample(driver_.device, S), -4);
    EXPECT_EQ(driver_.LastReply().size(), 11u);
    EXPECT_GE(Millis_Since(start), 50);  // the gap after the last byte
    EXPECT_EQ(driver_.ReadSample(driver_.device, S), 1);
}

TEST_F(SensorLine, ALateReplyCostsOneReading) {
    Open();
    simulator_->InjectFault(SensorFault::LateReply, 1);
    double S[4][4];
    EXPECT_EQ(driver_.ReadSample(driver_.device, S), -4);
    // The late reply answers the next command, whose own reply is then read away, so no later flush
    // cuts a reply in flight, however busy the machine.
    for (int k = 0; k < 8; ++k) EXPECT_EQ(driver_.ReadSample(driver_.device, S), 1) << k;
}

TEST_F(SensorLine, AReplyUnderFourBytesIsAChecksumErrorReadNoFurther) {
    Open();
    simulator_->QueueReply({0xF1, 0x12, 0x34, 0x13, 0x25});
    unsigned char reply[5] = {0xAA, 0xAA, 0xAA, 0xAA, 0xAA};
    EXPECT_EQ(driver_.Transact(driver_.device, 0xF1, reply, 3), -7);
    EXPECT_EQ(reply[0], 0xF1);
    EXPECT_EQ(reply[3], 0xAA);
    EXPECT_EQ(reply[4], 0xAA);
    // The rest of that reply arrives on the line and is flushed by the next command.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    int serial = 0;
    EXPECT_EQ(driver_.ReadSerialNumber(driver_.device, serial), 1);
    EXPECT_EQ(serial, 4660);
}

TEST_F(SensorLine, TheOrientationTurnsAboutTheChosenAxis) {
    simulator_.reset();
    SensorSimulatorSettings settings;
    settings.axis = 0;
    settings.degreesPerSecond = 90;
    Begin(settings);
    Open();
    double S[4][4];
    for (int k = 0; k < 5; ++k) {
        ASSERT_EQ(driver_.ReadSample(driver_.device, S), 1);
        EXPECT_NEAR(S[0][0], 1.0, 1e-3);
        EXPECT_NEAR(S[1][1], S[2][2], 1e-3);
        EXPECT_NEAR(S[2][1], -S[1][2], 1e-3);
        EXPECT_NEAR(S[1][1] * S[1][1] + S[2][1] * S[2][1], 1.0, 1e-3);
    }
    EXPECT_GT(S[2][1], 0.0);  // turned a little, positively
}

TEST_F(SensorLine, RepliesComeAtTheLinesPace) {
    Open();
    double S[4][4];
    const auto start = Clock::now();
    for (int k = 0; k < 20; ++k) ASSERT_EQ(driver_.ReadSample(driver_.device, S), 1);
    EXPECT_GE(Millis_Since(start), 20 * 23 * 11 * 1000 / 38400);
}

TEST_F(SensorLine, ThePortIsExclusive) {
    Open();
    Printed printed;
    SensorDriver second;
    second.SetOutput(printed.File());
    second.SetPortPath(simulator_->Path());
    EXPECT_EQ(second.OpenSensor(5), -1);
    EXPECT_NE(printed.Text().find("port open failed.\n"), std::string::npos);
}

TEST_F(SensorLine, AClosedSimulatorFailsEachReadingOnlyAfterItsTimeOut) {
    Open();
    simulator_->Stop();
    double S[4][4];
    const auto start = Clock::now();
    for (int k = 0; k < 3; ++k) EXPECT_LT(driver_.ReadSample(driver_.device, S), 0);
    EXPECT_GE(Millis_Since(start), 3 * 280);
}

}  // namespace
