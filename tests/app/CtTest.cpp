// CT volumes in the window: opening a .ct through the open dialog (bounds, voxels, status, and the
// files that must change nothing), the voxels in the frame (grey by intensity, over everything
// drawn before them), the Mesh Formation threshold, and saving the surfaces (entries 4 and 5)
// with the overwrite question and the progress texts.

// clang-format off
// The core headers come before Qt's, whose keyword macro `slots` would rewrite their members.
#include "mesh/StlReader.h"
// clang-format on

#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest/QtTest>
#include <cmath>

#include "AppTestSupport.h"
#include "app/CommandProgress.h"
#include "volume/CtSynth.h"
#include "volume/CtVolume.h"

using orvex::CT_3D;
using orvex::testing::AppHarness;

namespace {

const QRegularExpression kCostText("^Procedure costs : \\d+ ms$");

// Greys of the two blocks: exp(-4096 / 4096) and exp(-2048 / 4096).
const int kDarkGrey = int(std::lround(std::exp(-1.0) * 255));   // 94
const int kLightGrey = int(std::lround(std::exp(-0.5) * 255));  // 155

// 64^3 samples: a block of 4096 at small i and a block of 2048 at large i, 0 elsewhere.
QString writeTwoBlocks(const QString& path) {
    CT_3D volume;
    if (!volume.Allocate(64, 64, 64)) return {};
    for (int i = 0; i < 64; ++i)
        for (int j = 0; j < 64; ++j)
            for (int k = 0; k < 64; ++k) {
                const bool band = j >= 8 && j < 56 && k >= 8 && k < 56;
                volume.data[i][j][k] = !band ? 0 : (i >= 8 && i < 24) ? 4096 : (i >= 40 && i < 56) ? 2048 : 0;
            }
    const orvex::Status status = orvex::Write_CT_File(volume, path.toStdString());
    if (!status) qWarning("%s", status.message.c_str());
    return path;
}
constexpr int kBlockVoxels = 16 * 48 * 48;

QString writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) file.write(bytes);
    return path;
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

void answerFormation(orvex::TMesh_Formation& form, std::function<void()> answer) {
    QTimer::singleShot(0, &form, [&form, answer] {
        QTRY_VERIFY(form.isVisible());
        answer();
    });
}

void answerSave(AppHarness& app, const QString& name, int entry) {
    app.window().Save_Dialog = [name, entry](int) { return std::optional<orvex::SaveChoice>({name, entry}); };
}

std::uint32_t stlCount(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return 0;
    const QByteArray bytes = file.readAll();
    std::uint32_t count = 0;
    if (bytes.size() >= 84) std::memcpy(&count, bytes.constData() + 80, 4);
    return bytes.size() == 84 + 50 * qint64(count) ? count : 0xFFFFFFFF;
}

void openVolume(AppHarness& app, const QString& path) {
    app.answerOpen(QStringList{path}, 4);
    app.window().Command_Action("Open_Menu")->trigger();
}

}  // namespace

class CtTest : public QObject {
    Q_OBJECT

private slots:
    void openingAVolumeSetsBoundsVoxelsAndTiming() {
        AppHarness app;
        openVolume(app, writeTwoBlocks(app.path("blocks.ct")));
        QVERIFY2(app.messages.isEmpty(), qPrintable(app.messages.join("; ")));
        const CT_3D& volume = app.window().Volume;
        QCOMPARE(int(volume.nx), 64);
        QCOMPARE(int(volume.voxels.size()), 2 * kBlockVoxels);
        QCOMPARE(app.window().View.Scene_Min, (orvex::Vec3{0, 0, 0}));
        QCOMPARE(app.window().View.Scene_Max, (orvex::Vec3{64, 64, 64}));
        QVERIFY2(kCostText.match(app.window().Panel_Text(0)).hasMatch(),
                 qPrintable(app.window().Panel_Text(0)));
        QCOMPARE(app.window().Open_Filter_Index, 4);
    }

