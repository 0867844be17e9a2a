// The mesh processing commands in the main window: model statistics (tool button 10), area
// smoothing with its report line (8), reversal as the shaded frame shows it (9), triangle
// reduction (11), attraction (32), "Temp Test", and the smoothing batch over the Inspector's file
// list.

// clang-format off
// The core headers come before Qt's, whose keyword macro `slots` would rewrite their members.
#include "mesh/StlReader.h"
#include "mesh/StlSynth.h"
// clang-format on

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QRadioButton>
#include <QtTest/QtTest>
#include <vector>

#include "AppTestSupport.h"
#include "app/FileListWalk.h"
#include "ui/FileBrowser.h"
#include "ui/GeneralFormat.h"

using orvex::testing::AppHarness;
using orvex::testing::meshCount;
using orvex::testing::writeBoxStl;
using orvex::testing::writeSphereStl;

namespace {

const QRegularExpression kCostText("^Procedure costs : \\d+ ms$");

QByteArray bytesOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void importFiles(AppHarness& app, const QStringList& files) {
    app.answerOpen(files);
    app.window().Command_Action("InportSTL1")->trigger();
}

std::vector<orvex::Vec3> positions(const orvex::UniOb& mesh) {
    return {mesh.Vertex_Pos.begin(), mesh.Vertex_Pos.end()};
}

QRgb centrePixel(AppHarness& app) {
    app.window().FormPaint();
    const QImage image = app.window().View_Widget()->grabFramebuffer();
    return image.pixel(image.width() / 2, image.height() / 2);
}

// Counts how often a widget is hidden.
class HideCounter : public QObject {
public:
    int hides = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Hide) ++hides;
        return false;
    }
};

}  // namespace

class ProcessingWindowTest : public QObject {
    Q_OBJECT

private slots:
    void statisticsSumBothCubes() {
        AppHarness app;
        importFiles(app, {writeBoxStl(app.path("a.stl"), {2, 2, 2}),
                          writeBoxStl(app.path("b.stl"), {2, 2, 2}, {5, 0, 0})});
        QCOMPARE(meshCount(app.window().Main_Objects), 2);
        app.window().Command_Action("ToolButton10")->trigger();
        QCOMPARE(app.window().Panel_Text(3), QString("24 faces, 16 vertexes,  Total Volume = 16 unit-cubic"));
        QVERIFY2(kCostText.match(app.window().Panel_Text(0)).hasMatch(),
                 qPrintable(app.window().Panel_Text(0)));
    }

    void areaSmoothingAppendsOneLinePerMeshAndPress() {
        AppHarness app;
        importFiles(app, {writeSphereStl(app.path("ball.stl"), 10.0f, 2)});
        orvex::UniOb& mesh = *app.window().Main_Objects;
        const std::vector<orvex::Vec3> before = positions(mesh);
        const int lines = int(app.report().Lines().size());
        QAction* smooth = app.window().Command_Action("ToolButton8");
        QVERIFY(smooth->isEnabled());
        smooth->trigger();
        smooth->trigger();
        const QStringList added = app.report().Lines().mid(lines);
        QCOMPARE(added.size(), 2);
        // The stored volume, which this command leaves as the load computed it.
        const QString volume = orvex::Float_To_Str(mesh.Volume);
        QCOMPARE(added[0], QString("1\t") + volume);
        QCOMPARE(added[1], QString("2\t") + volume);
        QVERIFY(positions(mesh) != before);
        QVERIFY2(kCostText.match(app.window().Panel_Text(0)).hasMatch(),
                 qPrintable(app.window().Panel_Text(0)));
    }

    void reversingTwiceRestoresTheShadedFrame() {
        AppHarness app;
        AppHarness::idleFor();  // camera distance 1000
        app.inspector().Shading_Checked->setChecked(true);
        importFiles(app, {writeSphereStl(app.path("ball.stl"), 200.0f, 3)});
        const QRgb outside = centrePixel(app);
        QVERIFY2((outside & 0xFFFFFF) != 0, "the lit sphere covers the centre");
        const std::vector<orvex::FaceIndex> faces = app.window().Main_Objects->Face_Index;

        app.window().Command_Action("ToolButton9")->trigger();
        QVERIFY2(kCostText.match(app.window().Panel_Text(0)).hasMatch(),
                 qPrintable(app.window().Panel_Text(0)));
        QVERIFY(app.window().Main_Objects->Volume < 0.0f);
        QVERIFY2(centrePixel(app) != outside, qPrintable(QString::number(outside, 16)));

        app.window().Command_Action("ToolButton9")->trigger();
        QCOMPARE(centrePixel(app), outside);
        QVERIFY(app.window().Main_Objects->Face_Index == faces);
    }

