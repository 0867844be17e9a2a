// The real (non-native) file dialogs of the window, driven as a user does: pick a filter entry,
// type a name, accept. The other window tests replace the dialogs, which hid that the dialog hands
// back its filters with their white space simplified.

#include <QFileDialog>
#include <QLineEdit>
#include <QtTest/QtTest>
#include <cstring>
#include <functional>

#include "AppTestSupport.h"
#include "pointset/PointList.h"

using orvex::testing::AppHarness;
using orvex::testing::writeBoxStl;

namespace {

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

// Picks entry `entry` (1-based) as the user does, types `name` in `folder` and accepts. `shown`
// receives the 1-based entry the dialog opened with.
void choose(const QString& folder, int entry, const QString& name, int* shown = nullptr) {
    whenDialogShows([=](QFileDialog& dialog) {
        if (shown) *shown = int(dialog.nameFilters().indexOf(dialog.selectedNameFilter())) + 1;
        dialog.setDirectory(folder);
        dialog.selectNameFilter(dialog.nameFilters().value(entry - 1));
        auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (!edit) {
            dialog.reject();
            return;
        }
        edit->clear();
        QTest::keyClicks(edit, name);
        static_cast<QDialog&>(dialog).accept();  // as the Save or Open button does
    });
}

int facets(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return -1;
    const QByteArray bytes = file.readAll();
    if (bytes.size() < 84) return -1;
    std::uint32_t count = 0;
    std::memcpy(&count, bytes.constData() + 80, 4);
    return bytes.size() == 84 + 50 * qint64(count) ? int(count) : -1;
}

}  // namespace

class FileDialogTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs); }

    void everySaveEntryComesBackAsChosenAndOpensAsLeft() {
        AppHarness app;
        for (int entry = 1; entry <= 13; ++entry) {
            const int previous = entry == 1 ? 13 : entry - 1;
            int shown = 0;
            choose(app.path(""), entry, QString("out%1").arg(entry), &shown);
            const std::optional<orvex::SaveChoice> choice = app.window().Save_Dialog(previous);
            QVERIFY2(choice, qPrintable(QString::number(entry)));
            QCOMPARE(choice->Filter_Index, entry);
            QCOMPARE(choice->File_Name, app.path(QString("out%1").arg(entry)));
            // The dialog opens at the entry it was asked for, the one with the trailing blank too.
            QCOMPARE(shown, previous);
        }
        QVERIFY(app.messages.isEmpty());
    }

    // After a "Temp" save, "Convex of Point Set " wrote histograms into the hull's name.
    void theHullEntryAfterATempSaveWritesTheHull() {
        AppHarness app;
        app.answerOpen(QStringList{writeBoxStl(app.path("box.stl"), {2, 2, 2})});
        app.window().Open_MenuClick();
        app.window().Point_Set.GenerateRandom(100, 100, 100, 200, orvex::ON_SPHERE, false);
        QVERIFY(app.window().Point_Set.QuickHullBest());
        choose(app.path(""), 3, "temp.txt");
        app.window().Command_Action("Save_Menu")->trigger();
        QVERIFY(QFile::exists(app.path("temp.txt")));
        choose(app.path(""), 7, "hull");
        app.window().Command_Action("Save_Menu")->trigger();
        QCOMPARE(app.window().Save_Filter_Index, 7);
        QVERIFY(!QFile::exists(app.path("hull")));
        QVERIFY2(facets(app.path("hull.stl")) > 100,
                 qPrintable(QString::number(facets(app.path("hull.stl")))));
        QVERIFY(app.messages.isEmpty());
    }

    void everyOpenEntryComesBackAsChosen() {
        AppHarness app;
        for (int entry = 1; entry <= 11; ++entry) {
            const QString name = QString("in%1.dat").arg(entry);
            QFile file(app.path(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.close();
            const int previous = entry == 1 ? 11 : entry - 1;
            choose(app.path(""), entry, name);
            const std::optional<orvex::OpenChoice> choice = app.window().Open_Dialog(previous, false);
            QVERIFY2(choice, qPrintable(QString::number(entry)));
            QCOMPARE(choice->Filter_Index, entry);
            QCOMPARE(choice->Files, QStringList{app.path(name)});
        }
        // And through the command: the STL entry opens the mesh.
        writeBoxStl(app.path("cube.stl"), {2, 2, 2});
        choose(app.path(""), 3, "cube.stl");
        app.window().Command_Action("Open_Menu")->trigger();
        QCOMPARE(app.window().Open_Filter_Index, 3);
        QVERIFY(app.window().Main_Objects);
        QCOMPARE(app.window().Panel_Text(3), QString("12 Facets. 8 Points. 24 Area. 8 Vol. "));
    }

    void saveMessageWritesTheNameTyped() {
        AppHarness app;
        app.report().Add_Line("hull 10 points");
        choose(app.path(""), 1, "notes");
        app.report().Report_FormClick();
        QVERIFY(QFile::exists(app.path("notes.txt")));
        choose(app.path(""), 1, "log.txt");
        app.report().Report_FormClick();
        QVERIFY(QFile::exists(app.path("log.txt")));
        QVERIFY(!QFile::exists(app.path("log.txt.txt")));
    }
};

QTEST_MAIN(FileDialogTest)
#include "FileDialogTest.moc"
