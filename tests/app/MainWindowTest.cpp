// The main window at start-up and its command surface: model state, status bar, menus, tool bar,
// popup menu, the "Detail" report window, Free_All_Object and closing.

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QToolBar>
#include <QtTest/QtTest>
#include <clocale>
#include <cstdio>
#include <cstdlib>

#include "AppTestSupport.h"

using orvex::testing::AppHarness;

namespace {

QStringList actionNames(const QList<QAction*>& actions) {
    QStringList names;
    for (QAction* action : actions) {
        if (!action->isSeparator()) names << action->objectName();
    }
    return names;
}

QStringList actionTexts(const QList<QAction*>& actions) {
    QStringList texts;
    for (QAction* action : actions) {
        if (!action->isSeparator()) texts << action->text();
    }
    return texts;
}

QString readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return QString();
    return QString::fromLocal8Bit(file.readAll());
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void filesKeepTheDecimalPointWhateverTheLocale() {
        // As the desktop leaves it: the user's own locale (German here, where it is installed).
        if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8")) std::setlocale(LC_NUMERIC, "");
        orvex::TMyGL window;
        char text[32];
        std::snprintf(text, sizeof text, "%f", 0.5);
        QCOMPARE(QString(text), QString("0.500000"));
        QCOMPARE(std::strtod("2.5", nullptr), 2.5);
    }

    void opensMaximisedWithTitleAndReadyStatus() {
        orvex::Forms forms;
        forms.MyGL.showMaximized();
        QVERIFY(QTest::qWaitForWindowExposed(&forms.MyGL));
        QCOMPARE(forms.MyGL.windowTitle(), QString("Orvex Vision"));
        QVERIFY(forms.MyGL.windowState() & Qt::WindowMaximized);
        QCOMPARE(forms.MyGL.Panel_Text(0), QString("Ready"));
        QCOMPARE(forms.MyGL.Panel_Text(2), QString("(X,Y)"));
        QCOMPARE(forms.MyGL.Panel_Text(3), QString(""));
    }

    void statusBarHasFourPanelsOfTheirWidths() {
        orvex::TMyGL window;
        const int widths[] = {180, 80, 90, 300};
        const char* texts[] = {"Ready", "redraw", "(X,Y)", ""};
        for (int i = 0; i < 4; ++i) {
            auto* panel = window.statusBar()->findChild<QLabel*>(QString("Panel%1").arg(i));
            QVERIFY(panel);
            QCOMPARE(panel->sizeHint().width(), widths[i]);
            QCOMPARE(panel->text(), QString(texts[i]));
        }
    }

    void startsWithTheInitialModelState() {
        orvex::TMyGL window;
        const orvex::ViewState& view = window.View;
        QCOMPARE(view.Scene_Min.x, 100000.0f);
        QCOMPARE(view.Scene_Min.z, 100000.0f);
        QCOMPARE(view.Scene_Max.y, -100000.0f);
        orvex::Matrix4 identity;
        orvex::Mat4_Identity(identity);
        QVERIFY(view.Model_Matrix == identity);
        QVERIFY(view.Spare_Matrix == identity);
        QCOMPARE(view.Zoom_Scale, 1.0f);
        QCOMPARE(view.Perspective_Mode, 1);
        QCOMPARE(view.Persp_Ratio, 0.5f);
        QCOMPARE(view.Camera_Distance, 0.0f);  // set by the first idle pass
        QCOMPARE(view.Inset_View, 1);
        QCOMPARE(view.Inset_X, window.width() - 310);
        QCOMPARE(view.Inset_Y, 350);
        QCOMPARE(view.Inset_Size, 300);
        QVERIFY(window.Main_Objects == nullptr);
        QVERIFY(window.Aux_Objects == nullptr);
        QVERIFY(!window.Timer->isActive());
        QCOMPARE(window.Timer->interval(), 60);
    }

    void tileTexelsFollowTheirRule() {
        orvex::TMyGL window;
        const auto texel = [&](int i, int j) {
            const std::uint8_t* t = &window.Tile_Image[(i * 64 + j) * 4];
            return QList<int>{t[0], t[1], t[2], t[3]};
        };
        QCOMPARE(texel(0, 0), (QList<int>{0, 4, 8, 12}));
        QCOMPARE(texel(63, 63), (QList<int>{248, 252, 0, 4}));
        QCOMPARE(texel(10, 3), (QList<int>{52, 56, 60, 64}));
    }

