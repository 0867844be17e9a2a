#include "device/SensorSimulator.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/prctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <numbers>

#include "device/SensorDriver.h"

namespace orvex {

namespace {

using Clock = std::chrono::steady_clock;

// One byte on a 38400 baud line with a start bit, eight data bits and two stop bits.
constexpr auto kByteTime = std::chrono::nanoseconds(11 * 1000000000LL / 38400);

void Put_Word(std::vector<unsigned char>& bytes, int value) {
    bytes.push_back(static_cast<unsigned char>((value >> 8) & 0xFF));
    bytes.push_back(static_cast<unsigned char>(value & 0xFF));
}

void Close(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

}  // namespace

bool Sensor_Fault_From_Name(const std::string& name, SensorFault& fault) {
    if (name == "none")
        fault = SensorFault::None;
    else if (name == "checksum")
        fault = SensorFault::BadChecksum;
    else if (name == "short")
        fault = SensorFault::ShortReply;
    else if (name == "silence")
        fault = SensorFault::Silence;
    else if (name == "late")
        fault = SensorFault::LateReply;
    else
        return false;
    return true;
}

SensorSimulator::SensorSimulator(const SensorSimulatorSettings& settings) : settings_(settings) {
    settings_.faultEvery = std::max(settings_.faultEvery, 1);
    settings_.axis = std::clamp(settings_.axis, 0, 2);
}

SensorSimulator::~SensorSimulator() {
    Stop();
}

std::vector<unsigned char> SensorSimulator::SerialReply(int serial) {
    std::vector<unsigned char> bytes{kSensorSerialCommand};
    Put_Word(bytes, serial & 0xFFFF);
    Put_Word(bytes, Sensor_Checksum(bytes.data(), 5));  // the checksum ignores its own two bytes
    return bytes;
}

std::vector<unsigned char> SensorSimulator::OrientationReply(unsigned char command, const double M[3][3],
                                                             int extra) {
    std::vector<unsigned char> bytes{command};
    for (int j = 0; j < 3; ++j)
        for (int i = 0; i < 3; ++i) {
            const long w = std::lround(std::clamp(M[i][j] * 8192.0, -32768.0, 32767.0));
            Put_Word(bytes, int(w) & 0xFFFF);
        }
    Put_Word(bytes, extra & 0xFFFF);
    Put_Word(bytes, 0);
    const int sum = Sensor_Checksum(bytes.data(), int(bytes.size()));
    bytes[21] = static_cast<unsigned char>(sum >> 8);
    bytes[22] = static_cast<unsigned char>(sum & 0xFF);
    return bytes;
}

bool SensorSimulator::Start(std::string& error) {
    if (worker_.joinable()) return true;
    if (::openpty(&master_, &slave_, nullptr, nullptr, nullptr) != 0) {
        error = std::string("cannot make a pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    char name[128];
    if (::ptsname_r(master_, name, sizeof name) != 0 || ::pipe2(wake_, O_CLOEXEC) != 0) {
        error = std::string("cannot set up the pseudo-terminal: ") + std::strerror(errno);
        Close(master_);
        Close(slave_);
        Close(wake_[0]);
        Close(wake_[1]);
        return false;
    }
    path_ = name;
    ::fcntl(master_, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave_, F_SETFD, FD_CLOEXEC);
    // A full line drops bytes, as a real one overruns, instead of stalling the simulator.
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    // Raw from the start, so nothing is echoed before the driver sets the line up. Our own slave
    // descriptor stays open: without it the master reports a hang-up whenever no driver is attached.
    termios tio{};
    if (::tcgetattr(slave_, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(slave_, TCSANOW, &tio);
    }
    stop_ = false;
    started_ = Clock::now();
    worker_ = std::thread([this] { Run(); });
    return true;
}

void SensorSimulator::Stop() {
    if (worker_.joinable()) {
        stop_ = true;
        const char byte = 0;
        [[maybe_unused]] const ssize_t ignored = ::write(wake_[1], &byte, 1);
        worker_.join();
    }
    Close(master_);
    Close(slave_);
    Close(wake_[0]);
    Close(wake_[1]);
}

void SensorSimulator::InjectFault(SensorFault fault, int count) {
    std::lock_guard lock(mutex_);
    injected_ = fault;
    injectedCount_ = count;
}

void SensorSimulator::QueueReply(std::vector<unsigned char> bytes) {
    std::lock_guard lock(mutex_);
    queued_.push_back(std::move(bytes));
}

bool SensorSimulator::Wait(int millis) {
    pollfd slot{wake_[0], POLLIN, 0};
    while (!stop_) {
        const int ready = ::poll(&slot, 1, millis);
        if (ready < 0 && errno == EINTR) continue;
        break;
    }
    return !stop_;
}

void SensorSimulator::Run() {
    // The default 50 us of timer slack per byte would cost the line a tenth of its pace.
    ::prctl(PR_SET_TIMERSLACK, 1000UL, 0, 0, 0);
    unsigned char input[64];
    while (!stop_) {
        pollfd slots[2] = {{master_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        const int ready = ::poll(slots, 2, -1);
        if (ready < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (stop_ || slots[1].revents) break;
        if (!(slots[0].revents & POLLIN)) {
            if (!Wait(10)) break;  // a hang-up without input: do not spin on it
            continue;
        }
        const ssize_t n = ::read(master_, input, sizeof input);
        if (n <= 0) {
            if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
            if (!Wait(10)) break;
            continue;
        }
        for (ssize_t k = 0; k < n && !stop_; ++k) Answer(input[k]);
    }
}

void SensorSimulator::Answer(unsigned char command) {
    ++commands_;
    std::vector<unsigned char> reply;
    if (command == kSensorSerialCommand) {
        reply = SerialReply(settings_.serial);
    } else if (command == 0x0A || command == 0x0B) {
        const double seconds = std::chrono::duration<double>(Clock::now() - started_).count();
        const double angle = settings_.degreesPerSecond * seconds * std::numbers::pi / 180.0;
        const double c = std::cos(angle), s = std::sin(angle);
        // Rotation about the axis a: identity on a, (c, -s; s, c) on the other two in cyclic order.
        double M[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
        const int a = settings_.axis, u = (a + 1) % 3, v = (a + 2) % 3;
        M[u][u] = c;
        M[u][v] = -s;
        M[v][u] = s;
        M[v][v] = c;
        reply = OrientationReply(command, M, int(samples_++ & 0xFFFF));
    } else {
        return;
    }

    SensorFault fault = SensorFault::None;
    {
        std::lock_guard lock(mutex_);
        if (!queued_.empty()) {
            reply = std::move(queued_.front());
            queued_.pop_front();
        } else if (injectedCount_ != 0) {
            fault = injected_;
            if (injectedCount_ > 0) --injectedCount_;
        } else if (settings_.fault != SensorFault::None && (replies_ + 1) % settings_.faultEvery == 0) {
            fault = settings_.fault;
        }
    }
    ++replies_;
    switch (fault) {
        case SensorFault::None:
            break;
        case SensorFault::BadChecksum:
            reply.back() ^= 0x5A;
            break;
        case SensorFault::ShortReply:
            reply.resize(reply.size() / 2);
            break;
        case SensorFault::Silence:
            return;
        case SensorFault::LateReply:
            if (!Wait(settings_.lateMillis)) return;
            break;
    }
    Send(reply);
}

void SensorSimulator::Send(const std::vector<unsigned char>& bytes) {
    // No byte is there before the line could have carried it. Bytes go in groups of four (about a
    // millisecond) so a busy machine has fewer wake-ups to be late for; absolute times keep the pace.
    constexpr std::size_t kGroup = 4;
    const auto t0 = Clock::now();
    for (std::size_t sent = 0; sent < bytes.size() && !stop_;) {
        const std::size_t end = std::min(bytes.size(), sent + kGroup);
        std::this_thread::sleep_until(t0 + kByteTime * long(end));
        while (sent < end) {
            const ssize_t n = ::write(master_, &bytes[sent], end - sent);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;  // a full line drops the bytes
            sent += std::size_t(n);
        }
        sent = end;
    }
}

}  // namespace orvex
