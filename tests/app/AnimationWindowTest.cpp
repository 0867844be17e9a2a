// The Animation menu and the sphere fit in the main window: "Routine capture TGL" writing one JPEG
// of the GL area per file of the Inspector's list, "Routine play TGL" and where it leaves the list
// and the meshes, what unreadable and foreign files give, and the fitted sphere in the frame.

// clang-format off
// The core headers come before Qt's, whose keyword macro `slots` would rewrite their members.
#include "fit/RmsSphere.h"
#include "geometry/Jpeg.h"
#include "mesh/FaceSynth.h"
// clang-format on

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QRadioButton>
#include <QtTest/QtTest>
#include <cmath>

#include "AppTestSupport.h"
#include "ui/FileBrowser.h"

using orvex::testing::AppHarness;
using orvex::testing::meshCount;
using orvex::testing::writeBoxStl;

namespace {

const QRegularExpression kProcedureCosts("^Procedure costs : \\d+ ms$");

class HideCounter : public QObject {
public:
    int hides = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Hide) ++hides;
        return QObject::eventFilter(watched, event);
    }
};

QString writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) file.write(bytes);
    return path;
}

QString writeBoxTgl(const QString& path, orvex::Vec3 size) {
    orvex::UniOb mesh;
    orvex::test::Make_Box(mesh, size);
    mesh.Tex_Coord.assign(mesh.Vertex_Count, orvex::TexCoord{0.5f, 0.5f});
    const std::vector<unsigned char> bytes = orvex::Tgl_Bytes(mesh);
    return writeBytes(path, QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())));
}

// Pixels in the colour the sequences give their meshes (0.7, 0.2, 0.3), JPEG noise allowed.
bool isFrameColour(std::uint32_t c) {
    const int r = int(c & 0xFF), g = int(c >> 8 & 0xFF), b = int(c >> 16 & 0xFF);
    return std::abs(r - 178) < 30 && std::abs(g - 51) < 30 && std::abs(b - 76) < 30;
}

// Width of the columns holding frame-coloured pixels, 0 when there are none.
int frameColourSpan(const orvex::RgbImage& image) {
    int left = image.Width, right = -1;
    for (int y = 0; y < image.Height; ++y)
        for (int x = 0; x < image.Width; ++x)
            if (isFrameColour(image.At(x, y))) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
    return right < 0 ? 0 : right - left + 1;
}

orvex::RgbImage readJpeg(const QString& path) {
    orvex::JpegDecoded decoded;
    const orvex::Status status = orvex::Read_Jpeg_File(path.toStdString(), decoded);
    if (!status) qWarning("%s", status.message.c_str());
    return decoded.Image;
}

int countGrey(const QImage& image, int grey) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            count += std::abs(qRed(p) - grey) <= 2 && std::abs(qGreen(p) - grey) <= 2 &&
                     std::abs(qBlue(p) - grey) <= 2;
        }
    return count;
}

// Pixels within `radius` of the centre of the picture that are not the background.
int litNearCentre(const QImage& image, QRgb background, int radius) {
    int count = 0;
    const int cx = image.width() / 2, cy = image.height() / 2;
    for (int y = cy - radius; y <= cy + radius; ++y)
        for (int x = cx - radius; x <= cx + radius; ++x)
            if (image.valid(x, y) && (image.pixel(x, y) & 0xFFFFFF) != (background & 0xFFFFFF)) ++count;
    return count;
}

QSize glAreaPixels(AppHarness& app) {
    const QWidget* view = app.window().View_Widget();
    return view->size() * view->devicePixelRatio();
}

// The scene of the sequences: bounds of +-2.5 about the origin, fitted, points 10 pixels wide.
void frameTheScene(AppHarness& app) {
    AppHarness::idleFor();  // the first idle moment sets the camera distance
    app.window().View.WidenSceneBounds({-2.5f, -2.5f, -2.5f}, {2.5f, 2.5f, 2.5f});
    app.window().Command_Action("FitView1")->trigger();
    app.inspector().The_Width->setCurrentIndex(9);
}

void showList(AppHarness& app, const QString& folder) {
    QDir().mkpath(folder);
    app.inspector().FileListBox->SetDirectory(folder);
}

}  // namespace

