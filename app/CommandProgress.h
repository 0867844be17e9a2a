#pragma once
// CommandProgress: how a long command of the main window (a hull benchmark, a CT surface save, a
// large hull) keeps the window alive. The core routine calls Report between its steps; a few times
// a second that shows the share done in status panel 0 and lets the event loop run, so the window
// repaints, moves and resizes. While it runs no other command may start: user input is swallowed
// (Esc asks a cancellable command to stop), closing the main window is refused, the Inspector's
// mailbox waits, and the view keeps its last picture instead of drawing a model that is half built.
// One at a time: Active() is the running one.

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include "geometry/Progress.h"

namespace orvex {

class TMyGL;

class CommandProgress : public QObject, public Progress {
public:
    // `label` leads the progress text in panel 0 ("Convex Routine: 42 %").
    CommandProgress(TMyGL& window, const QString& label, bool cancellable);
    ~CommandProgress() override;
    CommandProgress(const CommandProgress&) = delete;
    CommandProgress& operator=(const CommandProgress&) = delete;

    void Report(double fraction, const std::string& text) override;
    bool IsCancelRequested() const override { return cancelRequested_; }

    // The command running now, or null.
    static CommandProgress* Active() { return active_; }
    // How often the event loop has run so far.
    int Pumps() const { return pumps_; }

    // Between two event-loop runs at least this long (a few times a second).
    static constexpr int kIntervalMs = 100;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void pump();

    TMyGL& window_;
    QString label_;
    bool cancellable_;
    bool cancelRequested_ = false;
    bool pumping_ = false;
    int pumps_ = 0;
    QElapsedTimer sincePump_;
    CommandProgress* previous_ = nullptr;
    static CommandProgress* active_;
};

}  // namespace orvex
