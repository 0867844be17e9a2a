// The point set in the main window: "New File" with its dialog, the transfer of mesh vertices
// (tool button 24), opening RAN, XYZ and XYC files, and what a frame shows of the points.

// clang-format off
// The core headers come before Qt's, whose keyword macro `slots` would rewrite their members.
#include "pointset/PointList.h"
// clang-format on

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QtTest/QtTest>
#include <cmath>
#include <functional>

#include "AppTestSupport.h"
#include "render/Camera.h"
#include "ui/ColorSwatch.h"
#include "ui/NewFileDialog.h"

using orvex::testing::AppHarness;
using orvex::testing::meshCount;
using orvex::testing::writeBoxStl;

namespace {

const QRegularExpression kProcedureCosts("^Procedure costs : \\d+ ms$");

// Answers the next modal run of `dialog`: `answer` sets its controls and presses a button.
void answerWhenShown(QDialog& dialog, std::function<void()> answer) {
    QTimer::singleShot(0, &dialog, [&dialog, answer] {
        QTRY_VERIFY(dialog.isVisible());
        answer();
    });
}

// Runs "New File" with these settings and OK (or Cancel).
void newFile(AppHarness& app, const QString& number, int distribution, int x, int y, int z,
             bool rotate = false, bool ok = true) {
    orvex::TNew_File_Dialog& dialog = *app.window().New_File_Dialog();
    answerWhenShown(dialog, [&dialog, number, distribution, x, y, z, rotate, ok] {
        dialog.point_size->setText(number);
        dialog.ComboBox1->setCurrentIndex(distribution);
        dialog.x_range->setValue(x);
        dialog.y_range->setValue(y);
        dialog.z_range->setValue(z);
        dialog.Arbitrary_Rotation->setChecked(rotate);
        QTest::mouseClick(ok ? dialog.OK_Button : dialog.Cancel_Button, Qt::LeftButton);
    });
    app.window().Command_Action("NewFile1")->trigger();
}

double norm(const float* p) {
    return std::sqrt(double(p[0]) * p[0] + double(p[1]) * p[1] + double(p[2]) * p[2]);
}

QString writeText(AppHarness& app, const QString& name, const QByteArray& text) {
    QFile file(app.path(name));
    if (file.open(QIODevice::WriteOnly)) file.write(text);
    return app.path(name);
}

bool isCyan(QRgb pixel) {
    return qRed(pixel) < 40 && qGreen(pixel) > 215 && qBlue(pixel) > 215;
}

}  // namespace

class PointSetWindowTest : public QObject {
    Q_OBJECT

private slots:
    // ---- New File ------------------------------------------------------------------------------

    void theDialogStartsWithItsDesignDefaults() {
        AppHarness app;
        orvex::TNew_File_Dialog& dialog = *app.window().New_File_Dialog();
        QCOMPARE(dialog.windowTitle(), QString("New File"));
        QCOMPARE(dialog.size(), QSize(313, 214));
        QCOMPARE(dialog.Caption_Label->text(), QString("Random Points  Generation"));
        QCOMPARE(dialog.point_size->text(), QString("10000"));
        const QStringList items{"In cube",      "In sphere(polar)", "In sphere(cardi)", "On sphere",
                                "95% on shell", "75% on shell",     "50% on shell"};
        QCOMPARE(dialog.ComboBox1->count(), int(items.size()));
        for (int i = 0; i < items.size(); ++i) QCOMPARE(dialog.ComboBox1->itemText(i), items[i]);
        QCOMPARE(dialog.ComboBox1->currentIndex(), 3);
        for (QSlider* bar : {dialog.x_range, dialog.y_range, dialog.z_range}) {
            QCOMPARE(bar->minimum(), 5);
            QCOMPARE(bar->maximum(), 1000);
            QCOMPARE(bar->value(), 500);
        }
        QCOMPARE(dialog.x_label->text(), QString("X range : 500"));
        QCOMPARE(dialog.z_label->text(), QString("Z range : 500"));
        dialog.y_range->setValue(37);
        QCOMPARE(dialog.y_label->text(), QString("Y range : 37"));
        QVERIFY(!dialog.Arbitrary_Rotation->isChecked());
        QCOMPARE(dialog.Arbitrary_Rotation->text(), QString("Arbitrary Rotation"));
    }

