#include "app/GLView.h"

#include <QMouseEvent>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QPainter>
#include <QResizeEvent>

#include "render/Frame.h"
#include "ui/GlFormat.h"

namespace orvex {

// Text over the picture, painted by the widget system above the GL image so that writing it needs
// no new frame; the next frame wipes it, as it would wipe text drawn onto a window canvas.
class CanvasOverlay : public QWidget {
public:
    explicit CanvasOverlay(QWidget* parent) : QWidget(parent) {
        setObjectName(QStringLiteral("CanvasText"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setAttribute(Qt::WA_TranslucentBackground);
    }

    void Set(const QPoint& pos, const QString& text, const QColor& background) {
        pos_ = pos;
        text_ = text;
        background_ = background;
        setVisible(!text_.isEmpty() || !outline_.isNull());
        // Shown at once: the commands that write progress text do not return to the event loop.
        if (isVisible()) repaint();
    }
    QString Text() const { return text_; }
    void Set_Outline(const QRect& outline) {
        outline_ = outline;
        setVisible(!text_.isEmpty() || !outline_.isNull());
        if (isVisible()) repaint();
    }
    QRect Outline() const { return outline_; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        if (!outline_.isNull()) {
            painter.setPen(QPen(QColor(255, 0, 0), 1));
            const QPoint corners[5] = {outline_.topLeft(), outline_.topRight(), outline_.bottomRight(),
                                       outline_.bottomLeft(), outline_.topLeft()};
            painter.drawPolyline(corners, 5);
        }
        if (text_.isEmpty()) return;
        painter.setFont(font());
        const QRect placed(pos_, painter.fontMetrics().size(Qt::TextSingleLine, text_));
        painter.fillRect(placed.adjusted(-2, 0, 2, 0), background_);
        // White on a light background would vanish: the text takes whichever of black and white
        // stands out from its box.
        const bool light = qGray(background_.rgb()) >= 128;
        painter.setPen(light ? Qt::black : Qt::white);
        painter.drawText(placed, Qt::AlignLeft | Qt::AlignTop, text_);
    }

private:
    QRect outline_;
    QPoint pos_;
    QString text_;
    QColor background_ = Qt::black;
};

GLView::GLView(QWidget* parent) : QOpenGLWidget(parent) {
    setFormat(Surface_Format());
    setMinimumSize(1, 1);
    overlay_ = new CanvasOverlay(this);
    overlay_->setFont(QFont(QStringLiteral("Verdana"), 8));
    overlay_->hide();
    // Moves without a button show the position in the status bar.
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
}

QSurfaceFormat GLView::Surface_Format() {
    return Fixed_Function_Format();
}

void GLView::initializeGL() {
    Init_Main_Context();
}

void GLView::paintGL() {
    if (!draw_) return;
    // The context is current from here to the end of the frame.
    const std::lock_guard<std::mutex> frame(Main_Frame_Mutex());
    const qreal ratio = devicePixelRatioF();
    const QSize size(static_cast<int>(width() * ratio), static_cast<int>(height() * ratio));
    if (frozen_) {
        if (size == drawnSize_) return;  // the framebuffer still holds the last frame
        const QColor background = palette().color(QPalette::Window);
        QOpenGLFunctions* gl = context()->functions();
        gl->glClearColor(background.redF(), background.greenF(), background.blueF(), 1.0f);
        gl->glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        drawnSize_ = QSize();  // nothing of the model on it: the next free frame draws
        return;
    }
    draw_(size.width(), size.height());
    drawnSize_ = size;
}

void GLView::Set_Frozen(bool frozen) {
    frozen_ = frozen;
    // Resized while frozen: it shows the background only, so the model comes back at once.
    if (!frozen_ && drawnSize_.isEmpty() && isVisible()) update();
}

void GLView::resizeEvent(QResizeEvent* event) {
    QOpenGLWidget::resizeEvent(event);
    overlay_->setGeometry(rect());
}

void GLView::mouseDoubleClickEvent(QMouseEvent* event) {
    emit doubleClicked(event->globalPosition().toPoint());
    event->accept();
}

void GLView::mousePressEvent(QMouseEvent* event) {
    emit mousePressed(event);
    event->accept();
}

void GLView::mouseMoveEvent(QMouseEvent* event) {
    emit mouseMoved(event);
    event->accept();
}

void GLView::mouseReleaseEvent(QMouseEvent* event) {
    emit mouseReleased(event);
    event->accept();
}

void GLView::wheelEvent(QWheelEvent* event) {
    emit wheelTurned(event);
    event->accept();
}

void GLView::Draw_Outline(const QRect& rect) {
    overlay_->setGeometry(this->rect());
    overlay_->raise();
    overlay_->Set_Outline(rect.normalized());
}

QRect GLView::Outline() const {
    return overlay_->Outline();
}

void GLView::Write_Canvas_Text(const QPoint& pos, const QString& text, const QColor& background) {
    overlay_->setGeometry(rect());
    overlay_->raise();
    overlay_->Set(pos, text, background);
}

void GLView::Clear_Canvas_Text() {
    if (!overlay_->Outline().isNull()) overlay_->Set_Outline({});
    if (!overlay_->Text().isEmpty()) overlay_->Set({}, {}, Qt::black);
}

QString GLView::Canvas_Text() const {
    return overlay_->Text();
}

void GLView::Delete_Textures(const std::vector<unsigned>& names) {
    if (names.empty() || !isValid()) return;
    makeCurrent();
    QOpenGLFunctions* gl = context()->functions();
    for (unsigned name : names) {
        if (name != 0 && gl->glIsTexture(name)) gl->glDeleteTextures(1, &name);
    }
    doneCurrent();
}

}  // namespace orvex
