// orvex: the headless tool. Runs the core's computations on files with the same code as the window.

#include <cstdio>
#include <exception>

#include "Version.h"
#include "cli/Commands.h"

int main(int argc, char** argv) {
    CLI::App app{"orvex: the headless tool of Orvex Vision (3-D geometry workbench)"};
    app.set_version_flag("--version", "orvex " ORVEX_VERSION);
    app.require_subcommand(0, 1);

    orvex::cli::RunState state;
    orvex::cli::Add_All_Commands(app, state);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "orvex: %s\n", e.what());
        return 1;
    }
    if (app.get_subcommands().empty()) {
        std::printf("%s", app.help().c_str());
        return 0;
    }
    return state.exitCode;
}