    void firstIdlePassSetsTheCameraDistanceAndDrawsAFrame() {
        AppHarness app;
        QCOMPARE(app.inspector().Command, -1);
        app.window().Set_Panel_Text(1, "none");
        AppHarness::idleFor();  // a real event loop going idle, not a direct call
        QCOMPARE(app.window().View.Camera_Distance, 1000.0f);
        QCOMPARE(app.inspector().Command, 0);
        // On a loaded machine the window may be exposed only later; its frame follows then.
        QTRY_VERIFY(app.window().Panel_Text(1).endsWith(" fps. "));
    }

    void menuBarHoldsEveryMenuInOrder() {
        orvex::TMyGL window;
        QStringList titles;
        for (QAction* action : window.MainMenu1->actions()) titles << action->text();
        QCOMPARE(titles, (QStringList{"File", "Edit", "Run", "Animation", "Modify", "Option", "About"}));

        const auto menuOf = [&](int index) { return window.MainMenu1->actions()[index]->menu(); };
        QCOMPARE(actionTexts(menuOf(0)->actions()),
                 (QStringList{"New File", "Open File", "Save File", "Exit"}));
        QCOMPARE(actionTexts(menuOf(1)->actions()), (QStringList{"Copy Ctrl+C"}));
        QCOMPARE(actionTexts(menuOf(2)->actions()),
                 (QStringList{"Density Convex Routine", "Convex Routine", "Full Test", "Verification",
                              "Training", "RMS Sphere", "Serial Smooth STL"}));
        QCOMPARE(actionTexts(menuOf(3)->actions()), (QStringList{"Routine play TGL", "Routine capture TGL"}));
        QCOMPARE(
            actionTexts(menuOf(4)->actions()),
            (QStringList{"Smoothing", "Reversing", "Triangles reduction", "Convex hull", "Min. bounding box",
                         "Detect boundary", "Refine boundary", "Transfer", "Temp Test"}));
        QCOMPARE(actionTexts(menuOf(5)->actions()), (QStringList{"Model Data", "Mesh Formation", "Motion Sensor"}));
    }

    void everyCommandIsEnabled() {
        orvex::TMyGL window;
        for (const char* name :
             {"OpenFile2",     "Exit2",        "Copy1",         "Smoothing1",   "ModelData1",
              "MeshFormation", "Open_Menu",    "MainObject1",   "AuxObject1",   "InportSTL1",
              "OpenFile1",     "Exit1",        "ObjectOption1", "About1",       "ToolButton1",
              "ToolButton12",  "ToolButton14", "ToolButton13",  "ToolButton17", "ToolButton26",
              "Save1",         "Save_Menu",    "NewFile1",      "ToolButton24",
              "SerialSmoothSTL1", "TempTest1", "ToolButton8", "ToolButton9", "ToolButton10", "ToolButton11",
              "ToolButton32", "Detectboundary1",
              "Refineboundary1", "Transfer1", "LineSegment1", "ToolButton15", "ToolButton3", "FitView1",
              "Texture1", "ToolButton4", "ToolButton5",
              "Verification", "Training1", "ToolButton28", "ToolButton29", "ToolButton30",
              "About2", "InstanceView1", "MotionSensor1", "RMSSphere1", "Routineplay1", "RoutineCapture1"}) {
            QAction* action = window.Command_Action(name);
            QVERIFY2(action, name);
            QVERIFY2(action->isEnabled(), name);
        }
    }

    void itemsWithoutACommandDoNothing() {
        AppHarness app;
        AppHarness::idleFor();
        const orvex::ViewState before = app.window().View;
        for (const char* name :
             {"Copy1", "Smoothing1", "ModelData1", "ObjectOption1", "About1", "ToolButton1"}) {
            app.window().Command_Action(name)->trigger();
        }
        QCOMPARE(app.window().Panel_Text(0), QString("Ready"));
        QVERIFY(app.window().View.Model_Matrix == before.Model_Matrix);
        QVERIFY(app.messages.isEmpty());
    }

