// TMyGL: construction and destruction, the model state, frames, Free_All_Object and FormClose.

#include "app/Main.h"

#include <QAbstractEventDispatcher>
#include <QCloseEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QThread>
#include <QTimer>
#include <clocale>
#include <vector>

#include "app/GLView.h"
#include "app/Report.h"
#include "app/StatusText.h"
#include "facet/TriFacet.h"
#include "geometry/Clock.h"
#include "geometry/Matrix4.h"
#include "mesh/UniOb.h"
#include "render/Camera.h"
#include "render/Frame.h"
#include "ui/DisplayOptionsReader.h"
#include "ui/Inspector.h"
#include "ui/MeshFormation.h"
#include "ui/NewFileDialog.h"

namespace orvex {

namespace {

// A status-bar panel: asks for its design width but may shrink when the window is narrower than
// the four panels together (the resolution commands make very small windows).
class StatusPanel : public QLabel {
public:
    StatusPanel(int width, const QString& text, QWidget* parent) : QLabel(text, parent), width_(width) {
        setMinimumWidth(1);
        setFrameStyle(QFrame::Panel | QFrame::Sunken);
    }
    QSize sizeHint() const override { return {width_, QLabel::sizeHint().height()}; }

private:
    int width_;
};

constexpr int kPanelWidths[TMyGL::kPanelCount] = {180, 80, 90, 300};
const char* const kPanelTexts[TMyGL::kPanelCount] = {"Ready", "redraw", "(X,Y)", ""};

}  // namespace

TMyGL::TMyGL(QWidget* parent) : QMainWindow(parent) {
    // Qt takes the user's locale for the C library too; the files written with printf and read
    // with strtod must keep the decimal point whatever the desktop's language.
    std::setlocale(LC_NUMERIC, "C");
    // 1. The form from its design.
    setObjectName(QStringLiteral("MyGL"));
    setWindowTitle(QStringLiteral("Orvex Vision"));
    resize(1024, 768);
    glView_ = new GLView(this);
    glView_->setObjectName(QStringLiteral("GLView"));
    QPalette background = glView_->palette();
    background.setColor(QPalette::Window, Qt::black);
    glView_->setPalette(background);
    setCentralWidget(glView_);
    buildMenus();
    buildToolBar();
    buildStatusBar();
    buildTrayIcon();
    Timer = new QTimer(this);  // scan playback
    Timer->setObjectName(QStringLiteral("Timer"));
    Timer->setInterval(60);
    connect(Timer, &QTimer::timeout, this, &TMyGL::TimerTimer);
    Open_Dialog = [this](int filterIndex, bool multiSelect) {
        return runOpenDialog(filterIndex, multiSelect);
    };
    Show_Message = [this](const QString& text) { QMessageBox::warning(this, windowTitle(), text); };
    installSaveSeams();

    // 2. The model objects held by value are constructed here, in the order the header lists them.
    // 3. Main_Objects and Aux_Objects start empty (the facet and scan lists join with them).
    // 4. The camera matrices.
    Mat4_Identity(View.Model_Matrix);
    Mat4_Identity(View.Spare_Matrix);
    // 5. The GL context of the view.
    probeGlContext();
    // 6. - 8. Projection, scene bounds and the inset view.
    View.Perspective_Mode = 1;
    View.Persp_Ratio = 0.5f;
    View.Zoom_Scale = 1.0f;
    View.ResetSceneBounds();
    View.Inset_View = 1;
    View.Inset_X = width() - 310;  // computed once; the inset does not follow later resizes
    View.Inset_Y = 350;
    View.Inset_Size = 300;
    // 9. The texture tile.
    fillTileImage();
    // 10. The motion-sensor thread is a member, created idle; its driver is opened on port 5
    //     (/dev/ttyS5) and only "Motion Sensor" starts the polling.
    startSensorThread();
    // 11. The idle handler: runs whenever the event loop is about to wait for new events, so an
    //     empty mailbox costs nothing and the CPU stays idle.
    connect(QAbstractEventDispatcher::instance(thread()), &QAbstractEventDispatcher::aboutToBlock, this,
            &TMyGL::ApplicationIdle);

    glView_->Set_Draw_Frame([this](int width, int height) { return drawFrame(width, height); });
    connect(glView_, &GLView::doubleClicked, this, &TMyGL::FormDblClick);
    installInteraction();
    installLabelFont();
}

TMyGL::~TMyGL() {
    // The polling must end before the window it posts its frames to goes.
    Sensor_Thread.WaitFor();
    // FormClose normally released the lists already; a window destroyed without closing must not leak.
    releaseMeshList(Main_Objects);
    releaseMeshList(Aux_Objects);
    Free_Facet_List(Facet_List);
    Free_Vec_List(Scan_First);
    // The objects held by value are destroyed here in reverse order: SFMData, ArrayMap, RMSSPHERE,
    // Boundary_Detected, Boundary_Range, Split_Part2, Split_Part1, Selected_Points, Point_Set, CT_3D.
}

void TMyGL::Attach_Forms(TInspector* inspector, TMesh_Formation* meshFormation, TReport_Form* report,
                         TNew_File_Dialog* newFileDialog) {
    inspector_ = inspector;
    meshFormation_ = meshFormation;
    report_ = report;
    newFileDialog_ = newFileDialog;
}

void TMyGL::buildStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar"));
    for (int i = 0; i < kPanelCount; ++i) {
        panels_[i] = new StatusPanel(kPanelWidths[i], QString::fromLatin1(kPanelTexts[i]), bar);
        panels_[i]->setObjectName(QStringLiteral("Panel%1").arg(i));
        // The last panel takes what is left, so a long result stays readable on a wide window.
        bar->addWidget(panels_[i], i == kPanelCount - 1 ? 1 : 0);
    }
}

