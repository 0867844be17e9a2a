// The command surface of the main window: menu bar, popup menu, tool bar and tray icon, and the
// handlers that are a line or two. Items that never had a command are shown and do nothing.

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolBar>

#include "analysis/CandidateRegions.h"
#include "analysis/PrincipalAxes.h"
#include "app/Main.h"
#include "app/StatusText.h"
#include "geometry/Clock.h"
#include "geometry/Matrix4.h"
#include "mesh/UniOb.h"
#include "ui/Inspector.h"

namespace orvex {

namespace {

// A drawn tool-bar image: a rounded tile with a short glyph. A desktop icon theme wins when it has
// the named icon.
QIcon Tool_Icon(const char* themeName, const QString& glyph, const QColor& tile) {
    QPixmap pixmap(24, 24);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(tile);
    painter.setPen(tile.darker(160));
    painter.drawRoundedRect(QRectF(1.5, 1.5, 21, 21), 4, 4);
    QFont font = painter.font();
    font.setPixelSize(glyph.size() > 2 ? 8 : 10);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(pixmap.rect(), Qt::AlignCenter, glyph);
    painter.end();
    const QIcon drawn(pixmap);
    return themeName ? QIcon::fromTheme(QLatin1String(themeName), drawn) : drawn;
}

const QColor kViewTile(40, 110, 180);
const QColor kMeshTile(60, 140, 80);
const QColor kPlayTile(150, 90, 40);
const QColor kHullTile(120, 70, 150);
const QColor kFaceTile(160, 60, 80);
const QColor kPlainTile(110, 110, 110);

}  // namespace

QAction* TMyGL::addCommand(QWidget* owner, const QString& name, const QString& caption,
                           void (TMyGL::*handler)(), bool available) {
    auto* action = new QAction(caption, this);
    action->setObjectName(name);
    action->setEnabled(available);
    if (handler) connect(action, &QAction::triggered, this, handler);
    owner->addAction(action);
    return action;
}

QAction* TMyGL::Command_Action(const QString& name) const {
    return findChild<QAction*>(name);
}

void TMyGL::buildMenus() {
    MainMenu1 = menuBar();
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));

    QMenu* file = MainMenu1->addMenu(QStringLiteral("File"));
    addCommand(file, "NewFile1", "New File", &TMyGL::NewFile1Click);
    addCommand(file, "OpenFile2", "Open File", &TMyGL::OpenFile2Click);
    addCommand(file, "Save1", "Save File", &TMyGL::Save1Click);
    file->addSeparator();
    addCommand(file, "Exit2", "Exit", &TMyGL::Exit2Click);

    QMenu* edit = MainMenu1->addMenu(QStringLiteral("Edit"));
    addCommand(edit, "Copy1", "Copy Ctrl+C", nullptr);

    QMenu* run = MainMenu1->addMenu(QStringLiteral("Run"));
    addCommand(run, "ConvexTestRoutine1", "Density Convex Routine", &TMyGL::ConvexTestRoutine1Click);
    addCommand(run, "SphericalShellConvex1", "Convex Routine", &TMyGL::SphericalShellConvex1Click);
    addCommand(run, "CubicConvexRoutine1", "Full Test", &TMyGL::CubicConvexRoutine1Click);
    addCommand(run, "Verification", "Verification", &TMyGL::VerificationClick);
    addCommand(run, "Training1", "Training", &TMyGL::Training1Click);
    addCommand(run, "RMSSphere1", "RMS Sphere", &TMyGL::RMSSphere1Click);
    addCommand(run, "SerialSmoothSTL1", "Serial Smooth STL", &TMyGL::SerialSmoothSTL1Click);

    QMenu* animation = MainMenu1->addMenu(QStringLiteral("Animation"));
    addCommand(animation, "Routineplay1", "Routine play TGL", &TMyGL::Routineplay1Click);
    addCommand(animation, "RoutineCapture1", "Routine capture TGL", &TMyGL::RoutineCapture1Click);

    QMenu* modify = MainMenu1->addMenu(QStringLiteral("Modify"));
    addCommand(modify, "Smoothing1", "Smoothing", nullptr);
    addCommand(modify, "Reversing1", "Reversing", nullptr);
    addCommand(modify, "Trianglesreduction1", "Triangles reduction", nullptr);
    addCommand(modify, "Convexhull1", "Convex hull", nullptr);
    addCommand(modify, "Minboundingbox1", "Min. bounding box", nullptr);
    addCommand(modify, "Detectboundary1", "Detect boundary", &TMyGL::Detectboundary1Click);
    addCommand(modify, "Refineboundary1", "Refine boundary", &TMyGL::Refineboundary1Click);
    addCommand(modify, "Transfer1", "Transfer", &TMyGL::Transfer1Click);
    addCommand(modify, "TempTest1", "Temp Test", &TMyGL::TempTest1Click);

    QMenu* option = MainMenu1->addMenu(QStringLiteral("Option"));
    addCommand(option, "ModelData1", "Model Data", nullptr);
    addCommand(option, "MeshFormation", "Mesh Formation", &TMyGL::MeshFormationClick);
    addCommand(option, "MotionSensor1", "Motion Sensor", &TMyGL::MotionSensor1Click)->setCheckable(true);

    addCommand(MainMenu1, "About2", "About", &TMyGL::About2Click);

    // The popup menu, opened by a double click in the view and by the tray icon.
    Menu = new QMenu(this);
    Menu->setObjectName(QStringLiteral("Menu"));
    addCommand(Menu, "Open_Menu", "Open File", &TMyGL::Open_MenuClick);
    QMenu* import = Menu->addMenu(QStringLiteral("Import File"));
    import->setObjectName(QStringLiteral("ImportFile1"));
    addCommand(import, "MainObject1", "Main Object", &TMyGL::MainObject1Click);
    addCommand(import, "AuxObject1", "Aux Object", &TMyGL::AuxObject1Click);
    addCommand(import, "LineSegment1", "Line Segment", &TMyGL::LineSegment1Click);
    addCommand(import, "Texture1", "Texture", &TMyGL::Texture1Click);
    addCommand(Menu, "Save_Menu", "Save File", &TMyGL::Save_MenuClick);
    addCommand(Menu, "InportSTL1", "Import STL Model", &TMyGL::InportSTL1Click);
    addCommand(Menu, "InstanceView1", "Instance View", &TMyGL::InstanceView1Click);
    addCommand(Menu, "OpenFile1", "Tool Inspector", &TMyGL::OpenFile1Click);
    addCommand(Menu, "ObjectOption1", "Object Option", nullptr);
    addCommand(Menu, "FitView1", "Fit View", &TMyGL::FitView1Click);
    Menu->addSeparator();
    addCommand(Menu, "About1", "About", &TMyGL::About2Click);
    addCommand(Menu, "Exit1", "Exit", &TMyGL::Exit1Click);
}

