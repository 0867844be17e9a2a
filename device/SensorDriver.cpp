#include "device/SensorDriver.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <thread>

namespace orvex {

namespace {

using Clock = std::chrono::steady_clock;

int Word(const unsigned char* bytes) {
    return (int(bytes[0]) << 8) | int(bytes[1]);
}

// Milliseconds left until `deadline`, rounded up so a wait never ends just short of it.
int Millis_Left(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? int(std::min<long long>(left, 1 << 30)) : 0;
}

bool Baud_Code(int baud, speed_t& code) {
    switch (baud) {
        case 1200:
            code = B1200;
            return true;
        case 2400:
            code = B2400;
            return true;
        case 4800:
            code = B4800;
            return true;
        case 9600:
            code = B9600;
            return true;
        case 19200:
            code = B19200;
            return true;
        case 38400:
            code = B38400;
            return true;
        case 57600:
            code = B57600;
            return true;
        case 115200:
            code = B115200;
            return true;
        default:
            return false;
    }
}

}  // namespace

int Sensor_Checksum(const unsigned char* reply, int n) {
    if (!reply || n < 4) return -1;
    unsigned sum = reply[0];
    for (int start = 1; start < n - 2; start += 2) sum += unsigned(Word(reply + start));
    return int(sum & 0xFFFFu);
}

bool Sensor_Checksum_Matches(const unsigned char* reply, int n) {
    const int sum = Sensor_Checksum(reply, n);
    return sum >= 0 && sum == Word(reply + n - 2);
}

void Sensor_Decode_Orientation(const unsigned char* reply, float M[3][3]) {
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            const std::int16_t w = std::int16_t(std::uint16_t(Word(reply + 1 + 2 * (3 * j + i))));
            M[i][j] = float(w) / 8192.0f;
        }
}

SensorDriver::SensorDriver() {
    std::fill(std::begin(devicePort), std::end(devicePort), -1);
    std::fill(std::begin(portHandle), std::end(portHandle), -1);
}

SensorDriver::~SensorDriver() {
    for (int port = 0; port < kSensorPorts; ++port) ClosePort(port);
}

void SensorDriver::ClosePort(int port) {
    if (port < 0 || port >= kSensorPorts || portHandle[port] < 0) return;
    // The simulator keeps its own end of the terminal open, so exclusivity would outlive us.
    ::ioctl(portHandle[port], TIOCNXCL);
    ::close(portHandle[port]);
    portHandle[port] = -1;
}

std::string SensorDriver::PortName(int port) const {
    if (!portPath_.empty()) return portPath_;
    return "/dev/ttyS" + std::to_string(port - 1);
}

int SensorDriver::OpenSensor(int n) {
    device = -1;
    const int port = OpenPort(n + 1, 38400, 8, 0, 2);
    if (port < 0) {
        std::fprintf(out_, "port open failed.\n");
        std::fprintf(out_, "Comm error %d, %s: ", port, ErrorText(port));
        std::fflush(out_);
        return -1;
    }
    std::fprintf(out_, "Port is open as #%d - OK.\n", port);
    const int mapped = MapDevice(1, port);
    if (mapped <= 0) {
        std::fprintf(out_, "Could not map the Device to a Port\n");
        std::fprintf(out_, "%s\n", ErrorText(mapped));
        std::fflush(out_);
        return -1;
    }
    device = mapped;
    std::fprintf(out_, "Device Number is #: %d\n\n", device);
    int serial = 0;
    const int result = ReadSerialNumber(device, serial);
    if (result == 1)
        std::fprintf(out_, "Serial #: %d\n", serial);
    else
        std::fprintf(out_, "S/N Error - : %s\n", ErrorText(result));
    std::fprintf(out_, "\n");
    std::fflush(out_);
    return 1;
}

int SensorDriver::OpenPort(int port, int baud, int dataBits, int parity, int stopBits) {
    int result = CreatePort(port);
    if (result < 0) return result;
    result = SetPortState(port, baud, dataBits, parity, stopBits);
    if (result >= 0) result = SetPortTimeouts(port, 50, 50);
    if (result < 0) {
        ClosePort(port);  // a port left half set up would answer transactions at the wrong speed
        return result;
    }
    return port;
}

