#pragma once
// The sensor polling thread. It reads samples through its driver again and again and leaves each
// good one in a one-slot mailbox; the GUI thread takes the newest and turns the view with it. The
// worker never touches the view and never waits for the GUI thread, so joining it cannot deadlock.

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "device/SensorDriver.h"
#include "geometry/Matrix4.h"

namespace orvex {

// The rotation part of a model matrix from a sample S: element i := -S[i][0], 4 + i := S[i][1],
// 8 + i := S[i][2] for i = 0, 1, 2; the other seven elements stay.
void Apply_Sensor_Sample(const double S[4][4], Matrix4& model);

// What the GUI thread takes from the mailbox.
struct SensorUpdate {
    bool fresh = false;  // a good sample came since the last take; S holds the newest
    double S[4][4] = {};
    int result = 0;  // the last reading's result: 1, or the driver's error code
};

class MyThread {
public:
    // Created idle: nothing runs until Start.
    MyThread() = default;
    // Asks the body to end and waits for it.
    ~MyThread();
    MyThread(const MyThread&) = delete;
    MyThread& operator=(const MyThread&) = delete;

    // Open it (OpenSensor) before Start; the GUI thread leaves it alone while the body runs.
    SensorDriver& Driver() { return driver_; }
    // Called on the worker when the mailbox has news (a good sample, or a result that differs from
    // the last) and no earlier call is still untaken. It must not block; post to the GUI thread.
    void SetFrameRequest(std::function<void()> request) { frameRequest_ = std::move(request); }

    // Starts the body; false when it already runs.
    bool Start();
    // Asks the body to end: it checks before every reading, so it ends within one reading's time-out.
    void Terminate();
    // Terminate and wait for the body to return.
    void WaitFor();
    bool Running() const { return worker_.joinable(); }

    // GUI side: empties the mailbox. Later news asks for a frame again.
    SensorUpdate Take();
    // Readings tried since construction.
    long Passes() const { return passes_.load(); }

private:
    void Execute();

    SensorDriver driver_;
    std::function<void()> frameRequest_;
    std::thread worker_;
    std::atomic<long> passes_{0};
    std::atomic<bool> pending_{false};

    std::mutex mutex_;
    std::condition_variable wake_;
    bool terminated_ = false;
    SensorUpdate mailbox_;
};

}  // namespace orvex
