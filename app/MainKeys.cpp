// The keys of the main window: turns, moves, zoom steps, the standard views and the glide back to
// the top view, selection edits, window toggles and the clipboard copy; and Fit View.

#include <QCheckBox>
#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRadioButton>
#include <algorithm>
#include <cmath>
#include <numbers>

#include "app/GLView.h"
#include "app/Main.h"
#include "app/MainGrab.h"
#include "geometry/Matrix4.h"
#include "pointset/PointSelection.h"
#include "render/Camera.h"
#include "ui/Inspector.h"
#include "ui/StrictConversion.h"

namespace orvex {

namespace {

constexpr double kRadian = std::numbers::pi / 180.0;
constexpr int kMaxGlidePasses = 1000;
constexpr float kFitShare = 0.8f;  // Fit View: the scene fills this share of the smaller side

Vec3 Unit(Vec3 v) {
    Vec3_Normalize(v);
    return v;
}

// Keys that reach the main window's handler whichever of its children has the focus; the others
// reach it from the view or the window itself, or when the focused child leaves them unused.
bool Window_Wide_Key(int key) {
    switch (key) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Insert:
        case Qt::Key_Delete:
        case Qt::Key_Escape:
        case Qt::Key_F1:
        case Qt::Key_F2:
        case Qt::Key_F3:
        case Qt::Key_F4:
            return true;
        default:
            return false;
    }
}

class KeyRouter : public QObject {
public:
    explicit KeyRouter(TMyGL* window) : QObject(window), window_(window) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress || !watched->isWidgetType()) return false;
        auto* widget = static_cast<QWidget*>(watched);
        if (widget->window() != window_) return false;
        auto* key = static_cast<QKeyEvent*>(event);
        if (!Window_Wide_Key(key->key()) && widget != window_ && widget != window_->View_Widget())
            return false;
        window_->FormKeyDown(key->key(), key->modifiers());
        return true;
    }

private:
    TMyGL* window_;
};

void Toggle(QWidget* window) {
    if (window) window->setVisible(!window->isVisible());
}

}  // namespace

void TMyGL::installKeyRouting() {
    qApp->installEventFilter(new KeyRouter(this));
}

