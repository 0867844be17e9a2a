// The hull commands in the main window: Quick Hull Best (tool button 16) and its report line, the inertia box
// (tool button 25) as the view draws it, the hull in the wire passes, and the benchmarks of the Run menu on
// tiny clouds.

// clang-format off
// The core headers come before Qt's, whose keyword macro `slots` would rewrite their members.
#include "geometry/GeneralNumber.h"
#include "pointset/HullBenchmark.h"
#include "pointset/PointList.h"
// clang-format on

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSlider>
#include <QtTest/QtTest>
#include <cmath>

#include "AppTestSupport.h"
#include "app/CommandProgress.h"
#include "render/Boxes.h"
#include "render/Camera.h"
#include "ui/NewFileDialog.h"

using orvex::testing::AppHarness;

namespace {

const float kCyan[4] = {0.0f, 1.0f, 1.0f, 1.0f};

bool isCyan(QRgb pixel) {
    return qRed(pixel) < 40 && qGreen(pixel) > 215 && qBlue(pixel) > 215;
}

int cyanCount(const QImage& image) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) count += isCyan(image.pixel(x, y));
    return count;
}

// A cyan pixel within two pixels of where the frame puts scene point p.
bool cyanNear(AppHarness& app, const QImage& image, const orvex::Vec3& p) {
    orvex::Vec3 at;
    if (!orvex::Project_Scene_Point(app.window().View, true, image.width(), image.height(), p, at))
        return false;
    const int px = int(at.x), py = image.height() - 1 - int(at.y);
    for (int dy = -2; dy <= 2; ++dy) {
        for (int dx = -2; dx <= 2; ++dx) {
            const int x = px + dx, y = py + dy;
            if (x >= 0 && y >= 0 && x < image.width() && y < image.height() && isCyan(image.pixel(x, y)))
                return true;
        }
    }
    return false;
}

void addPoint(orvex::POINT_LIST& set, float x, float y, float z) {
    orvex::VEC_LIST* node = set.NewPoint(3);
    node->values[0] = x;
    node->values[1] = y;
    node->values[2] = z;
    set.InsertFront(node);
}

// The eight corners of a box of half sides (a, b, c) turned by 30 degrees about z, and points inside it that
// the hull drops.
void turnedBox(orvex::POINT_LIST& set, float a, float b, float c) {
    set.Clear();
    const float cs = std::cos(0.5235988f), sn = std::sin(0.5235988f);
    auto put = [&](float x, float y, float z) { addPoint(set, cs * x - sn * y, sn * x + cs * y, z); };
    for (int i = 0; i < 8; ++i) put((i & 4) ? a : -a, (i & 2) ? b : -b, (i & 1) ? c : -c);
    for (int i = 0; i < 50; ++i)
        put(a * 0.9f * std::sin(i * 1.7f), b * 0.9f * std::cos(i * 2.3f), c * 0.8f * std::sin(i * 0.7f));
    set.UpdateBounds();
}

// Only what the test asks for: no points, no axis-aligned box, no corner mark; the camera at the
// Inspector's distance, which the first idle moment sets.
void plainView(AppHarness& app) {
    AppHarness::idleFor();
    app.inspector().Spectrum->setChecked(true);
    app.inspector().Bounding->setChecked(false);
    app.inspector().Coor_Mark->setChecked(false);
}

// Counts the paint events of the widgets it watches.
class PaintCounter : public QObject {
public:
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++count;
        return false;
    }
};

QStringList memoLines(AppHarness& app) {
    return app.report().Report_Memo->toPlainText().split(QLatin1Char('\n'));
}

int dataRows(const QString& path, const QRegularExpression& row) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return -1;
    int rows = 0;
    for (const QByteArray& line : file.readAll().split('\n'))
        rows += row.match(QString::fromLatin1(line)).hasMatch();
    return rows;
}

const QRegularExpression kDensityRow(
    R"(^[\d.]+\t[\d.]+\t[\d.]+\t[\d.]+\t\t\t[\d.]+\t[\d.]+\t[\d.]+\t[\d.]+$)");
