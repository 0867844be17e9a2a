// PLY and OBJ in the window: the open dialog's new entries after the old ones, one click in the
// Inspector's file list, the per-vertex colour mode, Aux Object and the import, a file that fails
// keeping what is open, the save entries, and the list walks that still see only their old kinds.

// clang-format off
// The core headers come before Qt's, whose keyword macro `slots` would rewrite their members.
#include "mesh/PlyWriter.h"
#include "mesh/PlyReader.h"
#include "mesh/ObjReader.h"
#include "mesh/StlReader.h"
// clang-format on

#include <QCheckBox>
#include <QFile>
#include <QFileDialog>
#include <QListWidget>
#include <QRadioButton>
#include <QtTest/QtTest>

#include "AppTestSupport.h"
#include "app/FileListWalk.h"
#include "ui/FileBrowser.h"

using orvex::testing::AppHarness;
using orvex::testing::meshCount;
using orvex::testing::writeBoxStl;

namespace {

// A box (side 2 unless told) as a PLY (or OBJ) file, every vertex coloured `rgb` (0x00BBGGRR).
QString writeBox(AppHarness& app, const QString& name, int rgb, float side = 2.0f) {
    const QString stl = app.path(name + ".tmp.stl");
    writeBoxStl(stl, {side, side, side});
    orvex::UniOb box;
    if (!orvex::Read_STL(box, stl.toStdString())) return {};
    QFile::remove(stl);
    for (int& c : box.Vertex_Color) c = rgb;
    const QString path = app.path(name);
    const orvex::Status written = path.endsWith(".ply") ? orvex::Write_PLY(&box, path.toStdString())
                                                        : orvex::Write_OBJ(&box, path.toStdString());
    return written ? path : QString();
}

void clickFile(QListWidget* list, const QString& name) {
    const QList<QListWidgetItem*> items = list->findItems(name, Qt::MatchExactly);
    QVERIFY2(items.size() == 1, qPrintable(name));
    const QRect where = list->visualItemRect(items[0]);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, where.center());
}

// Pixels clearly of the blue vertex colour (lit, so any brightness) and clearly grey.
int bluePixels(const QImage& image) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            if (qBlue(p) > 60 && qBlue(p) > 3 * qRed(p) + 20 && qBlue(p) > 3 * qGreen(p) + 20) ++n;
        }
    return n;
}

}  // namespace

class FormatsWindowTest : public QObject {
    Q_OBJECT

private slots:
    void theOpenDialogKeepsItsElevenEntriesAndAddsPlyAndObj() {
        AppHarness app;
        QStringList seen;
        // The real dialog, read while it is up, then cancelled.
        QTimer::singleShot(0, [&seen] {
            QTRY_VERIFY(qobject_cast<QFileDialog*>(QApplication::activeModalWidget()));
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            seen = dialog->nameFilters();
            dialog->reject();
        });
        app.window().Open_MenuClick();
        QCOMPARE(seen.size(), 13);
        QCOMPARE(seen[2], QString("STL Format (*.stl)"));
        QCOMPARE(seen[10], QString("SFM data (*.sfm)"));
        QCOMPARE(seen[11], QString("PLY Files (*.ply)"));
        QCOMPARE(seen[12], QString("OBJ Files (*.obj)"));
    }

    void aPlyFromTheFileListShowsItsStatisticsAndItsColours() {
        AppHarness app;
        // Blue, and large enough to fill much of the view from the camera's distance of 1000.
        QVERIFY(!writeBox(app, "scan.ply", 0xFF0000, 100.0f).isEmpty());
        orvex::FileList* list = app.inspector().FileListBox;
        list->SetDirectory(app.path(""));
        app.inspector().show();
        QVERIFY(QTest::qWaitForWindowExposed(&app.inspector()));
        app.inspector().PageControl->setCurrentIndex(0);
        AppHarness::idleFor();
        clickFile(list, "scan.ply");
        AppHarness::idleFor();
        QVERIFY(app.messages.isEmpty());
        QCOMPARE(meshCount(app.window().Main_Objects), 1);
        QVERIFY2(app.window().Panel_Text(3).startsWith("12 Facets. 8 Points. 60000 Area. "),
                 qPrintable(app.window().Panel_Text(3)));
        orvex::UniOb& mesh = *app.window().Main_Objects;
        for (float& c : mesh.Color_RGBA) c = 1.0f;  // the mesh's own colour: white

        app.inspector().Shading_Checked->setChecked(true);
        app.inspector().Point_Checked->setChecked(false);
        app.inspector().Spectrum->setChecked(false);
        const QImage flat = app.window().View_Widget()->grabFramebuffer();
        // The axis mark has a little blue of its own.
        QVERIFY2(bluePixels(flat) < 200, qPrintable(QString::number(bluePixels(flat))));
        // Texture with Gouraud shading: each corner in its vertex colour.
        app.inspector().Texture_Checked->setChecked(true);
        app.inspector().Phong_Shading->setChecked(true);
        const QImage coloured = app.window().View_Widget()->grabFramebuffer();
        QVERIFY2(bluePixels(coloured) > 2000, qPrintable(QString::number(bluePixels(coloured))));
    }