    void onSphereOf500DrawsPointsAtRadius500() {
        AppHarness app;
        AppHarness::idleFor();  // camera distance from the Inspector
        app.inspector().R_Size->setValue(3000);
        AppHarness::idleFor();
        newFile(app, "3000", orvex::ON_SPHERE, 500, 500, 500);
        orvex::POINT_LIST& set = app.window().Point_Set;
        QCOMPARE(set.Count(0), 3000u);
        for (const orvex::VEC_LIST* p = set.points.next; p; p = p->next)
            QVERIFY(std::fabs(norm(p->values) - 500) < 1e-3);
        QVERIFY(app.window().View.Scene_Min == set.boundsMin);
        QVERIFY(app.window().View.Scene_Max == set.boundsMax);
        QVERIFY2(QRegularExpression("^Create costs: \\d+ ms$").match(app.window().Panel_Text(0)).hasMatch(),
                 qPrintable(app.window().Panel_Text(0)));
        QCOMPARE(app.window().Panel_Text(3), QString("3000 points generated"));

        // The frame: every visible point lands on a pixel of the set's colour, and the cyan pixels
        // span the sphere's image and no more.
        const float cyan[4] = {0.0f, 1.0f, 1.0f, 1.0f};
        std::copy(cyan, cyan + 4, set.colour);
        app.window().FormPaint();
        const QImage image = app.window().View_Widget()->grabFramebuffer();
        QVERIFY(!image.isNull());
        const int w = image.width(), h = image.height();
        QRectF projected;
        int visible = 0, hit = 0;
        for (const orvex::VEC_LIST* p = set.points.next; p; p = p->next) {
            orvex::Vec3 at;
            const orvex::Vec3 point{p->values[0], p->values[1], p->values[2]};
            if (!orvex::Project_Scene_Point(app.window().View, true, w, h, point, at)) continue;
            if (at.z <= 0 || at.z >= 1 || at.x < 1 || at.y < 1 || at.x >= w - 1 || at.y >= h - 1) continue;
            ++visible;
            projected = projected.united(QRectF(at.x, h - at.y, 0.01, 0.01));
            const int px = int(at.x), py = h - 1 - int(at.y);
            bool found = false;
            for (int dy = -1; dy <= 1 && !found; ++dy)
                for (int dx = -1; dx <= 1 && !found; ++dx) found = isCyan(image.pixel(px + dx, py + dy));
            hit += found;
        }
        QVERIFY2(visible > 2500, qPrintable(QString::number(visible)));
        QVERIFY2(hit > visible * 95 / 100, qPrintable(QString("%1 of %2").arg(hit).arg(visible)));
        QRect span;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (isCyan(image.pixel(x, y))) span = span.united(QRect(x, y, 1, 1));
        QVERIFY(std::abs(span.left() - projected.left()) < 3 &&
                std::abs(span.right() - projected.right()) < 3);
        QVERIFY(std::abs(span.top() - projected.top()) < 3 &&
                std::abs(span.bottom() - projected.bottom()) < 3);
        // A sphere: as wide as high, centred in the view (the pivot is the centre of its box).
        QVERIFY(std::abs(span.width() - span.height()) < 6);
        QVERIFY(std::abs(span.center().x() - w / 2) < 6 && std::abs(span.center().y() - h / 2) < 6);
    }

    void cubeRangesAndRotationReachTheSet() {
        AppHarness app;
        newFile(app, "500", orvex::IN_CUBE, 100, 200, 300);
        const orvex::POINT_LIST& set = app.window().Point_Set;
        QCOMPARE(set.Count(0), 500u);
        QVERIFY(set.boundsMin.x >= -50 && set.boundsMax.x <= 50 && set.boundsMax.x > 45);
        QVERIFY(set.boundsMin.z >= -150 && set.boundsMax.z <= 150 && set.boundsMax.z > 135);
        newFile(app, "500", orvex::IN_CUBE, 100, 200, 300, true);
        // Turned about a random axis: some coordinate leaves the unturned box.
        const orvex::Vec3 lo = set.boundsMin, hi = set.boundsMax;
        QVERIFY(lo.x < -50 || hi.x > 50 || lo.y < -100 || hi.y > 100 || lo.z < -150 || hi.z > 150);
    }

    void cancelLeavesTheSetAsItWas() {
        AppHarness app;
        newFile(app, "100", orvex::ON_SPHERE, 500, 500, 500);
        app.window().Set_Panel_Text(0, "before");
        newFile(app, "7", orvex::IN_CUBE, 5, 5, 5, false, false);
        QCOMPARE(app.window().Point_Set.Count(0), 100u);
        QCOMPARE(app.window().Panel_Text(0), QString("before"));
    }

