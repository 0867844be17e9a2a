// TMyGL: the Instance View, the Render window and the About window. The first two draw with the
// main window's scene and settings; the main frame has them follow while they are visible.

#include "app/Main.h"
#include "render/SmallViews.h"

namespace orvex {

void TMyGL::Attach_Windows(TMyView* myView, TAboutBox* aboutBox, TMyPlane* myPlane) {
    myView_ = myView;
    aboutBox_ = aboutBox;
    myPlane_ = myPlane;
    // F2 and F3 toggle them.
    Instance_View_Window = myView;
    Render_Window = myPlane;
    if (myView) {
        // A floating tool window that can dock at the tool bar's side of the window.
        addDockWidget(Qt::TopDockWidgetArea, myView);
        myView->setFloating(true);
        myView->resize(300, 300);
        myView->hide();
        myView->Set_Draw_Scene([this](int width, int height, const Matrix4& viewMatrix) {
            Render_Instance_View(width, height, viewMatrix, View, Current_Display_Options(), Current_Scene());
        });
    }
    if (myPlane) {
        myPlane->Set_Draw_Frame(
            [this](int width, int height) { Render_Plane_Frame(width, height, Current_Display_Options()); });
    }
}

void TMyGL::paintChildViews() {
    // Not part of the frame's time; drawn as soon as the main frame is on the screen.
    if (myView_ && myView_->isVisible()) myView_->Area()->update();
    if (myPlane_ && myPlane_->isVisible()) myPlane_->update();
}

void TMyGL::Toggle_Instance_View() {
    if (!myView_) return;
    myView_->setVisible(!myView_->isVisible());
}

void TMyGL::Toggle_Render() {
    if (!myPlane_) return;
    myPlane_->setVisible(!myPlane_->isVisible());
}

void TMyGL::InstanceView1Click() {
    Toggle_Instance_View();
}

void TMyGL::About2Click() {
    if (aboutBox_) aboutBox_->Show_About();
}

}  // namespace orvex
