#include "cli/Commands.h"

namespace orvex::cli {

void Add_All_Commands(CLI::App& app, RunState& state) {
    (void)app;
    (void)state;
}

}  // namespace orvex::cli