    void impossiblePointNumbersAreRefusedWithAReason() {
        AppHarness app;
        struct Case {
            const char* text;
            const char* message;
        };
        const Case cases[] = {
            {"-5", "Point numbers = -5: the number of points must be between 0 and 100000000"},
            {"100000001", "the number of points must be between 0 and 100000000"},
            {"4294967295", "point_size: '4294967295' is not a valid integer value"},
            {"12abc", "point_size: '12abc' is not a valid integer value"},
        };
        for (const Case& c : cases) {
            newFile(app, "50", orvex::ON_SPHERE, 500, 500, 500);
            app.messages.clear();
            newFile(app, c.text, orvex::ON_SPHERE, 500, 500, 500);
            QCOMPARE(app.messages.size(), 1);
            QVERIFY2(app.messages[0].contains(c.message), qPrintable(app.messages[0]));
            // Cleared before the number is read; nothing generated.
            QCOMPARE(app.window().Point_Set.Count(0), 0u);
        }
    }

    void zeroPointsIsAnEmptySetAtTheOrigin() {
        AppHarness app;
        newFile(app, "0", orvex::ON_SPHERE, 500, 500, 500, true);
        QCOMPARE(app.window().Point_Set.Count(0), 0u);
        QVERIFY(app.window().View.Scene_Min == orvex::Vec3{});
        QCOMPARE(app.window().Panel_Text(3), QString("0 points generated"));
    }

    // ---- Transfer of mesh vertices --------------------------------------------------------------

    void toolButton24MovesEveryVertexIntoThePointSet() {
        AppHarness app;
        app.answerOpen(QStringList{writeBoxStl(app.path("a.stl"), {2, 2, 2}),
                                   writeBoxStl(app.path("b.stl"), {4, 4, 4}, {10, 0, 0})});
        app.window().InportSTL1Click();
        QCOMPARE(meshCount(app.window().Main_Objects), 2);
        app.window().Command_Action("ToolButton24")->trigger();
        QVERIFY(app.window().Main_Objects == nullptr);
        QCOMPARE(app.window().Point_Set.Count(0), 16u);
        QCOMPARE(app.window().Point_Set.boundsMax.x, 12.0f);
        QVERIFY2(QRegularExpression("^Transfer costs: \\d+ ms$").match(app.window().Panel_Text(0)).hasMatch(),
                 qPrintable(app.window().Panel_Text(0)));
        QCOMPARE(app.window().Panel_Text(3), QString("Total Points: 16"));
    }

    void toolButton24WithoutMeshesDoesNothing() {
        AppHarness app;
        newFile(app, "10", orvex::ON_SPHERE, 500, 500, 500);
        app.window().Set_Panel_Text(0, "unchanged");
        app.window().ToolButton24Click();
        QCOMPARE(app.window().Point_Set.Count(0), 10u);
        QCOMPARE(app.window().Panel_Text(0), QString("unchanged"));
    }

    void colouredPointsSelectedPointsAndTheBoxShowInTheFrame() {
        AppHarness app;
        AppHarness::idleFor();
        app.inspector().The_Width->setCurrentIndex(2);  // points of 3 pixels
        // Extreme points in the middle of the box's faces, away from its edges in the top view.
        app.window().Open_File_Name = writeText(app, "six.xyc",
                                                "-100 0 0 255 255 0\n100 0 0 0 128 255\n0 -100 0 255 255 0\n"
                                                "0 100 0 0 128 255\n0 0 100 255 255 0\n0 0 -100 255 255 0\n");
        app.window().OpenFile_Routine(11, 0);
        QCOMPARE(app.window().Point_Set.Count(0), 6u);
        orvex::VEC_LIST* picked = app.window().Selected_Points.NewPoint(3);
        picked->values[0] = picked->values[1] = 50.0f;
        picked->values[2] = 0.0f;
        app.window().Selected_Points.InsertFront(picked);
        const float orange[4] = {1.0f, 0.5f, 0.0f, 1.0f};
        std::copy(orange, orange + 4, app.window().Selected_Points.colour);
        app.window().FormPaint();
        const QImage image = app.window().View_Widget()->grabFramebuffer();
        const int w = image.width(), h = image.height();
        auto pixelOf = [&](orvex::Vec3 p) {
            orvex::Vec3 at;
            orvex::Project_Scene_Point(app.window().View, true, w, h, p, at);
            return QPoint(int(at.x), h - 1 - int(at.y));
        };
        auto near = [](QRgb pixel, int r, int g, int b) {
            return std::abs(qRed(pixel) - r) <= 3 && std::abs(qGreen(pixel) - g) <= 3 &&
                   std::abs(qBlue(pixel) - b) <= 3;
        };
        // Each point in its own colour, not the set's; the selected point in its set's colour.
        const struct {
            orvex::Vec3 at;
            int r, g, b;
        } expected[] = {{{-100, 0, 0}, 255, 255, 0},
                        {{100, 0, 0}, 0, 128, 255},
                        {{0, -100, 0}, 255, 255, 0},
                        {{0, 100, 0}, 0, 128, 255},
                        {{50, 50, 0}, 255, 128, 0}};
        for (const auto& e : expected) {
            const QPoint c = pixelOf(e.at);
            QVERIFY2(near(image.pixel(c), e.r, e.g, e.b),
                     qPrintable(QString("(%1, %2): %3").arg(c.x()).arg(c.y()).arg(image.pixel(c), 0, 16)));
        }
        // The axis-aligned box of the set in 0xFF80FF: its nearer face is the outline in the image.
        QRect box;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (near(image.pixel(x, y), 255, 128, 255)) box = box.united(QRect(x, y, 1, 1));
        const QPoint low = pixelOf({-100, -100, 100}), high = pixelOf({100, 100, 100});
        QVERIFY2(
            std::abs(box.left() - low.x()) <= 3 && std::abs(box.right() - high.x()) <= 3,
            qPrintable(
                QString("%1..%2 vs %3..%4").arg(box.left()).arg(box.right()).arg(low.x()).arg(high.x())));
        QVERIFY(std::abs(box.top() - high.y()) <= 3 && std::abs(box.bottom() - low.y()) <= 3);
    }