    void anObjOpensByItsEntryAsAuxObjectAndByImport() {
        AppHarness app;
        const QString obj = writeBox(app, "model.obj", 0);
        const QString ply = writeBox(app, "scan.ply", 0x00FF00);
        app.answerOpen(QStringList{obj}, 13);
        app.window().Command_Action("Open_Menu")->trigger();
        QVERIFY2(app.messages.isEmpty(), qPrintable(app.messages.join('\n')));
        QCOMPARE(app.window().Panel_Text(3), QString("12 Facets. 8 Points. 24 Area. 8 Vol. "));
        QCOMPARE(app.window().Open_Filter_Index, 13);

        app.answerOpen(QStringList{ply}, 12);
        app.window().AuxObject1Click();
        QCOMPARE(meshCount(app.window().Main_Objects), 0);
        QCOMPARE(meshCount(app.window().Aux_Objects), 1);
        QCOMPARE(app.window().Aux_Objects->Color_RGBA[3], 0.75f);
        QCOMPARE(app.window().Aux_Objects->Vertex_Color[0], 0x00FF00);

        app.answerOpen(QStringList{obj, ply, obj}, 13);
        app.window().InportSTL1Click();
        // The import reads by the entry chosen: the .ply under "OBJ Files" fails and says so.
        QCOMPARE(meshCount(app.window().Main_Objects), 2);
        QCOMPARE(app.messages.size(), 1);
        app.messages.clear();
        app.answerOpen(QStringList{ply, ply}, 12);
        app.window().InportSTL1Click();
        QCOMPARE(meshCount(app.window().Main_Objects), 4);
        QVERIFY(app.messages.isEmpty());
    }

    void aFileThatFailsKeepsTheMeshesOpen() {
        AppHarness app;
        app.answerOpen(QStringList{writeBoxStl(app.path("a.stl"), {2, 2, 2})});
        app.window().Open_MenuClick();
        QFile bad(app.path("bad.ply"));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write("ply\nformat binary_middle_endian 1.0\nend_header\n");
        bad.close();
        QFile empty(app.path("points.obj"));
        QVERIFY(empty.open(QIODevice::WriteOnly));
        empty.write("v 0 0 0\nv 1 0 0\n");
        empty.close();
        app.answerOpen(QStringList{app.path("bad.ply")}, 12);
        app.window().Open_MenuClick();
        app.answerOpen(QStringList{app.path("points.obj")}, 13);
        app.window().Open_MenuClick();
        QCOMPARE(meshCount(app.window().Main_Objects), 1);
        QCOMPARE(app.window().Main_Objects->Face_Count, 12u);
        QCOMPARE(app.messages.size(), 2);
        QVERIFY2(app.messages[0].contains("line 2: unknown format 'binary_middle_endian'"),
                 qPrintable(app.messages[0]));
        QVERIFY2(app.messages[1].contains("no faces"), qPrintable(app.messages[1]));
    }

    void theSaveEntriesWriteTheMainMeshes() {
        AppHarness app;
        app.answerOpen(QStringList{writeBoxStl(app.path("a.stl"), {2, 2, 2}),
                                   writeBoxStl(app.path("b.stl"), {1, 1, 1}, {5, 5, 5})});
        app.window().InportSTL1Click();
        QCOMPARE(meshCount(app.window().Main_Objects), 2);
        for (int entry : {14, 15}) {
            const QString name = app.path(entry == 14 ? "both.ply" : "both.obj");
            app.window().Save_Dialog = [name, entry](int) { return orvex::SaveChoice{name, entry}; };
            app.window().Save_MenuClick();
            orvex::UniOb back;
            const orvex::Status read = entry == 14 ? orvex::Read_PLY_File(back, name.toStdString())
                                                   : orvex::Read_OBJ_File(back, name.toStdString());
            QVERIFY2(read, read.message.c_str());
            QCOMPARE(back.Face_Count, 24u);
            QCOMPARE(back.Vertex_Count, 16u);
        }
    }

    void theListWalksSeeOnlyTheirOldKinds() {
        AppHarness app;
        writeBoxStl(app.path("a.stl"), {2, 2, 2});
        writeBox(app, "b.ply", 0);
        writeBox(app, "c.obj", 0);
        writeBoxStl(app.path("d.stl"), {2, 2, 2});
        orvex::FileList* list = app.inspector().FileListBox;
        list->SetDirectory(app.path(""));
        QCOMPARE(list->count(), 4);
        QStringList walked;
        orvex::Walk_File_List(app.window(), {}, [&](const QString& path, int, int count) {
            walked << QFileInfo(path).fileName() + "/" + QString::number(count);
            return true;
        });
        QCOMPARE(walked, (QStringList{"a.stl/2", "d.stl/2"}));
        QCOMPARE(list->currentItem()->text(), QString("a.stl"));
    }
};

QTEST_MAIN(FormatsWindowTest)
#include "FormatsWindowTest.moc"
