// Saving meshes through the save dialog: all main meshes in one STL, the two splits of the head
// mesh, the histogram table, the overwrite question and an empty scene.

#include <QFile>
#include <QtTest/QtTest>
#include <cstring>

#include "AppTestSupport.h"

using orvex::testing::AppHarness;
using orvex::testing::writeBoxStl;

namespace {

const QRegularExpression kCostText("^Procedure costs : \\d+ ms$");

void answerSave(AppHarness& app, const QString& name, int entry) {
    app.window().Save_Dialog = [name, entry](int) { return std::optional<orvex::SaveChoice>({name, entry}); };
}

void openBox(AppHarness& app, const QString& name, orvex::Vec3 size, orvex::Vec3 centre) {
    app.answerOpen(QStringList{writeBoxStl(app.path(name), size, centre)});
    app.window().Command_Action("Open_Menu")->trigger();
}

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Facet count of a well-formed binary STL, or -1.
int facets(const QString& path) {
    const QByteArray bytes = contents(path);
    if (bytes.size() < 84) return -1;
    std::uint32_t count = 0;
    std::memcpy(&count, bytes.constData() + 80, 4);
    return bytes.size() == 84 + 50 * qint64(count) ? int(count) : -1;
}

// The normal of the first record.
orvex::Vec3 firstNormal(const QString& path) {
    const QByteArray bytes = contents(path);
    orvex::Vec3 n{};
    if (bytes.size() >= 96) std::memcpy(&n, bytes.constData() + 84, 12);
    return n;
}

}  // namespace

class SaveMeshTest : public QObject {
    Q_OBJECT

private slots:
    void entrySixWritesEveryMainMeshAndAsksBeforeReplacing() {
        AppHarness app;
        app.answerOpen(QStringList{writeBoxStl(app.path("a.stl"), {2, 2, 2}),
                                   writeBoxStl(app.path("b.stl"), {4, 4, 4})});
        app.window().Command_Action("InportSTL1")->trigger();
        answerSave(app, app.path("both.stl"), 6);
        app.window().Save_MenuClick();
        QVERIFY(app.messages.isEmpty());
        QCOMPARE(facets(app.path("both.stl")), 24);
        QCOMPARE(app.window().Last_Canvas_Text(), QString(" Saving to STL file. DONE"));
        QVERIFY(kCostText.match(app.window().Panel_Text(0)).hasMatch());

        // "No" leaves the file as it is and shows no timing.
        QStringList questions;
        app.window().Ask_Yes_No = [&questions](const QString& q) {
            questions << q;
            return false;
        };
        app.window().Set_Panel_Text(0, "before");
        answerSave(app, app.path("a.stl"), 6);
        const QByteArray before = contents(app.path("a.stl"));
        app.window().Save_MenuClick();
        QCOMPARE(questions, QStringList{"File exists, Overwrite?"});
        QCOMPARE(contents(app.path("a.stl")), before);
        QCOMPARE(app.window().Panel_Text(0), QString("before"));
    }

    void entryTenSplitsTheHeadMeshAlongTheViewingAxis() {
        AppHarness app;
        openBox(app, "box.stl", {2, 2, 2}, {});
        // "TOP View": the axis is (0, 0, 1); the side faces (n . d = 0) go up.
        answerSave(app, app.path("top"), 10);
        app.window().Save_MenuClick();
        QCOMPARE(facets(app.path("top.upper.stl")), 10);
        QCOMPARE(facets(app.path("top.lower.stl")), 2);
        QCOMPARE(firstNormal(app.path("top.lower.stl")).z, -1.0f);
        // A quarter turn about y: the third column of the model matrix is (1, 0, 0).
        orvex::Matrix4& m = app.window().View.Model_Matrix;
        m = {0, 0, 1, 0, 0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 0, 1};
        answerSave(app, app.path("side"), 10);
        app.window().Save_MenuClick();
        QCOMPARE(facets(app.path("side.lower.stl")), 2);
        QCOMPARE(firstNormal(app.path("side.lower.stl")).x, -1.0f);
    }

    void entryElevenSplitsByVisibilityFromTheOrigin() {
        AppHarness app;
        // Above the origin: only the bottom faces look toward it.
        openBox(app, "box.stl", {2, 2, 2}, {0, 0, 5});
        answerSave(app, app.path("seen"), 11);
        app.window().Save_MenuClick();
        QCOMPARE(facets(app.path("seen.visble.stl")), 2);
        QCOMPARE(facets(app.path("seen.invisble.stl")), 10);
        QCOMPARE(firstNormal(app.path("seen.visble.stl")).z, -1.0f);
    }

    void entryThreeWritesTheHistogramsOfTheHeadMesh() {
        AppHarness app;
        openBox(app, "box.stl", {2, 2, 2}, {});
        answerSave(app, app.path("hist.txt"), 3);
        app.window().Save_MenuClick();
        QVERIFY(app.messages.isEmpty());
        const QByteArray text = contents(app.path("hist.txt"));
        QVERIFY(!text.isEmpty());
        QVERIFY(text.contains('\t'));
    }

    void withoutAMeshNothingIsWritten() {
        AppHarness app;
        for (int entry : {3, 6, 10, 11}) {
            answerSave(app, app.path("none"), entry);
            app.window().Save_MenuClick();
            QCOMPARE(app.window().Panel_Text(3), QString("No mesh to save"));
            QVERIFY(kCostText.match(app.window().Panel_Text(0)).hasMatch());
        }
        QCOMPARE(QDir(app.path("")).entryList(QStringList{"none*"}, QDir::Files), QStringList());
        QVERIFY(app.messages.isEmpty());
    }

    void aFailedWriteIsShown() {
        AppHarness app;
        openBox(app, "box.stl", {2, 2, 2}, {});
        answerSave(app, app.path("missing/folder/out.stl"), 6);
        app.window().Save_MenuClick();
        QCOMPARE(app.messages.size(), 1);
        QVERIFY2(app.messages[0].contains("missing/folder/out.stl"), qPrintable(app.messages[0]));
        QCOMPARE(app.window().Last_Canvas_Text(), QString(" Saving to STL file..."));
    }
};

QTEST_MAIN(SaveMeshTest)
#include "SaveMeshTest.moc"
