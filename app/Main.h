#pragma once
// TMyGL: the main window. It owns every model object for the whole run, the camera state, the
// command surface (menu bar, popup menu, tool bar, tray icon, status bar) and the idle mailbox that
// executes the Tool Inspector's commands. Its members are defined across files by subject:
//   Main.cpp           construction, state, frames, Free_All_Object, FormClose
//   MainIdle.cpp       ApplicationIdle, the Inspector's mailbox
//   MainOpen.cpp       the open dialog, OpenFile_Routine and the STL import
//   MainCommands.cpp   menus, tool bar, tray icon and their small handlers
//   MainFormation.cpp  MeshFormationClick
//   MainSave.cpp       the save dialog and Save_MenuClick's dispatch
//   MainPoints.cpp     New File, the vertex transfer, opening and saving point files
//   MainHull.cpp       Quick Hull Best, the inertia box and the hull benchmarks
//   MainFacet.cpp      boundaries, Transfer, line-segment imports, the split and screenshot saves
//   MainGrab.cpp       the picture of the GL area (screenshots, clipboard, captured frames)
//   MainAnimation.cpp  the mesh sequences of the file list and the sphere fit
//   MainProcessing.cpp smoothing, reversal, statistics, reduction, attraction, the smoothing batch
//   MainFace.cpp       TGL, 3D Studio and template opens, the face buttons and the face batches
//   MainMouse.cpp      mouse navigation and rectangle selection
//   MainKeys.cpp       the keys, the clipboard copy and Fit View
// Invariants: Main_Objects and Aux_Objects are owned lists, newest first, and nothing keeps one of
// their meshes beyond a command; every command runs to completion on the GUI thread; a frame only
// reads the model.

#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>

#include "app/Report.h"
#include "device/MyThread.h"
#include "facet/BoundaryLoop.h"
#include "facet/TriOb.h"
#include "fit/RmsSphere.h"
#include "geometry/RgbImage.h"
#include "pointset/HullBenchmark.h"
#include "pointset/PointList.h"
#include "render/DisplayOptions.h"
#include "render/SceneObjects.h"
#include "render/ViewState.h"
#include "sfm/ArrayMap.h"
#include "sfm/SFMData.h"
#include "ui/Inspector.h"
#include "ui/MeshFormation.h"
#include "ui/NewFileDialog.h"
#include "ui/SmallWindows.h"
#include "volume/CtVolume.h"

class QAction;
class QActionGroup;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QSystemTrayIcon;
class QTimer;
class QToolBar;

namespace orvex {

class GLView;
class UniOb;

// What the open dialog returned: the chosen files and the 1-based filter entry.
struct OpenChoice {
    QStringList Files;
    int Filter_Index = 3;
};

// What the save dialog returned: the name exactly as typed or chosen, and the 1-based filter entry.
struct SaveChoice {
    QString File_Name;
    int Filter_Index = 2;
};

class TMyGL : public QMainWindow {
    Q_OBJECT

public:
    explicit TMyGL(QWidget* parent = nullptr);
    ~TMyGL() override;

    // The forms created after the main window; any of them may be absent (null).
    void Attach_Forms(TInspector* inspector, TMesh_Formation* meshFormation, TReport_Form* report,
                      TNew_File_Dialog* newFileDialog = nullptr);
    TInspector* Inspector() const { return inspector_; }
    TNew_File_Dialog* New_File_Dialog() const { return newFileDialog_; }
    TMesh_Formation* Mesh_Formation() const { return meshFormation_; }
    TReport_Form* Report_Form() const { return report_; }