const QRegularExpression kSizeRow(R"(^\d+\t[\d.]+\t[\d.]+\t[\d.]+\t\t\t\d+\t[\d.]+\t[\d.]+\t[\d.]+$)");
const QRegularExpression kTotalCost(R"(^Totla Cost: \d+ sec\. $)");

}  // namespace

class HullWindowTest : public QObject {
    Q_OBJECT

private slots:
    void hullItemsAreEnabled() {
        AppHarness app;
        for (const char* name : {"ToolButton16", "ToolButton25", "ConvexTestRoutine1",
                                 "SphericalShellConvex1", "CubicConvexRoutine1"})
            QVERIFY2(app.window().Command_Action(name)->isEnabled(), name);
        QCOMPARE(app.window().Command_Action("ConvexTestRoutine1")->text(),
                 QString("Density Convex Routine"));
        QCOMPARE(app.window().Command_Action("SphericalShellConvex1")->text(), QString("Convex Routine"));
        QCOMPARE(app.window().Command_Action("CubicConvexRoutine1")->text(), QString("Full Test"));
    }

    // ---- Tool button 16 --------------------------------------------------------------------------

    void toolButton16WritesItsTwelveFieldMemoLine() {
        AppHarness app;
        orvex::POINT_LIST& set = app.window().Point_Set;
        set.GenerateRandom(300, 300, 300, 400, orvex::ON_SPHERE, false);
        const int before = memoLines(app).size();
        app.window().Command_Action("ToolButton16")->trigger();
        QVERIFY2(QRegularExpression(R"(^Time costs : \d+$)").match(app.window().Panel_Text(0)).hasMatch(),
                 qPrintable(app.window().Panel_Text(0)));
        const QStringList lines = memoLines(app);
        QCOMPARE(lines.size(), before + 1);
        const QStringList f = lines.last().split(QLatin1Char('\t'));
        QCOMPARE(f.size(), 12);
        const orvex::HullStats& s = set.stats;
        QCOMPARE(f[1], QString("400"));
        // Points on a sphere all stay: V = 400 and a closed triangulation has 2V - 4 faces.
        QCOMPARE(f[2], QString::number(set.Count(0)));
        QCOMPARE(f[2], QString("400"));
        QCOMPARE(f[3], QString("796"));
        QCOMPARE(f[4], QString::number(s[3]));
        QCOMPARE(f[8], QString::fromStdString(orvex::General_Number(double(s[8]) / s[0], 3)));
        QCOMPARE(f[9], QString::fromStdString(orvex::General_Number(double(s[9]) / s[0], 3)));
        QCOMPARE(f[11], QString::number(s[11]));
        QCOMPARE(set.Count(1), 796u);
    }

    void toolButton16RegeneratesFromTheNewFileSettings() {
        AppHarness app;
        orvex::TNew_File_Dialog& dialog = *app.window().New_File_Dialog();
        dialog.point_size->setText("250");
        dialog.ComboBox1->setCurrentIndex(orvex::IN_CUBE);
        dialog.x_range->setValue(100);
        app.formation().Repeat_Convex->setText("3");
        app.formation().Re_New_Points->setChecked(true);
        app.window().ToolButton16Click();
        const orvex::POINT_LIST& set = app.window().Point_Set;
        QCOMPARE(set.stats[0], 250u);
        QVERIFY(set.boundsMax.x <= 50 && set.boundsMin.x >= -50);
        QVERIFY(app.window().View.Scene_Min == set.boundsMin);
        QCOMPARE(memoLines(app).last().split(QLatin1Char('\t'))[1], QString("250"));
    }

    void toolButton16RefusesABadRepeatCount() {
        AppHarness app;
        app.window().Point_Set.GenerateRandom(300, 300, 300, 50, orvex::IN_CUBE, false);
        app.formation().Repeat_Convex->setText("two");
        const int before = memoLines(app).size();
        app.window().ToolButton16Click();
        QCOMPARE(app.messages.size(), 1);
        QVERIFY2(app.messages[0].contains("Repeat_Convex: 'two' is not a valid integer value"),
                 qPrintable(app.messages[0]));
        QCOMPARE(memoLines(app).size(), before);
        QCOMPARE(app.window().Point_Set.Count(0), 50u);  // not hulled
    }

