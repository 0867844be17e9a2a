#pragma once
// Each orvex subcommand lives in its own file and registers itself on the application here.
// A command reports failure by setting the exit code and printing the reason to stderr.

#include <CLI/CLI.hpp>

namespace orvex::cli {

struct RunState {
    int exitCode = 0;
};

// Registers every subcommand; defined in CommandList.cpp, one line per command file.
void Add_All_Commands(CLI::App& app, RunState& state);

// orvex info FILE.stl: what a load shows, and the mesh writers on request (CmdInfo.cpp).
void Add_Info_Command(CLI::App& app, RunState& state);
// orvex bench stl: the STL reading benchmark, headless (CmdBench.cpp).
void Add_Bench_Command(CLI::App& app, RunState& state);

}  // namespace orvex::cli
