// Saving: the save dialog with its thirteen filter entries and Save_MenuClick, which asks before
// overwriting, times the writer and shows its progress texts. The dispatch is one switch by entry
// number; an entry joins by setting `available` in kSaveFilters, naming in Save_Targets the files
// it writes, and adding its case. Entries not built yet say so and write nothing. PLY and OBJ follow
// the thirteen as entries 14 and 15.

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <algorithm>

#include "app/CommandProgress.h"
#include "app/LocalPath.h"
#include "app/Main.h"
#include "app/NameFilters.h"
#include "app/StatusText.h"
#include "geometry/Clock.h"
#include "mesh/MeshWriters.h"
#include "mesh/PlyWriter.h"

namespace orvex {

namespace {

struct SaveFilter {
    const char* description;
    const char* pattern;
    bool available;
};

// The save dialog's entries in order; the filter index counts from 1.
constexpr SaveFilter kSaveFilters[] = {
    {"Bitmap file", "*.bmp", true},
    {"JPEG file", "*.jpg", true},
    {"Temp", "*.txt", true},
    {"STL Format (simple cube)", "*.stl", true},
    {"STL Format (marching cube)", "*.stl", true},
    {"STL flle", "*.stl", true},
    {"Convex of Point Set ", "*.stl", true},
    {"Rand Point Set", "*.ran", true},
    {"Split STL", "*.stl", true},
    {"Depart STL to U/L", "*.stl", true},
    {"Depart STL visible O", "*.stl", true},
    {"Point Clouds", "*.xyz", true},
    {"Point Clouds with Color", "*.xyc", true},
    {"PLY file", "*.ply", true},
    {"OBJ file", "*.obj", true},
};
constexpr int kSaveFilterCount = static_cast<int>(std::size(kSaveFilters));

// The files an entry writes, derived from the name the dialog returned.
QStringList Save_Targets(int entry, const QString& name) {
    switch (entry) {
        case 4:
        case 5:
        case 7:
            return {name + QStringLiteral(".stl")};
        case 8:
            return {name + QStringLiteral(".ran")};
        case 12:
            return {name + QStringLiteral(".xyz")};
        case 13:
            return {name + QStringLiteral(".xyc")};
        case 10:
            return {name + QStringLiteral(".upper.stl"), name + QStringLiteral(".lower.stl")};
        case 11:
            return {name + QStringLiteral(".visble.stl"), name + QStringLiteral(".invisble.stl")};
        case 9:
            return {name + QStringLiteral("part1"), name + QStringLiteral("part2"),
                    name + QStringLiteral("spline.lop"), name + QStringLiteral("original.lop")};
        default:
            return {name};
    }
}

}  // namespace

void TMyGL::installSaveSeams() {
    Save_Dialog = [this](int filterIndex) { return runSaveDialog(filterIndex); };
    Ask_Yes_No = [this](const QString& question) {
        return QMessageBox::warning(this, windowTitle(), question, QMessageBox::Yes | QMessageBox::No) ==
               QMessageBox::Yes;
    };
}

std::optional<SaveChoice> TMyGL::runSaveDialog(int filterIndex) {
    QFileDialog dialog(this, QStringLiteral("Save"));
    const QStringList filters = Name_Filters(kSaveFilters);
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(Name_Filter_Text(filters, filterIndex, 2));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // The program asks its own question, about every file the entry writes.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    SaveChoice choice;
    choice.File_Name = dialog.selectedFiles().front();
    // An entry that cannot be told must not run another entry's writer under the user's name.
    choice.Filter_Index = Name_Filter_Entry(filters, dialog.selectedNameFilter());
    if (choice.Filter_Index < 1) {
        Show_Message(QStringLiteral("\"%1\" is not a file type this program writes; nothing was saved")
                         .arg(dialog.selectedNameFilter()));
        return std::nullopt;
    }
    return choice;
}

void TMyGL::Save1Click() {
    Save_MenuClick();
}

void TMyGL::Save_MenuClick() {
    const std::optional<SaveChoice> choice = Save_Dialog(Save_Filter_Index);
    if (!choice || choice->File_Name.isEmpty()) return;
    Save_Filter_Index = std::clamp(choice->Filter_Index, 1, kSaveFilterCount);
    const int entry = Save_Filter_Index;
    const QString& name = choice->File_Name;
    if (!kSaveFilters[entry - 1].available) {
        Set_Panel_Text(3, QStringLiteral("Saving \"%1\" is not available yet")
                              .arg(QLatin1String(kSaveFilters[entry - 1].description).trimmed()));
        return;
    }
    // Asked for the name as returned and for the files really written from it, so that an
    // earlier export under the derived name is not replaced unasked.
    bool exists = QFile::exists(name);
    for (const QString& target : Save_Targets(entry, name)) exists = exists || QFile::exists(target);
    if (exists && !Ask_Yes_No(QStringLiteral("File exists, Overwrite?"))) return;

    const int t0 = Millisecond_Clock();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QString problem;
    switch (entry) {
        case 1:
        case 2:
            saveScreenshot(entry, name, problem);
            break;
        case 9:
            saveSplit(name, problem);
            break;
        case 4:
        case 5:
            saveCtSurface(entry, name, problem);
            break;
        case 3:
        case 6:
        case 10:
        case 11:
        case 14:
        case 15:
            saveMeshes(entry, name, problem);
            break;
        case 7:
        case 8:
        case 12:
        case 13:
            savePointSet(entry, name, problem);
            break;
        default:
            break;
    }
    QApplication::restoreOverrideCursor();
    Set_Panel_Text(0, Cost_Text(kProcedureCosts, Millisecond_Clock() - t0));
    if (!problem.isEmpty()) Show_Message(problem);
}

// Entries 4 and 5: the volume's surface at its threshold, to name + ".stl".
void TMyGL::saveCtSurface(int entry, const QString& name, QString& problem) {
    const bool marching = entry == 5;
    const QString method = marching ? QStringLiteral(" Saving STL by marching cube method .")
                                    : QStringLiteral(" Saving STL by simple cube method .");
    const int x = width() / 2 - 150, y = height() / 2 - 48;
    Write_Canvas_Text(x, y, method + QStringLiteral(".."));
    const std::string path = Local_Path(name + QStringLiteral(".stl"));
    CommandProgress progress(*this, QStringLiteral("Saving STL"), false);  // the window stays alive
    const Status status =
        marching ? Volume.WriteMarchingCubeSTL(path, &progress) : Volume.WriteSimpleCubeSTL(path, &progress);
    if (!status) {
        problem = QString::fromStdString(status.message);
        Set_Panel_Text(3, problem);
        return;
    }
    Write_Canvas_Text(x, y, method + QStringLiteral("DONE"));
}

// Entries 3, 6, 10 and 11: the mesh writers. Entry 6 writes every main mesh, the others the head
// one; with no mesh open nothing is written.
void TMyGL::saveMeshes(int entry, const QString& name, QString& problem) {
    if (!Main_Objects) {
        Set_Panel_Text(3, QStringLiteral("No mesh to save"));
        return;
    }
    const QString target = QStringLiteral(" Saving to STL file");
    const int x = width() / 2 - 150, y = height() / 2 - 48;
    const std::string path = Local_Path(name);
    Status status;
    switch (entry) {
        case 3:
            status = Write_Histograms(*Main_Objects, path);
            break;
        case 6:
            Write_Canvas_Text(x, y, target + QStringLiteral("..."));
            status = Write_STL(Main_Objects, path);
            break;
        case 10: {
            // The viewing axis: the third column of the model matrix.
            const Matrix4& m = View.Model_Matrix;
            status = Write_STL_Upper_Lower(*Main_Objects, path, Vec3{m[2], m[6], m[10]});
            break;
        }
        case 14:
            status = Write_PLY(Main_Objects, path);
            break;
        case 15:
            status = Write_OBJ(Main_Objects, path);
            break;
        default:
            status = Write_STL_Visible(*Main_Objects, path, Vec3{0.0f, 0.0f, 0.0f});
            break;
    }
    if (!status) {
        problem = QString::fromStdString(status.message);
        Set_Panel_Text(3, problem);
        return;
    }
    if (entry == 6) Write_Canvas_Text(x, y, target + QStringLiteral(". DONE"));
}

}  // namespace orvex