    // ---- Model state --------------------------------------------------------------------------
    // The objects held by value join here in their order of construction (destroyed in reverse):
    // CT_3D, Point_Set, Selected_Points, Split_Part1, Split_Part2, Boundary_Range,
    // Boundary_Detected, RMSSPHERE, ArrayMap, SFMData.
    ViewState View;
    CT_3D Volume;                // the CT volume and its voxel list
    POINT_LIST Point_Set;        // the point files, New File and the vertex transfer fill it
    POINT_LIST Selected_Points;  // points moved out of Point_Set by a selection
    // The two parts of a transfer (Split_Part1's sentinel keeps the cut records), the stretch of
    // the rim a transfer cuts along, and the whole rim (last point = first).
    TriOb Split_Part1;
    TriOb Split_Part2;
    BOUNDARY_LOOP Boundary_Range;
    BOUNDARY_LOOP Boundary_Detected;
    orvex::RMSSPHERE RMSSPHERE;  // the last sphere fit of the point set; drawn while R > 0.01
    orvex::ArrayMap ArrayMap;  // the texture map, laid in the plane z = 0
    orvex::SFMData SFMData;    // structure-from-motion points and cameras
    UniOb* Main_Objects = nullptr;
    UniOb* Aux_Objects = nullptr;
    TRI_FACET* Facet_List = nullptr;  // loose facets of imported line segments, newest first
    VEC_LIST* Scan_First = nullptr;    // the laser scans of the last Sick file, in file order
    VEC_LIST* Scan_Current = nullptr;  // the scan playback shows next; null when none is left

    // 64 x 64 texels of R, G, B, A; texel (i, j) at byte (i * 64 + j) * 4.
    static constexpr int kTileSide = 64;
    std::array<std::uint8_t, kTileSide * kTileSide * 4> Tile_Image{};
    unsigned Tile_Texture = 0;  // GL name of the scene texture, 0 while there is none

    // The motion-sensor polling thread: idle until "Motion Sensor" starts it (MainSensor.cpp).
    MyThread Sensor_Thread;

    // The open dialog's state: current file name and filter entry (1-based, kept between runs).
    QString Open_File_Name;
    int Open_Filter_Index = 3;
    // The save dialog's filter entry (1-based, kept between runs).
    int Save_Filter_Index = 2;

    // ---- Seams for what would otherwise block on a modal window (tests replace them) -----------
    // ---- Instance View, Render and About (MainWindows.cpp) --------------------------------------
    void Attach_Windows(TMyView* myView, TAboutBox* aboutBox, TMyPlane* myPlane);
    TMyView* My_View() const { return myView_; }
    TAboutBox* About_Box() const { return aboutBox_; }
    TMyPlane* My_Plane() const { return myPlane_; }
    // F2 and F3: show a hidden window, hide a shown one.
    void Toggle_Instance_View();
    void Toggle_Render();
    void InstanceView1Click();
    void About2Click();

    // Runs the open dialog at `filterIndex`; several files may be chosen when `multiSelect`.
    std::function<std::optional<OpenChoice>(int filterIndex, bool multiSelect)> Open_Dialog;
    // Tells the user something went wrong (a message box by default).
    std::function<void(const QString& text)> Show_Message;
    // Runs the save dialog at `filterIndex`.
    std::function<std::optional<SaveChoice>(int filterIndex)> Save_Dialog;
    // Asks a Yes/No question in a warning box; true for Yes.
    std::function<bool(const QString& question)> Ask_Yes_No;

    // ---- Status bar ---------------------------------------------------------------------------
    static constexpr int kPanelCount = 4;
    QString Panel_Text(int panel) const;
    void Set_Panel_Text(int panel, const QString& text);

    // ---- Frames -------------------------------------------------------------------------------
    // Draws one frame now (synchronous repaint of the view). Safe to call from another thread:
    // the request is then handed to the GUI thread, so frames never overlap.
    void FormPaint();
    GLView* View_Widget() const { return glView_; }
    DisplayOptions Current_Display_Options() const;
    SceneObjects Current_Scene() const;
    // Text painted over the view until the next frame, at (x, y) of the window's client area.
    void Write_Canvas_Text(int x, int y, const QString& text);
    QString Last_Canvas_Text() const { return lastCanvasText_; }
    // The picture of the GL area as the user sees it: a visible Inspector is hidden, the view
    // redrawn and read back, the Inspector shown again. Empty when the view has no context.
    RgbImage Grab_GL_Area();

    // ---- Lifetime and data --------------------------------------------------------------------
    void Free_All_Object();
    void FormClose();
    // The idle mailbox: executes the Inspector's pending Command (connected to the idle moment of
    // the event loop; tests may also call it directly).
    void ApplicationIdle();
    void OpenFile_Routine(int kind, int mode);