void TMyGL::buildToolBar() {
    ToolBar = addToolBar(QStringLiteral("ToolBar"));
    ToolBar->setObjectName(QStringLiteral("ToolBar"));
    ToolBar->setMovable(false);
    ToolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    ToolBar->setIconSize(QSize(24, 24));

    struct Button {
        const char* name;
        const char* tip;
        const char* theme;
        const char* glyph;
        QColor tile;
        void (TMyGL::*handler)();
        bool available;
    };
    const Button buttons[] = {
        {"ToolButton1", "Open", "document-open", "Op", kPlainTile, nullptr, true},
        {"ToolButton2", "(no command)", nullptr, "\u2026", kPlainTile, nullptr, true},
        {"ToolButton12", "Free all objects", "edit-clear", "Clr", kMeshTile, &TMyGL::ToolButton12Click, true},
        {"ToolButton3", "Copy the view to the clipboard", "edit-copy", "Cp", kViewTile, &TMyGL::ToolButton3Click,
         true},
        {"ToolButton14", "Reset the view", "zoom-original", "1:1", kViewTile, &TMyGL::ToolButton14Click,
         true},
        {"ToolButton4", "Stop scan playback", "media-playback-stop", "\u25A0", kPlayTile,
         &TMyGL::ToolButton4Click, true},
        {"ToolButton5", "Start scan playback", "media-playback-start", "\u25B6", kPlayTile,
         &TMyGL::ToolButton5Click, true},
        {"ToolButton6", "(no command)", nullptr, "6", kPlayTile, nullptr, true},
        {"ToolButton7", "(no command)", nullptr, "7", kPlayTile, nullptr, true},
        {"ToolButton8", "Area smoothing", nullptr, "Sm", kMeshTile, &TMyGL::ToolButton8Click, true},
        {"ToolButton9", "Reverse orientation", nullptr, "Rv", kMeshTile, &TMyGL::ToolButton9Click, true},
        {"ToolButton10", "Model statistics", nullptr, "St", kMeshTile, &TMyGL::ToolButton10Click, true},
        {"ToolButton11", "Triangle reduction", nullptr, "Rd", kMeshTile, &TMyGL::ToolButton11Click, true},
        {"ToolButton13", "Redraw", "view-refresh", "\u21BB", kViewTile, &TMyGL::ToolButton13Click, true},
        {"ToolButton15", "Smooth the boundary range", nullptr, "Bs", kMeshTile, &TMyGL::ToolButton15Click,
         true},
        {"ToolButton17", "Principal-axes box", nullptr, "Bx", kMeshTile, &TMyGL::ToolButton17Click, true},
        {"ToolButton24", "Transfer the vertices to the point set", nullptr, "Tr", kHullTile,
         &TMyGL::ToolButton24Click, true},
        {"ToolButton16", "Quick Hull Best", nullptr, "QH", kHullTile, &TMyGL::ToolButton16Click, true},
        {"ToolButton25", "Hull mass properties and inertia box", nullptr, "In", kHullTile, &TMyGL::ToolButton25Click,
         true},
        {"ToolButton26", "Candidate regions", nullptr, "Cr", kFaceTile, &TMyGL::ToolButton26Click, true},
        {"ToolButton28", "Save features", nullptr, "FS", kFaceTile, &TMyGL::ToolButton28Click, true},
        {"ToolButton29", "Match features", nullptr, "FM", kFaceTile, &TMyGL::ToolButton29Click, true},
        {"ToolButton30", "Train features", nullptr, "FT", kFaceTile, &TMyGL::ToolButton30Click, true},
        {"ToolButton32", "Attraction to a second mesh", nullptr, "At", kMeshTile, &TMyGL::ToolButton32Click,
         true},
    };
    // ToolButton4 to ToolButton7 are one group of check buttons, ToolButton4 down at start.
    playGroup_ = new QActionGroup(this);
    playGroup_->setExclusive(true);
    for (const Button& button : buttons) {
        QAction* action = addCommand(ToolBar, QLatin1String(button.name), QLatin1String(button.tip),
                                     button.handler, button.available);
        action->setToolTip(QLatin1String(button.tip));
        action->setIcon(Tool_Icon(button.theme, QString::fromUtf8(button.glyph), button.tile));
        const QString name = action->objectName();
        if (name == "ToolButton4" || name == "ToolButton5" || name == "ToolButton6" ||
            name == "ToolButton7") {
            action->setCheckable(true);
            action->setActionGroup(playGroup_);
            action->setChecked(name == "ToolButton4");
        }
    }
}