    void toolButton16OnTooFewPointsSaysWhy() {
        AppHarness app;
        addPoint(app.window().Point_Set, 0, 0, 0);
        addPoint(app.window().Point_Set, 1, 0, 0);
        const int before = memoLines(app).size();
        app.window().ToolButton16Click();
        QCOMPARE(app.messages.size(), 1);
        QCOMPARE(memoLines(app).size(), before);
        QCOMPARE(app.window().Point_Set.Count(1), 0u);
    }

    // ---- Tool button 25 and the drawing ------------------------------------------------------------

    void toolButton25DrawsTheInertiaBox() {
        AppHarness app;
        orvex::POINT_LIST& set = app.window().Point_Set;
        turnedBox(set, 150, 80, 40);
        app.window().ToolButton16Click();
        QCOMPARE(set.Count(0), 8u);
        std::copy(kCyan, kCyan + 4, set.colour);
        plainView(app);
        app.inspector().Euler_Bounding->setChecked(true);
        app.window().FormPaint();
        // No box yet: its axes are still zero.
        QVERIFY(cyanCount(app.window().View_Widget()->grabFramebuffer()) < 10);

        app.window().Command_Action("ToolButton25")->trigger();
        QVERIFY2(QRegularExpression(R"(^Convex costs: \d+ ms$)").match(app.window().Panel_Text(0)).hasMatch(),
                 qPrintable(app.window().Panel_Text(0)));
        QVERIFY(std::fabs(set.volume - 300.0f * 160 * 80) < 5.0f);
        QVERIFY(std::fabs(set.centroid.x) < 1e-3f && std::fabs(set.centroid.z) < 1e-3f);
        const QImage image = app.window().View_Widget()->grabFramebuffer();
        QVERIFY(cyanCount(image) > 300);
        // Every edge of the box is drawn where its corners project: look at the quarter points.
        orvex::Vec3 corners[8];
        orvex::Oriented_Box_Corners(set.centroid, set.boxAxes, set.boxExtent, corners);
        const int edges[12][2] = {{0, 1}, {1, 2}, {2, 3}, {3, 0}, {4, 5}, {5, 6},
                                  {6, 7}, {7, 4}, {0, 4}, {1, 5}, {2, 6}, {3, 7}};
        int seen = 0;
        for (const auto& e : edges) {
            for (float t : {0.25f, 0.5f, 0.75f})
                seen += cyanNear(app, image, corners[e[0]] * (1 - t) + corners[e[1]] * t);
        }
        QVERIFY2(seen >= 34, qPrintable(QString::number(seen)));  // a few may hide at a silhouette
        // The box is the turned box itself: its corners are the set's points.
        for (const orvex::Vec3& k : corners) {
            bool match = false;
            for (const orvex::VEC_LIST* p = set.points.next; p && !match; p = p->next)
                match = std::fabs(p->values[0] - k.x) < 0.05f && std::fabs(p->values[1] - k.y) < 0.05f &&
                        std::fabs(p->values[2] - k.z) < 0.05f;
            QVERIFY(match);
        }
    }

    void toolButton25WithoutPointsDoesNothing() {
        AppHarness app;
        app.window().Set_Panel_Text(0, "unchanged");
        app.window().ToolButton25Click();
        QCOMPARE(app.window().Panel_Text(0), QString("unchanged"));
    }