QString TMyGL::Panel_Text(int panel) const {
    return panel >= 0 && panel < kPanelCount ? panels_[panel]->text() : QString();
}

void TMyGL::Set_Panel_Text(int panel, const QString& text) {
    if (panel >= 0 && panel < kPanelCount) panels_[panel]->setText(text);
}

void TMyGL::fillTileImage() {
    for (int i = 0; i < kTileSide; ++i) {
        for (int j = 0; j < kTileSide; ++j) {
            for (int n = 0; n < 4; ++n) Tile_Image[(i * kTileSide + j) * 4 + n] = (4 * (i + j + n)) % 256;
        }
    }
}

// The view creates its context when it is first shown; trying one here reports a machine without
// OpenGL at start-up, as the program always has. Start-up goes on either way.
void TMyGL::probeGlContext() {
    QOpenGLContext context;
    context.setFormat(GLView::Surface_Format());
    if (!context.create()) Show_Message(QStringLiteral("Fail to call hardware device"));
    QOffscreenSurface surface;
    surface.setFormat(context.format());
    surface.create();
    if (!context.isValid() || !context.makeCurrent(&surface)) {
        Show_Message(QStringLiteral("Can't initialize OpenGL"));
        return;
    }
    context.doneCurrent();
}

DisplayOptions TMyGL::Current_Display_Options() const {
    if (!inspector_ || !meshFormation_) return DisplayOptions{};
    std::optional<ConversionError> error;
    const DisplayOptions options = Read_Display_Options(*inspector_, *meshFormation_, &error);
    // Only the spectrum pass reads the converted field. The frame still draws (with the default);
    // the message waits for the event loop and is shown once per bad text, not at every frame.
    const QString message = error && options.Spectrum ? error->Message() : QString();
    if (message != frameError_) {
        frameError_ = message;
        if (!message.isEmpty()) {
            QTimer::singleShot(0, this, [this, message] { Show_Message(message); });
        }
    }
    return options;
}