    void voxelsDrawGreyByIntensityOverEverything() {
        AppHarness app;
        AppHarness::idleFor();  // the first idle pass sets the camera distance
        // A white lit plate between the eye (on +z) and the volume: the voxels still show on it.
        app.inspector().Shading_Checked->setChecked(true);
        app.answerOpen(
            QStringList{orvex::testing::writeBoxStl(app.path("plate.stl"), {160, 160, 2}, {32, 32, 100})});
        app.window().Command_Action("Open_Menu")->trigger();
        openVolume(app, writeTwoBlocks(app.path("blocks.ct")));
        QCOMPARE(orvex::testing::meshCount(app.window().Main_Objects), 1);  // a CT open keeps the meshes
        app.window().FormPaint();
        const QImage image = app.window().View_Widget()->grabFramebuffer();
        const int dark = countGrey(image, kDarkGrey);
        const int light = countGrey(image, kLightGrey);
        QVERIFY2(dark > 200, qPrintable(QString::number(dark)));
        QVERIFY2(light > 200, qPrintable(QString::number(light)));
        // The plate is drawn round them: lit pixels that are neither background nor voxel grey.
        int plate = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QRgb p = image.pixel(x, y);
                plate += qGray(p) > 60 && qRed(p) != qBlue(p);
            }
        QVERIFY2(plate > 2 * (dark + light), qPrintable(QString::number(plate)));
    }

    void thresholdFromMeshFormationRebuildsTheVoxels() {
        AppHarness app;
        openVolume(app, writeTwoBlocks(app.path("blocks.ct")));
        orvex::TMesh_Formation& form = app.formation();
        answerFormation(form, [&form] {
            form.Edit2->setText("3000");
            form.BitBtn2->click();
        });
        app.window().Command_Action("MeshFormation")->trigger();
        QCOMPARE(app.window().Volume.threshold, 3000);
        QCOMPARE(int(app.window().Volume.voxels.size()), kBlockVoxels);
        const QImage image = app.window().View_Widget()->grabFramebuffer();
        QVERIFY(countGrey(image, kDarkGrey) > 200);
        QCOMPARE(countGrey(image, kLightGrey), 0);

        // A text that is no integer stops the command and keeps the threshold.
        answerFormation(form, [&form] {
            form.Edit2->setText("12OO");
            form.BitBtn2->click();
        });
        app.window().MeshFormationClick();
        QCOMPARE(app.window().Volume.threshold, 3000);
        QCOMPARE(app.messages.size(), 1);
        QVERIFY2(app.messages[0].startsWith("Edit2: "), qPrintable(app.messages[0]));
        form.Edit2->setText("1200");
    }

    void filesThatAreNoVolumeChangeNothingAndSaySo() {
        AppHarness app;
        openVolume(app, writeTwoBlocks(app.path("blocks.ct")));
        const orvex::Vec3 max = app.window().View.Scene_Max;
        QByteArray wrongMagic("\xB7\x07\x02\x00\x01\x00\x01\x00\x0A\x00\x14\x00", 12);
        QByteArray truncated("\xB6\x07\x03\x00\x03\x00\x03\x00", 8);
        truncated.append(53, '\x01');
        QByteArray oversized("\xB6\x07\xFF\xFF\xFF\xFF\xFF\xFF\x01\x00", 10);
        const QString files[] = {writeBytes(app.path("magic.ct"), wrongMagic),
                                 writeBytes(app.path("short.ct"), truncated),
                                 writeBytes(app.path("huge.ct"), oversized), app.path("absent.ct")};
        for (const QString& file : files) {
            app.messages.clear();
            openVolume(app, file);
            QCOMPARE(app.messages.size(), 1);
            QVERIFY2(app.messages[0].contains(QFileInfo(file).fileName()), qPrintable(app.messages[0]));
            QCOMPARE(int(app.window().Volume.nx), 64);
            QCOMPARE(int(app.window().Volume.voxels.size()), 2 * kBlockVoxels);
            QCOMPARE(app.window().View.Scene_Max, max);
            QVERIFY(kCostText.match(app.window().Panel_Text(0)).hasMatch());
        }
        QVERIFY(app.messages[0].contains("cannot open"));
    }

    void otherOpensAndFreeAllReleaseTheVolume() {
        AppHarness app;
        openVolume(app, writeTwoBlocks(app.path("blocks.ct")));
        app.answerOpen(QStringList{orvex::testing::writeBoxStl(app.path("cube.stl"), {2, 2, 2})}, 3);
        app.window().Command_Action("Open_Menu")->trigger();
        QVERIFY(app.window().Volume.IsEmpty());
        QVERIFY(app.window().Volume.voxels.empty());
        openVolume(app, writeTwoBlocks(app.path("blocks.ct")));
        QVERIFY(!app.window().Volume.IsEmpty());
        app.window().Free_All_Object();
        QVERIFY(app.window().Volume.IsEmpty());
        QVERIFY(app.window().Volume.voxels.empty());
    }

    void savingEntriesFourAndFiveWriteTheSurfaces() {
        AppHarness app;
        QVERIFY(app.window().Command_Action("Save_Menu")->isEnabled());
        QVERIFY(app.window().Command_Action("Save1")->isEnabled());
        openVolume(app, writeTwoBlocks(app.path("blocks.ct")));
        app.window().Set_Panel_Text(0, "before");

        answerSave(app, app.path("simple"), 4);
        app.window().Command_Action("Save_Menu")->trigger();
        QVERIFY2(app.messages.isEmpty(), qPrintable(app.messages.join("; ")));
        QVERIFY(!QFile::exists(app.path("simple")));  // the name gets ".stl" appended
        // Two boxes of 16 x 48 x 48 samples: 2 (16x48 + 16x48 + 48x48) faces each, two triangles a face.
        QCOMPARE(stlCount(app.path("simple.stl")), std::uint32_t(2 * 2 * 2 * (768 + 768 + 2304)));
        QCOMPARE(app.window().Last_Canvas_Text(), QString(" Saving STL by simple cube method .DONE"));
        QVERIFY(kCostText.match(app.window().Panel_Text(0)).hasMatch());
        QCOMPARE(app.window().Save_Filter_Index, 4);

        answerSave(app, app.path("marching.stl"), 5);
        app.window().Save1Click();
        const std::uint32_t triangles = stlCount(app.path("marching.stl.stl"));
        QVERIFY(triangles > 1000 && triangles != 0xFFFFFFFF);
        QCOMPARE(app.window().Last_Canvas_Text(), QString(" Saving STL by marching cube method .DONE"));
    }

    // The surface save lets the event loop run while it walks the volume: the status bar shows the
    // share done, and neither Esc nor closing the window cuts a save short.
    void surfaceSavesKeepTheWindowAlive() {
        AppHarness app;
        openVolume(app, writeTwoBlocks(app.path("blocks.ct")));
        for (const int entry : {4, 5}) {
            QString during;
            bool running = false;
            bool closed = true;
            QTimer::singleShot(0, &app.window(), [&] {
                during = app.window().Panel_Text(0);
                running = orvex::CommandProgress::Active() != nullptr;
                QTest::keyClick(&app.window(), Qt::Key_Escape);
                // Closing would free the volume under the writer: refused while it runs.
                closed = app.window().close();
            });
            answerSave(app, app.path(QString("alive%1").arg(entry)), entry);
            app.window().Command_Action("Save_Menu")->trigger();
            QVERIFY(running);
            QVERIFY(!closed);
            QVERIFY(app.window().isVisible());
            QCOMPARE(int(app.window().Volume.nx), 64);
            QVERIFY2(QRegularExpression(R"(^Saving STL: \d+ %$)").match(during).hasMatch(),
                     qPrintable(during));
            QVERIFY2(app.messages.isEmpty(), qPrintable(app.messages.join("; ")));
            const std::uint32_t triangles = stlCount(app.path(QString("alive%1.stl").arg(entry)));
            QVERIFY(triangles > 1000 && triangles != 0xFFFFFFFF);
            QVERIFY(app.window().Last_Canvas_Text().endsWith("DONE"));
            QVERIFY(kCostText.match(app.window().Panel_Text(0)).hasMatch());
        }
    }

    void overwritingAsksFirstAndNoKeepsTheFile() {
        AppHarness app;
        openVolume(app, writeTwoBlocks(app.path("blocks.ct")));
        writeBytes(app.path("old.stl"), "keep me");
        QStringList questions;
        bool answer = false;
        app.window().Ask_Yes_No = [&](const QString& q) {
            questions << q;
            return answer;
        };
        app.window().Set_Panel_Text(0, "before");
        // The derived name exists (the returned name does not): still asked.
        answerSave(app, app.path("old"), 4);
        app.window().Save_MenuClick();
        QCOMPARE(questions, QStringList{"File exists, Overwrite?"});
        QFile kept(app.path("old.stl"));
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("keep me"));
        kept.close();
        QCOMPARE(app.window().Panel_Text(0), QString("before"));  // no timing message

        answer = true;
        app.window().Save_MenuClick();
        QCOMPARE(questions.size(), 2);
        QVERIFY(stlCount(app.path("old.stl")) > 0);
    }

    void aCancelledSaveDoesNothing() {
        AppHarness app;
        openVolume(app, writeTwoBlocks(app.path("blocks.ct")));
        app.window().Save_Dialog = [](int) { return std::optional<orvex::SaveChoice>(); };
        app.window().Set_Panel_Text(0, "before");
        app.window().Save_MenuClick();
        QCOMPARE(app.window().Panel_Text(0), QString("before"));
    }

    void aFailedWriteIsReportedNotDone() {
        AppHarness app;
        openVolume(app, writeTwoBlocks(app.path("blocks.ct")));
        answerSave(app, app.path("no/such/folder/out"), 5);
        app.window().Save_MenuClick();
        QCOMPARE(app.messages.size(), 1);
        QVERIFY2(app.messages[0].contains("no/such/folder/out.stl"), qPrintable(app.messages[0]));
        QCOMPARE(app.window().Last_Canvas_Text(), QString(" Saving STL by marching cube method ..."));
        QVERIFY(kCostText.match(app.window().Panel_Text(0)).hasMatch());
    }

    void theHeadScanOpensWithItsVoxels() {
        const QString path = QString(ORVEX_SHARED_DATA_DIR) + "/ct_head.ct";
        if (!QFile::exists(path)) QSKIP("no ct_head.ct in the shared data");
        AppHarness app;
        AppHarness::idleFor();
        openVolume(app, path);
        QVERIFY(app.messages.isEmpty());
        QCOMPARE(int(app.window().Volume.voxels.size()), 450239);
        QCOMPARE(app.window().View.Scene_Max, (orvex::Vec3{104, 128, 112}));
        const QImage image = app.window().View_Widget()->grabFramebuffer();
        int grey = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QRgb p = image.pixel(x, y);
                grey += qRed(p) == qGreen(p) && qGreen(p) == qBlue(p) && qRed(p) > 60;
            }
        QVERIFY2(grey > 2000, qPrintable(QString::number(grey)));
    }
};

QTEST_MAIN(CtTest)
#include "CtTest.moc"
