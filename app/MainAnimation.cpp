// Animation: the mesh sequences of the Inspector's file list (play, and capture into JPEG frames),
// and the sphere fit of the point set, whose sphere the frame draws.

#include <QApplication>
#include <QFileInfo>
#include <memory>

#include "app/CommandProgress.h"
#include "app/FileListWalk.h"
#include "app/LocalPath.h"
#include "app/Main.h"
#include "app/StatusText.h"
#include "app/WaitCursor.h"
#include "fit/RmsSphere.h"
#include "geometry/Clock.h"
#include "geometry/Jpeg.h"
#include "mesh/StlReader.h"
#include "mesh/TglReader.h"
#include "mesh/UniOb.h"
#include "ui/FileBrowser.h"
#include "ui/Inspector.h"

namespace orvex {

namespace {

// The walk shows its progress in the caption; a sequence gives the caption back when it ends.
class KeptCaption {
public:
    explicit KeptCaption(QWidget& window) : window_(window), caption_(window.windowTitle()) {}
    ~KeptCaption() { window_.setWindowTitle(caption_); }
    KeptCaption(const KeptCaption&) = delete;
    KeptCaption& operator=(const KeptCaption&) = delete;

private:
    QWidget& window_;
    QString caption_;
};

constexpr float kFrameRed = 0.7f;
constexpr float kFrameGreen = 0.2f;
constexpr float kFrameBlue = 0.3f;
constexpr int kCaptureQuality = 100;
constexpr int kProblemsListed = 10;

// The reader of a sequence frame, by the extension exactly as the list shows it.
enum class FrameKind { Tgl, Stl, Other };

FrameKind Frame_Kind(const QString& path) {
    const QString suffix = QFileInfo(path).suffix();
    if (suffix == QLatin1String("TGL") || suffix == QLatin1String("tgl")) return FrameKind::Tgl;
    if (suffix == QLatin1String("STL") || suffix == QLatin1String("stl")) return FrameKind::Stl;
    return FrameKind::Other;
}

// One message for everything that went wrong in a sequence: a long list names the first few.
QString Sequence_Problems(const QString& command, const QStringList& problems) {
    QString text = command + QStringLiteral(": ");
    text += problems.size() == 1 ? QStringLiteral("1 problem")
                                 : QStringLiteral("%1 problems").arg(problems.size());
    for (int i = 0; i < problems.size() && i < kProblemsListed; ++i) text += QLatin1Char('\n') + problems[i];
    if (problems.size() > kProblemsListed)
        text += QStringLiteral("\n... and %1 more").arg(problems.size() - kProblemsListed);
    return text;
}

}  // namespace

QString TMyGL::showSequenceFrame(const QString& path, bool redraw) {
    auto mesh = std::make_unique<UniOb>();
    Status status;
    switch (Frame_Kind(path)) {
        case FrameKind::Tgl:
            status = Read_TGL(*mesh, Local_Path(path));
            break;
        case FrameKind::Stl:
            status = Read_STL(*mesh, Local_Path(path));
            break;
        case FrameKind::Other:
            break;  // other kinds in the list give an empty frame
    }
    UniOb* shown = mesh.release();
    shown->Color_RGBA[0] = kFrameRed;
    shown->Color_RGBA[1] = kFrameGreen;
    shown->Color_RGBA[2] = kFrameBlue;
    Main_Objects = Push_Front(Main_Objects, shown);
    if (redraw) FormPaint();
    if (!status) return QString::fromStdString(status.message);
    return {};
}

void TMyGL::Routineplay1Click() {
    if (CommandProgress::Active() || !inspector_ || !inspector_->FileListBox) return;
    // The first frame is the entry selected now; the walk then goes on from entry 1.
    const FileList& list = *inspector_->FileListBox;
    const QString selected = list.currentRow() >= 0 ? list.SelectedFilePath() : QString();
    QStringList problems;
    {
        KeptCaption caption(*this);
        Walk_File_List(*this, {}, [&](const QString& path, int index, int) {
            const QString problem =
                showSequenceFrame(index == 0 && !selected.isEmpty() ? selected : path, true);
            if (!problem.isEmpty()) problems << problem;
            releaseMeshList(Main_Objects);
            return true;
        });
    }
    if (!problems.isEmpty()) Show_Message(Sequence_Problems(QStringLiteral("Routine play TGL"), problems));
}

void TMyGL::RoutineCapture1Click() {
    if (CommandProgress::Active()) return;
    QStringList problems;
    int written = 0;
    {
        KeptCaption caption(*this);
        FileListWalkOptions options;
        options.hideInspector = true;
        Walk_File_List(*this, options, [&](const QString& path, int, int) {
            // The grab draws the frame itself.
            const QString problem = showSequenceFrame(path, false);
            if (!problem.isEmpty()) problems << problem;
            const QString target =
                QStringLiteral("Cap_") + QFileInfo(path).completeBaseName() + QStringLiteral(".jpg");
            const RgbImage picture = Grab_GL_Area();
            if (picture.Empty()) {
                problems << target + QStringLiteral(": the view gave no picture");
            } else if (const Status saved = Write_Jpeg_File(Local_Path(target), picture, kCaptureQuality);
                       !saved) {
                problems << QString::fromStdString(saved.message);
            } else {
                ++written;
            }
            releaseMeshList(Main_Objects);
            return true;
        });
    }
    FormPaint();
    if (!problems.isEmpty()) {
        Show_Message(Sequence_Problems(QStringLiteral("Routine capture TGL"), problems) +
                     QStringLiteral("\n%1 frames written.").arg(written));
    }
}

void TMyGL::RMSSphere1Click() {
    if (CommandProgress::Active()) return;
    const int t0 = Millisecond_Clock();
    bool loaded = false;
    bool fitted = false;
    {
        WaitCursor wait;
        // An empty point set keeps the points of the last fit, which are fitted again.
        loaded = Load_Points(RMSSPHERE, Point_Set);
        if (loaded) fitted = RMSSPHERE.Fit();
    }
    const int ms = Millisecond_Clock() - t0;
    if (report_) report_->Add_Line(QString::fromStdString(Sphere_Detail_Line(RMSSPHERE)));
    QStringList problems;
    if (!loaded) problems << QStringLiteral("RMS Sphere: there is no room for the points of the point set.");
    if (const Status log = Write_Sphere_Log(RMSSPHERE); !log) problems << QString::fromStdString(log.message);
    if (fitted && !RMSSPHERE.traceStatus) problems << QString::fromStdString(RMSSPHERE.traceStatus.message);

    Set_Panel_Text(0, Cost_Text(kProcedureCosts, ms));
    if (!fitted) {
        Set_Panel_Text(3, QStringLiteral("RMS Sphere: %1 points, at least 3 are needed: nothing fitted.")
                              .arg(RMSSPHERE.count));
    } else if (!RMSSPHERE.note.empty()) {
        Set_Panel_Text(3, QStringLiteral("RMS Sphere: ") + QString::fromStdString(RMSSPHERE.note));
    } else {
        Set_Panel_Text(3, QStringLiteral("Radius %1 about (%2, %3, %4)")
                              .arg(RMSSPHERE.R, 0, 'g', 15)
                              .arg(RMSSPHERE.a, 0, 'g', 15)
                              .arg(RMSSPHERE.b, 0, 'g', 15)
                              .arg(RMSSPHERE.c, 0, 'g', 15));
    }
    FormPaint();
    if (!problems.isEmpty()) Show_Message(problems.join(QLatin1Char('\n')));
}

}  // namespace orvex
