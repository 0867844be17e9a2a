// Mouse navigation of the main view: turning and moving by dragging, rectangle selection of the
// point set, the wheel zoom; and the wiring of mouse and keys to the handlers.

#include <QApplication>
#include <QCheckBox>
#include <QMessageBox>
#include <QMouseEvent>
#include <QRadioButton>
#include <QWheelEvent>
#include <cmath>
#include <numbers>

#include "app/GLView.h"
#include "app/Main.h"
#include "geometry/Matrix4.h"
#include "pointset/PointSelection.h"
#include "render/Camera.h"
#include "ui/Inspector.h"

namespace orvex {

namespace {

constexpr float kWheelFactor = 1.075f;
constexpr float kWheelInverse = 0.93023255813953492215f;
constexpr int kWheelNotch = 120;

Vec3 Unit(Vec3 v) {
    Vec3_Normalize(v);
    return v;
}

}  // namespace

void TMyGL::installInteraction() {
    // Selection, giving back and swapping relink nodes between the two sets.
    Point_Set.SharePointsWith(Selected_Points);
    Ask_Question = [this](const QString& text, const QString& caption) {
        return QMessageBox::question(this, caption, text, QMessageBox::Yes | QMessageBox::No) ==
               QMessageBox::Yes;
    };
    connect(glView_, &GLView::mousePressed, this, [this](QMouseEvent* e) {
        const QPoint at = e->position().toPoint();
        FormMouseDown(e->button(), e->modifiers(), at.x(), at.y());
    });
    connect(glView_, &GLView::mouseMoved, this, [this](QMouseEvent* e) {
        const QPoint at = e->position().toPoint();
        FormMouseMove(e->buttons(), e->modifiers(), at.x(), at.y());
    });
    connect(glView_, &GLView::mouseReleased, this, [this](QMouseEvent* e) {
        const QPoint at = e->position().toPoint();
        FormMouseUp(e->button(), e->modifiers(), at.x(), at.y());
    });
    connect(glView_, &GLView::wheelTurned, this,
            [this](QWheelEvent* e) { FormMouseWheel(e->modifiers(), e->angleDelta().y()); });
    installKeyRouting();
}

void TMyGL::FormMouseDown(Qt::MouseButton, Qt::KeyboardModifiers, int X, int Y) {
    Last_X = float(X);
    Last_Y = float(Y);
    Mouse_Held = true;
    if (inspector_ && inspector_->Mouse_Mode == 2) {
        Press_X = X;
        Press_Y = Y;
    }
}

void TMyGL::FormMouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers, int X, int Y) {
    Set_Panel_Text(2, QStringLiteral("  (%1,%2)").arg(X).arg(Y));
    const int mode = inspector_ ? inspector_->Mouse_Mode : 5;
    if (mode == 1) {
        const float dx = float(X) - Last_X, dy = float(Y) - Last_Y;
        Matrix4& M = View.Model_Matrix;
        if (dx != 0.0f || dy != 0.0f) {
            const Vec3 right = Unit(View_Right(M)), up = Unit(View_Up(M));
            Matrix4 T;
            if (buttons & Qt::LeftButton) {
                // One degree a pixel about the screen's axes, whatever the zoom.
                constexpr float kDegree = std::numbers::pi_v<float> / 180.0f;
                Mat4_RotationT(right, dy * kDegree, T);
                Mat4_RotationT(up, dx * kDegree, View.Work_Matrix);
                Mat4_PreMultiply(T, View.Work_Matrix);
                Mat4_PreMultiply(View.Work_Matrix, M);
                FormPaint();
            } else if (buttons & Qt::RightButton) {
                // One eye unit a pixel: the picture follows the mouse in parallel projection.
                Mat4_Translation(T, right, dx);
                Mat4_Translation(View.Work_Matrix, up, -dy);
                Mat4_PreMultiply(T, View.Work_Matrix);
                Mat4_PreMultiply(View.Work_Matrix, M);
                FormPaint();
            }
        }
        Last_X = float(X);
        Last_Y = float(Y);
    } else if (mode == 2) {
        Last_X = float(X);
        Last_Y = float(Y);
        if (Mouse_Held) drawSelectionOutline(X, Y);
    }
}

void TMyGL::drawSelectionOutline(int X, int Y) {
    FormPaint();
    glView_->Draw_Outline(QRect(QPoint(Press_X, Press_Y), QPoint(X, Y)));
}

void TMyGL::FormMouseUp(Qt::MouseButton, Qt::KeyboardModifiers, int X, int Y) {
    Mouse_Held = false;
    if (!inspector_ || inspector_->Mouse_Mode != 2) return;
    if (View.Perspective_Mode == 1) {
        if (Ask_Question(QStringLiteral("Please Change to Pararll Projection Mode"),
                         QStringLiteral("Question"))) {
            inspector_->Parallel->click();
            FormPaint();
        }
        return;
    }
    SelectionView view;
    view.Model = View.Model_Matrix;
    view.Zoom = View.Zoom_Scale;
    view.Pivot = Scene_Pivot(View, inspector_->Pivot_Checked->isChecked());
    view.Width = glView_->width();
    view.Height = glView_->height();
    Select_Points(Point_Set, Selected_Points, view, Selection_Rect(Press_X, Press_Y, X, Y));
    FormPaint();
}

void TMyGL::FormMouseWheel(Qt::KeyboardModifiers, int delta) {
    // Fine-grained wheels and touch pads send small deltas: a step per notch's worth.
    wheelSum_ += delta;
    bool changed = false;
    while (wheelSum_ <= -kWheelNotch) {
        wheelSum_ += kWheelNotch;
        changed |= zoomStep(kWheelFactor);
    }
    while (wheelSum_ >= kWheelNotch) {
        wheelSum_ -= kWheelNotch;
        changed |= zoomStep(kWheelInverse);
    }
    if (changed) FormPaint();
}

bool TMyGL::zoomStep(float factor, bool divide) {
    // A step that would leave the zoom at zero, infinite or undefined is skipped: the next one
    // could not undo it.
    const float zoom = divide ? View.Zoom_Scale / factor : View.Zoom_Scale * factor;
    float moved[3];
    for (int i = 0; i < 3; ++i)
        moved[i] = divide ? View.Model_Matrix[12 + i] / factor : View.Model_Matrix[12 + i] * factor;
    if (!(std::isfinite(zoom) && zoom > 0.0f)) return false;
    for (float v : moved)
        if (!std::isfinite(v)) return false;
    View.Zoom_Scale = zoom;
    for (int i = 0; i < 3; ++i) View.Model_Matrix[12 + i] = moved[i];
    return true;
}

}  // namespace orvex
