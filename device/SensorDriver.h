#pragma once
// The motion sensor's serial driver: one-byte commands, fixed-length big-endian replies closed by a
// 16-bit checksum, the orientation as nine signed fixed-point numbers (8192 = 1). POSIX termios:
// port p is the device /dev/ttyS(p - 1) unless a path has been set for every port.

#include <cstdio>
#include <string>
#include <vector>

namespace orvex {

// Results of the driver's operations: 0 or positive on success, one of these on failure.
enum SensorResult {
    kSensorGeneralFailure = -1,
    kSensorInvalidPort = -2,
    kSensorWriteError = -3,
    kSensorReadError = -4,
    kSensorReadLengthError = -5,
    kSensorReadTimeoutError = -6,
    kSensorChecksumError = -7,
    kSensorInvalidDevice = -8,
    kSensorEepromDataError = -9,
    kSensorEepromAddressError = -10,
    kSensorGyroScaleError = -11,
};

constexpr int kSensorDevices = 17;
constexpr int kSensorPorts = 10;
constexpr unsigned char kSensorSerialCommand = 0xF1;
constexpr int kSensorSerialReplyLength = 5;
constexpr int kSensorOrientationReplyLength = 23;

// Sum of byte 0 and the big-endian words starting at bytes 1, 3, ... before byte n - 2, modulo
// 65536; -1 for a reply shorter than 4 bytes (it has no valid checksum).
int Sensor_Checksum(const unsigned char* reply, int n);
// The checksum stored in the last two bytes equals the computed one.
bool Sensor_Checksum_Matches(const unsigned char* reply, int n);
// M[i][j] := w[3j + i] / 8192 from the nine signed words of a 23-byte orientation reply.
void Sensor_Decode_Orientation(const unsigned char* reply, float M[3][3]);

class SensorDriver {
public:
    SensorDriver();
    ~SensorDriver();
    SensorDriver(const SensorDriver&) = delete;
    SensorDriver& operator=(const SensorDriver&) = delete;

    // Opens port n + 1 at 38400 baud 8N2, maps device 1 to it and asks the serial number, printing
    // the diagnostics; 1 or -1 (device is then -1).
    int OpenSensor(int n);
    int OpenPort(int port, int baud, int dataBits, int parity, int stopBits);
    int CreatePort(int port);
    int SetPortState(int port, int baud, int bits, int parity, int stop);
    int SetPortTimeouts(int port, int t, int w);
    int MapDevice(int device, int port);
    int Transact(int device, int command, unsigned char* reply, int length);
    int ReadSerialNumber(int device, int& serial);
    int ReadOrientation(int device, int mode, float M[3][3]);
    // S is filled only when the result is 1.
    int ReadSample(int device, double S[4][4]);
    static const char* ErrorText(int code);

    // Every port opens this path instead of /dev/ttyS(p - 1); empty restores the default.
    void SetPortPath(const std::string& path) { portPath_ = path; }
    // The device file port p opens.
    std::string PortName(int port) const;
    // Where the diagnostics go (standard output unless set).
    void SetOutput(std::FILE* out) { out_ = out; }
    // The bytes the last transaction read, complete or not.
    const std::vector<unsigned char>& LastReply() const { return lastReply_; }

    int device = -1;
    int devicePort[kSensorDevices];
    int portHandle[kSensorPorts];

private:
    struct Timeouts {
        int readInterval = 50;
        int readTotalConstant = 50;
        int readTotalMultiplier = 10;
        int writeTotalConstant = 50;
        int writeTotalMultiplier = 10;
    };
    void ClosePort(int port);

    std::string portPath_;
    std::FILE* out_ = stdout;
    Timeouts timeouts_[kSensorPorts];
    std::vector<unsigned char> lastReply_;
    bool drainBeforeNext_ = false;  // a failed reading may leave a reply on its way
};

}  // namespace orvex
