// Face scans in the main window: TGL and 3D Studio opens, the template open, the image's colours on
// screen, the feature, match and train buttons, the red auxiliary marks and the two batches over
// the Inspector's file list.

// clang-format off
// The core headers come before Qt's, whose keyword macro `slots` would rewrite their members.
#include "analysis/ReadTemplate.h"
#include "mesh/FaceSynth.h"
#include "mesh/LoadPipeline.h"
// clang-format on

#include <QCheckBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QRadioButton>
#include <QtTest/QtTest>
#include <functional>
#include <memory>

#include "AppTestSupport.h"
#include "ui/FileBrowser.h"

using orvex::testing::AppHarness;
using orvex::testing::meshCount;
using orvex::testing::writeBoxStl;

namespace {

const QRegularExpression kCostText("^Procedure costs : \\d+ ms$");

QByteArray bytesOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) qWarning("cannot write %s", qPrintable(path));
    file.write(bytes);
}

// A small face: the pits 64 apart on a grid of spacing 1.5, so each file reads in a moment.
orvex::FaceSynthParams smallFace() {
    orvex::FaceSynthParams params;
    params.Grid = 121;
    params.Spacing = 1.5f;
    return params;
}

// The same face sampled on a shifted grid and turned a little: what a second scan of it looks like.
orvex::FaceSynthParams secondScan() {
    orvex::FaceSynthParams params = smallFace();
    params.Shift_X = 0.6f;
    params.Shift_Y = 0.4f;
    params.Pose.Rotate[1] = 0.1f;
    params.Pose.Rotate[2] = -0.05f;
    params.Pose.Translate[0] = 30.0f;
    return params;
}

QString writeFace(const QString& path, const orvex::FaceSynthParams& params, int imageSize = 128) {
    const orvex::Status status = orvex::Write_Face_Tgl(path.toStdString(), params, imageSize);
    if (!status) qWarning("%s", status.message.c_str());
    return path;
}

void open(AppHarness& app, const QString& path, int filterIndex) {
    app.answerOpen(QStringList{path}, filterIndex);
    app.window().Command_Action("OpenFile2")->trigger();
}

// The next save dialogs answer `name` (nullopt: "Cancel"); counts how often one was shown.
struct SaveAnswers {
    int shown = 0;
    int entry = 0;
    std::optional<QString> name;
    void install(AppHarness& app) {
        app.window().Save_Dialog = [this](int filterIndex) -> std::optional<orvex::SaveChoice> {
            ++shown;
            entry = filterIndex;
            if (!name) return std::nullopt;
            return orvex::SaveChoice{*name, filterIndex};
        };
    }
};

// Among the pixels that are not background: those clearly red (the marks), and those whose red
// exceeds their blue by a margin (skin) or the other way round (the picture's dark blue eyes).
struct PixelCounts {
    int red = 0;
    int warm = 0;
    int cool = 0;
    int lit = 0;
};

PixelCounts countPixels(AppHarness& app) {
    app.window().FormPaint();
    const QImage image = app.window().View_Widget()->grabFramebuffer();
    PixelCounts counts;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            const int r = qRed(p), g = qGreen(p), b = qBlue(p);
            if (r + g + b < 30) continue;
            ++counts.lit;
            if (r > 150 && g < 60 && b < 60) ++counts.red;
            if (r > b + 40) ++counts.warm;
            if (b > r + 40) ++counts.cool;
        }
    }
    return counts;
}

// The camera at the Inspector's distance, which the first idle moment sets; no corner mark.
void plainView(AppHarness& app) {
    AppHarness::idleFor();
    app.inspector().Coor_Mark->setChecked(false);
}

// Runs `act` on the file dialog once its modal loop has shown it.
void whenDialogShows(std::function<void(QFileDialog&)> act) {
    auto* timer = new QTimer;
    auto tries = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, act, tries] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible()) {
            if (++*tries > 500) timer->deleteLater();
            return;
        }
        timer->stop();
        timer->deleteLater();
        act(*dialog);
    });
    timer->start(20);
}

int templateCount(const QString& path) {
    orvex::UniOb mesh;
    return orvex::ReadTemplate(mesh, path.toStdString()) ? int(mesh.Template_Count) : -1;
}

}  // namespace

class FaceWindowTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs); }

    void tglOpensWithStatisticsAndShowsItsImageColours() {
        AppHarness app;
        plainView(app);
        const QString face = writeFace(app.path("face.tgl"), smallFace());
        open(app, face, 2);
        QCOMPARE(meshCount(app.window().Main_Objects), 1);
        const orvex::UniOb& mesh = *app.window().Main_Objects;
        QCOMPARE(
            app.window().Panel_Text(3),
            QString("%1 Facets. %2 Points. 0 Area. 0 Vol. ").arg(mesh.Face_Count).arg(mesh.Vertex_Count));
        QVERIFY2(kCostText.match(app.window().Panel_Text(0)).hasMatch(),
                 qPrintable(app.window().Panel_Text(0)));
        QVERIFY(QFile::exists(face + ".jpg"));
        QVERIFY2(app.messages.isEmpty(), qPrintable(app.messages.join('\n')));

        // The mesh's own grey without the texture; the picture's skin and eyes with "Gouraud
        // Shading" + "Texture".
        std::fill_n(app.window().Main_Objects->Color_RGBA, 3, 0.8f);
        app.inspector().Shading_Checked->setChecked(true);
        app.inspector().Phong_Shading->setChecked(true);
        const PixelCounts plain = countPixels(app);
        QVERIFY2(plain.lit > 10000, qPrintable(QString::number(plain.lit)));
        QVERIFY2(plain.warm + plain.cool < plain.lit / 50,
                 qPrintable(QString("%1 %2 of %3").arg(plain.warm).arg(plain.cool).arg(plain.lit)));
        app.inspector().Texture_Checked->setChecked(true);
        const PixelCounts textured = countPixels(app);
        QVERIFY2(textured.warm > textured.lit / 2 && textured.cool > textured.lit / 50,
                 qPrintable(QString("%1 %2 of %3").arg(textured.warm).arg(textured.cool).arg(textured.lit)));

        // A picture that cannot be decoded: the mesh opens without colours and the user hears why.
        orvex::UniOb grid;
        orvex::FaceSynthParams params = smallFace();
        params.Grid = 30;
        orvex::Make_Face(grid, params);
        const std::vector<unsigned char> bytes = orvex::Tgl_Bytes(grid, std::vector<unsigned char>(64, 0x5A));
        writeBytes(app.path("blind.tgl"),
                   QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())));
        open(app, app.path("blind.tgl"), 2);
        QCOMPARE(app.window().Main_Objects->Vertex_Count, grid.Vertex_Count);
        QCOMPARE(app.window().Main_Objects->Vertex_Color[0], 0);
        QCOMPARE(app.messages.size(), 1);
        QVERIFY2(app.messages[0].contains("blind.tgl"), qPrintable(app.messages[0]));
        app.messages.clear();
        open(app, face, 2);

        // A damaged file leaves the face open and says what is wrong.
        QByteArray cut = bytesOf(face).left(300);
        writeBytes(app.path("cut.tgl"), cut);
        const orvex::UniOb* before = app.window().Main_Objects;
        open(app, app.path("cut.tgl"), 2);
        QCOMPARE(app.window().Main_Objects, before);
        QCOMPARE(app.messages.size(), 1);
        QVERIFY2(app.messages[0].contains("cut.tgl"), qPrintable(app.messages[0]));
    }

    void threeDsOpensTheLastObjectAndReplacesTheMeshes() {
        AppHarness app;
        open(app, writeBoxStl(app.path("box.stl"), {2, 2, 2}), 3);
        orvex::UniOb small, large;
        orvex::FaceSynthParams params = smallFace();
        params.Grid = 20;
        orvex::Make_Face(small, params);
        params.Grid = 30;
        orvex::Make_Face(large, params);
        const std::vector<unsigned char> bytes = orvex::Tds_Bytes({&small, &large});
        writeBytes(app.path("two.3ds"),
                   QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())));
        open(app, app.path("two.3ds"), 1);
        QCOMPARE(meshCount(app.window().Main_Objects), 1);
        QCOMPARE(app.window().Main_Objects->Vertex_Count, large.Vertex_Count);
        QCOMPARE(app.window().Main_Objects->Face_Count, large.Face_Count);
        QCOMPARE(app.window().Main_Objects->Color_RGBA[3], 1.0f);
        QVERIFY(app.window().View.Scene_Max.x > app.window().View.Scene_Min.x);
        QVERIFY2(app.messages.isEmpty(), qPrintable(app.messages.join('\n')));

        // A file with no mesh chunks keeps it.
        writeBytes(app.path("empty.3ds"), QByteArray("\x4d\x4d\x06\x00\x00\x00", 6));
        open(app, app.path("empty.3ds"), 1);
        QCOMPARE(app.window().Main_Objects->Vertex_Count, large.Vertex_Count);
        QCOMPARE(app.messages.size(), 1);
    }

    // Feature save, template open, match and train on the first mesh, as a user runs them.
    void theFaceButtonsSaveMatchAndTrain() {
        AppHarness app;
        SaveAnswers save;
        save.install(app);
        QStringList questions;
        bool overwrite = false;
        app.window().Ask_Yes_No = [&](const QString& question) {
            questions << question;
            return overwrite;
        };

        // A template with no mesh open: only the time.
        writeBytes(app.path("none.txt"), "SIZE\t1\n1 2 3 0 0 1 0 0 1\n");
        open(app, app.path("none.txt"), 8);
        QVERIFY(!app.window().Main_Objects);
        QVERIFY2(kCostText.match(app.window().Panel_Text(0)).hasMatch(),
                 qPrintable(app.window().Panel_Text(0)));

        open(app, writeFace(app.path("a.tgl"), smallFace()), 2);
        app.window().Command_Action("ToolButton26")->trigger();
        save.name = app.path("features.txt");
        app.window().Command_Action("ToolButton28")->trigger();
        QCOMPARE(save.shown, 1);
        QVERIFY2(app.messages.isEmpty(), qPrintable(app.messages.join('\n')));
        const orvex::UniOb* face = app.window().Main_Objects;
        QVERIFY(face->Feature_Count > 100);
        QVERIFY(bytesOf(save.name.value())
                    .startsWith(QByteArray("SIZE\t") + QByteArray::number(face->Feature_Count) + '\n'));
        QVERIFY2(kCostText.match(app.window().Panel_Text(0)).hasMatch(),
                 qPrintable(app.window().Panel_Text(0)));

        // The second scan, matched against the first one's features.
        open(app, writeFace(app.path("b.tgl"), secondScan()), 2);
        open(app, app.path("features.txt"), 8);
        QCOMPARE(app.window().Panel_Text(3), QString("DONE!"));
        QCOMPARE(int(app.window().Main_Objects->Template_Count), templateCount(app.path("features.txt")));
        app.window().Command_Action("ToolButton26")->trigger();
        save.name.reset();
        app.window().Command_Action("ToolButton28")->trigger();
        QCOMPARE(save.shown, 2);
        app.window().Command_Action("ToolButton29")->trigger();
        bool number = false;
        const double e = app.window().windowTitle().toDouble(&number);
        QVERIFY2(number && e >= 0.0 && e < 1.0, qPrintable(app.window().windowTitle()));
        QVERIFY2(kCostText.match(app.window().Panel_Text(0)).hasMatch(),
                 qPrintable(app.window().Panel_Text(0)));

        // Training: caption "0"; an existing target is asked about and kept on "No".
        const QByteArray features = bytesOf(app.path("features.txt"));
        save.name = app.path("features.txt");
        app.window().Command_Action("ToolButton30")->trigger();
        QCOMPARE(app.window().windowTitle(), QString("0"));
        QCOMPARE(save.entry, 3);
        QCOMPARE(questions, QStringList{"File exists, Overwrite?"});
        QCOMPARE(bytesOf(app.path("features.txt")), features);
        overwrite = true;
        app.window().Command_Action("ToolButton30")->trigger();
        QCOMPARE(questions.size(), 2);
        QVERIFY(bytesOf(app.path("features.txt")) != features);
        QCOMPARE(templateCount(app.path("features.txt")), int(app.window().Main_Objects->Template_Count));
        QVERIFY2(app.messages.isEmpty(), qPrintable(app.messages.join('\n')));

        // A template file the reader refuses keeps the template and says which record.
        const unsigned kept = app.window().Main_Objects->Template_Count;
        writeBytes(app.path("bad.txt"), "SIZE\t2\n1 2 3 0 0 1 0 0 1\n1 2 x 0 0 1 0 0 1\n");
        open(app, app.path("bad.txt"), 8);
        QCOMPARE(app.window().Main_Objects->Template_Count, kept);
        QCOMPARE(app.messages.size(), 1);
        QVERIFY(app.window().Panel_Text(3) != QString("DONE!"));
    }

    void theFaceButtonsRefuseWhatTheyCannotUse() {
        AppHarness app;
        SaveAnswers save;
        save.name = app.path("out.txt");
        save.install(app);
        open(app, writeFace(app.path("a.tgl"), smallFace()), 2);
        const orvex::UniOb& mesh = *app.window().Main_Objects;
        const orvex::Vec3 first = mesh.Vertex_Pos[0];

        // A field that is no number stops before anything moves.
        app.window().Command_Action("ToolButton26")->trigger();
        app.formation().ReyeY->setText("0.4x");
        app.window().Command_Action("ToolButton28")->trigger();
        QCOMPARE(app.messages, QStringList{"ReyeY: '0.4x' is not a valid floating point value"});
        QCOMPARE(save.shown, 0);
        QCOMPARE(mesh.Vertex_Pos[0].x, first.x);

        // Without candidate regions the pose is refused, the face stays and nothing is offered.
        app.formation().ReyeY->setText("0.46");
        app.messages.clear();
        open(app, app.path("a.tgl"), 2);
        const orvex::UniOb& fresh = *app.window().Main_Objects;
        app.window().Command_Action("ToolButton28")->trigger();
        QCOMPARE(app.messages.size(), 1);
        QCOMPARE(save.shown, 0);
        QCOMPARE(fresh.Vertex_Pos[0].x, first.x);
        QVERIFY2(kCostText.match(app.window().Panel_Text(0)).hasMatch(),
                 qPrintable(app.window().Panel_Text(0)));

        // Training with no template: caption "0", no dialog, a message.
        app.messages.clear();
        app.window().Command_Action("ToolButton30")->trigger();
        QCOMPARE(app.window().windowTitle(), QString("0"));
        QCOMPARE(save.shown, 0);
        QCOMPARE(app.messages.size(), 1);
        // Matching with no template: -1.
        app.window().Command_Action("ToolButton29")->trigger();
        QCOMPARE(app.window().windowTitle(), QString("-1"));
    }

    // The real dialog once: a typed name receives the features.
    void theFeaturesGoWhereTheDialogSays() {
        AppHarness app;
        open(app, writeFace(app.path("a.tgl"), smallFace()), 2);
        app.window().Command_Action("ToolButton26")->trigger();
        whenDialogShows([&](QFileDialog& dialog) {
            dialog.setDirectory(app.path(""));
            auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            if (!edit) {
                dialog.reject();
                return;
            }
            edit->clear();
            QTest::keyClicks(edit, "typed.txt");
            static_cast<QDialog&>(dialog).accept();
        });
        app.window().Command_Action("ToolButton28")->trigger();
        QCOMPARE(templateCount(app.path("typed.txt")), int(app.window().Main_Objects->Feature_Count));
        QVERIFY2(app.messages.isEmpty(), qPrintable(app.messages.join('\n')));
    }

    void auxiliaryShowsTheMarksInRed() {
        AppHarness app;
        plainView(app);
        SaveAnswers save;
        save.install(app);
        open(app, writeFace(app.path("a.tgl"), smallFace()), 2);
        app.inspector().Shading_Checked->setChecked(true);
        app.window().Command_Action("ToolButton26")->trigger();
        const PixelCounts without = countPixels(app);
        QCOMPARE(without.red, 0);
        app.inspector().Aux->setChecked(true);
        const PixelCounts regions = countPixels(app);
        QVERIFY2(regions.red > 20, qPrintable(QString::number(regions.red)));
        // After the pose: the profile, tip and bridge arrows and the feature points.
        app.window().Command_Action("ToolButton28")->trigger();
        QVERIFY(app.window().Main_Objects->Profile_Marks);
        const PixelCounts marks = countPixels(app);
        QVERIFY2(marks.red > regions.red, qPrintable(QString("%1 %2").arg(marks.red).arg(regions.red)));
        app.inspector().Aux->setChecked(false);
        QCOMPARE(countPixels(app).red, 0);
    }

    void verificationReportsEveryFaceAndTheCounters() {
        AppHarness app;
        SaveAnswers save;
        save.name = app.path("reg.txt");
        save.install(app);
        // The template: the features of the first scan, saved as "reg.txt" in the working folder.
        QDir().mkpath(app.path("faces"));
        open(app, writeFace(app.path("faces/a.tgl"), smallFace()), 2);
        app.window().Command_Action("ToolButton26")->trigger();
        app.window().Command_Action("ToolButton28")->trigger();
        QVERIFY(templateCount(app.path("reg.txt")) > 100);
        writeFace(app.path("faces/b.tgl"), secondScan());
        writeBoxStl(app.path("faces/c.stl"), {1, 1, 1});
        writeBytes(app.path("faces/d.tgl"), bytesOf(app.path("faces/a.tgl")).left(200));
        const QByteArray reg = bytesOf(app.path("reg.txt"));

        app.inspector().FileListBox->SetDirectory(app.path("faces"));
        QCOMPARE(app.inspector().FileListBox->count(), 4);
        const orvex::UniOb* shownMesh = app.window().Main_Objects;
        const QString title = app.window().windowTitle();
        const int before = int(app.report().Lines().size());
        app.window().Command_Action("Verification")->trigger();

        const QStringList lines = app.report().Lines().mid(before);
        QCOMPARE(lines.size(), 3 + 1 + 31);
        QVERIFY2(lines[0].startsWith(app.path("faces/a.tgl") + '\t'), qPrintable(lines[0]));
        QVERIFY2(lines[1].startsWith(app.path("faces/b.tgl") + '\t'), qPrintable(lines[1]));
        bool number = false;
        const double e = lines[1].section('\t', 1, 1).toDouble(&number);
        QVERIFY2(number && e >= 0.0 && e < 1.0, qPrintable(lines[1]));
        QVERIFY2(lines[2].startsWith(app.path("faces/d.tgl") + "\t-1\t") && lines[2].size() > 40,
                 qPrintable(lines[2]));
        QCOMPARE(lines[3], QString("=================="));
        int total = 0;
        for (int i = 0; i < 31; ++i) total += lines[4 + i].toInt();
        QCOMPARE(total, 3);
        QVERIFY(lines[4 + 30].toInt() >= 1);
        QCOMPARE(lines[4 + int(e * 10)].toInt() >= 1, true);

        // The selection went round to the first entry without opening anything; caption and
        // template as they were.
        QCOMPARE(app.inspector().FileListBox->currentRow(), 0);
        QCOMPARE(app.window().Main_Objects, shownMesh);
        QCOMPARE(app.window().windowTitle(), title);
        QCOMPARE(bytesOf(app.path("reg.txt")), reg);
        QVERIFY2(kCostText.match(app.window().Panel_Text(0)).hasMatch(),
                 qPrintable(app.window().Panel_Text(0)));
        QVERIFY2(app.messages.isEmpty(), qPrintable(app.messages.join('\n')));
    }

    void trainingRewritesTheTemplateAndEndsAtAHundredPercent() {
        AppHarness app;
        SaveAnswers save;
        save.name = app.path("reg.txt");
        save.install(app);
        QDir().mkpath(app.path("faces"));
        app.inspector().FileListBox->SetDirectory(app.path("faces"));

        // No template yet: a message, nothing written, caption untouched.
        writeFace(app.path("faces/b.tgl"), secondScan());
        app.inspector().FileListBox->SetDirectory(app.path("faces"));
        const QString title = app.window().windowTitle();
        app.window().Command_Action("Training1")->trigger();
        QCOMPARE(app.messages.size(), 1);
        QVERIFY2(app.messages[0].contains("reg.txt"), qPrintable(app.messages[0]));
        QVERIFY(!QFile::exists(app.path("reg.txt")));
        QCOMPARE(app.window().windowTitle(), title);
        app.messages.clear();

        open(app, writeFace(app.path("a.tgl"), smallFace()), 2);
        app.window().Command_Action("ToolButton26")->trigger();
        app.window().Command_Action("ToolButton28")->trigger();
        const QByteArray reg = bytesOf(app.path("reg.txt"));
        const int records = templateCount(app.path("reg.txt"));
        QVERIFY(records > 100);
        writeBoxStl(app.path("faces/c.stl"), {1, 1, 1});
        writeBytes(app.path("faces/d.tgl"), "not a face");
        app.inspector().FileListBox->SetDirectory(app.path("faces"));
        QCOMPARE(app.inspector().FileListBox->count(), 3);
        app.inspector().show();

        const int before = int(app.report().Lines().size());
        app.window().Command_Action("Training1")->trigger();
        QCOMPARE(app.window().windowTitle(), QString("100 % completed"));
        QCOMPARE(app.inspector().FileListBox->currentRow(), 0);
        QVERIFY(app.inspector().isVisible());
        const QByteArray trained = bytesOf(app.path("reg.txt"));
        QVERIFY(trained != reg);
        QCOMPARE(templateCount(app.path("reg.txt")), records);
        // Only the file that could not be read has a line.
        const QStringList lines = app.report().Lines().mid(before);
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines[0].startsWith(app.path("faces/d.tgl") + "\t-1\t"), qPrintable(lines[0]));
        QVERIFY2(app.messages.isEmpty(), qPrintable(app.messages.join('\n')));
    }
};

QTEST_MAIN(FaceWindowTest)
#include "FaceWindowTest.moc"
