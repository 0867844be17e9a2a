#include "cli/Commands.h"

namespace orvex::cli {

void Add_All_Commands(CLI::App& app, RunState& state) {
    Add_Info_Command(app, state);
    Add_Bench_Command(app, state);
}

}  // namespace orvex::cli