    void popupMenuHoldsItsItemsInOrder() {
        orvex::TMyGL window;
        QCOMPARE(actionTexts(window.Menu->actions()),
                 (QStringList{"Open File", "Import File", "Save File", "Import STL Model", "Instance View",
                              "Tool Inspector", "Object Option", "Fit View", "About", "Exit"}));
        QMenu* import = window.Menu->findChild<QMenu*>("ImportFile1");
        QVERIFY(import);
        QCOMPARE(actionTexts(import->actions()),
                 (QStringList{"Main Object", "Aux Object", "Line Segment", "Texture"}));
    }

    void toolBarHoldsEveryButtonInOrder() {
        orvex::TMyGL window;
        QCOMPARE(actionNames(window.ToolBar->actions()),
                 (QStringList{"ToolButton1",  "ToolButton2",  "ToolButton12", "ToolButton3",  "ToolButton14",
                              "ToolButton4",  "ToolButton5",  "ToolButton6",  "ToolButton7",  "ToolButton8",
                              "ToolButton9",  "ToolButton10", "ToolButton11", "ToolButton13", "ToolButton15",
                              "ToolButton17", "ToolButton24", "ToolButton16", "ToolButton25", "ToolButton26",
                              "ToolButton28", "ToolButton29", "ToolButton30", "ToolButton32"}));
        for (QAction* action : window.ToolBar->actions()) {
            QVERIFY2(!action->icon().isNull(), qPrintable(action->objectName()));
            QVERIFY2(!action->toolTip().isEmpty(), qPrintable(action->objectName()));
        }
        QVERIFY(window.Command_Action("ToolButton4")->isChecked());
        window.Command_Action("ToolButton6")->trigger();  // one group: 6 down, 4 up
        QVERIFY(window.Command_Action("ToolButton6")->isChecked());
        QVERIFY(!window.Command_Action("ToolButton4")->isChecked());
    }

    void toolInspectorItemTogglesTheInspector() {
        AppHarness app;
        app.inspector().show();
        QVERIFY(app.inspector().isVisible());
        app.window().Command_Action("OpenFile1")->trigger();
        QVERIFY(!app.inspector().isVisible());
        app.window().Command_Action("OpenFile1")->trigger();
        QVERIFY(app.inspector().isVisible());
    }

    void doubleClickInTheViewOpensThePopupMenu() {
        AppHarness app;
        orvex::GLView* view = app.window().View_Widget();
        QTest::mouseDClick(view, Qt::LeftButton, Qt::NoModifier, view->rect().center());
        QTRY_VERIFY(app.window().Menu->isVisible());
        app.window().Menu->hide();
    }

    void freeAllObjectTwiceOnlyReportsItsTime() {
        AppHarness app;
        app.answerOpen(QStringList{orvex::testing::writeBoxStl(app.path("a.stl"), {2, 2, 2})});
        app.window().Open_MenuClick();
        QVERIFY(app.window().Main_Objects);
        const QRegularExpression wording("^Procedure Cost: \\d+ ms$");
        for (int run = 0; run < 2; ++run) {
            app.window().Command_Action("ToolButton12")->trigger();
            QVERIFY(app.window().Main_Objects == nullptr);
            QVERIFY(app.window().Aux_Objects == nullptr);
            QCOMPARE(app.window().View.Scene_Min.x, 100000.0f);
            QCOMPARE(app.window().View.Scene_Min.y, 100000.0f);
            QCOMPARE(app.window().View.Scene_Max.z, -100000.0f);
            QVERIFY2(wording.match(app.window().Panel_Text(0)).hasMatch(),
                     qPrintable(app.window().Panel_Text(0)));
        }
    }

    void resetViewButtonRestoresIdentityAndScale() {
        AppHarness app;
        app.window().View.Model_Matrix[1] = 0.5f;
        app.window().View.Zoom_Scale = 3.0f;
        app.window().Command_Action("ToolButton14")->trigger();
        orvex::Matrix4 identity;
        orvex::Mat4_Identity(identity);
        QVERIFY(app.window().View.Model_Matrix == identity);
        QCOMPARE(app.window().View.Zoom_Scale, 1.0f);
    }

