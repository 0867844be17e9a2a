#include "app/CommandProgress.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

#include "app/GLView.h"
#include "app/Main.h"

namespace orvex {

CommandProgress* CommandProgress::active_ = nullptr;

namespace {

bool Is_User_Input(QEvent::Type type) {
    switch (type) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::NonClientAreaMouseButtonPress:
        case QEvent::NonClientAreaMouseButtonRelease:
        case QEvent::NonClientAreaMouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::TabletPress:
        case QEvent::TabletRelease:
        case QEvent::TabletMove:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::InputMethod:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
            return true;
        default:
            return false;
    }
}

}  // namespace

CommandProgress::CommandProgress(TMyGL& window, const QString& label, bool cancellable)
    : window_(window), label_(label), cancellable_(cancellable), previous_(active_) {
    active_ = this;
    qApp->installEventFilter(this);
}

CommandProgress::~CommandProgress() {
    qApp->removeEventFilter(this);
    active_ = previous_;
}

void CommandProgress::Report(double fraction, const std::string& /*text*/) {
    if (pumping_) return;
    // The first report runs the loop at once; after that a few times a second, so a routine that
    // reports thousands of times pays for a clock read each.
    if (sincePump_.isValid() && sincePump_.elapsed() < kIntervalMs) return;
    const int percent = fraction <= 0.0 ? 0 : fraction >= 1.0 ? 100 : int(fraction * 100.0);
    QString shown = label_ + QStringLiteral(": ") + QString::number(percent) + QStringLiteral(" %");
    if (cancellable_) shown += QStringLiteral(" (Esc stops)");
    window_.Set_Panel_Text(0, shown);
    pump();
}

void CommandProgress::pump() {
    pumping_ = true;
    GLView* view = window_.View_Widget();
    // Reports come from inside the routine, where the model may be half built: the view shows
    // its last picture until the routine itself asks for a frame.
    const bool wasFrozen = view && view->Frozen();
    if (view) view->Set_Frozen(true);
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (view) view->Set_Frozen(wasFrozen);
    ++pumps_;
    pumping_ = false;
    sincePump_.start();
}

bool CommandProgress::eventFilter(QObject* watched, QEvent* event) {
    if (!pumping_) return false;
    const QEvent::Type type = event->type();
    if (type == QEvent::Close && watched == &window_) {
        // Closing would free the data the command works on: refused, and a command that can stop
        // is asked to.
        event->ignore();
        if (cancellable_) cancelRequested_ = true;
        return true;
    }
    if (!Is_User_Input(type)) return false;
    // A message box that something opened meanwhile must still be answerable.
    const QWidget* modal = QApplication::activeModalWidget();
    const auto* widget = qobject_cast<const QWidget*>(watched);
    if (modal && widget && widget->window() == modal) return false;
    if (type == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape && cancellable_) {
        cancelRequested_ = true;
    }
    return true;
}

}  // namespace orvex