    void wireFrameShowsEveryHullEdgeInTheSetsColour() {
        AppHarness app;
        orvex::POINT_LIST& set = app.window().Point_Set;
        turnedBox(set, 150, 80, 40);
        app.window().ToolButton16Click();
        std::copy(kCyan, kCyan + 4, set.colour);
        plainView(app);
        app.inspector().Wire_Checked->setChecked(true);
        app.inspector().Hidden_Face->setChecked(false);
        app.window().FormPaint();
        const QImage image = app.window().View_Widget()->grabFramebuffer();
        int seen = 0, total = 0;
        for (const orvex::CON_FACE_LIST_VEC* f = set.hull.next; f; f = f->next) {
            for (int i = 0; i < 3; ++i) {
                const float* a = f->v[i]->values;
                const float* b = f->v[(i + 1) % 3]->values;
                ++total;
                seen += cyanNear(app, image, {(a[0] + b[0]) / 2, (a[1] + b[1]) / 2, (a[2] + b[2]) / 2});
            }
        }
        QCOMPARE(total, 36);
        QVERIFY2(seen >= 34, qPrintable(QString::number(seen)));
        // With hidden lines removed the far faces' diagonals disappear.
        app.inspector().Hidden_Face->setChecked(true);
        app.window().FormPaint();
        const int hidden = cyanCount(app.window().View_Widget()->grabFramebuffer());
        QVERIFY2(hidden > 100 && hidden < cyanCount(image), qPrintable(QString::number(hidden)));
    }

