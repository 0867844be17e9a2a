#pragma once
// TMyGL: the main window. It will own every model object for the whole run; for now it is the
// maximised shell with its status bar.

#include <QMainWindow>

namespace orvex {

class TMyGL : public QMainWindow {
    Q_OBJECT

public:
    explicit TMyGL(QWidget* parent = nullptr);
};

}  // namespace orvex
