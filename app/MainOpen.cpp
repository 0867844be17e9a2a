// Opening files: the open dialog, OpenFile_Routine with its STL and CT branches and the multi-file
// STL import.
// A file that cannot be read never costs the user what is already open: an STL or CT file is read
// before anything is released, and only a successful read clears and installs; the reader's
// complaint is shown in panel 3 and a message box.

// clang-format off
// The core headers come before Qt's, whose keyword macro `slots` would rewrite their members.
#include "mesh/StlReader.h"
// clang-format on

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenuBar>
#include <QStatusBar>
#include <memory>

#include "app/LocalPath.h"
#include "app/Main.h"
#include "app/NameFilters.h"
#include "app/StatusText.h"
#include "geometry/Clock.h"
#include "mesh/MeshWriters.h"
#include "mesh/ObjReader.h"
#include "mesh/PlyReader.h"
#include "mesh/UniOb.h"
#include "ui/FileKind.h"

namespace orvex {

namespace {

struct OpenFilter {
    const char* description;
    const char* pattern;
    int kind;
};

// The open dialog's entries in order; the filter index counts from 1. PLY and OBJ come after the
// eleven, which keep their indexes, with kinds of their own.
constexpr OpenFilter kOpenFilters[] = {
    {"3D Studio", "*.3ds", 1},    {"Pelta TGL format", "*.tgl", 2},
    {"STL Format", "*.stl", 3},   {"3D CT volume", "*.ct", 4},
    {"Line Segment", "*.lop", 5}, {"Random Point Set", "*.ran", 6},
    {"Texture", "*.jpg", 7},      {"BModel", "*.txt", 8},
    {"Sick File", "*.txt", 9},    {"Point Clouds (XYZ)", "*.xyz", 10},
    {"SFM data", "*.sfm", 12},    {"PLY Files", "*.ply", 13},
    {"OBJ Files", "*.obj", 14},
};
constexpr int kOpenFilterCount = static_cast<int>(std::size(kOpenFilters));

// Every STL open leaves the mesh as C arrays in this file of the working folder.
constexpr const char* kCArrayDumpFile = "test.txt";
constexpr int kDumpMessageMs = 15000;

int Kind_Of_Filter(int filterIndex) {
    return filterIndex >= 1 && filterIndex <= kOpenFilterCount ? kOpenFilters[filterIndex - 1].kind : 3;
}

// Kinds 13 and 14 read PLY and OBJ, every other mesh kind STL.
Status Read_Mesh_Kind(UniOb& mesh, const QString& file, int kind) {
    if (kind == 13) return Read_PLY_File(mesh, Local_Path(file));
    if (kind == 14) return Read_OBJ_File(mesh, Local_Path(file));
    return Read_STL(mesh, Local_Path(file));
}

QString Kind_Name(int kind) {
    if (kind == 11) return QStringLiteral("Point Clouds with Color");
    for (const OpenFilter& filter : kOpenFilters) {
        if (filter.kind == kind) return QLatin1String(filter.description);
    }
    return QStringLiteral("kind %1").arg(kind);
}

}  // namespace

std::optional<OpenChoice> TMyGL::runOpenDialog(int filterIndex, bool multiSelect) {
    QFileDialog dialog(this, QStringLiteral("Open"));
    const QStringList filters = Name_Filters(kOpenFilters);
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(Name_Filter_Text(filters, filterIndex, 3));
    dialog.setFileMode(multiSelect ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    OpenChoice choice;
    choice.Files = dialog.selectedFiles();
    choice.Filter_Index = Name_Filter_Entry(filters, dialog.selectedNameFilter());
    if (choice.Filter_Index < 1) {
        Show_Message(QStringLiteral("\"%1\" is not a file type this program reads; nothing was opened")
                         .arg(dialog.selectedNameFilter()));
        return std::nullopt;
    }
    return choice;
}

void TMyGL::openWithMode(int mode) {
    const std::optional<OpenChoice> choice = Open_Dialog(Open_Filter_Index, false);
    if (!choice || choice->Files.isEmpty()) return;  // cancelled: no change, no frame
    Open_Filter_Index = choice->Filter_Index;
    Open_File_Name = choice->Files.front();
    OpenFile_Routine(Kind_Of_Filter(Open_Filter_Index), mode);
    FormPaint();
}

void TMyGL::Open_MenuClick() {
    openWithMode(0);
}
void TMyGL::OpenFile2Click() {
    openWithMode(0);
}
void TMyGL::MainObject1Click() {
    openWithMode(1);
}
void TMyGL::AuxObject1Click() {
    openWithMode(2);
}

void TMyGL::OpenFile_Routine(int kind, int mode) {
    // Line segments are imported beside what is open: emptying the volume, the point set and the
    // split parts here would lose what a transfer left, for nothing.
    if (kind == 5) {
        importLineSegments({Open_File_Name});
        return;
    }
    // The readers of the other kinds arrive with their subsystems; until then nothing is touched.
    const bool pointFile = kind == 6 || kind == 10 || kind == 11;
    const bool overlayFile = kind == 7 || kind == 9 || kind == 12;
    const bool faceFile = kind == 1 || kind == 2 || kind == 8;
    const bool meshFile = kind == 3 || kind == 13 || kind == 14;
    if (!meshFile && kind != 4 && !overlayFile && !pointFile && !faceFile) {
        Set_Panel_Text(3, QStringLiteral("Opening \"%1\" files is not available yet").arg(Kind_Name(kind)));
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const int t0 = Millisecond_Clock();
    QString problem;
    if (pointFile) {
        // The point readers fill the set themselves, so it is emptied first.
        clearForNewFile();
        openPointFile(kind, problem);
    } else if (kind == 4) {
        openCt(problem);
    } else if (overlayFile) {
        openOverlay(kind, problem);
    } else if (kind == 1 || kind == 2) {
        openFaceMesh(kind, problem);
    } else if (kind == 8) {
        openTemplate(problem);
    } else {
        openStl(mode, problem, kind);
    }
    QApplication::restoreOverrideCursor();
    Set_Panel_Text(0, Cost_Text(kProcedureCosts, Millisecond_Clock() - t0));
    if (problem.isEmpty()) return;
    // A file given to the wrong reader fails for that reason: say so.
    const int byExtension = File_Kind_From_Extension(Open_File_Name.toLower());
    if (byExtension != 0 && byExtension != kind) {
        problem += QStringLiteral("\nThe name ends in \".%1\", a \"%2\" file, but it was opened as \"%3\".")
                       .arg(QFileInfo(Open_File_Name).suffix(), Kind_Name(byExtension), Kind_Name(kind));
    }
    Show_Message(problem);
}

// What every open empties before it installs what it read: the scene bounds, the volume, the point
// set and the contents of Split_Part1 and Split_Part2.
void TMyGL::clearForNewFile() {
    View.ResetSceneBounds();
    Volume.Free();
    Point_Set.Clear();
    ClearFacets(Split_Part1);
    ClearFacets(Split_Part2);
}

// Mode 0 replaces the main meshes, 1 adds at the head of Main_Objects, 2 adds a grey half-transparent
// mesh at the head of Aux_Objects (the main meshes are released in every mode). The file is read
// first: one that gives no facets leaves everything open as it was.
void TMyGL::openStl(int mode, QString& problem, int kind) {
    auto mesh = std::make_unique<UniOb>();
    const Status status = Read_Mesh_Kind(*mesh, Open_File_Name, kind);
    if (!status) problem = QString::fromStdString(status.message);
    if (mesh->IsEmpty()) {
        if (problem.isEmpty()) problem = Open_File_Name + QStringLiteral(": no facets found");
        Set_Panel_Text(3, problem);
        return;
    }
    clearForNewFile();
    releaseMeshList(Main_Objects);
    writeCArrayDump(*mesh);
    View.WidenSceneBounds(mesh->Box_Min, mesh->Box_Max);
    Set_Panel_Text(3, Mesh_Statistics_Text(*mesh));
    UniOb* loaded = mesh.release();
    if (mode == 1) {
        Main_Objects = Push_Front(Main_Objects, loaded);
    } else if (mode == 2) {
        for (float& channel : loaded->Color_RGBA) channel = 0.75f;
        Aux_Objects = Push_Front(Aux_Objects, loaded);
    } else {
        Main_Objects = loaded;
    }
    for (const UniOb* each = Main_Objects; each; each = each->next)
        View.WidenSceneBounds(each->Box_Min, each->Box_Max);
}

// The dump is a by-product nobody asked for: a folder that refuses it is said once, in the status
// bar, and not at every open (again only after a dump has succeeded in between).
void TMyGL::writeCArrayDump(const UniOb& mesh) {
    const Status dump = Write_C_Arrays(mesh, kCArrayDumpFile);
    if (dump) {
        dumpFailureSaid_ = false;
        return;
    }
    if (dumpFailureSaid_) return;
    dumpFailureSaid_ = true;
    statusBar()->showMessage(
        QStringLiteral("The C-array dump was not written: %1").arg(QString::fromStdString(dump.message)),
        kDumpMessageMs);
}

// Kind 4: the bounds become the volume's extent and the voxel list is rebuilt. A file that is no
// volume, or too short for its header's sizes, leaves the volume, its voxels, the point set and the
// bounds as they were, and says why.
void TMyGL::openCt(QString& problem) {
    const Status status = Volume.ReadCT(Local_Path(Open_File_Name));
    if (!status) {
        problem = QString::fromStdString(status.message);
        Set_Panel_Text(3, problem);
        return;
    }
    View.ResetSceneBounds();
    Point_Set.Clear();
    Volume.Extent(View.Scene_Min, View.Scene_Max);
    Volume.BuildVoxels();
}

void TMyGL::InportSTL1Click() {
    Open_Filter_Index = 3;
    const std::optional<OpenChoice> choice = Open_Dialog(Open_Filter_Index, true);
    if (choice && !choice->Files.isEmpty()) {
        Open_Filter_Index = choice->Filter_Index;
        Open_File_Name = choice->Files.front();
        const int t0 = Millisecond_Clock();
        int elapsed = 0;
        QStringList problems;
        int k = 0;
        for (const QString& file : choice->Files) {
            ++k;
            auto mesh = std::make_unique<UniOb>();
            const Status status = Read_Mesh_Kind(*mesh, file, Kind_Of_Filter(choice->Filter_Index));
            if (!status) problems << QString::fromStdString(status.message);
            if (!mesh->IsEmpty()) {
                View.WidenSceneBounds(mesh->Box_Min, mesh->Box_Max);
                Main_Objects = Push_Front(Main_Objects, mesh.release());
            } else if (status) {
                problems << file + QStringLiteral(": no facets found");
            }
            FormPaint();
            elapsed = Millisecond_Clock() - t0;
            Write_Canvas_Text(width() / 2 - 100, height() / 2 - 48, Import_Progress_Text(k, elapsed));
        }
        Set_Panel_Text(0, Cost_Text(kProcedureCosts, elapsed));
        if (!problems.isEmpty()) Show_Message(problems.join(QLatin1Char('\n')));
    }
    FormPaint();
}

}  // namespace orvex
