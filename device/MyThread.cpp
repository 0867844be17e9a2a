#include "device/MyThread.h"

#include <chrono>

namespace orvex {

namespace {

// The longest an orientation reading may take on the line: 50 ms + 10 ms per reply byte.
constexpr auto kReadingTimeout = std::chrono::milliseconds(50 + 10 * kSensorOrientationReplyLength);

}  // namespace

void Apply_Sensor_Sample(const double S[4][4], Matrix4& model) {
    for (int i = 0; i < 3; ++i) {
        model[i] = float(-S[i][0]);
        model[4 + i] = float(S[i][1]);
        model[8 + i] = float(S[i][2]);
    }
}

MyThread::~MyThread() {
    WaitFor();
}

bool MyThread::Start() {
    if (worker_.joinable()) return false;
    {
        std::lock_guard lock(mutex_);
        terminated_ = false;
    }
    worker_ = std::thread([this] { Execute(); });
    return true;
}

void MyThread::Terminate() {
    {
        std::lock_guard lock(mutex_);
        terminated_ = true;
    }
    wake_.notify_all();
}

void MyThread::WaitFor() {
    Terminate();
    if (worker_.joinable()) worker_.join();
}

SensorUpdate MyThread::Take() {
    std::lock_guard lock(mutex_);
    // Cleared first: news that lands after this take asks for its own frame.
    pending_ = false;
    SensorUpdate update = mailbox_;
    mailbox_.fresh = false;
    return update;
}

void MyThread::Execute() {
    for (;;) {
        {
            std::lock_guard lock(mutex_);
            if (terminated_) return;
        }
        ++passes_;
        const auto start = std::chrono::steady_clock::now();
        double S[4][4];
        const int result = driver_.ReadSample(driver_.device, S);
        bool news = false;
        {
            std::lock_guard lock(mutex_);
            if (result == 1) {
                for (int i = 0; i < 4; ++i)
                    for (int j = 0; j < 4; ++j) mailbox_.S[i][j] = S[i][j];
                mailbox_.fresh = true;
                news = true;
            }
            if (result != mailbox_.result) {
                mailbox_.result = result;
                news = true;
            }
        }
        if (news && !pending_.exchange(true) && frameRequest_) frameRequest_();
        if (result != 1) {
            // A port that is not open fails at once: wait as a silent line would, but stop at once.
            std::unique_lock lock(mutex_);
            wake_.wait_until(lock, start + kReadingTimeout, [this] { return terminated_; });
        }
    }
}

}  // namespace orvex
