// TMyGL: the motion sensor. The polling thread reads through its driver and leaves each reading in
// its mailbox; the GUI thread takes it here, turns the view and draws, so the view is only ever
// written on the GUI thread and a frame never mixes two readings.

#include <QAction>
#include <QInputDialog>
#include <QLineEdit>
#include <cstdio>
#include <cstdlib>

#include "app/Main.h"

namespace orvex {

void TMyGL::startSensorThread() {
    Sensor_Path_Dialog = [this](const QString& current) -> std::optional<QString> {
        bool ok = false;
        const QString path = QInputDialog::getText(this, QStringLiteral("Motion Sensor"),
                                                   QStringLiteral("Serial device of the sensor:"),
                                                   QLineEdit::Normal, current, &ok);
        if (!ok) return std::nullopt;
        return path;
    };
    Sensor_Thread.Driver().OpenSensor(5);
    // Called on the worker; it must not block, so it only posts.
    Sensor_Thread.SetFrameRequest([this] {
        QMetaObject::invokeMethod(
            this, [this] { Sensor_Frame(); }, Qt::QueuedConnection);
    });
}

void TMyGL::Sensor_Frame() {
    const SensorUpdate update = Sensor_Thread.Take();
    if (update.fresh) Apply_Sensor_Sample(update.S, View.Model_Matrix);
    if (update.result != sensorResult_) {
        sensorResult_ = update.result;
        if (update.result < 0) Set_Panel_Text(0, QString::fromLatin1(SensorDriver::ErrorText(update.result)));
    }
    FormPaint();
}

void TMyGL::MotionSensor1Click() {
    QAction* action = Command_Action(QStringLiteral("MotionSensor1"));
    // The driver is only touched while the body is not running.
    Sensor_Thread.WaitFor();
    if (!action || !action->isChecked()) return;

    const std::optional<QString> path =
        Sensor_Path_Dialog(sensorPath_.isEmpty() ? QStringLiteral("/dev/ttyS5") : sensorPath_);
    if (!path || path->trimmed().isEmpty()) {
        action->setChecked(false);
        return;
    }
    sensorPath_ = path->trimmed();

    SensorDriver& driver = Sensor_Thread.Driver();
    driver.SetPortPath(sensorPath_.toStdString());
    // The driver prints its diagnostics; a failed open shows them to the user as well.
    char* buffer = nullptr;
    std::size_t size = 0;
    std::FILE* printed = open_memstream(&buffer, &size);
    if (printed) driver.SetOutput(printed);
    const int opened = driver.OpenSensor(5);
    driver.SetOutput(stdout);
    QString text;
    if (printed) {
        std::fclose(printed);
        std::fwrite(buffer, 1, size, stdout);
        std::fflush(stdout);
        text = QString::fromLocal8Bit(buffer, static_cast<qsizetype>(size)).trimmed();
        std::free(buffer);
    }
    if (opened != 1) {
        action->setChecked(false);
        Show_Message(text.isEmpty() ? QStringLiteral("port open failed.") : text);
        return;
    }
    sensorResult_ = 1;
    Sensor_Thread.Take();  // nothing of an earlier run is applied
    Sensor_Thread.Start();
}

}  // namespace orvex