int SensorDriver::CreatePort(int port) {
    if (port < 0 || port >= kSensorPorts) return kSensorInvalidPort;
    ClosePort(port);
    const std::string name = PortName(port);
    // Not blocking while it opens (no carrier to wait for), blocking afterwards; never our terminal.
    int fd = ::open(name.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
        const int flags = ::fcntl(fd, F_GETFL);
        const bool usable = ::isatty(fd) && flags >= 0 && ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0 &&
                            ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::ioctl(fd, TIOCEXCL) == 0;
        if (!usable) {
            ::close(fd);
            fd = -1;
        }
    }
    std::fprintf(out_, "trying to open port: %s # %d\n", name.c_str(), port);
    std::fflush(out_);
    if (fd < 0) return kSensorGeneralFailure;
    portHandle[port] = fd;
    timeouts_[port] = Timeouts{};
    return port;
}

int SensorDriver::SetPortState(int port, int baud, int bits, int parity, int stop) {
    if (port < 0 || port >= kSensorPorts || portHandle[port] < 0) return kSensorGeneralFailure;
    termios tio{};
    if (::tcgetattr(portHandle[port], &tio) != 0) return kSensorGeneralFailure;
    ::cfmakeraw(&tio);
    speed_t speed;
    if (!Baud_Code(baud, speed) || ::cfsetispeed(&tio, speed) != 0 || ::cfsetospeed(&tio, speed) != 0)
        return kSensorGeneralFailure;
    tio.c_cflag &= ~tcflag_t(CSIZE);
    switch (bits) {
        case 5:
            tio.c_cflag |= CS5;
            break;
        case 6:
            tio.c_cflag |= CS6;
            break;
        case 7:
            tio.c_cflag |= CS7;
            break;
        case 8:
            tio.c_cflag |= CS8;
            break;
        default:
            return kSensorGeneralFailure;
    }
    tio.c_cflag &= ~tcflag_t(PARENB | PARODD | CMSPAR);
    switch (parity) {
        case 0:
            break;  // none
        case 1:
            tio.c_cflag |= PARENB | PARODD;
            break;  // odd
        case 2:
            tio.c_cflag |= PARENB;
            break;  // even
        case 3:
            tio.c_cflag |= PARENB | PARODD | CMSPAR;
            break;  // mark
        case 4:
            tio.c_cflag |= PARENB | CMSPAR;
            break;  // space
        default:
            return kSensorGeneralFailure;
    }
    // 1 means one stop bit, as does the platform code 0 it stands for.
    if (stop == 0 || stop == 1)
        tio.c_cflag &= ~tcflag_t(CSTOPB);
    else if (stop == 2)
        tio.c_cflag |= CSTOPB;
    else
        return kSensorGeneralFailure;
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    if (::tcsetattr(portHandle[port], TCSANOW, &tio) != 0) return kSensorGeneralFailure;
    return 0;
}

int SensorDriver::SetPortTimeouts(int port, int t, int w) {
    if (port < 0 || port >= kSensorPorts || portHandle[port] < 0) return kSensorGeneralFailure;
    if (t < 0 || w < 0) return kSensorGeneralFailure;
    Timeouts& timeouts = timeouts_[port];
    timeouts.readInterval = t;
    timeouts.readTotalConstant = t;
    timeouts.readTotalMultiplier = 10;
    timeouts.writeTotalConstant = w;
    timeouts.writeTotalMultiplier = 10;
    return 0;
}

int SensorDriver::MapDevice(int dev, int port) {
    if (dev < 0 || dev >= kSensorDevices) return kSensorInvalidDevice;
    if (port < 0 || port >= kSensorPorts) return kSensorInvalidPort;
    devicePort[dev] = port;
    return dev;
}

namespace {

// Reads and drops what the line brings until it has been silent for a while (bounded, so a line
// that never stops cannot hold the reading up).
void Drain_Until_Quiet(int fd) {
    constexpr int kQuietMs = 50;
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
    unsigned char scratch[64];
    while (std::chrono::steady_clock::now() < giveUp) {
        pollfd slot{fd, POLLIN, 0};
        const int ready = ::poll(&slot, 1, kQuietMs);
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0 || !(slot.revents & POLLIN)) return;
        const ssize_t n = ::read(fd, scratch, sizeof scratch);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) return;
    }
}

}  // namespace