void TMyGL::FormKeyDown(int key, Qt::KeyboardModifiers shift) {
    float r = 5.0f, m = 1.0f;
    if (inspector_) {
        const std::optional<float> rotate = Strict_To_Float(inspector_->Rotate_Edit->text());
        if (!rotate) {
            Show_Message(
                ConversionError{QStringLiteral("Rotate_Edit"), inspector_->Rotate_Edit->text()}.Message());
            return;
        }
        const std::optional<float> move = Strict_To_Float(inspector_->Move_Edit->text());
        if (!move) {
            Show_Message(
                ConversionError{QStringLiteral("Move_Edit"), inspector_->Move_Edit->text()}.Message());
            return;
        }
        r = *rotate;
        m = *move;
    }
    Matrix4& M = View.Model_Matrix;
    Matrix4& W = View.Work_Matrix;
    const auto apply = [&] { Mat4_PreMultiply(W, M); };
    const auto turn = [&](const Vec3& axis, double degrees) {
        Mat4_RotationT(Unit(axis), float(degrees * kRadian), W);
        apply();
    };
    const bool keypad = shift & Qt::KeypadModifier;

    if (shift & Qt::ControlModifier) {
        // About the scene's own axes.
        int axis = 0;
        float degrees = 0.0f;
        switch (key) {
            case Qt::Key_Up:
                axis = 1, degrees = -r;
                break;
            case Qt::Key_Down:
                axis = 1, degrees = r;
                break;
            case Qt::Key_Left:
                axis = 2, degrees = -r;
                break;
            case Qt::Key_Right:
                axis = 2, degrees = r;
                break;
            case Qt::Key_PageUp:
                axis = 3, degrees = r;
                break;
            case Qt::Key_PageDown:
                axis = 3, degrees = -r;
                break;
            default:
                break;
        }
        if (axis != 0) {
            Mat4_Identity(W);
            Mat4_AxisRotationDeg(W, axis, degrees);
            apply();
        }
    } else if (shift & Qt::ShiftModifier) {
        // Along the scene's own axes.
        Vec3 along;
        float step = 0.0f;
        switch (key) {
            case Qt::Key_Up:
                along = {0, 1, 0}, step = m;
                break;
            case Qt::Key_Down:
                along = {0, 1, 0}, step = -m;
                break;
            case Qt::Key_Left:
                along = {1, 0, 0}, step = -m;
                break;
            case Qt::Key_Right:
                along = {1, 0, 0}, step = m;
                break;
            case Qt::Key_PageUp:
                along = {0, 0, 1}, step = m;
                break;
            case Qt::Key_PageDown:
                along = {0, 0, 1}, step = -m;
                break;
            default:
                break;
        }
        if (step != 0.0f) {
            Mat4_Translation(W, along, step);
            apply();
        }
    } else {
        const auto check = [](QAbstractButton* button) {
            if (button) button->click();
        };
        const auto zoom = [&](bool divide) {
            const QString text = inspector_ ? inspector_->Scale_Edit->text() : QStringLiteral("1.075");
            const std::optional<float> k = Strict_To_Float(text);
            // A factor of 0 would collapse the scene for good, and "-" would then divide by it.
            if (!k || !(*k > 0.0f)) {
                Show_Message(ConversionError{QStringLiteral("Scale_Edit"), text}.Message());
                return false;
            }
            zoomStep(*k, divide);
            return true;
        };
        const bool digit = !keypad;
        switch (key) {
            case Qt::Key_Up:
                turn(View_Right(M), -r);
                break;
            case Qt::Key_Down:
                turn(View_Right(M), r);
                break;
            case Qt::Key_Left:
                turn(View_Up(M), -r);
                break;
            case Qt::Key_Right:
                turn(View_Up(M), r);
                break;
            case Qt::Key_PageUp:
                turn(View_Toward(M), r);
                break;
            case Qt::Key_PageDown:
                turn(View_Toward(M), -r);
                break;
            case Qt::Key_Insert:
                Give_Back_Selection(Point_Set, Selected_Points);
                break;
            case Qt::Key_Delete:
                Delete_Selection(Point_Set, Selected_Points);
                if (Point_Set.points.next) View.WidenSceneBounds(Point_Set.boundsMin, Point_Set.boundsMax);
                break;
            case Qt::Key_C:
                Swap_Selection(Point_Set, Selected_Points);
                break;
            case Qt::Key_0:
                if (digit) {
                    glideToTop();
                } else {
                    View.Zoom_Scale = 1.0f;
                    FormPaint();
                }
                break;
            case Qt::Key_1:
                if (digit && inspector_) check(inspector_->Point_Checked);
                break;
            case Qt::Key_2:
                if (digit && inspector_) check(inspector_->Wire_Checked);
                break;
            case Qt::Key_3:
                if (digit && inspector_) check(inspector_->Shading_Checked);
                break;
            case Qt::Key_T:
                Numbered_View(M, 1), View.Inset_View = 1;
                break;
            case Qt::Key_F:
                Numbered_View(M, 2), View.Inset_View = 2;
                break;
            case Qt::Key_L:
                Numbered_View(M, 3), View.Inset_View = 3;
                break;
            case Qt::Key_V:
                Numbered_View(M, 4), View.Inset_View = 4;
                break;
            case Qt::Key_B:
                Numbered_View(M, 5), View.Inset_View = 5;
                break;
            case Qt::Key_R:
                Numbered_View(M, 6), View.Inset_View = 6;
                break;
            case Qt::Key_Equal:
            case Qt::Key_Plus:
                // The main "=" key and the numeric pad's "+": the main "+" needs Shift.
                if ((key == Qt::Key_Equal) != keypad && !zoom(false)) return;
                break;
            case Qt::Key_Minus:
                if (!zoom(true)) return;
                break;
            case Qt::Key_Home:
                FitView1Click();
                break;
            case Qt::Key_F1:
                Toggle(inspector_);
                break;
            case Qt::Key_F2:
                Toggle(Instance_View_Window);
                break;
            case Qt::Key_F3:
                Toggle(Render_Window);
                break;
            case Qt::Key_F4:
                Toggle(report_);
                break;
            case Qt::Key_Escape:
                if (inspector_ && inspector_->isVisible()) {
                    inspector_->hide();
                } else {
                    close();
                }
                return;
            default:
                break;
        }
    }
    if ((shift & Qt::ControlModifier) && key == Qt::Key_C) Copy_To_Clipboard();
    paintNow();
}

