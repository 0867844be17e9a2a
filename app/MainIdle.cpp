// TMyGL::ApplicationIdle: the one-slot mailbox through which the Tool Inspector acts on the main
// window. The Inspector only writes a code into `Command`; the code runs here when the event loop
// is about to wait, so codes posted in between overwrite each other and only the last one runs.

#include <QGuiApplication>
#include <QLineEdit>
#include <QScopedValueRollback>
#include <QScreen>
#include <QSlider>

#include "app/CommandProgress.h"
#include "app/GLView.h"
#include "app/Main.h"
#include "geometry/Color.h"
#include "render/Camera.h"
#include "ui/ColorSwatch.h"
#include "ui/FileBrowser.h"
#include "ui/FileKind.h"
#include "ui/Inspector.h"
#include "ui/StrictConversion.h"

namespace orvex {

void TMyGL::ApplicationIdle() {
    // A command that opens a modal box runs a nested event loop, which comes back here: one at a time.
    // A long command lets the event loop run inside it; its end is the next idle moment for the code.
    if (idleBusy_ || !inspector_ || CommandProgress::Active()) return;
    const int code = inspector_->Command;
    if (code == 0) return;
    QScopedValueRollback busy(idleBusy_, true);
    // Cleared before the command runs, so a code posted while it runs waits for the next pass
    // instead of being lost, and a failing command is not repeated at every pass.
    inspector_->Command = 0;
    if (runIdleCommand(code)) FormPaint();
}

// True when the code is known and a frame should follow.
bool TMyGL::runIdleCommand(int code) {
    TInspector& inspector = *inspector_;
    switch (code) {
        case -1:
            View.Camera_Distance = static_cast<float>(inspector.R_Size->value());
            return true;
        case 1: {
            // The background swatch colours the window behind the view (the About window joins here).
            QPalette palette = View_Widget()->palette();
            palette.setColor(QPalette::Window, Framework_To_QColor(inspector.BG_Color->Color()));
            View_Widget()->setPalette(palette);
            if (About_Box()) About_Box()->Set_Color(Framework_To_QColor(inspector.BG_Color->Color()));
            return true;
        }
        case 2:
        case 4:
        case 5:
            return true;  // the frame reads the changed setting
        case 7:
            Camera_From_Trackbars(View, inspector.R_Size->value(), inspector.Theda_Size->value(),
                                  inspector.Phy_Size->value());
            return true;
        case 8:
            openByExtension();
            return true;
        case 30:
            enterFullScreen();
            return true;
        case 31:
            setGlAreaSize(1024, 768);
            return true;
        case 32:
            setGlAreaSize(800, 600);
            return true;
        case 33:
            setGlAreaSize(640, 480);
            return true;
        case 34:
            return resizeFromResolutionFields();
        case 61:
            View.Perspective_Mode = 0;
            return true;
        case 62:
            View.Perspective_Mode = 1;
            return true;
        case 63:
            View.Persp_Ratio = static_cast<float>(inspector.Persp_tick->value()) /
                               static_cast<float>(inspector.Persp_tick->maximum());
            return true;
        default:
            return Standard_View(View.Model_Matrix, code);  // 701 to 710; anything else: no frame
    }
}

void TMyGL::openByExtension() {
    const QString path = inspector_->FileListBox->SelectedFilePath();
    const int kind = File_Kind_From_Extension(path);
    if (kind == 0) return;  // ".txt", ".Stl", no extension: nothing to open
    Open_File_Name = path;
    OpenFile_Routine(kind, 0);
}

// Sizes the window so that the view (the area between tool bar and status bar) is exactly
// width x height, then centres it on its screen.
void TMyGL::setGlAreaSize(std::optional<int> width, std::optional<int> height) {
    if (isMaximized() || isFullScreen()) showNormal();
    const int extraWidth = this->width() - View_Widget()->width();
    const int extraHeight = this->height() - View_Widget()->height();
    resize(width ? *width + extraWidth : this->width(), height ? *height + extraHeight : this->height());
    const QScreen* display = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!display) return;
    const QRect area = display->geometry();
    const int top = (area.height() - frameGeometry().height()) / 2;
    const int left = (area.width() - this->width()) / 2;
    move(area.x() + left, area.y() + top);
}

// Command 34: the width is applied as soon as it is read, so a bad height leaves a good width applied.
bool TMyGL::resizeFromResolutionFields() {
    const std::optional<int> width = Strict_To_Int(inspector_->Resolution_W->text());
    if (!width || *width <= 0) {
        Show_Message(ConversionError{QStringLiteral("Resolution_W"), inspector_->Resolution_W->text(), true}
                         .Message());
        return false;
    }
    setGlAreaSize(width, std::nullopt);
    const std::optional<int> height = Strict_To_Int(inspector_->Resolution_H->text());
    if (!height || *height <= 0) {
        Show_Message(ConversionError{QStringLiteral("Resolution_H"), inspector_->Resolution_H->text(), true}
                         .Message());
        return false;
    }
    setGlAreaSize(std::nullopt, height);
    return true;
}

void TMyGL::enterFullScreen() {
    if (inspector_->Full_Screen_Pending) {
        // Re-creating the native window gives the view a fresh surface; its context follows it.
        setWindowFlag(Qt::FramelessWindowHint, true);
        inspector_->Full_Screen_Pending = 0;
    }
    showMaximized();
}

}  // namespace orvex
