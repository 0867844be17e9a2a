// The motion sensor driving the main window through the simulator, and the small windows: Instance
// View, Render and About.

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QInputDialog>
#include <QPlainTextEdit>
#include <QtTest/QtTest>
#include <cmath>

#include "AppTestSupport.h"
#include "device/SensorSimulator.h"
#include "render/Camera.h"
#include "ui/ColorSwatch.h"

using orvex::Matrix4;
using orvex::testing::AppHarness;

namespace {

QAction* action(AppHarness& app, const char* name) {
    QAction* found = app.window().Command_Action(QLatin1String(name));
    if (!found) qWarning("no action %s", name);
    return found;
}

// Runs the event loop until `done` holds or `ms` have passed.
template <class Predicate>
bool waitFor(Predicate done, int ms = 5000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms) return false;
        AppHarness::idleFor(20);
    }
    return true;
}

// Answers the next modal input dialog with `text` (the real path dialog).
void answerInputDialog(const QString& text, bool* seen) {
    QTimer::singleShot(100, [text, seen] {
        auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        *seen = true;
        dialog->setTextValue(text);
        dialog->accept();
    });
}

}  // namespace

class WindowsTest : public QObject {
    Q_OBJECT

private slots:
    void pollingTurnsTheViewAndClosingIsPrompt();
    void uncheckingStopsAndAFailedOpenShowsThePrintedError();
    void instanceViewKeysNameTheViewAndTheSceneFitsTheSmallerSide();
    void renderShowsTheBackgroundAndFollowsIt();
    void aboutClickShowsTheNextPictureAndCloseOnlyHides();
};