class AnimationWindowTest : public QObject {
    Q_OBJECT

private slots:
    void captureWritesOneFrameOfTheGlAreaPerFileInListOrder() {
        AppHarness app;
        const QString folder = app.path("series");
        showList(app, folder);
        writeBoxStl(folder + "/a.stl", {1, 1, 1});
        writeBoxStl(folder + "/b.stl", {4, 4, 4});
        writeBoxTgl(folder + "/c.tgl", {2, 2, 2});
        writeBytes(folder + "/d.xyz", "1 2 3\n4 5 6\n7 8 9\n");
        writeBytes(folder + "/e.stl", QByteArray(300, 'x'));
        app.inspector().FileListBox->Refresh();
        QCOMPARE(app.inspector().FileListBox->count(), 5);
        app.inspector().FileListBox->setCurrentRow(3);
        frameTheScene(app);
        const QString caption = app.window().windowTitle();
        app.inspector().show();
        HideCounter hides;
        app.inspector().installEventFilter(&hides);

        app.window().Command_Action("RoutineCapture1")->trigger();

        // Every frame is the GL area, and shows the file of its name: the boxes in the frame
        // colour (the STL ones growing with their size; the TGL reader's smoothing shrinks a box
        // of eight vertices), the point file and the unreadable file nothing.
        const QSize area = glAreaPixels(app);
        int spans[5] = {};
        const char* names[5] = {"Cap_a.jpg", "Cap_b.jpg", "Cap_c.jpg", "Cap_d.jpg", "Cap_e.jpg"};
        for (int i = 0; i < 5; ++i) {
            const orvex::RgbImage frame = readJpeg(app.path(names[i]));
            QCOMPARE(QSize(frame.Width, frame.Height), area);
            spans[i] = frameColourSpan(frame);
        }
        QVERIFY2(spans[0] > 0 && spans[0] * 3 < spans[1] && spans[2] > 0,
                 qPrintable(QString("%1 %2 %3").arg(spans[0]).arg(spans[1]).arg(spans[2])));
        QCOMPARE(spans[3], 0);
        QCOMPARE(spans[4], 0);
        QVERIFY(!QFile::exists(folder + "/Cap_a.jpg"));  // frames go to the working folder

        // The unreadable file is named once at the end; nothing stays loaded; the list is back on
        // its first entry, nothing opened by the selection; the Inspector was out of the way.
        QCOMPARE(app.messages.size(), 1);
        QVERIFY2(app.messages[0].contains("e.stl") && !app.messages[0].contains("d.xyz"),
                 qPrintable(app.messages[0]));
        QCOMPARE(app.window().Main_Objects, nullptr);
        QCOMPARE(app.inspector().FileListBox->currentRow(), 0);
        QCOMPARE(hides.hides, 1);
        QVERIFY(app.inspector().isVisible());
        QCOMPARE(app.window().windowTitle(), caption);
        AppHarness::idleFor();
        QCOMPARE(app.window().Main_Objects, nullptr);
        QVERIFY(app.inspector().Command != 8);
    }

    void aFrameThatCannotBeWrittenIsReportedOnceAndTheOthersFollow() {
        AppHarness app;
        const QString folder = app.path("series");
        showList(app, folder);
        for (const char* name : {"a.stl", "b.stl", "c.stl"}) writeBoxStl(folder + "/" + name, {1, 1, 1});
        app.inspector().FileListBox->Refresh();
        QVERIFY(QDir().mkpath(app.path("Cap_b.jpg")));  // a folder where the frame would go

        app.window().Command_Action("RoutineCapture1")->trigger();

        QVERIFY(QFileInfo(app.path("Cap_a.jpg")).isFile());
        QVERIFY(QFileInfo(app.path("Cap_b.jpg")).isDir());
        QVERIFY(QFileInfo(app.path("Cap_c.jpg")).isFile());
        QCOMPARE(app.messages.size(), 1);
        QVERIFY2(app.messages[0].contains("Cap_b.jpg") && !app.messages[0].contains("Cap_a.jpg") &&
                     app.messages[0].contains("2 frames written"),
                 qPrintable(app.messages[0]));
    }

    void captureOfAnEmptyListWritesNothingAndKeepsTheInspector() {
        AppHarness app;
        showList(app, app.path("empty"));
        app.inspector().show();
        HideCounter hides;
        app.inspector().installEventFilter(&hides);
        const int frames = app.window().Frames_Drawn;

        app.window().Command_Action("RoutineCapture1")->trigger();

        QCOMPARE(hides.hides, 1);
        QVERIFY(app.inspector().isVisible());
        QVERIFY(app.window().Frames_Drawn > frames);
        QVERIFY(QDir(app.path("")).entryList({"Cap_*"}).isEmpty());
        QVERIFY(app.messages.isEmpty());
    }