void TMyGL::glideToTop() {
    Matrix4& M = View.Model_Matrix;
    const auto rotate = [&](const Vec3& axis, double radians) {
        Mat4_RotationT(axis, float(radians), View.Work_Matrix);
        Mat4_PreMultiply(View.Work_Matrix, M);
    };
    // Already at the top view: straight to the snap.
    if (!(M[10] > 0.99999999)) {
        rotate(Unit({M[0] + M[1] + M[2], M[4] + M[5] + M[6], M[8] + M[9] + M[10]}), -0.011 / 9);
        double alpha = 0.011, beta = 0.011;
        // Each pass takes a ninth of the tilt of the scene's z axis and of the roll; a view the
        // passes cannot settle (undefined numbers, endless circling) snaps after the last.
        for (int pass = 0; pass < kMaxGlidePasses && (std::fabs(alpha) > 0.01 || std::fabs(beta) > 0.01);
             ++pass) {
            if (M[10] > 0.99999999) break;
            Vec3 g{0, 1, 0};
            const double across = std::sqrt(double(M[8]) * M[8] + double(M[9]) * M[9]);
            if (M[10] >= -0.99999999 && across > 0.0) g = {float(-M[9] / across), float(M[8] / across), 0.0f};
            if (M[10] < -0.99) {
                alpha = 9.42477798;
                g = Unit({M[0] + M[1], M[4] + M[5], M[8] + M[9]});
            } else {
                alpha = std::acos(std::fabs(double(M[10])));
            }
            if (!std::isfinite(alpha)) break;
            rotate(g, -alpha / 9);
            const Vec3 h = Unit(View_Toward(M));
            if (M[0] > 0.99999999) break;
            if (M[0] < -0.99) {
                beta = 3.7699112;
            } else {
                beta =
                    std::acos(std::fabs(double(M[0])) / std::sqrt(double(M[0]) * M[0] + double(M[4]) * M[4]));
            }
            if (!std::isfinite(beta)) break;
            rotate(h, M[4] < 0 ? -beta / 9 : beta / 9);
            paintNow();
        }
    }
    for (int i : {0, 1, 2, 4, 5, 6, 8, 9, 10}) M[i] = (i == 0 || i == 5 || i == 10) ? 1.0f : 0.0f;
    paintNow();
}

void TMyGL::paintNow() {
    // The toolkit holds a repaint back while it still shows the previous frame; a glide draws
    // frame after frame inside one key press, so let the held one through.
    const int drawn = Frames_Drawn;
    FormPaint();
    if (Frames_Drawn == drawn) QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TMyGL::Copy_To_Clipboard() {
    const QImage picture = QImage_From(Grab_GL_Area());
    if (!picture.isNull()) QGuiApplication::clipboard()->setImage(picture);
}

void TMyGL::ToolButton3Click() {
    Copy_To_Clipboard();
}

void TMyGL::FitView1Click() {
    if (!View.SceneBoundsEmpty()) {
        const Vec3 size = View.Scene_Max - View.Scene_Min;
        const double across =
            std::sqrt(double(size.x) * size.x + double(size.y) * size.y + double(size.z) * size.z);
        const double target = kFitShare * std::min(glView_->width(), glView_->height());
        // The bounding sphere fits whatever the rotation. One eye unit is one pixel in parallel
        // projection; in perspective the sphere's near side is what must fit.
        double extent = target;
        const double f = View.Persp_Ratio, D = View.Camera_Distance;
        if (View.Perspective_Mode == 1 && f > 0 && D > 0) extent = target * f * D / (500.0 + target * f / 2);
        const float zoom = float(extent / across);
        if (across > 0 && std::isfinite(zoom) && zoom > 0) {
            View.Zoom_Scale = zoom;
            // The centre of the bounds goes to the middle of the view.
            const bool pivot = inspector_ && inspector_->Pivot_Checked->isChecked();
            Vec3 centre = ((View.Scene_Min + View.Scene_Max) * 0.5f - Scene_Pivot(View, pivot)) * zoom;
            Matrix4& M = View.Model_Matrix;
            const Vec3 eye{M[0] * centre.x + M[4] * centre.y + M[8] * centre.z,
                           M[1] * centre.x + M[5] * centre.y + M[9] * centre.z,
                           M[2] * centre.x + M[6] * centre.y + M[10] * centre.z};
            M[12] = -eye.x;
            M[13] = -eye.y;
            M[14] = -eye.z;
        }
    }
    FormPaint();
}

}  // namespace orvex
