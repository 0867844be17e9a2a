// The motion sensor driving the main window through the simulator, and the small windows: Instance
// View, Render and About.

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QInputDialog>
#include <QtTest/QtTest>
#include <cmath>

#include "AppTestSupport.h"
#include "device/SensorSimulator.h"

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

    // The sensor goes away: the error shows in panel 0 once, the view stays as it was.
    simulator.Stop();
    QVERIFY(waitFor([&] { return window.Panel_Text(0).startsWith(QLatin1String("Port ")); }));
    const Matrix4 kept = window.View.Model_Matrix;
    AppHarness::idleFor(400);
    QVERIFY(orvex::testing::sameMatrix(kept, window.View.Model_Matrix));

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

QTEST_MAIN(WindowsTest)
#include "WindowsTest.moc"
