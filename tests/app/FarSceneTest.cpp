// Objects far from the origin: the scene bounds start empty, so the first object's box becomes
// the bounds whatever its coordinates, the pivot is its centre and the frame shows it.

#include <QFile>
#include <QtTest/QtTest>

#include "AppTestSupport.h"
#include "render/Camera.h"

using orvex::Vec3;
using orvex::testing::AppHarness;

namespace {

const float kCyan[4] = {0.0f, 1.0f, 1.0f, 1.0f};  // a colour nothing else in the frame uses

int cyanPixels(AppHarness& app) {
    app.window().FormPaint();
    const QImage image = app.window().View_Widget()->grabFramebuffer();
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            count += qRed(p) < 8 && qGreen(p) > 247 && qBlue(p) > 247;
        }
    return count;
}

bool near(const Vec3& a, const Vec3& b, float slack) {
    return std::fabs(a.x - b.x) <= slack && std::fabs(a.y - b.y) <= slack && std::fabs(a.z - b.z) <= slack;
}

QString describe(const Vec3& v) {
    return QString("(%1, %2, %3)").arg(v.x, 0, 'f', 3).arg(v.y, 0, 'f', 3).arg(v.z, 0, 'f', 3);
}

}  // namespace

class FarSceneTest : public QObject {
    Q_OBJECT

private slots:
    void aPartBeyondTheEmptyBoundsIsCentredAndInView() {
        AppHarness app;
        AppHarness::idleFor();  // camera distance 1000
        const Vec3 centre{150000, 0, 0};
        app.answerOpen(QStringList{orvex::testing::writeSphereStl(app.path("part.stl"), 100.0f, 2, centre)});
        app.window().Open_MenuClick();
        QVERIFY(app.window().Main_Objects);
        const orvex::ViewState& view = app.window().View;
        QVERIFY2(view.Scene_Min.x > 149000, qPrintable(describe(view.Scene_Min)));
        const Vec3 pivot = orvex::Scene_Pivot(view, true);
        QVERIFY2(near(pivot, centre, 0.5f), qPrintable(describe(pivot)));
        std::copy(kCyan, kCyan + 4, app.window().Main_Objects->Color_RGBA);
        const int seen = cyanPixels(app);
        QVERIFY2(seen > 50, qPrintable(QString::number(seen)));

        // Emptied, the bounds are the empty state again, and the next object replaces it.
        app.window().Free_All_Object();
        QCOMPARE(view.Scene_Min, (Vec3{100000, 100000, 100000}));
        QCOMPARE(view.Scene_Max, (Vec3{-100000, -100000, -100000}));
        app.answerOpen(
            QStringList{orvex::testing::writeBoxStl(app.path("low.stl"), {2, 2, 2}, {-200000, 0, 0})});
        app.window().AuxObject1Click();
        QCOMPARE(view.Scene_Max, (Vec3{-199999, 1, 1}));
    }

    void aCloudInMapCoordinatesIsCentredAndInView() {
        AppHarness app;
        AppHarness::idleFor();
        // A 10 x 10 grid 20 units apart around (500090, 4000090, 0).
        QFile file(app.path("map.xyz"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        for (int i = 0; i < 10; ++i)
            for (int j = 0; j < 10; ++j)
                file.write(QString("%1 %2 0\n").arg(500000 + 20 * i).arg(4000000 + 20 * j).toLatin1());
        file.close();
        app.answerOpen(QStringList{file.fileName()}, 10);
        app.window().Open_MenuClick();
        QCOMPARE(app.window().Point_Set.Count(0), 100u);
        const Vec3 pivot = orvex::Scene_Pivot(app.window().View, true);
        QVERIFY2(near(pivot, {500090, 4000090, 0}, 1.0f), qPrintable(describe(pivot)));
        std::copy(kCyan, kCyan + 4, app.window().Point_Set.colour);
        const int seen = cyanPixels(app);
        QVERIFY2(seen >= 50, qPrintable(QString::number(seen)));
    }

    void anEmptyBoxLeavesTheBoundsAsTheyAre() {
        orvex::ViewState view;
        view.WidenSceneBounds({3, 3, 3}, {-3, -3, -3});
        QVERIFY(view.SceneBoundsEmpty());
        view.WidenSceneBounds({1, 2, 3}, {4, 5, 6});
        view.WidenSceneBounds({100, 100, 100}, {-100, -100, -100});
        QCOMPARE(view.Scene_Min, (Vec3{1, 2, 3}));
        QCOMPARE(view.Scene_Max, (Vec3{4, 5, 6}));
        view.WidenSceneBounds({0, 3, 3}, {2, 9, 3});
        QCOMPARE(view.Scene_Min, (Vec3{0, 2, 3}));
        QCOMPARE(view.Scene_Max, (Vec3{4, 9, 6}));
    }
};

QTEST_MAIN(FarSceneTest)
#include "FarSceneTest.moc"