    void playStartsAtTheSelectionAndLeavesNoMeshWithTheFirstEntrySelected() {
        AppHarness app;
        // A mesh opened before the play is released with the first frame.
        const QString before = writeBoxStl(app.path("before.stl"), {1, 1, 1});
        app.answerOpen(QStringList{before});
        app.window().Command_Action("Open_Menu")->trigger();
        QCOMPARE(meshCount(app.window().Main_Objects), 1);

        // Unreadable files name themselves: the order of the names is the order of the frames.
        const QString folder = app.path("series");
        showList(app, folder);
        writeBoxStl(folder + "/a.stl", {1, 1, 1});
        writeBytes(folder + "/b.stl", QByteArray(300, 'b'));
        writeBytes(folder + "/c.stl", QByteArray(300, 'c'));
        writeBytes(folder + "/d.ran", QByteArray(300, 'd'));
        app.inspector().FileListBox->Refresh();
        app.inspector().FileListBox->setCurrentRow(2);
        const QString caption = app.window().windowTitle();
        const int frames = app.window().Frames_Drawn;

        app.window().Command_Action("Routineplay1")->trigger();

        QVERIFY(app.window().Frames_Drawn >= frames + 4);
        QCOMPARE(app.window().Main_Objects, nullptr);
        QCOMPARE(app.inspector().FileListBox->currentRow(), 0);
        QCOMPARE(app.window().windowTitle(), caption);
        QVERIFY(QDir(app.path("")).entryList({"Cap_*"}).isEmpty());
        QCOMPARE(app.messages.size(), 1);
        // Frames: c (selected), then b, c, d; a never.
        const QString text = app.messages[0];
        const qsizetype firstC = text.indexOf("c.stl"), b = text.indexOf("b.stl");
        QVERIFY2(firstC >= 0 && b > firstC && text.indexOf("c.stl", b) > b && !text.contains("a.stl") &&
                     !text.contains("d.ran"),
                 qPrintable(text));
        AppHarness::idleFor();
        QCOMPARE(app.window().Main_Objects, nullptr);
        QCOMPARE(app.window().Point_Set.Count(0), 0u);
    }

    void theSphereShowsOnlyAboveOneHundredthAndOnlyWhenOpaque() {
        AppHarness app;
        orvex::TMyGL& window = app.window();
        AppHarness::idleFor();
        window.View.WidenSceneBounds({-0.02f, -0.02f, -0.02f}, {0.02f, 0.02f, 0.02f});
        window.Command_Action("FitView1")->trigger();
        auto frame = [&](double radius) {
            window.RMSSPHERE.R = radius;
            window.FormPaint();
            return window.View_Widget()->grabFramebuffer();
        };
        // Points: a flat grey disc (lighting is off in that pass).
        const int disc = countGrey(frame(0.0101), 128);
        QVERIFY2(disc > 1000, qPrintable(QString::number(disc)));
        QCOMPARE(countGrey(frame(0.01), 128), 0);
        QCOMPARE(countGrey(frame(std::nan("")), 128), 0);

        // Lit solids: a shaded ball, but not among blended ones.
        app.inspector().Shading_Checked->click();
        const QRgb black = qRgb(0, 0, 0);
        QVERIFY(litNearCentre(frame(0.0101), black, 20) > 800);
        QCOMPARE(litNearCentre(frame(0.01), black, 20), 0);
        app.inspector().Transparency->click();
        QCOMPARE(litNearCentre(frame(0.0101), black, 20), 0);

        // Free All releases the fit.
        window.Command_Action("ToolButton12")->trigger();
        QCOMPARE(window.RMSSPHERE.R, 0.0);
        QCOMPARE(window.RMSSPHERE.count, 0u);
    }

