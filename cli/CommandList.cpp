#include "cli/Commands.h"

namespace orvex::cli {

void Add_All_Commands(CLI::App& app, RunState& state) {
    Add_Info_Command(app, state);
    Add_Bench_Command(app, state);
    Add_Convert_Command(app, state);
    Add_Bench_Formats_Command(app, state);
    Add_Bench_Hull_Command(app, state);
    Add_Bench_Smooth_Command(app, state);
    Add_Bench_Reduce_Command(app, state);
    Add_Bench_Select_Command(app, state);
    Add_Generate_Command(app, state);
    Add_Ct_Command(app, state);
    Add_Hull_Command(app, state);
    Add_Cut_Command(app, state);
    Add_Rim_Command(app, state);
    Add_Bench_Facet_Command(app, state);
    Add_Bench_Tgl_Command(app, state);
    Add_Face_Command(app, state);
    Add_Bench_Face_Command(app, state);
    Add_Smooth_Command(app, state);
    Add_Sensor_Commands(app, state);
    Add_Sphere_Command(app, state);
    Add_Bench_Sphere_Command(app, state);
}

CLI::App* Bench_Group(CLI::App& app) {
    const auto existing = app.get_subcommands([](CLI::App* sub) { return sub->get_name() == "bench"; });
    if (!existing.empty()) return existing.front();
    CLI::App* bench = app.add_subcommand("bench", "Benchmarks");
    bench->require_subcommand(1);
    return bench;
}

}  // namespace orvex::cli