    void reductionLowersTheFaceCount() {
        AppHarness app;
        const QString path = app.path("fine.stl");
        QVERIFY(orvex::Write_Sphere_Stl(path.toStdString(),
                                        orvex::Sphere_For_Triangles(5000, orvex::FacetOrder::Rows, 100.0)));
        importFiles(app, {path});
        const unsigned faces = app.window().Main_Objects->Face_Count;
        app.formation().Reduce_Threshold->setText("10");
        app.window().Command_Action("ToolButton11")->trigger();
        QVERIFY2(app.window().Main_Objects->Face_Count < faces,
                 qPrintable(QString::number(app.window().Main_Objects->Face_Count)));
        QVERIFY2(kCostText.match(app.window().Panel_Text(0)).hasMatch(),
                 qPrintable(app.window().Panel_Text(0)));

        // A threshold that is no number ends the command with the conversion message.
        const unsigned reduced = app.window().Main_Objects->Face_Count;
        app.formation().Reduce_Threshold->setText("ten");
        app.window().Command_Action("ToolButton11")->trigger();
        QCOMPARE(app.window().Main_Objects->Face_Count, reduced);
        QCOMPARE(app.messages.size(), 1);
        QVERIFY2(app.messages[0].contains("Reduce_Threshold"), qPrintable(app.messages[0]));
    }

    void attractionNeedsTwoMeshesAndTempTestPerturbs() {
        AppHarness app;
        importFiles(app, {writeSphereStl(app.path("a.stl"), 10.0f, 2)});
        const std::vector<orvex::Vec3> alone = positions(*app.window().Main_Objects);
        app.window().Command_Action("ToolButton32")->trigger();
        QVERIFY(positions(*app.window().Main_Objects) == alone);

        app.window().ToolButton12Click();
        importFiles(app, {writeSphereStl(app.path("a.stl"), 10.0f, 2),
                          writeSphereStl(app.path("b.stl"), 10.0f, 2, {0, 0, 5})});
        QCOMPARE(meshCount(app.window().Main_Objects), 2);
        const std::vector<orvex::Vec3> first = positions(*app.window().Main_Objects);
        const std::vector<orvex::Vec3> second = positions(*app.window().Main_Objects->next);
        app.window().Command_Action("ToolButton32")->trigger();
        QVERIFY(positions(*app.window().Main_Objects) != first);
        QVERIFY(positions(*app.window().Main_Objects->next) == second);

        // "Temp Test" moves the first mesh by at most 0.3 on each axis.
        const std::vector<orvex::Vec3> before = positions(*app.window().Main_Objects);
        app.window().Command_Action("TempTest1")->trigger();
        const std::vector<orvex::Vec3> after = positions(*app.window().Main_Objects);
        QVERIFY(after != before);
        for (std::size_t v = 0; v < after.size(); ++v) {
            QVERIFY(std::fabs(after[v].x - before[v].x) <= 0.3f + 1e-4f);
            QVERIFY(std::fabs(after[v].z - before[v].z) <= 0.3f + 1e-4f);
        }
    }

