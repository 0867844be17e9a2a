#pragma once
// GLView: the main window's 3-D view, the area between tool bar and status bar. It owns the GL
// context (compatibility profile with a depth buffer, drawn by fixed-function GL) and asks its
// owner to draw each frame; text written on its canvas stays over the picture until the next frame.
// The viewport origin of a frame is (0, 0) of this widget: the bars are outside it.

#include <QOpenGLWidget>
#include <QPoint>
#include <QString>
#include <functional>
#include <vector>

namespace orvex {

class CanvasOverlay;

class GLView : public QOpenGLWidget {
    Q_OBJECT

public:
    // Draws one frame of width x height device pixels with the context current; returns its ms.
    using DrawFrame = std::function<int(int width, int height)>;

    explicit GLView(QWidget* parent = nullptr);

    void Set_Draw_Frame(DrawFrame draw) { draw_ = std::move(draw); }
    // Canvas text at `pos` (widget coordinates of the text's top-left), shown at once.
    void Write_Canvas_Text(const QPoint& pos, const QString& text, const QColor& background);
    void Clear_Canvas_Text();
    QString Canvas_Text() const;
    // The red selection outline through the four corners of `rect` (widget pixels), shown at once
    // and wiped, like canvas text, by the next frame.
    void Draw_Outline(const QRect& rect);
    QRect Outline() const;

    // A frozen view keeps its last picture (a new size gets the background only) and draws no
    // frame: long commands freeze it while the event loop runs inside them.
    void Set_Frozen(bool frozen);
    bool Frozen() const { return frozen_; }

    // Deletes GL texture names (meshes' textures, the scene tile) with the context current.
    void Delete_Textures(const std::vector<unsigned>& names);

    // The format every 3-D view of the program asks for.
    static QSurfaceFormat Surface_Format();

signals:
    void doubleClicked(const QPoint& globalPos);
    void mousePressed(QMouseEvent* event);
    void mouseMoved(QMouseEvent* event);
    void mouseReleased(QMouseEvent* event);
    void wheelTurned(QWheelEvent* event);

protected:
    void initializeGL() override;
    void paintGL() override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    DrawFrame draw_;
    CanvasOverlay* overlay_ = nullptr;
    bool frozen_ = false;
    QSize drawnSize_;
};

}  // namespace orvex
