#pragma once
// Runs the built orvex binary as a user would, with stdout and stderr captured together.

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace orvex::clitest {

struct Outcome {
    int exitCode = -1;
    std::string out;
};

// `folder`, when given, is the working folder of the run (for commands that write fixed names).
inline Outcome Orvex(const std::string& arguments, const std::string& folder = {}) {
    std::string command = std::string(ORVEX_BIN_DIR) + "/orvex " + arguments + " 2>&1";
    if (!folder.empty()) command = "cd '" + folder + "' && " + command;
    Outcome run;
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    char buffer[4096];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, got);
    const int status = pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

}  // namespace orvex::clitest
