#include "ui/SmallWindows.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSurfaceFormat>
#include <QTimer>

#include "Version.h"
#include "geometry/Color.h"
#include "render/Camera.h"
#include "ui/GlFormat.h"

namespace orvex {

namespace {

struct KeyView {
    int code;  // standard view code
    const char* caption;
};

// The views by key: main-keyboard digits, and letters for the six axis views.
bool View_For_Key(int key, KeyView& out) {
    switch (key) {
        case Qt::Key_0:
            out = {kViewIsoEastSouth, "ISO Projection at SouthEast"};
            return true;
        case Qt::Key_1:
        case Qt::Key_T:
            out = {kViewTop, "Top View"};
            return true;
        case Qt::Key_2:
        case Qt::Key_F:
            out = {kViewFront, "Front View"};
            return true;
        case Qt::Key_3:
        case Qt::Key_L:
            out = {kViewLeft, "Left View"};
            return true;
        case Qt::Key_4:
        case Qt::Key_V:
            out = {kViewBottom, "Button View"};
            return true;
        case Qt::Key_5:
        case Qt::Key_B:
            out = {kViewBack, "Back View"};
            return true;
        case Qt::Key_6:
        case Qt::Key_R:
            out = {kViewRight, "Right View"};
            return true;
        case Qt::Key_7:
            out = {kViewIsoEastNorth, "ISO Projection at NorthEast"};
            return true;
        case Qt::Key_8:
            out = {kViewIsoWestNorth, "ISO Projection at NorthWest"};
            return true;
        case Qt::Key_9:
            out = {kViewIsoWestSouth, "ISO Projection at SouthWest"};
            return true;
        default:
            return false;
    }
}

}  // namespace

SmallGLArea::SmallGLArea(QWidget* parent, Qt::WindowFlags flags) : QOpenGLWidget(parent, flags) {
    setFormat(Fixed_Function_Format());
    setMinimumSize(1, 1);
}

void SmallGLArea::paintGL() {
    if (!draw_) return;
    const qreal ratio = devicePixelRatioF();
    draw_(static_cast<int>(width() * ratio), static_cast<int>(height() * ratio));
}

// ---- Instance View -----------------------------------------------------------------------------

TMyView::TMyView(QWidget* parent) : QDockWidget(QStringLiteral("Instance View"), parent) {
    setObjectName(QStringLiteral("MyView"));
    setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable |
                QDockWidget::DockWidgetFloatable);
    Mat4_Identity(View_Matrix);
    area_ = new SmallGLArea(this);
    area_->setObjectName(QStringLiteral("MyViewArea"));
    area_->setFocusPolicy(Qt::StrongFocus);
    area_->Set_Draw_Frame([this](int width, int height) {
        if (drawScene_) drawScene_(width, height, View_Matrix);
    });
    setWidget(area_);
    setFocusProxy(area_);
    resize(300, 300);
    hide();
}

void TMyView::FormKeyDown(int key, Qt::KeyboardModifiers shift) {
    KeyView view{};
    // The numeric pad's digits are not the view keys.
    const bool keypad = shift.testFlag(Qt::KeypadModifier) && key >= Qt::Key_0 && key <= Qt::Key_9;
    if (!keypad && View_For_Key(key, view)) {
        Mat4_Identity(View_Matrix);
        Standard_View(View_Matrix, view.code);
        setWindowTitle(QLatin1String(view.caption));
    }
    FormPaint();
}

void TMyView::FormPaint() {
    area_->repaint();
}

void TMyView::keyPressEvent(QKeyEvent* event) {
    FormKeyDown(event->key(), event->modifiers());
    event->accept();
}

// ---- Render ------------------------------------------------------------------------------------

TMyPlane::TMyPlane(QWidget* parent) : SmallGLArea(parent, Qt::Tool | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("MyPlane"));
    setWindowTitle(QStringLiteral("Render"));
    setFixedSize(512, 512);
    hide();
}

void TMyPlane::FormPaint() {
    repaint();
}

// ---- About -------------------------------------------------------------------------------------

