// The hull commands of the main window: Quick Hull Best on the point set (tool button 16), its mass
// properties and inertia box (tool button 25), and the two benchmarks of the Run menu with "Full Test"
// running both. The benchmarks themselves are core routines; this file feeds them the controls, shows their
// report lines in the "Detail" window and their progress over the view. They run for minutes: the window
// stays alive through a CommandProgress, and Esc stops a benchmark between two runs.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMenuBar>
#include <QSlider>
#include <optional>

#include "app/CommandProgress.h"
#include "app/Main.h"
#include "app/StatusText.h"
#include "app/WaitCursor.h"
#include "geometry/Clock.h"
#include "pointset/HullBenchmark.h"
#include "ui/MeshFormation.h"
#include "ui/NewFileDialog.h"
#include "ui/StrictConversion.h"

namespace orvex {

namespace {

constexpr const char* kConvexCosts = "Convex costs: ";

QString Total_Cost_Text(int ms) {
    return QStringLiteral("Totla Cost: ") + QString::number(ms / 1000) + QStringLiteral(" sec. ");
}

// The benchmarks run inside the command's progress; one started on its own brings its own.
class BenchmarkProgress {
public:
    BenchmarkProgress(TMyGL& window, const QString& label) {
        if (!CommandProgress::Active()) own_.emplace(window, label, true);
    }
    Progress* get() const { return CommandProgress::Active(); }

private:
    std::optional<CommandProgress> own_;
};

// Esc between two runs: the table keeps the configurations finished so far, and panel 0 and the
// "Detail" window say so. False: nothing more runs.
bool Report_Stopped(TMyGL& window, const HullBenchmarkResult& result, const char* file) {
    if (!result.status) {
        window.Show_Message(QString::fromStdString(result.status.message));
    } else {
        window.Set_Panel_Text(
            0, QStringLiteral("Stopped after %1 of %2 runs").arg(result.runsDone).arg(result.runsTotal));
        if (TReport_Form* report = window.Report_Form()) {
            report->Add_Line(QString::fromStdString(Stopped_Line(result)) + QStringLiteral(" ") +
                             QLatin1String(file) +
                             QStringLiteral(" holds the configurations finished before."));
        }
    }
    window.FormPaint();
    return false;
}

}  // namespace

// Reads an integer control; a text that is no integer is shown and ends the command (nullopt).
std::optional<int> TMyGL::readIntField(const QLineEdit* field, const char* name) {
    if (!field) return std::nullopt;
    const std::optional<int> value = Strict_To_Int(field->text());
    if (!value) Show_Message(ConversionError{QLatin1String(name), field->text(), true}.Message());
    return value;
}

std::optional<int> TMyGL::readRepeatConvex() {
    if (!meshFormation_) return std::nullopt;
    return readIntField(meshFormation_->Repeat_Convex, "Repeat_Convex");
}

HullBenchmarkHooks TMyGL::benchmarkHooks() {
    HullBenchmarkHooks hooks;
    hooks.memo = [this](const std::string& line) {
        if (report_) report_->Add_Line(QString::fromStdString(line));
    };
    hooks.text = [this](const std::string& text, int line) {
        // Centred on the client area, which starts below the menu bar.
        const int clientHeight = height() - (menuWidget() ? menuWidget()->height() : 0);
        Write_Canvas_Text(width() / 2 - 30, clientHeight / 2 - 30 + 30 * line, QString::fromStdString(text));
    };
    hooks.generated = [this](const POINT_LIST& set) {
        View.Scene_Min = set.boundsMin;
        View.Scene_Max = set.boundsMax;
    };
    hooks.repaint = [this] { FormPaint(); };
    return hooks;
}

void TMyGL::ToolButton16Click() {
    if (CommandProgress::Active()) return;
    const std::optional<int> repeats = readRepeatConvex();
    if (!repeats) return;
    int t0 = 0;
    if (meshFormation_->Re_New_Points->isChecked() && newFileDialog_) {
        const TNew_File_Dialog& dialog = *newFileDialog_;
        const std::optional<int> count = readIntField(dialog.point_size, "point_size");
        if (!count) return;
        if (*count < 0 || unsigned(*count) > kMaxGeneratedPoints) {
            Show_Message(QStringLiteral("Point numbers = %1: the number of points "
                                        "must be between 0 and %2")
                             .arg(*count)
                             .arg(kMaxGeneratedPoints));
            return;
        }
        WaitCursor wait;
        try {
            // Each cloud replaces the one before; only the last is hulled.
            for (int i = 0; i < *repeats; ++i) {
                Point_Set.GenerateRandom(unsigned(dialog.x_range->value()), unsigned(dialog.y_range->value()),
                                         unsigned(dialog.z_range->value()), unsigned(*count),
                                         dialog.ComboBox1->currentIndex(),
                                         dialog.Arbitrary_Rotation->isChecked());
            }
        } catch (const std::bad_alloc&) {
            Point_Set.Clear();
            Show_Message(QStringLiteral("Not enough memory for %1 points").arg(*count));
            FormPaint();
            return;
        }
        t0 = Millisecond_Clock();
        View.Scene_Min = Point_Set.boundsMin;
        View.Scene_Max = Point_Set.boundsMax;
    } else {
        t0 = Millisecond_Clock();
    }
    Status status;
    {
        WaitCursor wait;
        CommandProgress progress(*this, QStringLiteral("Quick Hull Best"), false);
        try {
            status = Point_Set.QuickHullBest(&progress);
        } catch (const std::bad_alloc&) {
            Point_Set.ClearHull();
            status = Status::Error("not enough memory for the hull");
        }
    }
    const int elapsed = Millisecond_Clock() - t0;
    Set_Panel_Text(0, QStringLiteral("Time costs : ") + QString::number(elapsed));
    // A set that could not be hulled has no counters worth a report line.
    if (status) {
        if (report_) report_->Add_Line(QString::fromStdString(Hull_Button_Line(elapsed, Point_Set.stats)));
    } else {
        Show_Message(QString::fromStdString(status.message));
    }
    FormPaint();
}

void TMyGL::ToolButton25Click() {
    if (!Point_Set.points.next) return;
    const int t0 = Millisecond_Clock();
    Point_Set.HullMassProperties();
    Point_Set.InertiaBox();
    View.Scene_Min = Point_Set.boundsMin;
    View.Scene_Max = Point_Set.boundsMax;
    Set_Panel_Text(0, Cost_Text(kConvexCosts, Millisecond_Clock() - t0));
    FormPaint();
}

bool TMyGL::runDensityBenchmark() {
    const std::optional<int> repeats = readRepeatConvex();
    if (!repeats || !newFileDialog_) return false;
    const std::optional<int> count = readIntField(newFileDialog_->point_size, "point_size");
    if (!count) return false;
    HullBenchmarkSettings settings;
    settings.repeats = *repeats;
    // A negative count is refused by the routine as 0 points rather than read as four billion.
    settings.pointCount = *count < 0 ? 0u : unsigned(*count);
    HullBenchmarkResult result;
    {
        WaitCursor wait;
        BenchmarkProgress progress(*this, QStringLiteral("Density Convex Routine"));
        result = Run_Density_Benchmark(Point_Set, settings, benchmarkHooks(), progress.get());
    }
    if (result.stopped) return Report_Stopped(*this, result, kDensityBenchmarkFile);
    if (!result.status) {
        Show_Message(QString::fromStdString(result.status.message));
        FormPaint();
        return false;
    }
    Set_Panel_Text(1, QStringLiteral("Done"));
    Set_Panel_Text(0, Total_Cost_Text(result.elapsedMs));
    FormPaint();
    return true;
}

bool TMyGL::runSizeBenchmark() {
    const std::optional<int> repeats = readRepeatConvex();
    if (!repeats) return false;
    HullBenchmarkSettings settings;
    settings.repeats = *repeats;
    settings.maxPoints = Benchmark_Max_Points;
    HullBenchmarkResult result;
    {
        WaitCursor wait;
        BenchmarkProgress progress(*this, QStringLiteral("Convex Routine"));
        result = Run_Size_Benchmark(Point_Set, settings, benchmarkHooks(), progress.get());
    }
    if (result.stopped) return Report_Stopped(*this, result, kSizeBenchmarkFile);
    if (!result.status) {
        Show_Message(QString::fromStdString(result.status.message));
        FormPaint();
        return false;
    }
    Set_Panel_Text(0, Total_Cost_Text(result.elapsedMs));
    FormPaint();
    return true;
}

// One command at a time: while a long one runs, the event loop it lets through starts no other.
void TMyGL::ConvexTestRoutine1Click() {
    if (CommandProgress::Active()) return;
    runDensityBenchmark();
}

void TMyGL::SphericalShellConvex1Click() {
    if (CommandProgress::Active()) return;
    runSizeBenchmark();
}

void TMyGL::CubicConvexRoutine1Click() {
    if (CommandProgress::Active()) return;
    CommandProgress progress(*this, QStringLiteral("Full Test"), true);
    // A refused, failed or stopped density run ends the test: the size run would meet the same fields.
    if (runDensityBenchmark()) runSizeBenchmark();
}

}  // namespace orvex
