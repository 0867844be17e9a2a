// orvex-vision: the window program.

#include <QApplication>

#include "Version.h"
#include "app/Main.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName("Orvex Vision");
    QApplication::setApplicationVersion(ORVEX_VERSION);

    orvex::TMyGL window;
    window.showMaximized();
    return application.exec();
}