    void batchSmoothsTheListedStlFilesAndEndsAtNoughtPercent() {
        AppHarness app;
        QDir().mkpath(app.path("batch"));
        const QString first = writeSphereStl(app.path("batch/a.stl"), 10.0f, 2);
        const QString second = writeSphereStl(app.path("batch/b.STL"), 5.0f, 2);
        const QString points = app.path("batch/c.xyz");
        {
            QFile file(points);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("1 2 3\n");
        }
        const QString truncated = app.path("batch/d.stl");
        {
            QFile file(truncated);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(bytesOf(first).left(84 + 50 * 3 + 20));
        }
        const QByteArray firstBytes = bytesOf(first), truncatedBytes = bytesOf(truncated);
        app.inspector().FileListBox->SetDirectory(app.path("batch"));
        QCOMPARE(app.inspector().FileListBox->count(), 4);
        app.inspector().show();
        QVERIFY(QTest::qWaitForWindowExposed(&app.inspector()));
        HideCounter hides;
        app.inspector().installEventFilter(&hides);

        const int lines = int(app.report().Lines().size());
        app.window().Command_Action("SerialSmoothSTL1")->trigger();

        QCOMPARE(app.window().windowTitle(), QString("0 % completed"));
        QCOMPARE(hides.hides, 1);
        QVERIFY(app.inspector().isVisible());
        QCOMPARE(app.inspector().FileListBox->currentRow(), 0);
        QVERIFY(bytesOf(first) != firstBytes);
        QVERIFY(QFile::exists(first + ".txt"));
        QVERIFY(QFile::exists(second + ".txt"));
        QCOMPARE(bytesOf(points), QByteArray("1 2 3\n"));
        QCOMPARE(bytesOf(truncated), truncatedBytes);
        QVERIFY(!QFile::exists(points + ".txt"));
        QVERIFY(!QFile::exists(truncated + ".txt"));
        // The volume is kept.
        orvex::UniOb before, after;
        QVERIFY(orvex::Read_STL(after, first.toStdString()));
        writeSphereStl(app.path("fresh.stl"), 10.0f, 2);
        QVERIFY(orvex::Read_STL(before, app.path("fresh.stl").toStdString()));
        QVERIFY2(std::fabs(after.Volume - before.Volume) < 1e-5f * before.Volume,
                 qPrintable(QString("%1 %2").arg(after.Volume).arg(before.Volume)));

        // "Detail" has a line for each file and the summary; the final message names the rest.
        const QStringList added = app.report().Lines().mid(lines);
        QCOMPARE(added.size(), 5);
        QVERIFY2(added.last().contains("2 of 4 files smoothed; skipped: c.xyz, d.stl"),
                 qPrintable(added.last()));
        QCOMPARE(app.messages.size(), 1);
        QVERIFY2(app.messages[0].contains("c.xyz") && app.messages[0].contains("d.stl"),
                 qPrintable(app.messages[0]));
        QVERIFY2(kCostText.match(app.window().Panel_Text(0)).hasMatch(),
                 qPrintable(app.window().Panel_Text(0)));
    }

    void walkStopsWhereTheVisitSaysAndShowsHowFar() {
        AppHarness app;
        for (const char* name : {"a.stl", "b.tgl", "c.xyz", "d.ran"}) writeBoxStl(app.path(name), {1, 1, 1});
        app.inspector().FileListBox->SetDirectory(app.path(""));
        QCOMPARE(app.inspector().FileListBox->count(), 4);
        app.inspector().hide();
        // Each visit sees its entry selected.
        QStringList seen;
        const int visited =
            orvex::Walk_File_List(app.window(), {}, [&](const QString& path, int index, int count) {
                seen << QStringLiteral("%1 %2/%3 %4")
                            .arg(QFileInfo(path).fileName())
                            .arg(index)
                            .arg(count)
                            .arg(app.inspector().FileListBox->currentRow());
                return index < 2;
            });
        QCOMPARE(visited, 3);
        QCOMPARE(seen, (QStringList{"a.stl 0/4 0", "b.tgl 1/4 1", "c.xyz 2/4 2"}));
        QCOMPARE(app.window().windowTitle(), QString("75 % completed"));
        QCOMPARE(app.inspector().FileListBox->currentRow(), 3);
        QVERIFY(!app.inspector().isVisible());  // a hidden Inspector stays hidden
    }

    void batchWithANonNumberTouchesNoFile() {
        AppHarness app;
        QDir().mkpath(app.path("batch"));
        const QString first = writeSphereStl(app.path("batch/a.stl"), 10.0f, 2);
        const QByteArray bytes = bytesOf(first);
        app.inspector().FileListBox->SetDirectory(app.path("batch"));
        app.inspector().show();
        const QString title = app.window().windowTitle();
        app.formation().Smooth_Factor->setText("abc");
        app.window().Command_Action("SerialSmoothSTL1")->trigger();
        QCOMPARE(app.messages.size(), 1);
        QCOMPARE(app.messages[0], QString("Smooth_Factor: 'abc' is not a valid floating point value"));
        QCOMPARE(bytesOf(first), bytes);
        QVERIFY(!QFile::exists(first + ".txt"));
        QCOMPARE(app.window().windowTitle(), title);
        QVERIFY(app.inspector().isVisible());

        // No Method selected smooths as "constant".
        app.formation().Smooth_Factor->setText("0.5");
        app.formation().Method->setCurrentIndex(-1);
        app.window().Command_Action("SerialSmoothSTL1")->trigger();
        QCOMPARE(app.messages.size(), 1);
        QVERIFY(bytesOf(first) != bytes);
    }
};

QTEST_MAIN(ProcessingWindowTest)
#include "ProcessingWindowTest.moc"