    // ---- Opening point files ---------------------------------------------------------------------

    void openingAnXyzFileShowsItsPoints() {
        AppHarness app;
        const QString path = writeText(app, "cloud.xyz", "1 2 3\n-4 5 6\n7 -8 9\n");
        app.answerOpen(QStringList{path}, 10);
        app.window().Command_Action("Open_Menu")->trigger();
        QVERIFY(app.messages.isEmpty());
        QCOMPARE(app.window().Point_Set.Count(0), 3u);
        QCOMPARE(app.window().Panel_Text(3), QString("3 points. "));
        QVERIFY2(kProcedureCosts.match(app.window().Panel_Text(0)).hasMatch(),
                 qPrintable(app.window().Panel_Text(0)));
        QVERIFY(app.window().View.Scene_Min == (orvex::Vec3{-4, -8, 3}));
        QVERIFY(app.window().View.Scene_Max == (orvex::Vec3{7, 5, 9}));
    }

    void openingRanAndXycFiles() {
        AppHarness app;
        app.answerOpen(QStringList{writeText(app, "r.ran", "2\n0 0 0\n1 1 1\n")}, 6);
        app.window().Open_MenuClick();
        QCOMPARE(app.window().Panel_Text(3), QString("2 points. "));
        // Kind 11 comes only from the Inspector's file list, by extension.
        app.window().Open_File_Name = writeText(app, "c.xyc", "1 2 3 255 0 128\n");
        app.window().OpenFile_Routine(11, 0);
        QCOMPARE(app.window().Panel_Text(3), QString("1 points. "));
        QVERIFY(app.window().Point_Set.coloured);
        QCOMPARE(app.window().Point_Set.points.next->values[3], 1.0f);
    }

    void aFileThatLiesAboutItsCountShowsWhatWasRead() {
        AppHarness app;
        app.answerOpen(QStringList{writeText(app, "short.ran", "5\n1 2 3\n4 5 6\n")}, 6);
        app.window().Open_MenuClick();
        QCOMPARE(app.window().Point_Set.Count(0), 2u);
        QCOMPARE(app.window().Panel_Text(3), QString("2 points. "));
        QCOMPARE(app.messages.size(), 1);
        QVERIFY2(app.messages[0].contains("read 2 of 5 points"), qPrintable(app.messages[0]));
    }

    void aFileThatCannotBeOpenedLeavesAnEmptySetAndSaysWhy() {
        AppHarness app;
        newFile(app, "10", orvex::ON_SPHERE, 500, 500, 500);
        app.answerOpen(QStringList{app.path("missing.xyz")}, 10);
        app.window().Open_MenuClick();
        QCOMPARE(app.window().Point_Set.Count(0), 0u);
        QVERIFY2(app.window().Panel_Text(3).contains("missing.xyz: cannot open"),
                 qPrintable(app.window().Panel_Text(3)));
        QCOMPARE(app.messages.size(), 1);
        QVERIFY2(kProcedureCosts.match(app.window().Panel_Text(0)).hasMatch(),
                 qPrintable(app.window().Panel_Text(0)));
        // Nothing was loaded: the scene bounds stay empty.
        QCOMPARE(app.window().View.Scene_Min.x, orvex::kSceneEmptyMin);
    }