int SensorDriver::Transact(int dev, int command, unsigned char* reply, int length) {
    lastReply_.clear();
    if (dev < 0 || dev >= kSensorDevices) return kSensorInvalidDevice;
    const int port = devicePort[dev];
    if (port < 0 || port >= kSensorPorts || portHandle[port] < 0) return kSensorInvalidPort;
    const int fd = portHandle[port];
    const Timeouts& timeouts = timeouts_[port];
    const int wanted = reply ? std::max(length, 0) : 0;

    // After a failed reading a reply may still be arriving; a flush alone could cut it and leave
    // its tail in front of the next reply, so the line is read empty until it falls quiet.
    const bool resync = drainBeforeNext_;
    if (resync) {
        drainBeforeNext_ = false;
        Drain_Until_Quiet(fd);
    }
    // A reply that came after its reading gave up must not be taken for the next one.
    ::tcflush(fd, TCIFLUSH);

    const auto start = Clock::now();
    const auto writeDeadline =
        start + std::chrono::milliseconds(timeouts.writeTotalConstant + timeouts.writeTotalMultiplier);
    const unsigned char byte = static_cast<unsigned char>(command);
    bool written = false;
    for (;;) {
        pollfd slot{fd, POLLOUT, 0};
        const int ready = ::poll(&slot, 1, Millis_Left(writeDeadline));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0 || !(slot.revents & POLLOUT)) break;
        const ssize_t n = ::write(fd, &byte, 1);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        written = n == 1;
        break;
    }
    const auto readStart = Clock::now();
    const auto readDeadline =
        readStart + std::chrono::milliseconds(timeouts.readTotalConstant +
                                              timeouts.readTotalMultiplier * std::max(wanted, 1));
    if (!written) {
        // An unplugged port fails at once; waiting the reading's time-out keeps pollers from spinning.
        std::this_thread::sleep_until(readDeadline);
        return kSensorWriteError;
    }

    int got = 0;
    bool broken = false;
    while (got < wanted) {
        int wait = Millis_Left(readDeadline);
        if (wait == 0) break;
        if (got > 0 && timeouts.readInterval > 0) wait = std::min(wait, timeouts.readInterval);
        pollfd slot{fd, POLLIN, 0};
        const int ready = ::poll(&slot, 1, wait);
        if (ready < 0 && errno == EINTR) continue;
        if (ready == 0) break;  // total or gap time-out
        if (ready < 0 || !(slot.revents & POLLIN)) {
            broken = true;
            break;
        }
        const ssize_t n = ::read(fd, reply + got, std::size_t(wanted - got));
        if (n > 0) {
            got += int(n);
        } else if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
            continue;
        } else {
            broken = true;
            break;
        }
    }
    lastReply_.assign(reply, reply + got);
    if (got < wanted) {
        drainBeforeNext_ = true;
        if (broken) std::this_thread::sleep_until(readDeadline);
        return kSensorReadError;
    }
    if (length < 4 || !Sensor_Checksum_Matches(reply, length)) {
        drainBeforeNext_ = true;
        return kSensorChecksumError;
    }
    // What was read may have been the late answer to the failed command; this command's own answer
    // is then on its way and would put every later reading one reply behind.
    if (resync) Drain_Until_Quiet(fd);
    return 0;
}

int SensorDriver::ReadSerialNumber(int dev, int& serial) {
    unsigned char reply[kSensorSerialReplyLength];
    const int result = Transact(dev, kSensorSerialCommand, reply, kSensorSerialReplyLength);
    if (result < 0) {
        serial = 0;
        return result;
    }
    serial = Word(reply + 1);
    return 1;
}

int SensorDriver::ReadOrientation(int dev, int mode, float M[3][3]) {
    unsigned char reply[kSensorOrientationReplyLength];
    const int result = Transact(dev, mode == 1 ? 0x0A : 0x0B, reply, kSensorOrientationReplyLength);
    if (result < 0) return result;
    Sensor_Decode_Orientation(reply, M);
    return 1;
}

int SensorDriver::ReadSample(int dev, double S[4][4]) {
    float M[3][3];
    const int result = ReadOrientation(dev, 2, M);
    if (result != 1) return result;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) S[i][j] = i < 3 && j < 3 ? double(M[i][j]) : i == j ? 1.0 : 0.0;
    return result;
}

const char* SensorDriver::ErrorText(int code) {
    switch (code) {
        case kSensorGeneralFailure:
            return "General failure";
        case kSensorInvalidPort:
            return "Invalid port number";
        case kSensorWriteError:
            return "Port write error";
        case kSensorReadError:
            return "Port read error";
        case kSensorReadLengthError:
            return "Port read length error";
        case kSensorReadTimeoutError:
            return "Port read timout error";
        case kSensorChecksumError:
            return "Checksum error";
        case kSensorInvalidDevice:
            return "Invalid device Number";
        case kSensorEepromDataError:
            return "EEPROM data error";
        case kSensorEepromAddressError:
            return "EEPROM address error";
        case kSensorGyroScaleError:
            return "Unable to read gyro scale from EEPROM";
        default:
            return "Undefined error";
    }
}

}  // namespace orvex