    void rmsSphereFitsThePointSetAndReports() {
        AppHarness app;
        orvex::TMyGL& window = app.window();
        // Points on a sphere of radius 5 about (1, 2, 3): the six poles and eight diagonals.
        QString text;
        const double d = 5.0 / std::sqrt(3.0);
        for (int axis = 0; axis < 3; ++axis)
            for (int sign : {-1, 1}) {
                double p[3] = {1, 2, 3};
                p[axis] += 5.0 * sign;
                text +=
                    QString("%1 %2 %3\n").arg(p[0], 0, 'g', 17).arg(p[1], 0, 'g', 17).arg(p[2], 0, 'g', 17);
            }
        for (int i = 0; i < 8; ++i)
            text += QString("%1 %2 %3\n")
                        .arg(1 + (i & 1 ? d : -d), 0, 'g', 17)
                        .arg(2 + (i & 2 ? d : -d), 0, 'g', 17)
                        .arg(3 + (i & 4 ? d : -d), 0, 'g', 17);
        app.answerOpen(QStringList{writeBytes(app.path("ball.xyz"), text.toLatin1())}, 10);
        window.Command_Action("Open_Menu")->trigger();
        QCOMPARE(window.Point_Set.Count(0), 14u);
        AppHarness::idleFor();
        window.Command_Action("FitView1")->trigger();
        const int lines = app.report().Lines().size();

        window.Command_Action("RMSSphere1")->trigger();

        QCOMPARE(window.RMSSPHERE.count, 14u);
        QVERIFY(std::fabs(window.RMSSPHERE.R - 5.0) < 1e-5);
        QVERIFY(std::fabs(window.RMSSPHERE.a - 1.0) < 1e-5);
        QVERIFY(std::fabs(window.RMSSPHERE.c - 3.0) < 1e-5);
        QCOMPARE(app.report().Lines().size(), lines + 1);
        const QStringList values = app.report().Lines().last().split(',');
        QCOMPARE(values.size(), 10);
        QVERIFY(std::fabs(values[3].toDouble() - 5.0) < 1e-5);
        QCOMPARE(values[9].toDouble(), window.RMSSPHERE.iterations);
        QVERIFY(QFile::exists(app.path("RMS-Sphere.log")));
        QVERIFY(QFile::exists(app.path("test.txt")));
        QVERIFY2(kProcedureCosts.match(window.Panel_Text(0)).hasMatch(), qPrintable(window.Panel_Text(0)));
        QVERIFY(app.messages.isEmpty());
        // The frame shows the sphere as a grey disc among the points.
        QVERIFY(countGrey(window.View_Widget()->grabFramebuffer(), 128) > 100);

        // An emptied point set (opening a mesh empties it) keeps the points of the fit, which are
        // fitted again. A trace and a log that cannot be written are said, in one message.
        app.answerOpen(QStringList{writeBoxStl(app.path("box.stl"), {1, 1, 1})});
        window.Command_Action("Open_Menu")->trigger();
        QCOMPARE(window.Point_Set.Count(0), 0u);
        QVERIFY(QFile::remove(app.path("RMS-Sphere.log")) && QFile::remove(app.path("test.txt")));
        QVERIFY(QDir().mkpath(app.path("RMS-Sphere.log")) && QDir().mkpath(app.path("test.txt")));
        window.Command_Action("RMSSphere1")->trigger();
        QCOMPARE(window.RMSSPHERE.count, 14u);
        QVERIFY(std::fabs(window.RMSSPHERE.R - 5.0) < 1e-5);
        QCOMPARE(app.messages.size(), 1);
        QVERIFY2(app.messages[0].contains("RMS-Sphere.log") && app.messages[0].contains("test.txt"),
                 qPrintable(app.messages[0]));
        app.messages.clear();

        // Two points fit nothing (so write no trace): zeros in the report and a word in the status
        // bar.
        app.answerOpen(QStringList{writeBytes(app.path("two.xyz"), "0 0 0\n1 1 1\n")}, 10);
        window.Command_Action("Open_Menu")->trigger();
        window.Command_Action("RMSSphere1")->trigger();
        QCOMPARE(app.report().Lines().last(), QString("0,0,0,0,0,0,0,0,0,0"));
        QVERIFY2(window.Panel_Text(3).contains("at least 3"), qPrintable(window.Panel_Text(3)));
        QCOMPARE(countGrey(window.View_Widget()->grabFramebuffer(), 128), 0);
        QCOMPARE(app.messages.size(), 1);
        QVERIFY2(app.messages[0].contains("RMS-Sphere.log"), qPrintable(app.messages[0]));
    }
};

QTEST_MAIN(AnimationWindowTest)
#include "AnimationWindowTest.moc"