    void everyOpenAndFreeAllEmptyThePointSet() {
        AppHarness app;
        newFile(app, "10", orvex::ON_SPHERE, 500, 500, 500);
        app.answerOpen(QStringList{writeBoxStl(app.path("box.stl"), {2, 2, 2})});
        app.window().Open_MenuClick();
        QCOMPARE(app.window().Point_Set.Count(0), 0u);
        newFile(app, "10", orvex::ON_SPHERE, 500, 500, 500);
        app.window().Command_Action("ToolButton12")->trigger();
        QCOMPARE(app.window().Point_Set.Count(0), 0u);
    }

    // ---- Saving point files ----------------------------------------------------------------------

    void saveEntriesWriteThePointFilesWithTheirExtensions() {
        AppHarness app;
        QStringList questions;
        app.window().Ask_Yes_No = [&questions](const QString& question) {
            questions << question;
            return true;
        };
        auto save = [&app](int entry, const QString& name) {
            app.window().Save_Dialog = [entry, name](int) {
                return std::optional<orvex::SaveChoice>(orvex::SaveChoice{name, entry});
            };
            app.window().Command_Action("Save_Menu")->trigger();
        };
        newFile(app, "100", orvex::ON_SPHERE, 500, 500, 500);
        save(8, app.path("cloud"));
        QFile ran(app.path("cloud.ran"));
        QVERIFY(ran.open(QIODevice::ReadOnly));
        QCOMPARE(ran.readLine(), QByteArray("100\n"));
        QCOMPARE(app.window().Last_Canvas_Text(), QString(" Saving to TEXT file. DONE"));
        QVERIFY2(kProcedureCosts.match(app.window().Panel_Text(0)).hasMatch(),
                 qPrintable(app.window().Panel_Text(0)));
        save(12, app.path("cloud"));
        QFile xyz(app.path("cloud.xyz"));
        QVERIFY(xyz.open(QIODevice::ReadOnly));
        QCOMPARE(xyz.readAll().count('\n'), 100);
        QVERIFY(questions.isEmpty());

        // A generated set has no colours of its own: entry 13 writes nothing and says so.
        save(13, app.path("cloud"));
        QVERIFY(!QFile::exists(app.path("cloud.xyc")));
        QCOMPARE(app.messages.size(), 1);
        QVERIFY2(app.messages[0].contains("no colours"), qPrintable(app.messages[0]));

        // The hull of four points as STL: 80 + 4 + 4 x 50 bytes.
        app.window().Open_File_Name = writeText(app, "four.xyz", "0 0 0\n1 0 0\n0 1 0\n0 0 1\n");
        app.window().OpenFile_Routine(10, 0);
        QVERIFY(app.window().Point_Set.QuickHullBest());
        app.window().Set_Panel_Text(0, "");
        save(7, app.path("hull"));
        QCOMPARE(QFileInfo(app.path("hull.stl")).size(), qint64(284));
        QCOMPARE(app.window().Last_Canvas_Text(), QString(" Saving to STL file. DONE"));
        QVERIFY(kProcedureCosts.match(app.window().Panel_Text(0)).hasMatch());

        // Saving over an existing file asks first; No leaves it as it was.
        questions.clear();
        app.window().Ask_Yes_No = [&questions](const QString& question) {
            questions << question;
            return false;
        };
        QFile old(app.path("cloud.ran"));
        QVERIFY(old.open(QIODevice::ReadOnly));
        const QByteArray kept = old.readAll();
        old.close();
        save(8, app.path("cloud"));
        QCOMPARE(questions, QStringList{"File exists, Overwrite?"});
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), kept);
    }

    void meshFormationColoursThePointSet() {
        AppHarness app;
        newFile(app, "10", orvex::ON_SPHERE, 500, 500, 500);
        orvex::TMesh_Formation& form = app.formation();
        answerWhenShown(form, [&form] {
            form.Model_Color->SetColor(0x0000FF);  // red
            form.Alpha_Bar->setValue(40);
            QTest::mouseClick(form.BitBtn2, Qt::LeftButton);
        });
        app.window().MeshFormationClick();
        const float* c = app.window().Point_Set.colour;
        QCOMPARE(c[0], 1.0f);
        QCOMPARE(c[1], 0.0f);
        QCOMPARE(c[2], 0.0f);
        QCOMPARE(c[3], 0.4f);
    }
};

QTEST_MAIN(PointSetWindowTest)
#include "PointSetWindowTest.moc"