SceneObjects TMyGL::Current_Scene() const {
    SceneObjects scene;
    scene.Main_Objects = Main_Objects;
    scene.Aux_Objects = Aux_Objects;
    scene.Point_Set = &Point_Set;
    scene.Selected_Points = &Selected_Points;
    scene.Volume = &Volume;
    scene.Split_Part1 = &Split_Part1;
    scene.Split_Part2 = &Split_Part2;
    scene.Facet_List = Facet_List;
    scene.Boundary_Range = &Boundary_Range;
    scene.Texture_Map = &ArrayMap;
    scene.Texture_Map_Generation = textureGeneration_;
    scene.Scan_First = Scan_First;
    scene.Scan_Current = Scan_Current;
    scene.SFM_Data = &SFMData;
    scene.Fitted_Sphere = &RMSSPHERE;
    return scene;
}

void TMyGL::FormPaint() {
    // A frame asked for from another thread (the motion sensor) is handed to the GUI thread.
    // Requests arriving while one is queued merge into it.
    if (QThread::currentThread() != thread()) {
        if (foreignFramePending_.exchange(true)) return;
        QMetaObject::invokeMethod(
            this,
            [this] {
                foreignFramePending_ = false;
                FormPaint();
            },
            Qt::QueuedConnection);
        return;
    }
    glView_->Clear_Canvas_Text();
    glView_->repaint();
}

int TMyGL::drawFrame(int width, int height) {
    const DisplayOptions options = Current_Display_Options();
    const int ms = Render_Main_Frame(width, height, View, options, Current_Scene());
    // The plain wire frame shows every scan: playback has none left to show.
    if (options.Wire_Checked && !options.Hidden_Face) Scan_Current = nullptr;
    ++Frames_Drawn;
    Set_Panel_Text(1, QString::fromStdString(Frame_Rate_Text(ms)));
    paintChildViews();
    return ms;
}

void TMyGL::Write_Canvas_Text(int x, int y, const QString& text) {
    lastCanvasText_ = text;
    // The canvas starts below the menu bar, as a window's client area does.
    const int clientTop = menuWidget() ? menuWidget()->height() : 0;
    const QPoint inView = glView_->mapFrom(this, QPoint(x, y + clientTop));
    glView_->Write_Canvas_Text(inView, text, glView_->palette().color(QPalette::Window));
}

void TMyGL::releaseMeshList(UniOb*& head) {
    std::vector<unsigned> textures;
    for (const UniOb* mesh = head; mesh; mesh = mesh->next) {
        if (mesh->Mesh_Texture != 0) textures.push_back(mesh->Mesh_Texture);
    }
    if (glView_) glView_->Delete_Textures(textures);
    Free_Mesh_List(head);
}

void TMyGL::Free_All_Object() {
    const int t0 = Millisecond_Clock();
    releaseMeshList(Main_Objects);
    releaseMeshList(Aux_Objects);
    Free_Vec_List(Scan_First);
    Scan_Current = nullptr;
    Volume.Free();
    Point_Set.Clear();
    ClearFacets(Split_Part1);
    ClearFacets(Split_Part2);
    SFMData.Release();
    Boundary_Range.Release();
    Free_Facet_List(Facet_List);
    View.ResetSceneBounds();
    // Then the contents of ArrayMap and RMSSPHERE. Selected_Points and Boundary_Detected stay.
    ArrayMap.Release();
    ++textureGeneration_;
    RMSSPHERE = orvex::RMSSPHERE();
    Set_Panel_Text(0, Cost_Text(kFreeAllCost, Millisecond_Clock() - t0));
}

void TMyGL::FormClose() {
    Free_All_Object();
    if (Tile_Texture != 0) {
        glView_->Delete_Textures({Tile_Texture});
        Tile_Texture = 0;
    }
    // The GL context goes with the view. The polling ends within one reading's time-out.
    Sensor_Thread.WaitFor();
    // The program ends when its last main window has closed.
}

void TMyGL::closeEvent(QCloseEvent* event) {
    FormClose();
    event->accept();
}

}  // namespace orvex