    // ---- Motion sensor (MainSensor.cpp) -------------------------------------------------------
    // Asks for the sensor's device path; nullopt answers "Cancel" (tests replace it).
    std::function<std::optional<QString>(const QString& current)> Sensor_Path_Dialog;
    void MotionSensor1Click();
    // GUI side of a sensor reading: turns the view with the newest sample and draws a frame.
    void Sensor_Frame();

    // ---- Command surface ----------------------------------------------------------------------
    QMenuBar* MainMenu1 = nullptr;
    QMenu* Menu = nullptr;  // the popup menu
    QToolBar* ToolBar = nullptr;
    QSystemTrayIcon* TrayIcon = nullptr;  // null where the desktop has no tray
    QTimer* Timer = nullptr;              // scan playback, 60 ms, disabled
    // Every menu item and tool button by its name ("OpenFile2", "ToolButton12", ...).
    QAction* Command_Action(const QString& name) const;

    // Handlers.
    void Open_MenuClick();
    void Save_MenuClick();
    void Save1Click();
    void OpenFile2Click();
    void MainObject1Click();
    void AuxObject1Click();
    void InportSTL1Click();
    void OpenFile1Click();
    void Exit1Click();
    void Exit2Click();
    void MeshFormationClick();
    void NewFile1Click();
    void ToolButton24Click();
    void ToolButton12Click();
    void ToolButton13Click();
    void ToolButton14Click();
    void ToolButton17Click();
    void ToolButton26Click();
    void ToolButton16Click();
    void ToolButton25Click();
    void ConvexTestRoutine1Click();
    void SphericalShellConvex1Click();
    void CubicConvexRoutine1Click();
    void ToolButton8Click();
    void ToolButton9Click();
    void ToolButton10Click();
    void ToolButton11Click();
    void ToolButton32Click();
    void TempTest1Click();
    void SerialSmoothSTL1Click();
    // Animation (MainAnimation.cpp): the file list as a mesh sequence, shown or captured as
    // "Cap_" + title + ".jpg" frames in the working folder; the sphere fit of the point set.
    void Routineplay1Click();
    void RoutineCapture1Click();
    void RMSSphere1Click();
    void ToolButton28Click();
    void ToolButton29Click();
    void ToolButton30Click();
    void VerificationClick();
    void Training1Click();
    int Smooth_Presses = 0;  // ToolButton8 presses this run: the first column of its report lines
    // The largest cloud of "Convex Routine" (ten million); tests make it small.
    unsigned Benchmark_Max_Points = kLargestBenchmarkCloud;
    void FormDblClick(const QPoint& globalPos);

