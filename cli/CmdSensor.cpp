// orvex sensor --port PATH: opens the motion sensor as the window does (its diagnostics included) and
// prints one line per reading, the matrix row by row or the error code and text, then the count, the
// errors and the rate. orvex sensor-sim: a simulated sensor on a pseudo-terminal, optionally linked
// under a fixed name, until Ctrl+C.

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "cli/Commands.h"
#include "device/SensorDriver.h"
#include "device/SensorSimulator.h"

namespace orvex::cli {

namespace {

struct SensorOptions {
    std::string port;
    int count = 10;
    bool hex = false;
};

struct SimulatorOptions {
    std::string link;
    int serial = 4660;
    std::string axis = "z";
    double rate = 30.0;
    std::string fault = "none";
    int faultEvery = 1;
};

volatile sig_atomic_t g_interrupted = 0;

void On_Interrupt(int) {
    g_interrupted = 1;
}

int Run_Sensor(const SensorOptions& options) {
    SensorDriver driver;
    driver.SetPortPath(options.port);
    if (driver.OpenSensor(5) != 1) {
        std::printf("\n");
        std::fflush(stdout);
        std::fprintf(stderr, "orvex sensor: no sensor on %s\n", options.port.c_str());
        return 1;
    }
    // Ctrl+C ends the readings with the summary, and the port is let go properly.
    struct sigaction action {};
    action.sa_handler = On_Interrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    int readings = 0, errors = 0;
    const auto start = std::chrono::steady_clock::now();
    for (; readings < options.count && !g_interrupted; ++readings) {
        double S[4][4];
        const int result = driver.ReadSample(driver.device, S);
        if (result == 1) {
            std::printf("%f %f %f  %f %f %f  %f %f %f", S[0][0], S[0][1], S[0][2], S[1][0], S[1][1], S[1][2],
                        S[2][0], S[2][1], S[2][2]);
        } else {
            ++errors;
            std::printf("%d %s", result, SensorDriver::ErrorText(result));
        }
        if (options.hex) {
            std::printf("  [");
            const auto& bytes = driver.LastReply();
            for (std::size_t k = 0; k < bytes.size(); ++k)
                std::printf(k ? " %02X" : "%02X", unsigned(bytes[k]));
            std::printf("]");
        }
        std::printf("\n");
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%d readings, %d errors, %.1f per second\n", readings, errors,
                seconds > 0 ? readings / seconds : 0.0);
    return 0;
}

// The link is ours to replace only when it is a symbolic link (a stale one from an earlier run).
bool Make_Link(const std::string& link, const std::string& target) {
    struct stat info {};
    if (::lstat(link.c_str(), &info) == 0) {
        if (!S_ISLNK(info.st_mode)) {
            std::fprintf(stderr, "orvex sensor-sim: %s exists and is not a link; left as it is\n",
                         link.c_str());
            return false;
        }
        ::unlink(link.c_str());
    }
    if (::symlink(target.c_str(), link.c_str()) != 0) {
        std::fprintf(stderr, "orvex sensor-sim: cannot link %s: %s\n", link.c_str(), std::strerror(errno));
        return false;
    }
    return true;
}

void Remove_Link(const std::string& link, const std::string& target) {
    char buffer[4096];
    const ssize_t n = ::readlink(link.c_str(), buffer, sizeof buffer - 1);
    if (n >= 0 && std::string(buffer, std::size_t(n)) == target) ::unlink(link.c_str());
}

int Run_Sensor_Sim(const SimulatorOptions& options) {
    SensorSimulatorSettings settings;
    settings.serial = options.serial;
    settings.axis = options.axis == "x" ? 0 : options.axis == "y" ? 1 : 2;
    settings.degreesPerSecond = options.rate;
    settings.faultEvery = options.faultEvery;
    if (!Sensor_Fault_From_Name(options.fault, settings.fault)) {
        std::fprintf(stderr, "orvex sensor-sim: unknown fault '%s'\n", options.fault.c_str());
        return 1;
    }
    // Blocked before the simulator's thread exists, so only sigwait below sees them. A shell script
    // starts background commands with SIGINT ignored, and an ignored signal never reaches sigwait:
    // Ctrl+C and kill -INT are meant to end this one. A hang-up stays ignored under nohup.
    struct sigaction action {};
    action.sa_handler = On_Interrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    struct sigaction hangUp {};
    if (sigaction(SIGHUP, nullptr, &hangUp) == 0 && hangUp.sa_handler != SIG_IGN)
        sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    SensorSimulator simulator(settings);
    std::string error;
    if (!simulator.Start(error)) {
        std::fprintf(stderr, "orvex sensor-sim: %s\n", error.c_str());
        return 1;
    }
    std::printf("Sensor simulator on %s (serial %d, %g deg/s about %s, fault %s)\n", simulator.Path().c_str(),
                options.serial, options.rate, options.axis.c_str(), options.fault.c_str());
    if (!options.link.empty()) {
        if (!Make_Link(options.link, simulator.Path())) return 1;
        std::printf("Linked %s -> %s\n", options.link.c_str(), simulator.Path().c_str());
    }
    std::printf("Ctrl+C ends it.\n");
    std::fflush(stdout);

    int signal = 0;
    while (sigwait(&stopSignals, &signal) != 0) {
    }
    simulator.Stop();
    if (!options.link.empty()) Remove_Link(options.link, simulator.Path());
    std::printf("Stopped after %ld commands\n", simulator.Commands());
    return 0;
}

}  // namespace

void Add_Sensor_Commands(CLI::App& app, RunState& state) {
    auto sensor = std::make_shared<SensorOptions>();
    CLI::App* read =
        app.add_subcommand("sensor", "Open the motion sensor on a serial port and print readings");
    read->add_option("--port", sensor->port, "Serial device or link to it, e.g. /dev/ttyUSB0 or sensor0")
        ->required();
    read->add_option("--count", sensor->count, "Number of readings (default 10)")
        ->check(CLI::NonNegativeNumber);
    read->add_flag("--hex", sensor->hex, "Also print the bytes of each reply");
    read->callback([sensor, &state] { state.exitCode = Run_Sensor(*sensor); });

    auto sim = std::make_shared<SimulatorOptions>();
    CLI::App* simulate =
        app.add_subcommand("sensor-sim", "Simulate the motion sensor on a pseudo-terminal until Ctrl+C");
    simulate->add_option("--link", sim->link, "Make NAME a link to the terminal while it runs");
    simulate->add_option("--serial", sim->serial, "Serial number it reports (default 4660)")
        ->check(CLI::Range(0, 65535));
    simulate->add_option("--axis", sim->axis, "Axis it turns about (default z)")
        ->check(CLI::IsMember({"x", "y", "z"}));
    simulate->add_option("--rate", sim->rate, "Degrees per second (default 30)")
        ->check(CLI::Range(-1e6, 1e6));
    simulate
        ->add_option("--fault", sim->fault,
                     "none, checksum (a wrong checksum), short (half a reply), silence (no reply) or late "
                     "(a reply after the driver's time-out)")
        ->check(CLI::IsMember({"none", "checksum", "short", "silence", "late"}));
    simulate->add_option("--fault-every", sim->faultEvery, "The fault hits every N-th reply (default 1)")
        ->check(CLI::Range(1, 1000000));
    simulate->callback([sim, &state] { state.exitCode = Run_Sensor_Sim(*sim); });
}

}  // namespace orvex::cli
