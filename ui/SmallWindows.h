#pragma once
// The small 3-D windows: the Instance View (a floating, dockable second view of the scene in a
// standard view of its own), the Render window (background only) and the About window with its
// animation. Each owns its GL context; the main window supplies what the first two draw.

#include <QDockWidget>
#include <QOpenGLWidget>
#include <functional>

#include "geometry/Matrix4.h"
#include "render/SmallViews.h"

class QPlainTextEdit;
class QTimer;

namespace orvex {

// A GL area that asks its owner to draw each frame (width and height in device pixels).
class SmallGLArea : public QOpenGLWidget {
    Q_OBJECT

public:
    using DrawFrame = std::function<void(int width, int height)>;
    explicit SmallGLArea(QWidget* parent = nullptr, Qt::WindowFlags flags = {});
    void Set_Draw_Frame(DrawFrame draw) { draw_ = std::move(draw); }

protected:
    void paintGL() override;

private:
    DrawFrame draw_;
};

class TMyView : public QDockWidget {
    Q_OBJECT

public:
    explicit TMyView(QWidget* parent = nullptr);

    // Draws the scene of width x height pixels through View_Matrix with the area's context current.
    using DrawScene = std::function<void(int width, int height, const Matrix4& viewMatrix)>;
    void Set_Draw_Scene(DrawScene draw) { drawScene_ = std::move(draw); }

    Matrix4 View_Matrix;  // the top view at creation; only the keys change it
    SmallGLArea* Area() const { return area_; }

    // Main-keyboard digits and T, F, L, V, B, R choose a standard view and name it in the caption;
    // any key draws a frame.
    void FormKeyDown(int key, Qt::KeyboardModifiers shift);
    // Draws a frame now (the main window calls it after each of its own frames while visible).
    void FormPaint();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    SmallGLArea* area_ = nullptr;
    DrawScene drawScene_;
};

class TMyPlane : public SmallGLArea {
    Q_OBJECT

public:
    explicit TMyPlane(QWidget* parent = nullptr);
    void FormPaint();
};

class TAboutBox : public QOpenGLWidget {
    Q_OBJECT

public:
    explicit TAboutBox(QWidget* parent = nullptr);
    ~TAboutBox() override;

    QPlainTextEdit* Memo1 = nullptr;
    QPlainTextEdit* Memo2 = nullptr;
    QTimer* Timer1 = nullptr;  // 33 ms, off until the window is activated
    AboutAnimation Animation;  // n, m, c, A and the spin axis
    LogoTable Table{};         // the logo's colours; the texture is made from rows 7 to 70
    unsigned Logo_Texture = 0;

    // The window's colour: the memos and the picture's background take it.
    void Set_Color(const QColor& colour);
    QColor Color() const { return colour_; }

    // Centred on the screen, raised and activated.
    void Show_About();
    void FormActivate();
    void Timer1Timer();
    // A click anywhere hides the window and moves on to the next picture.
    void FormMouseDown();
    void Memo1MouseDown() { FormMouseDown(); }
    void Memo2MouseDown() { FormMouseDown(); }

protected:
    void initializeGL() override;
    void paintGL() override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QColor colour_{Qt::black};
};

}  // namespace orvex
