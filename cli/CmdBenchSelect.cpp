// orvex bench select: the rectangle selection walk of the main view over points in a cube of side
// 1000, half of them inside an axis-aligned rectangle of a parallel view, and the three selection
// edits (Insert gives the selection back, C swaps the lists, Delete frees the selection). Only the
// operation itself is timed; the cloud is made outside the clock.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <random>

#include "cli/Commands.h"
#include "pointset/PointSelection.h"

namespace orvex::cli {

namespace {

struct SelectBenchOptions {
    unsigned points = 10000000;
    int repeat = 3;
};

double Seconds_Since(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

int Run_Bench_Select(const SelectBenchOptions& options) {
    POINT_LIST set, selection;
    set.SharePointsWith(selection);
    std::mt19937 random(12345);
    std::uniform_real_distribution<float> coordinate(-500.0f, 500.0f);
    for (unsigned i = 0; i < options.points; ++i) {
        VEC_LIST* node = set.NewPoint(3);
        for (int k = 0; k < 3; ++k) node->values[k] = coordinate(random);
        set.InsertFront(node);
    }
    // Identity view on a 2000 x 2000 area: screen x = 1000 + x. The rectangle takes x < 0.
    SelectionView view;
    view.Width = 2000;
    view.Height = 2000;
    const SelectionRect rect = Selection_Rect(-1, -1, 1000, 2001);

    double walk = 1e9, insert = 1e9, swap = 1e9;
    std::size_t inside = 0;
    for (int run = 0; run < options.repeat; ++run) {
        auto t0 = std::chrono::steady_clock::now();
        inside = Select_Points(set, selection, view, rect);
        walk = std::min(walk, Seconds_Since(t0));
        t0 = std::chrono::steady_clock::now();
        Swap_Selection(set, selection);
        swap = std::min(swap, Seconds_Since(t0));
        Swap_Selection(set, selection);
        t0 = std::chrono::steady_clock::now();
        Give_Back_Selection(set, selection);
        insert = std::min(insert, Seconds_Since(t0));
    }
    Select_Points(set, selection, view, rect);
    const auto t0 = std::chrono::steady_clock::now();
    Delete_Selection(set, selection);
    const double deleted = Seconds_Since(t0);
    std::printf("points %u, inside %zu, best of %d\n", options.points, inside, options.repeat);
    std::printf("walk    %.3f s\n", walk);
    std::printf("Insert  %.3f s\n", insert);
    std::printf("C       %.3f s (both bounds included)\n", swap);
    std::printf("Delete  %.3f s (once)\n", deleted);
    return inside > 0 ? 0 : 1;
}

}  // namespace

void Add_Bench_Select_Command(CLI::App& app, RunState& state) {
    CLI::App* bench = Bench_Group(app);
    auto options = std::make_shared<SelectBenchOptions>();
    CLI::App* select = bench->add_subcommand(
        "select",
        "Rectangle selection in a parallel view: the walk over points in a cube of side 1000, half "
        "inside, then Insert, C and Delete");
    select->add_option("--points", options->points, "Points in the cube (default 10000000)")
        ->check(CLI::Range(1u, kMaxGeneratedPoints));
    select->add_option("--repeat", options->repeat, "Runs, the best counts (default 3)")
        ->check(CLI::Range(1, 100));
    select->callback([options, &state] { state.exitCode = Run_Bench_Select(*options); });
}

}  // namespace orvex::cli