void TMyGL::buildTrayIcon() {
    const QIcon icon = Tool_Icon(nullptr, QStringLiteral("OV"), kViewTile);
    setWindowIcon(icon);
    if (!QSystemTrayIcon::isSystemTrayAvailable()) return;  // no tray on this desktop
    TrayIcon = new QSystemTrayIcon(icon, this);
    TrayIcon->setObjectName(QStringLiteral("TrayIcon"));
    TrayIcon->setToolTip(windowTitle());
    TrayIcon->setContextMenu(Menu);  // opened on the right button
    connect(TrayIcon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason != QSystemTrayIcon::DoubleClick) return;
        setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
        show();
        raise();
        activateWindow();
    });
    TrayIcon->show();
}

// While minimised the window leaves the task bar; the tray icon brings it back.
void TMyGL::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && TrayIcon && isMinimized()) {
        QTimer::singleShot(0, this, &QWidget::hide);
    }
}

void TMyGL::FormDblClick(const QPoint& globalPos) {
    Menu->popup(globalPos + QPoint(0, 10));
}

void TMyGL::Exit1Click() {
    close();
}
void TMyGL::Exit2Click() {
    close();
}

void TMyGL::OpenFile1Click() {
    if (inspector_) inspector_->setVisible(!inspector_->isVisible());
}

void TMyGL::ToolButton12Click() {
    Free_All_Object();
    FormPaint();
}

void TMyGL::ToolButton13Click() {
    FormPaint();
}

void TMyGL::ToolButton14Click() {
    Mat4_Identity(View.Model_Matrix);
    View.Zoom_Scale = 1.0f;
    FormPaint();
}

void TMyGL::ToolButton17Click() {
    const int t0 = Millisecond_Clock();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    for (UniOb* mesh = Main_Objects; mesh; mesh = mesh->next) PrincipalAxesBox(*mesh);
    QApplication::restoreOverrideCursor();
    Set_Panel_Text(0, Cost_Text(kProcedureCosts, Millisecond_Clock() - t0));
    FormPaint();
}

void TMyGL::ToolButton26Click() {
    const int t0 = Millisecond_Clock();
    if (Main_Objects) FindCandidateRegions(*Main_Objects);
    Set_Panel_Text(0, Cost_Text(kProcedureCosts, Millisecond_Clock() - t0));
    FormPaint();
}

}  // namespace orvex
