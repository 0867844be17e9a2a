#pragma once
// A motion sensor on a pseudo-terminal: the driver opens the slave path, the simulator answers on
// the master side at the pace of a 38400 baud 8N2 line. 0xF1 gets the serial number, 0x0A and 0x0B
// an orientation turning steadily about one axis; other bytes get no answer. Faults on request.

#include <atomic>
#include <chrono>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace orvex {

enum class SensorFault { None, BadChecksum, ShortReply, Silence, LateReply };

struct SensorSimulatorSettings {
    int serial = 4660;
    int axis = 2;  // 0 = x, 1 = y, 2 = z
    double degreesPerSecond = 30.0;
    SensorFault fault = SensorFault::None;
    int faultEvery = 1;    // the fault hits every n-th reply
    int lateMillis = 400;  // a late reply comes this long after its command (the driver waits 280)
};

// Parses "none", "checksum", "short", "silence", "late"; false for anything else.
bool Sensor_Fault_From_Name(const std::string& name, SensorFault& fault);

class SensorSimulator {
public:
    explicit SensorSimulator(const SensorSimulatorSettings& settings = {});
    ~SensorSimulator();
    SensorSimulator(const SensorSimulator&) = delete;
    SensorSimulator& operator=(const SensorSimulator&) = delete;

    // Opens the pair and starts answering; false with the reason on failure.
    bool Start(std::string& error);
    // Stops answering and closes the pair: the driver's port then fails as an unplugged one.
    void Stop();
    // The path a driver opens.
    const std::string& Path() const { return path_; }

    // The next `count` replies carry `fault` (count < 0: every reply until changed).
    void InjectFault(SensorFault fault, int count = 1);
    // The next command that has an answer is answered by exactly these bytes instead.
    void QueueReply(std::vector<unsigned char> bytes);
    // Command bytes received so far.
    long Commands() const { return commands_.load(); }

    static std::vector<unsigned char> SerialReply(int serial);
    // A 23-byte orientation reply for M (row by row; sent column by column), with `extra` in bytes 19-20.
    static std::vector<unsigned char> OrientationReply(unsigned char command, const double M[3][3],
                                                       int extra);

private:
    void Run();
    void Answer(unsigned char command);
    void Send(const std::vector<unsigned char>& bytes);
    // Waits up to `millis`; false when a stop was asked meanwhile.
    bool Wait(int millis);

    SensorSimulatorSettings settings_;
    std::string path_;
    int master_ = -1;
    int slave_ = -1;
    int wake_[2] = {-1, -1};
    std::thread worker_;
    std::atomic<bool> stop_{false};
    std::atomic<long> commands_{0};
    long replies_ = 0;
    unsigned samples_ = 0;
    std::chrono::steady_clock::time_point started_;

    std::mutex mutex_;
    std::deque<std::vector<unsigned char>> queued_;
    SensorFault injected_ = SensorFault::None;
    int injectedCount_ = 0;
};

}  // namespace orvex
