// orvex-vision: the window program. Creates the forms, shows the main window maximised with the
// Tool Inspector beside it and runs the event loop until the main window closes.

#include <QApplication>
#include <QMessageBox>
#include <QScreen>
#include <exception>

#include "Version.h"
#include "app/Forms.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName("Orvex Vision");
    QApplication::setApplicationVersion(ORVEX_VERSION);
    try {
        orvex::Forms forms;
        forms.MyGL.showMaximized();
        if (const QScreen* screen = forms.MyGL.screen()) {
            const QRect area = screen->availableGeometry();
            forms.Inspector.move(area.right() - forms.Inspector.width() - 24, area.top() + 96);
        }
        forms.Inspector.show();
        return application.exec();
    } catch (const std::exception& error) {
        QMessageBox::critical(nullptr, QStringLiteral("Orvex Vision"), QString::fromLocal8Bit(error.what()));
    } catch (...) {
        QMessageBox::critical(nullptr, QStringLiteral("Orvex Vision"), QStringLiteral("Unknown error"));
    }
    return 0;
}