TAboutBox::TAboutBox(QWidget* parent)
    : QOpenGLWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("About"));
    setFormat(Fixed_Function_Format());
    setFixedSize(293, 220);
    const auto memo = [this](const char* name, QRect place, const QString& text) {
        auto* edit = new QPlainTextEdit(text, this);
        edit->setObjectName(QLatin1String(name));
        edit->setReadOnly(true);
        edit->setFrameStyle(QFrame::NoFrame);
        edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        edit->setFont(QFont(QStringLiteral("Times New Roman"), 10));
        edit->setGeometry(place);
        edit->viewport()->installEventFilter(this);
        return edit;
    };
    Memo1 = memo(
        "Memo1", QRect(31, 9, 242, 67),
        QStringLiteral("This program is powered by OpenGL, \nOrvex Vision, a workbench for 3-D geometry\n"
                       "Version %1\nSee README.md for use and licence")
            .arg(QLatin1String(ORVEX_VERSION)));
    Memo2 = memo("Memo2", QRect(216, 176, 73, 33), QStringLiteral("updated\n2026"));
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(33);
    connect(Timer1, &QTimer::timeout, this, &TAboutBox::Timer1Timer);
    Set_Color(Qt::black);
    hide();
}

TAboutBox::~TAboutBox() {
    // The window lives until the program ends; its texture goes with it.
    if (Logo_Texture != 0 && isValid()) {
        makeCurrent();
        QOpenGLFunctions* gl = context()->functions();
        if (gl->glIsTexture(Logo_Texture)) gl->glDeleteTextures(1, &Logo_Texture);
        doneCurrent();
    }
}

void TAboutBox::Set_Color(const QColor& colour) {
    colour_ = colour;
    for (QPlainTextEdit* edit : {Memo1, Memo2}) {
        QPalette palette = edit->palette();
        palette.setColor(QPalette::Base, colour);
        palette.setColor(QPalette::Window, colour);
        palette.setColor(QPalette::Text, Qt::yellow);
        edit->setPalette(palette);
    }
    if (isVisible()) update();
}

void TAboutBox::Show_About() {
    if (const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
    show();
    raise();
    activateWindow();
    // Still the active window from the last showing: no new activation comes.
    if (isActiveWindow()) FormActivate();
}

void TAboutBox::FormActivate() {
    Timer1->start();
}

void TAboutBox::Timer1Timer() {
    ++Animation.n;
    repaint();
}

void TAboutBox::FormMouseDown() {
    Timer1->stop();
    hide();
    ++Animation.c;
}

void TAboutBox::initializeGL() {
    Fill_Logo_Table(Table);
    Logo_Texture = Make_Logo_Texture(Table);
}

void TAboutBox::paintGL() {
    const float rgb[3] = {static_cast<float>(colour_.redF()), static_cast<float>(colour_.greenF()),
                          static_cast<float>(colour_.blueF())};
    const int interval =
        Render_About_Frame(Animation, Logo_Texture, static_cast<int>(height() * devicePixelRatioF()), rgb);
    if (interval > 0) Timer1->setInterval(interval);
}

bool TAboutBox::event(QEvent* event) {
    const bool result = QOpenGLWidget::event(event);
    const QEvent::Type type = event->type();
    if (type == QEvent::WindowActivate ||
        (type == QEvent::ActivationChange && isVisible() && isActiveWindow()))
        FormActivate();
    return result;
}

bool TAboutBox::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress) {
        if (watched == Memo1->viewport()) Memo1MouseDown();
        if (watched == Memo2->viewport()) Memo2MouseDown();
        return true;
    }
    return QOpenGLWidget::eventFilter(watched, event);
}

void TAboutBox::mousePressEvent(QMouseEvent* event) {
    FormMouseDown();
    event->accept();
}

// Closing only hides: the window is shown again later and its resources live until the end.
void TAboutBox::closeEvent(QCloseEvent* event) {
    event->ignore();
    if (isVisible()) FormMouseDown();
}

}  // namespace orvex
