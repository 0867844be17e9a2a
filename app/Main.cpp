#include "app/Main.h"

#include <QStatusBar>

namespace orvex {

TMyGL::TMyGL(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle("Orvex Vision");
    resize(1024, 768);
    statusBar()->showMessage("Ready");
}

}  // namespace orvex
