#include "pointset/HullBenchmark.h"

#include <algorithm>
#include <cstdio>
#include <new>
#include <vector>

#include "geometry/AtomicFile.h"
#include "geometry/Clock.h"
#include "geometry/GeneralNumber.h"
#include "geometry/Statistics.h"

namespace orvex {

namespace {

constexpr int kRatioDigits = 3;
constexpr int kAverageDigits = 8;
constexpr int kSumCount = 15;
constexpr unsigned kRange = 500;  // every benchmark cloud is 500 units in each direction
constexpr int kDensities = 11;
constexpr unsigned kMinPoints = 4;

constexpr HullAlgorithm kAlgorithms[kHullAlgorithmCount] = {HullAlgorithm::Best, HullAlgorithm::Special,
                                                            HullAlgorithm::Incremental};

// s[i] / s[0] as a ratio; a run that saw no points has none.
double Ratio(const HullStats& s, int i) {
    return s[0] ? double(s[i]) / double(s[0]) : 0.0;
}

std::string Tabbed(std::initializer_list<std::string> fields) {
    std::string line;
    for (const std::string& field : fields) {
        if (!line.empty()) line += '\t';
        line += field;
    }
    return line;
}

std::string Int(std::uint32_t value) {
    return std::to_string(value);
}

// A hull run's own reports become a share of the whole benchmark under the benchmark's last text,
// so a long run keeps its listener alive without its texts interleaving with ours.
class RunShare : public Progress {
public:
    RunShare(Progress* outer, const long long& done, long long total, const std::string& text)
        : outer_(outer), done_(done), total_(total), text_(text) {}
    void Report(double fraction, const std::string&) override {
        Report_Progress(outer_, (double(done_) + fraction) / double(total_), text_);
    }
    bool IsCancelRequested() const override { return Cancel_Requested(outer_); }

private:
    Progress* outer_;
    const long long& done_;
    long long total_;
    const std::string& text_;
};

// Sums over the repeats of one configuration and the two measured arrays.
struct Tally {
    explicit Tally(int repeats) : first(std::size_t(repeats)), second(std::size_t(repeats)) {}

    void Zero() {
        std::fill(std::begin(sums), std::end(sums), 0.0f);
        std::fill(first.begin(), first.end(), 0.0f);
        std::fill(second.begin(), second.end(), 0.0f);
    }
    void Add(const HullStats& s) {
        for (int i = 0; i < kSumCount; ++i) {
            if (i >= 8 && i <= 10) {
                // Whole multiples only: the quotient is truncated before it is added.
                sums[i] += float(s[0] ? s[i] / s[0] : 0u);
            } else {
                sums[i] += float(s[i]);
            }
        }
    }
    void Average(int repeats) {
        for (float& sum : sums) sum /= float(repeats);
    }

    float sums[kSumCount] = {};
    std::vector<float> first;
    std::vector<float> second;
};

// What both routines share: the table, the hooks, the progress count and the timed run.
class BenchmarkRun {
public:
    BenchmarkRun(POINT_LIST& set, const HullBenchmarkSettings& settings, const HullBenchmarkHooks& hooks,
                 Progress* progress, long long total)
        : set_(set),
          settings_(settings),
          hooks_(hooks),
          progress_(progress),
          runShare_(progress, count_, total, shareText_),
          total_(total) {}

    Status Open(const char* defaultName) {
        return table.Open(settings_.file.empty() ? std::string(defaultName) : settings_.file);
    }
    void Memo(const std::string& line) const {
        if (hooks_.memo) hooks_.memo(line);
    }
    void Text(const std::string& text, int line) const {
        if (hooks_.text) hooks_.text(text, line);
    }
    void Generated() const {
        if (hooks_.generated) hooks_.generated(set_);
    }

    // Times the algorithm into s[12] and reports the run; false (with `failure`) when it could not
    // hull the cloud or the user cancelled.
    bool Hull(HullAlgorithm algorithm, unsigned n, Status& failure) {
        Text(" Calculating convex hull : " + std::to_string(n), 0);
        const int t0 = Millisecond_Clock();
        const Status status = Run_Hull_Algorithm(set_, algorithm, RunProgress());
        set_.stats[12] = std::uint32_t(std::max(0, Millisecond_Clock() - t0));
        if (!status) {
            failure = Status::Error(std::string(Hull_Algorithm_Name(algorithm)) + " on " + std::to_string(n) +
                                    " points: " + status.message);
            return false;
        }
        return true;
    }

