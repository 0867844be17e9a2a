#include "cli/Commands.h"

namespace orvex::cli {

void Add_All_Commands(CLI::App& app, RunState& state) {
    Add_Info_Command(app, state);
    Add_Bench_Command(app, state);
    Add_Bench_Hull_Command(app, state);
    Add_Generate_Command(app, state);
    Add_Ct_Command(app, state);
    Add_Hull_Command(app, state);
}

}  // namespace orvex::cli