    void shadingFillsTheHullAndEdgesOutlineIt() {
        AppHarness app;
        orvex::POINT_LIST& set = app.window().Point_Set;
        turnedBox(set, 150, 80, 40);
        app.window().ToolButton16Click();
        std::copy(kCyan, kCyan + 4, set.colour);
        plainView(app);
        app.inspector().Shading_Checked->setChecked(true);
        app.window().FormPaint();
        QImage image = app.window().View_Widget()->grabFramebuffer();
        orvex::Vec3 at;
        QVERIFY(orvex::Project_Scene_Point(app.window().View, true, image.width(), image.height(), {0, 0, 40},
                                           at));
        // The top face, lit: no red, some green and blue.
        const QRgb top = image.pixel(int(at.x), image.height() - 1 - int(at.y));
        QVERIFY2(qRed(top) < 40 && qGreen(top) > 60 && qBlue(top) > 60, qPrintable(QString::number(top, 16)));
        QCOMPARE(image.pixel(5, 5) & 0xFFFFFF, 0u);
        // "Edge" outlines the faces in the complement of the black background.
        app.inspector().Edge_Checked->setChecked(true);
        app.window().FormPaint();
        image = app.window().View_Widget()->grabFramebuffer();
        int white = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) white += (image.pixel(x, y) & 0xFFFFFF) == 0xFFFFFF;
        QVERIFY2(white > 300, qPrintable(QString::number(white)));
    }

    // ---- The Run menu ------------------------------------------------------------------------------

    void densityRoutineRunsOnATinyCloud() {
        AppHarness app;
        app.window().New_File_Dialog()->point_size->setText("20");
        app.formation().Repeat_Convex->setText("1");
        app.window().Command_Action("ConvexTestRoutine1")->trigger();
        QVERIFY2(app.messages.isEmpty(), qPrintable(app.messages.join("; ")));
        QCOMPARE(dataRows(app.path("CH_ratio.txt"), kDensityRow), 33);
        const QStringList lines = memoLines(app);
        QVERIFY(lines.contains("Density Convex Hull Test... with 1 repeats."));
        QVERIFY(lines.contains("***Density = 100 %"));
        QCOMPARE(lines.count("In Average"), 33);
        QVERIFY2(kTotalCost.match(app.window().Panel_Text(0)).hasMatch(),
                 qPrintable(app.window().Panel_Text(0)));
        QCOMPARE(app.window().Last_Canvas_Text(), QString("96 % completed"));
        // The view holds the last cloud (density 10: on the sphere of radius 500) and its hull.
        QCOMPARE(app.window().Point_Set.stats[0], 20u);
        QVERIFY(app.window().Point_Set.Count(1) > 0);
        QVERIFY(app.window().View.Scene_Min == app.window().Point_Set.boundsMin);
        QVERIFY(app.window().View.Scene_Max == app.window().Point_Set.boundsMax);
    }

    void convexRoutineAndFullTestRunSmall() {
        AppHarness app;
        app.window().Benchmark_Max_Points = 100;
        app.window().New_File_Dialog()->point_size->setText("10");
        app.window().Command_Action("SphericalShellConvex1")->trigger();
        QVERIFY2(app.messages.isEmpty(), qPrintable(app.messages.join("; ")));
        QCOMPARE(dataRows(app.path("CH_Distance.txt"), kSizeRow), 18);
        QVERIFY(!QFile::exists(app.path("CH_ratio.txt")));
        QVERIFY(memoLines(app).contains("****On Sphere Case****"));
        QVERIFY2(kTotalCost.match(app.window().Panel_Text(0)).hasMatch(),
                 qPrintable(app.window().Panel_Text(0)));

        QFile::remove(app.path("CH_Distance.txt"));
        app.window().Command_Action("CubicConvexRoutine1")->trigger();
        QCOMPARE(dataRows(app.path("CH_ratio.txt"), kDensityRow), 33);
        QCOMPARE(dataRows(app.path("CH_Distance.txt"), kSizeRow), 18);
    }

    // ---- Long runs: the window stays alive, Esc stops between runs ------------------------------

    // Esc pressed while the routine reports progress (the event loop runs inside it): the run in hand
    // finishes, nothing more starts, the table keeps whole lines and the user is told.
    void escStopsTheConvexRoutineBetweenRuns() {
        AppHarness app;
        app.window().Benchmark_Max_Points = 10;  // nine runs
        QTimer::singleShot(0, &app.window(), [&app] { QTest::keyClick(&app.window(), Qt::Key_Escape); });
        app.window().Command_Action("SphericalShellConvex1")->trigger();
        QVERIFY2(app.messages.isEmpty(), qPrintable(app.messages.join("; ")));
        // Esc comes with the first report, during the first run; a slow machine may see it later.
        const QRegularExpressionMatch stopped =
            QRegularExpression(R"(^Stopped after (\d) of 9 runs$)").match(app.window().Panel_Text(0));
        QVERIFY2(stopped.hasMatch(), qPrintable(app.window().Panel_Text(0)));
        const QString done = stopped.captured(1);
        QVERIFY(done.toInt() >= 1 && done.toInt() < 9);
        QVERIFY(
            memoLines(app).contains("Stopped by the user after " + done +
                                    " of 9 runs. CH_Distance.txt holds the configurations finished before."));
        QFile table(app.path("CH_Distance.txt"));
        QVERIFY(table.open(QIODevice::ReadOnly));
        QVERIFY(table.readAll().endsWith(
            QString("Stopped by the user after " + done + " of 9 runs.\n").toLatin1()));
        QCOMPARE(dataRows(app.path("CH_Distance.txt"), kSizeRow), done.toInt());
        QVERIFY(!memoLines(app).contains("****In Sphere Cases****"));
        QVERIFY(orvex::CommandProgress::Active() == nullptr);

        // The next run, without Esc, is whole again.
        app.window().Command_Action("SphericalShellConvex1")->trigger();
        QCOMPARE(dataRows(app.path("CH_Distance.txt"), kSizeRow), 9);
        QVERIFY2(kTotalCost.match(app.window().Panel_Text(0)).hasMatch(),
                 qPrintable(app.window().Panel_Text(0)));
    }

    void escInTheFullTestsDensityRunSkipsTheSizeRun() {
        AppHarness app;
        app.window().Benchmark_Max_Points = 10;
        app.window().New_File_Dialog()->point_size->setText("20");
        QTimer::singleShot(0, &app.window(), [&app] { QTest::keyClick(&app.window(), Qt::Key_Escape); });
        app.window().Command_Action("CubicConvexRoutine1")->trigger();
        const QRegularExpressionMatch stopped =
            QRegularExpression(R"(^Stopped after (\d+) of 33 runs$)").match(app.window().Panel_Text(0));
        QVERIFY2(stopped.hasMatch(), qPrintable(app.window().Panel_Text(0)));
        QVERIFY(stopped.captured(1).toInt() < 33);
        QCOMPARE(dataRows(app.path("CH_ratio.txt"), kDensityRow), stopped.captured(1).toInt());
        QVERIFY(!QFile::exists(app.path("CH_Distance.txt")));
        QVERIFY(!memoLines(app).contains("Full Test of Convex Hull Start... with 1 repeats."));
    }

    // While a benchmark runs, timers fire, the status bar repaints with the share done, and a click
    // or a posted Inspector command starts nothing until it ends.
    void theWindowRepaintsAndShowsProgressDuringABenchmark() {
        AppHarness app;
        app.window().New_File_Dialog()->point_size->setText("20000");
        app.window().resize(480, 360);  // small frames: the run's length is mostly the hulls
        auto* panel = app.window().findChild<QLabel*>("Panel0");
        QVERIFY(panel);
        PaintCounter paints;
        panel->installEventFilter(&paints);
        QStringList shown;
        int openedDuring = 0;
        int keptPicture = 0;
        QTimer tick;
        tick.setInterval(20);
        QObject::connect(&tick, &QTimer::timeout, [&] {
            shown << app.window().Panel_Text(0);
            // Neither a posted code nor a second command gets in while the first runs.
            app.inspector().Command = 2;
            QTest::mouseClick(app.window().View_Widget(), Qt::LeftButton);
            openedDuring += orvex::CommandProgress::Active() != nullptr;
            // The hull may be half built here: a frame asked for now keeps the last picture.
            app.window().Set_Panel_Text(1, "mid-run");
            app.window().FormPaint();
            keptPicture += app.window().Panel_Text(1) == "mid-run";
            app.window().ConvexTestRoutine1Click();
        });
        tick.start();
        paints.count = 0;
        app.window().Command_Action("ConvexTestRoutine1")->trigger();
        const int paintsDuring = paints.count;
        tick.stop();
        QVERIFY2(shown.size() >= 3, qPrintable(QString::number(shown.size())));
        QCOMPARE(openedDuring, int(shown.size()));
        QCOMPARE(keptPicture, int(shown.size()));
        QVERIFY2(paintsDuring >= 3, qPrintable(QString::number(paintsDuring)));
        QVERIFY2(
            shown.filter(QRegularExpression(R"(^Density Convex Routine: \d+ % \(Esc stops\)$)")).size() >= 3,
            qPrintable(shown.join(" | ")));
        // One run only, whole: the nested starts were refused.
        QCOMPARE(dataRows(app.path("CH_ratio.txt"), kDensityRow), 33);
        QCOMPARE(memoLines(app).count("Density Convex Hull Test... with 1 repeats."), 1);
        QVERIFY2(kTotalCost.match(app.window().Panel_Text(0)).hasMatch(),
                 qPrintable(app.window().Panel_Text(0)));
        // The code posted during the run waits for the next idle moment.
        QCOMPARE(app.inspector().Command, 2);
        AppHarness::idleFor();
        QCOMPARE(app.inspector().Command, 0);
    }

    void badFieldsEndTheBenchmarkBeforeItStarts() {
        AppHarness app;
        app.window().New_File_Dialog()->point_size->setText("many");
        app.window().ConvexTestRoutine1Click();
        QCOMPARE(app.messages.size(), 1);
        QVERIFY2(app.messages[0].contains("point_size: 'many' is not a valid integer value"),
                 qPrintable(app.messages[0]));
        app.window().New_File_Dialog()->point_size->setText("-20");
        app.window().ConvexTestRoutine1Click();
        QCOMPARE(app.messages.size(), 2);
        app.formation().Repeat_Convex->setText("0");
        app.window().New_File_Dialog()->point_size->setText("20");
        app.window().CubicConvexRoutine1Click();
        QCOMPARE(app.messages.size(), 3);
        QVERIFY2(app.messages[2].contains("repeats"), qPrintable(app.messages[2]));
        QVERIFY(!QFile::exists(app.path("CH_ratio.txt")));
        QVERIFY(!QFile::exists(app.path("CH_Distance.txt")));
    }
};

QTEST_MAIN(HullWindowTest)
#include "HullWindowTest.moc"