    void Completed() {
        if (hooks_.repaint) hooks_.repaint();
        shareText_ = std::to_string(count_ * 100 / total_) + " % completed";
        Text(shareText_, 1);
        ++count_;
        Report_Progress(progress_, double(count_) / double(total_), shareText_);
    }

    bool Cancelled() const { return Cancel_Requested(progress_); }
    // What a run's own steps (generating, hulling) report to: the benchmark's share of this run.
    Progress* RunProgress() { return progress_ ? &runShare_ : nullptr; }

    // Stopped between runs: the lines written so far are whole, so they are kept, and the table
    // says where it ends.
    HullBenchmarkResult Stop(int start) {
        HullBenchmarkResult result;
        result.stopped = true;
        result.runsDone = count_;
        result.runsTotal = total_;
        table.Printf("%s\n", Stopped_Line(result).c_str());
        result.status = table.Commit();
        result.elapsedMs = Millisecond_Clock() - start;
        return result;
    }

    HullBenchmarkResult Finish(int start) {
        HullBenchmarkResult result;
        result.status = table.Commit();
        result.elapsedMs = Millisecond_Clock() - start;
        result.runsDone = count_;
        result.runsTotal = total_;
        return result;
    }

    AtomicFile table;

private:
    POINT_LIST& set_;
    const HullBenchmarkSettings& settings_;
    const HullBenchmarkHooks& hooks_;
    Progress* progress_;
    std::string shareText_ = "0 % completed";
    long long count_ = 0;
    RunShare runShare_;
    long long total_;
};

Status Check_Repeats(int repeats) {
    if (repeats < 1 || repeats > kMaxBenchmarkRepeats) {
        return Status::Error("the number of repeats must lie between 1 and " +
                             std::to_string(kMaxBenchmarkRepeats) + ", not " + std::to_string(repeats));
    }
    return Status::Ok();
}

void Report_Averages(const BenchmarkRun& run, const float a[kSumCount]) {
    run.Memo("In Average");
    run.Memo(Hull_Average_Line(a));
    run.Memo("");
    run.Memo("");
}

}  // namespace

const char* Hull_Algorithm_Name(HullAlgorithm algorithm) {
    switch (algorithm) {
        case HullAlgorithm::Best:
            return "Quick Hull Best";
        case HullAlgorithm::Special:
            return "Quick Hull Special";
        case HullAlgorithm::Incremental:
            break;
    }
    return "Incremental";
}

std::string Hull_Algorithm_Line(HullAlgorithm algorithm) {
    return std::string("==================") + Hull_Algorithm_Name(algorithm) + " algorithm================";
}

Status Run_Hull_Algorithm(POINT_LIST& set, HullAlgorithm algorithm, Progress* progress) {
    switch (algorithm) {
        case HullAlgorithm::Best:
            return set.QuickHullBest(progress);
        case HullAlgorithm::Special:
            return set.QuickHullSpecial(progress);
        case HullAlgorithm::Incremental:
            break;
    }
    return set.IncrementalHull(progress);
}

std::string Stopped_Line(const HullBenchmarkResult& result) {
    return "Stopped by the user after " + std::to_string(result.runsDone) + " of " +
           std::to_string(result.runsTotal) + " runs.";
}

std::string Hull_Button_Line(int ms, const HullStats& s) {
    auto ratio = [&](int i) { return General_Number(Ratio(s, i), kRatioDigits); };
    return Tabbed({std::to_string(ms), Int(s[0]), Int(s[1]), Int(s[2]), Int(s[3]), Int(s[4]), Int(s[5]),
                   ratio(6), ratio(8), ratio(9), ratio(10), Int(s[11])});
}

std::string Hull_Run_Line(const HullStats& s) {
    auto ratio = [&](int i) { return General_Number(Ratio(s, i), kRatioDigits); };
    return Tabbed({Int(s[12]), Int(s[0]), Int(s[1]), Int(s[2]), Int(s[3]), Int(s[5]), ratio(8), ratio(9),
                   ratio(10), Int(s[11])});
}

std::string Hull_Average_Line(const float a[15]) {
    auto avg = [&](int i) { return General_Number(a[i], kAverageDigits); };
    return Tabbed({avg(12), avg(0), avg(1), avg(2), avg(3), avg(5), avg(8), avg(9), avg(10), avg(11)});
}

Spread Spread_Of(const float* values, int n) {
    Spread spread;
    if (n <= 0) return spread;
    Mean_Std(values, std::size_t(n), spread.mean, spread.deviation);
    spread.halfRange = Value_Range(values, std::size_t(n)) * 0.5f;
    return spread;
}

namespace {

HullBenchmarkResult Density_Benchmark(POINT_LIST& set, const HullBenchmarkSettings& settings,
                                      const HullBenchmarkHooks& hooks, Progress* progress) {
    const int repeats = settings.repeats;
    const unsigned n = settings.pointCount;
    if (Status status = Check_Repeats(repeats); !status) return {status, 0};
    if (n < kMinPoints || n > kMaxGeneratedPoints) {
        return {Status::Error("the density benchmark needs between " + std::to_string(kMinPoints) + " and " +
                              std::to_string(kMaxGeneratedPoints) + " points, not " + std::to_string(n)),
                0};
    }
    BenchmarkRun run(set, settings, hooks, progress, 33LL * repeats);
    Tally tally(repeats);

    run.Memo("Density Convex Hull Test... with " + std::to_string(repeats) + " repeats.");
    const int start = Millisecond_Clock();
    if (Status status = run.Open(kDensityBenchmarkFile); !status) return {status, 0};
    run.table.Printf("Convex Hull Ratio Test... with %d repeats\n\n", repeats);
    run.table.Printf(
        "Data with point_num, time_avg, time_err, time_variance\t point_num, distance_avg, distance_err, "
        "distance_variance\n\n");

    for (HullAlgorithm algorithm : kAlgorithms) {
        run.Memo(Hull_Algorithm_Line(algorithm));
        run.table.Printf("\n\n%s\n", Hull_Algorithm_Line(algorithm).c_str());
        for (int d = 0; d < kDensities; ++d) {
            run.Memo("***Density = " + std::to_string(d) + "0 %");
            tally.Zero();
            for (int j = 0; j < repeats; ++j) {
                if (run.Cancelled()) return run.Stop(start);
                run.Text(" Creating random " + std::to_string(n) + " points...", 0);
                set.GenerateDensity(kRange, kRange, kRange, n, d, true, run.RunProgress());
                run.Generated();
                Status failure;
                if (!run.Hull(algorithm, n, failure)) return {failure, 0};
                const HullStats& s = set.stats;
                run.Memo(Hull_Run_Line(s));
                tally.Add(s);
                tally.first[std::size_t(j)] = float(s[11]);         // times
                tally.second[std::size_t(j)] = float(Ratio(s, 9));  // distance tests per point
                run.Completed();
            }
            tally.Average(repeats);
            const float* a = tally.sums;
            const Spread time = Spread_Of(tally.first.data(), repeats);
            const Spread ratio = Spread_Of(tally.second.data(), repeats);
            // The first column is the share of the points that ended on the hull.
            const double share = a[0] > 0 ? double(a[1] / a[0]) : 0.0;
            run.table.Printf("%.2lf\t%.2lf\t%.2lf\t%.2lf\t\t\t%.2lf\t%.2lf\t%.2lf\t%.2lf\n", share,
                             double(time.mean), double(time.halfRange), double(time.deviation), share,
                             double(ratio.mean), double(ratio.halfRange), double(ratio.deviation));
            Report_Averages(run, a);
        }
        run.table.Printf("\n\n");
    }
    return run.Finish(start);
}

HullBenchmarkResult Size_Benchmark(POINT_LIST& set, const HullBenchmarkSettings& settings,
                                   const HullBenchmarkHooks& hooks, Progress* progress) {
    struct Case {
        const char* name;
        PointDistribution distribution;
        bool rotate;
        int sizes;
    };
    static constexpr Case kCases[] = {{"****Cubic Cases****", IN_CUBE, false, 7},
                                      {"****In Sphere Cases****", IN_SPHERE_CARD, true, 7},
                                      {"****On Sphere Case****", ON_SPHERE, true, 6}};
    static constexpr unsigned kSizes[] = {10, 100, 1000, 10000, 100000, 1000000, 10000000};

    const int repeats = settings.repeats;
    if (Status status = Check_Repeats(repeats); !status) return {status, 0};
    // Sizes above the cap are left out; the share done counts only the runs that happen.
    auto sizesOf = [&](const Case& c) {
        int count = 0;
        while (count < c.sizes && kSizes[count] <= settings.maxPoints) ++count;
        return count;
    };
    long long runs = 0;
    for (const Case& c : kCases) runs += kHullAlgorithmCount * sizesOf(c);
    BenchmarkRun run(set, settings, hooks, progress, std::max(1LL, runs * repeats));
    Tally tally(repeats);

    run.Memo("Full Test of Convex Hull Start... with " + std::to_string(repeats) + " repeats.");
    if (Status status = run.Open(kSizeBenchmarkFile); !status) return {status, 0};
    run.table.Printf("Convex Hull Distance Size Test... with %d repeats\n\n", repeats);
    run.table.Printf(
        "Data with point_num, distance_avg, distance_err, distance_variance\t point_num, hyper_avg, "
        "hyper_err, "
        "hyper_variance\n\n");
    const int start = Millisecond_Clock();

    for (const Case& c : kCases) {
        run.Memo(c.name);
        run.table.Printf("\n\n%s\n", c.name);
        for (HullAlgorithm algorithm : kAlgorithms) {
            run.Memo(Hull_Algorithm_Line(algorithm));
            run.table.Printf("%s\n", Hull_Algorithm_Line(algorithm).c_str());
            for (int k = 0; k < sizesOf(c); ++k) {
                const unsigned n = kSizes[k];
                tally.Zero();
                for (int j = 0; j < repeats; ++j) {
                    if (run.Cancelled()) return run.Stop(start);
                    run.Text(" Creating random " + std::to_string(n) + " points...", 0);
                    set.GenerateRandom(kRange, kRange, kRange, n, c.distribution, c.rotate, run.RunProgress());
                    run.Generated();
                    Status failure;
                    if (!run.Hull(algorithm, n, failure)) return {failure, 0};
                    const HullStats& s = set.stats;
                    tally.Add(s);
                    tally.second[std::size_t(j)] = float(Ratio(s, 8));  // hyper: faces filled per point
                    tally.first[std::size_t(j)] = float(Ratio(s, 9));   // distance tests per point
                    run.Memo(Hull_Run_Line(s));
                    run.Completed();
                }
                tally.Average(repeats);
                const float* a = tally.sums;
                const Spread dist = Spread_Of(tally.first.data(), repeats);
                const Spread hyper = Spread_Of(tally.second.data(), repeats);
                run.table.Printf("%.0lf\t%.2lf\t%.2lf\t%.2lf\t\t\t%.0lf\t%.2lf\t%.2lf\t%.2lf\n", double(a[0]),
                                 double(dist.mean), double(dist.halfRange), double(dist.deviation),
                                 double(a[0]), double(hyper.mean), double(hyper.halfRange),
                                 double(hyper.deviation));
                Report_Averages(run, a);
            }
        }
        run.table.Printf("\n\n");
    }
    return run.Finish(start);
}

// A cloud or hull that does not fit in memory ends the run like any other failure: the set is
// emptied so the window does not draw half a cloud, and the previous table stays.
HullBenchmarkResult Guarded(POINT_LIST& set, const std::function<HullBenchmarkResult()>& body) {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        set.Clear();
        return {Status::Error("not enough memory for the benchmark's point set"), 0};
    }
}

}  // namespace

HullBenchmarkResult Run_Density_Benchmark(POINT_LIST& set, const HullBenchmarkSettings& settings,
                                          const HullBenchmarkHooks& hooks, Progress* progress) {
    return Guarded(set, [&] { return Density_Benchmark(set, settings, hooks, progress); });
}

HullBenchmarkResult Run_Size_Benchmark(POINT_LIST& set, const HullBenchmarkSettings& settings,
                                       const HullBenchmarkHooks& hooks, Progress* progress) {
    return Guarded(set, [&] { return Size_Benchmark(set, settings, hooks, progress); });
}

}  // namespace orvex