    // ---- Mouse and keys (MainMouse.cpp, MainKeys.cpp) -----------------------------------------
    // Positions are pixels of the GL area (x right, y down from its top-left corner).
    float Last_X = 0.0f;
    float Last_Y = 0.0f;
    bool Mouse_Held = false;
    int Press_X = 0;
    int Press_Y = 0;
    void FormMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int X, int Y);
    void FormMouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers shift, int X, int Y);
    void FormMouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, int X, int Y);
    // `delta`: the wheel's angle delta in eighths of a degree; one zoom step per 120 summed.
    void FormMouseWheel(Qt::KeyboardModifiers shift, int delta);
    // `key` is a Qt::Key; Qt::KeypadModifier marks the numeric pad.
    void FormKeyDown(int key, Qt::KeyboardModifiers shift);
    void ToolButton3Click();
    void FitView1Click();
    // The picture of the GL area onto the clipboard (a visible Inspector is out of the way meanwhile).
    void Copy_To_Clipboard();
    // Asks a Yes/No question under `caption` (a question box by default); true for Yes.
    std::function<bool(const QString& text, const QString& caption)> Ask_Question;
    // F2 and F3 show or hide these windows (the Instance View and the Render window) once set.
    QPointer<QWidget> Instance_View_Window;
    QPointer<QWidget> Render_Window;
    int Frames_Drawn = 0;  // frames drawn this run (the key-0 glide counts them)
    void Detectboundary1Click();
    void Refineboundary1Click();
    void Transfer1Click();
    void ToolButton15Click();
    void LineSegment1Click();
    // Scan playback and the texture tile (MainScans.cpp).
    void Texture1Click();
    void ToolButton4Click();
    void ToolButton5Click();
    void TimerTimer();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void buildStatusBar();
    void buildMenus();
    void buildToolBar();
    void buildTrayIcon();
    QAction* addCommand(QWidget* owner, const QString& name, const QString& caption, void (TMyGL::*handler)(),
                        bool available = true);
    void fillTileImage();
    void probeGlContext();
    int drawFrame(int width, int height);
    void releaseMeshList(UniOb*& head);

    // Idle commands.
    bool runIdleCommand(int code);
    void openByExtension();
    void setGlAreaSize(std::optional<int> width, std::optional<int> height);
    bool resizeFromResolutionFields();
    void enterFullScreen();

    // Opening.
    void openWithMode(int mode);
    void clearForNewFile();
    void openStl(int mode, QString& failure, int kind = 3);  // kinds 13 and 14: PLY and OBJ
    void writeCArrayDump(const UniOb& mesh);
    void openPointFile(int kind, QString& problem);
    void openCt(QString& problem);
    // Kinds 7 (texture map), 9 (Sick scans) and 12 (SFM data); MainScans.cpp.
    void openOverlay(int kind, QString& problem);
    void installLabelFont();
    std::uint64_t textureGeneration_ = 1;  // changes whenever ArrayMap's pixels do
    void openFaceMesh(int kind, QString& problem);
    void openTemplate(QString& problem);
    bool readEyeFields(float eyes[4]);
    // Runs the save dialog for a face text file and writes it with `write`, which returns what went
    // wrong (empty: written).
    void saveFaceFile(const std::function<QString(const QString& path)>& write);
    void runFaceBatch(bool training);
    std::optional<OpenChoice> runOpenDialog(int filterIndex, bool multiSelect);

    bool applyMeshFormation();

    // A sequence frame: the file's mesh (empty for other kinds) at the head of Main_Objects in the
    // frame colour; returns why the file could not be read, empty when it could.
    QString showSequenceFrame(const QString& path, bool redraw);

    // Boundaries, line segments and the facet saves.
    bool copyBoundaryRange();
    void importLineSegments(const QStringList& files);
    void saveScreenshot(int entry, const QString& name, QString& problem);
    void saveSplit(const QString& name, QString& problem);

    // Saving.
    void installSaveSeams();
    std::optional<SaveChoice> runSaveDialog(int filterIndex);
    void saveCtSurface(int entry, const QString& name, QString& problem);
    void savePointSet(int entry, const QString& name, QString& problem);
    void saveMeshes(int entry, const QString& name, QString& problem);

    // Hulls and their benchmarks.
    std::optional<int> readIntField(const QLineEdit* field, const char* name);
    std::optional<int> readRepeatConvex();
    HullBenchmarkHooks benchmarkHooks();
    bool runDensityBenchmark();
    bool runSizeBenchmark();

    GLView* glView_ = nullptr;
    QLabel* panels_[kPanelCount] = {};
    QActionGroup* playGroup_ = nullptr;
    QPointer<TInspector> inspector_;
    QPointer<TMesh_Formation> meshFormation_;
    QPointer<TReport_Form> report_;
    QPointer<TNew_File_Dialog> newFileDialog_;
    QPointer<TMyView> myView_;
    QPointer<TAboutBox> aboutBox_;
    QPointer<TMyPlane> myPlane_;
    void paintChildViews();  // the visible Instance View and Render windows follow each frame
    // Mouse and keys.
    void installInteraction();  // mouse and key wiring, the paired point sets
    void installKeyRouting();
    bool zoomStep(float factor, bool divide = false);
    void glideToTop();
    void paintNow();  // a frame now, even while the toolkit holds repaints back
    void drawSelectionOutline(int X, int Y);
    int wheelSum_ = 0;

    bool idleBusy_ = false;
    bool dumpFailureSaid_ = false;  // the C-array dump's failure was shown since its last success
    QString lastCanvasText_;
    mutable QString frameError_;  // the conversion error last reported by a frame
    std::atomic<bool> foreignFramePending_{false};  // a frame asked for from another thread is queued
    int sensorResult_ = 1;                          // the last reading's result shown in panel 0
    QString sensorPath_;                            // the path "Motion Sensor" last opened
    void startSensorThread();
};

}  // namespace orvex