void WindowsTest::pollingTurnsTheViewAndClosingIsPrompt() {
    orvex::SensorSimulatorSettings settings;
    settings.axis = 2;
    settings.degreesPerSecond = 90.0;
    orvex::SensorSimulator simulator(settings);
    std::string error;
    QVERIFY2(simulator.Start(error), error.c_str());

    AppHarness app;
    orvex::TMyGL& window = app.window();
    QVERIFY(!window.Sensor_Thread.Running());  // created idle
    window.View.Model_Matrix[12] = 7.0f;       // a translation the sensor must keep
    window.View.Zoom_Scale = 2.5f;
    QString asked;
    window.Sensor_Path_Dialog = [&](const QString& current) -> std::optional<QString> {
        asked = current;
        return QString::fromStdString(simulator.Path());
    };
    QAction* sensor = action(app, "MotionSensor1");
    QVERIFY(sensor && sensor->isCheckable() && sensor->isEnabled());
    sensor->trigger();
    QVERIFY(sensor->isChecked());
    QCOMPARE(asked, QStringLiteral("/dev/ttyS5"));
    QVERIFY(window.Sensor_Thread.Running());
    QVERIFY(app.messages.isEmpty());

    // A turn about z: the rotation is the sensor's with the first column negated, so element 0 is
    // -cos and element 1 -sin of the sensor's angle; it keeps changing while the sensor turns.
    QVERIFY(waitFor(
        [&] { return window.View.Model_Matrix[0] < -0.5f && window.View.Model_Matrix[0] > -0.999f; }));
    const float first = window.View.Model_Matrix[1];
    QVERIFY(waitFor([&] { return std::fabs(window.View.Model_Matrix[1] - first) > 0.05f; }));
    const Matrix4& m = window.View.Model_Matrix;
    QVERIFY(std::fabs(m[0] * m[0] + m[1] * m[1] - 1.0f) < 0.01f);
    QCOMPARE(m[10], 1.0f);
    QCOMPARE(m[12], 7.0f);
    QCOMPARE(window.View.Zoom_Scale, 2.5f);

    // The sensor goes away: the error shows in panel 0, the view stays as the last reading left it.
    simulator.Stop();
    QVERIFY(waitFor([&] { return window.Panel_Text(0).startsWith(QLatin1String("Port ")); }));
    AppHarness::idleFor(700);  // a reply already on its way may still arrive
    const Matrix4 kept = window.View.Model_Matrix;
    AppHarness::idleFor(700);
    QVERIFY(orvex::testing::sameMatrix(kept, window.View.Model_Matrix));
    QVERIFY(window.Panel_Text(0).startsWith(QLatin1String("Port ")));

    // Closing while a reading waits for its time-out ends the thread within that time-out.
    QElapsedTimer clock;
    clock.start();
    window.close();
    QVERIFY2(clock.elapsed() < 1500, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(!window.Sensor_Thread.Running());
}

void WindowsTest::uncheckingStopsAndAFailedOpenShowsThePrintedError() {
    orvex::SensorSimulator simulator;
    std::string error;
    QVERIFY2(simulator.Start(error), error.c_str());

    AppHarness app;
    orvex::TMyGL& window = app.window();
    QAction* sensor = action(app, "MotionSensor1");
    QVERIFY(sensor);

    // Through the real path dialog.
    bool seen = false;
    answerInputDialog(QString::fromStdString(simulator.Path()), &seen);
    sensor->trigger();
    QVERIFY(seen);
    QVERIFY(window.Sensor_Thread.Running());
    QVERIFY(waitFor([&] { return window.Sensor_Thread.Passes() > 2; }));
    sensor->trigger();  // unchecked: the polling stops
    QVERIFY(!sensor->isChecked());
    QVERIFY(!window.Sensor_Thread.Running());
    const long passes = window.Sensor_Thread.Passes();
    AppHarness::idleFor(200);
    QCOMPARE(window.Sensor_Thread.Passes(), passes);

    // A path with no device: the box shows what the driver printed, the item stays unchecked.
    const QString missing = app.path("no-sensor");
    seen = false;
    answerInputDialog(missing, &seen);
    sensor->trigger();
    QVERIFY(seen);
    QVERIFY(!sensor->isChecked());
    QVERIFY(!window.Sensor_Thread.Running());
    QCOMPARE(app.messages.size(), 1);
    const QString shown = app.messages.first();
    QVERIFY2(
        shown.startsWith(QStringLiteral("trying to open port: %1 # 6\nport open failed.\n").arg(missing)),
        qPrintable(shown));
    QVERIFY2(shown.contains(QLatin1String("Comm error -1, General failure:")), qPrintable(shown));

    // Cancelling the dialog leaves it unchecked and opens nothing.
    window.Sensor_Path_Dialog = [](const QString&) -> std::optional<QString> { return std::nullopt; };
    sensor->trigger();
    QVERIFY(!sensor->isChecked());
    QCOMPARE(app.messages.size(), 1);
}

void WindowsTest::instanceViewKeysNameTheViewAndTheSceneFitsTheSmallerSide() {
    AppHarness app;
    orvex::TMyGL& window = app.window();
    orvex::TMyView* view = window.My_View();
    QVERIFY(view && !view->isVisible());
    QCOMPARE(view->windowTitle(), QStringLiteral("Instance View"));
    QVERIFY(view->isFloating());
    QCOMPARE(view->size(), QSize(300, 300));

    // A flat box, 200 across x and 100 across y: its box diagonal is sqrt(200^2 + 100^2 + 50^2).
    app.answerOpen(QStringList{orvex::testing::writeBoxStl(app.path("box.stl"), {200.0f, 100.0f, 50.0f})});
    window.Open_MenuClick();
    QVERIFY(action(app, "InstanceView1")->isEnabled());
    action(app, "InstanceView1")->trigger();
    QVERIFY(view->isVisible());
    QVERIFY(QTest::qWaitForWindowExposed(view));

    QTest::keyClick(view->Area(), Qt::Key_4);
    QCOMPARE(view->windowTitle(), QStringLiteral("Button View"));
    Matrix4 expected;
    orvex::Mat4_Identity(expected);
    orvex::Standard_View(expected, orvex::kViewBottom);
    QVERIFY(orvex::testing::sameMatrix(view->View_Matrix, expected));
    // The numeric pad's 9 is not a view key.
    QTest::keyClick(view->Area(), Qt::Key_9, Qt::KeypadModifier);
    QCOMPARE(view->windowTitle(), QStringLiteral("Button View"));
    QTest::keyClick(view->Area(), Qt::Key_9);
    QCOMPARE(view->windowTitle(), QStringLiteral("ISO Projection at SouthWest"));
    orvex::Standard_View(expected, orvex::kViewIsoWestSouth);
    QVERIFY(orvex::testing::sameMatrix(view->View_Matrix, expected));
    // The main view's camera does not move it.
    window.View.Zoom_Scale = 5.0f;
    QTest::keyClick(view->Area(), Qt::Key_T);
    QCOMPARE(view->windowTitle(), QStringLiteral("Top View"));

    // The box's corners (drawn as points) span 200 q by 100 q around the centre, q = side / diagonal.
    const QImage image = view->Area()->grabFramebuffer();
    QRect span;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((image.pixel(x, y) & 0xFFFFFF) != 0) span |= QRect(x, y, 1, 1);
    QVERIFY(!span.isEmpty());
    const double q = std::min(image.width(), image.height()) / std::sqrt(200.0 * 200 + 100 * 100 + 50 * 50);
    QVERIFY2(std::abs(span.width() - 200 * q) <= 4,
             qPrintable(QString("%1 vs %2").arg(span.width()).arg(200 * q)));
    QVERIFY2(std::abs(span.height() - 100 * q) <= 4,
             qPrintable(QString("%1 vs %2").arg(span.height()).arg(100 * q)));
    QVERIFY(std::abs(span.center().x() - image.width() / 2) <= 3);
    QVERIFY(std::abs(span.center().y() - image.height() / 2) <= 3);

    // F2 in the main view toggles it.
    window.activateWindow();
    window.View_Widget()->setFocus();
    QTest::keyClick(window.View_Widget(), Qt::Key_F2);
    QVERIFY(!view->isVisible());
    QTest::keyClick(window.View_Widget(), Qt::Key_F2);
    QVERIFY(view->isVisible());
    window.Toggle_Instance_View();
    QVERIFY(!view->isVisible());
}

void WindowsTest::renderShowsTheBackgroundAndFollowsIt() {
    AppHarness app;
    orvex::TMyGL& window = app.window();
    orvex::TMyPlane* plane = window.My_Plane();
    QVERIFY(plane && !plane->isVisible());
    window.Toggle_Render();
    QVERIFY(plane->isVisible());
    QVERIFY(QTest::qWaitForWindowExposed(plane));
    QCOMPARE(plane->windowTitle(), QStringLiteral("Render"));
    QCOMPARE(plane->size(), QSize(512, 512));

    // A new background shows in the Render window at the next main frame, and colours About.
    app.inspector().BG_Color->SetColor(0x3060C0);  // framework colour: red 0xC0, green 0x60, blue 0x30
    app.inspector().Command = 1;
    AppHarness::idleFor(100);
    window.FormPaint();
    QVERIFY(waitFor([&] {
        const QImage image = plane->grabFramebuffer();
        return image.pixel(0, 0) == qRgb(0xC0, 0x60, 0x30) &&
               image.pixel(511, 511) == qRgb(0xC0, 0x60, 0x30) &&
               image.pixel(256, 256) == qRgb(0xC0, 0x60, 0x30);
    }));
    QCOMPARE(window.About_Box()->Color(), QColor(0xC0, 0x60, 0x30));
    QTest::keyClick(window.View_Widget(), Qt::Key_F3);
    QVERIFY(!plane->isVisible());
    QTest::keyClick(window.View_Widget(), Qt::Key_F3);
    QVERIFY(plane->isVisible());
}

void WindowsTest::aboutClickShowsTheNextPictureAndCloseOnlyHides() {
    AppHarness app;
    orvex::TMyGL& window = app.window();
    orvex::TAboutBox* about = window.About_Box();
    QVERIFY(about && !about->isVisible());
    QCOMPARE(about->size(), QSize(293, 220));
    QVERIFY(about->Memo1->toPlainText().startsWith(
        QLatin1String("This program is powered by OpenGL, \nOrvex Vision")));
    QCOMPARE(about->Memo1->toPlainText().split('\n').size(), 4);
    QVERIFY(!about->Timer1->isActive());
    QCOMPARE(about->Animation.c, -1);

    QVERIFY(action(app, "About2")->isEnabled());
    action(app, "About2")->trigger();
    QVERIFY(QTest::qWaitForWindowExposed(about));
    // Activation starts the timer; the first frame brings the picture to 0.
    QVERIFY(waitFor([&] { return about->Animation.n > 3; }));
    QCOMPARE(about->Animation.c, 0);
    const QImage first = about->grabFramebuffer();

    QTest::mouseClick(about, Qt::LeftButton, {}, QPoint(100, 120));
    QVERIFY(!about->isVisible());
    QVERIFY(!about->Timer1->isActive());
    QCOMPARE(about->Animation.c, 1);
    const int n = about->Animation.n;
    AppHarness::idleFor(150);
    QCOMPARE(about->Animation.n, n);

    // Shown again it runs the next picture: boxes instead of the logo.
    action(app, "About2")->trigger();
    QVERIFY(QTest::qWaitForWindowExposed(about));
    QVERIFY(waitFor([&] { return about->Animation.n > n + 3; }));
    QCOMPARE(about->Animation.c, 1);
    QVERIFY(about->grabFramebuffer() != first);

    // A click on a memo hides it too.
    QTest::mouseClick(about->Memo2->viewport(), Qt::LeftButton);
    QVERIFY(!about->isVisible());
    QCOMPARE(about->Animation.c, 2);

    // Closing only hides: the window and its texture stay for the next showing.
    action(app, "About2")->trigger();
    QVERIFY(QTest::qWaitForWindowExposed(about));
    const unsigned texture = about->Logo_Texture;
    QVERIFY(texture != 0);
    QVERIFY(about->close() == false || !about->isVisible());
    QVERIFY(!about->isVisible());
    QCOMPARE(about->Animation.c, 3);
    QCOMPARE(about->Logo_Texture, texture);
    action(app, "About2")->trigger();
    QVERIFY(QTest::qWaitForWindowExposed(about));
    // Xvfb has no window manager: a window closed while active is not always activated again.
    if (!about->isActiveWindow()) about->FormActivate();
    QVERIFY(waitFor([&] { return about->Animation.n > n + 10; }));
}

QTEST_MAIN(WindowsTest)
#include "WindowsTest.moc"