    void exitClosesTheWindowAndReleasesTheData() {
        AppHarness app;
        app.answerOpen(QStringList{orvex::testing::writeBoxStl(app.path("a.stl"), {2, 2, 2})});
        app.window().Open_MenuClick();
        app.window().Command_Action("Exit2")->trigger();
        QVERIFY(!app.window().isVisible());
        QVERIFY(app.window().Main_Objects == nullptr);
        QVERIFY(app.window().Panel_Text(0).startsWith("Procedure Cost: "));
    }

    // ---- The "Detail" report window ------------------------------------------------------------

    void reportStartsWithTheTimeAndARule() {
        orvex::TReport_Form report;
        QCOMPARE(report.windowTitle(), QString("Detail"));
        QVERIFY(report.windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(report.Report_Memo->isReadOnly());
        const QStringList lines = report.Lines();
        QCOMPARE(lines.size(), 2);
        // "Program processing at Wed Jun 30 21:49:08 1993"
        QVERIFY2(QRegularExpression("^Program processing at [A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9]\\d "
                                    "\\d\\d:\\d\\d:\\d\\d \\d{4}$")
                     .match(lines[0])
                     .hasMatch(),
                 qPrintable(lines[0]));
        QCOMPARE(lines[1], QString(39, '='));
    }

    // The name chosen gets ".txt" unless it has it; the question is about the file written.
    void saveMessageWritesTheNameMeantAndAsksAboutIt() {
        AppHarness app;
        orvex::TReport_Form& report = app.report();
        report.Add_Line("hull 10 points");
        QStringList answers{app.path("log"), app.path("log.txt"), app.path("log.txt")};
        report.Report_SaveDialog = [&answers]() -> std::optional<QString> { return answers.takeFirst(); };
        QStringList questions;
        bool yes = true;
        report.Ask_Yes_No = [&](const QString& question) {
            questions << question;
            return yes;
        };
        QAction* save = report.Report_PopMenu->findChild<QAction*>("SaveMessage1");
        QVERIFY(save);
        QCOMPARE(save->text(), QString("Save Message"));
        save->trigger();
        QVERIFY(questions.isEmpty());
        const QString expected = report.Lines().join('\n') + '\n';
        QCOMPARE(readFile(app.path("log.txt")), expected);
        report.Add_Line("second");
        save->trigger();
        QCOMPARE(questions, QStringList{"File exists, Overwrite?"});
        QCOMPARE(readFile(app.path("log.txt")), report.Lines().join('\n') + '\n');
        // "No" leaves the file as it was.
        yes = false;
        report.Add_Line("third");
        save->trigger();
        QCOMPARE(questions.size(), 2);
        QVERIFY(!readFile(app.path("log.txt")).contains("third"));
        QCOMPARE(QDir(app.path("")).entryList(QDir::Files), QStringList{"log.txt"});
    }

    void saveMessageCancelledWritesNothing() {
        AppHarness app;
        app.report().Report_SaveDialog = []() -> std::optional<QString> { return std::nullopt; };
        app.report().Report_FormClick();
        QCOMPARE(QDir(app.path("")).entryList(QDir::Files), QStringList());
    }

    void saveMessageIntoAMissingFolderSaysSo() {
        AppHarness app;
        app.report().Report_SaveDialog = [&]() -> std::optional<QString> { return app.path("no/such/log"); };
        app.report().Report_FormClick();
        QCOMPARE(app.messages.size(), 1);
        QVERIFY(app.messages[0].contains("no/such/log.txt"));
    }
    // Runs the real event loop: closing the main window must end it although the Inspector and the
    // "Detail" window are still open (they are tool windows of the main window).
    void closingTheMainWindowEndsTheProgramWithTheToolWindowsOpen() {
        AppHarness app;
        app.inspector().show();
        app.report().show();
        QVERIFY(QTest::qWaitForWindowExposed(&app.inspector()));
        QSignalSpy lastClosed(qApp, &QGuiApplication::lastWindowClosed);
        QTimer::singleShot(0, &app.window(), [&app] { app.window().Command_Action("Exit1")->trigger(); });
        QTimer::singleShot(10000, qApp, &QCoreApplication::quit);  // never hang the run
        QApplication::exec();
        QCOMPARE(lastClosed.count(), 1);
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
