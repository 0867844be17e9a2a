// Face scans in the main window: opening TGL and 3D Studio meshes and a "BModel" template, the
// feature, match and train buttons (28, 29, 30) on the first main mesh, and the two batches of the
// Run menu, "Training" and "Verification", over the Inspector's file list.
// As with STL files, a mesh file that cannot be read leaves the open meshes as they were.

// clang-format off
// The core headers come before Qt's, whose keyword macro `slots` would rewrite their members.
#include "analysis/FaceBatch.h"
#include "analysis/MatchTemplate.h"
#include "analysis/NormalizeFacePose.h"
#include "analysis/ReadTemplate.h"
#include "analysis/TrainTemplate.h"
#include "analysis/WriteFeatures.h"
#include "analysis/WriteTemplate.h"
#include "mesh/Reader3ds.h"
#include "mesh/TglReader.h"
// clang-format on

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <memory>

#include "app/CommandProgress.h"
#include "app/LocalPath.h"
#include "app/Main.h"
#include "app/StatusText.h"
#include "geometry/Clock.h"
#include "mesh/UniOb.h"
#include "ui/FileBrowser.h"
#include "ui/GeneralFormat.h"
#include "ui/Inspector.h"
#include "ui/MeshFormation.h"
#include "ui/StrictConversion.h"

namespace orvex {

namespace {

// The face texts go to the save dialog's text entry ("Temp", "*.txt").
constexpr int kFaceSaveEntry = 3;

QString From_Status(const Status& status) {
    return status ? QString() : QString::fromStdString(status.message);
}

}  // namespace

// Kinds 1 and 2: the file is read into a new mesh first; only a mesh with faces replaces the main
// meshes. What the reader left out (faces, the picture's colours, the side file) is said after the
// mesh is in.
void TMyGL::openFaceMesh(int kind, QString& problem) {
    auto mesh = std::make_unique<UniOb>();
    const std::string path = Local_Path(Open_File_Name);
    const Status status = kind == 1 ? Read_3DS(*mesh, path) : Read_TGL(*mesh, path);
    if (!status || mesh->IsEmpty()) {
        problem = status.message.empty() ? Open_File_Name + QStringLiteral(": no faces found")
                                         : QString::fromStdString(status.message);
        Set_Panel_Text(3, problem);
        return;
    }
    clearForNewFile();
    releaseMeshList(Main_Objects);
    View.WidenSceneBounds(mesh->Box_Min, mesh->Box_Max);
    if (kind == 2) Set_Panel_Text(3, Mesh_Statistics_Text(*mesh));
    Main_Objects = mesh.release();
    if (!status.message.empty()) problem = QString::fromStdString(status.message);
}

// Kind 8: the template joins the first main mesh; nothing else is touched, so the mesh stays in
// view. A file the template reader refuses keeps the old template.
void TMyGL::openTemplate(QString& problem) {
    if (!Main_Objects) return;
    const Status status = ReadTemplate(*Main_Objects, Local_Path(Open_File_Name));
    if (!status) {
        problem = QString::fromStdString(status.message);
        Set_Panel_Text(3, problem);
        return;
    }
    Set_Panel_Text(3, QStringLiteral("DONE!"));
    if (!status.message.empty()) problem = QString::fromStdString(status.message);
}

// The four eye fields, all converted before anything runs: a bad one stops the command untouched.
bool TMyGL::readEyeFields(float eyes[4]) {
    if (!meshFormation_) return false;
    const std::pair<const char*, QLineEdit*> fields[4] = {{"LeyeX", meshFormation_->LeyeX},
                                                          {"LeyeY", meshFormation_->LeyeY},
                                                          {"ReyeX", meshFormation_->ReyeX},
                                                          {"ReyeY", meshFormation_->ReyeY}};
    for (int i = 0; i < 4; ++i) {
        const QString text = fields[i].second->text();
        const std::optional<float> value = Strict_To_Float(text);
        if (!value) {
            Show_Message(ConversionError{QLatin1String(fields[i].first), text, false}.Message());
            return false;
        }
        eyes[i] = *value;
    }
    return true;
}

void TMyGL::saveFaceFile(const std::function<QString(const QString& path)>& write) {
    const std::optional<SaveChoice> choice = Save_Dialog(kFaceSaveEntry);
    if (!choice || choice->File_Name.isEmpty()) return;
    const QString& name = choice->File_Name;
    if (QFile::exists(name) && !Ask_Yes_No(QStringLiteral("File exists, Overwrite?"))) return;
    const QString problem = write(name);
    if (!problem.isEmpty()) Show_Message(problem);
}

// The eyes, the pose and the features of the first main mesh, then the features saved where the
// user says. A face whose pose cannot be found is left as it was and nothing is offered to save.
void TMyGL::ToolButton28Click() {
    if (CommandProgress::Active()) return;
    float eyes[4];
    if (!readEyeFields(eyes)) return;
    const int t0 = Millisecond_Clock();
    Status status;
    if (Main_Objects) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        status = Normalize_Face(*Main_Objects, FaceEyes{eyes[0], eyes[1], eyes[2], eyes[3]});
        QApplication::restoreOverrideCursor();
    }
    const int elapsed = Millisecond_Clock() - t0;
    if (!status) {
        Set_Panel_Text(0, Cost_Text(kProcedureCosts, elapsed));
        Show_Message(QString::fromStdString(status.message));
        FormPaint();
        return;
    }
    if (Main_Objects) {
        const UniOb& mesh = *Main_Objects;
        saveFaceFile(
            [&mesh](const QString& path) { return From_Status(WriteFeatures(mesh, Local_Path(path))); });
    }
    Set_Panel_Text(0, Cost_Text(kProcedureCosts, elapsed));
    FormPaint();
}

// The caption shows the mean depth difference to the template; -1 when nothing was measured.
void TMyGL::ToolButton29Click() {
    if (CommandProgress::Active()) return;
    const int t0 = Millisecond_Clock();
    if (Main_Objects) {
        const float e = MatchTemplate(*Main_Objects);
        setWindowTitle(Float_To_Str(e));
        if (e < 0.0f && Main_Objects->Template_Count == 0) {
            Set_Panel_Text(3, QStringLiteral("No template to match: open one as \"BModel\" first"));
        }
    }
    Set_Panel_Text(0, Cost_Text(kProcedureCosts, Millisecond_Clock() - t0));
    FormPaint();
}

void TMyGL::ToolButton30Click() {
    if (CommandProgress::Active()) return;
    const int t0 = Millisecond_Clock();
    if (Main_Objects) setWindowTitle(Float_To_Str(TrainTemplate(*Main_Objects)));
    Set_Panel_Text(0, Cost_Text(kProcedureCosts, Millisecond_Clock() - t0));
    if (Main_Objects && Main_Objects->Template_Count > 0) {
        const UniOb& mesh = *Main_Objects;
        saveFaceFile(
            [&mesh](const QString& path) { return From_Status(WriteTemplate(mesh, Local_Path(path))); });
    } else if (Main_Objects) {
        Show_Message(
            QStringLiteral("There are no template records to save: open a template as \"BModel\" first"));
    }
    FormPaint();
}

void TMyGL::VerificationClick() {
    runFaceBatch(false);
}

void TMyGL::Training1Click() {
    runFaceBatch(true);
}

// Both batches walk the Inspector's file list from its first entry, moving the selection along
// (which opens nothing) and writing their lines to "Detail" as they go; training shows how far it
// is in the caption. The template file is "reg.txt" in the working folder.
void TMyGL::runFaceBatch(bool training) {
    if (CommandProgress::Active() || !inspector_ || !inspector_->FileListBox) return;
    float eyes[4];
    if (!readEyeFields(eyes)) return;
    FileList& list = *inspector_->FileListBox;
    std::vector<std::string> paths;
    for (int row = 0; row < list.count(); ++row) paths.push_back(Local_Path(list.FilePath(row)));

    FaceBatchParams params;
    params.mode = training ? FaceBatchMode::Training : FaceBatchMode::Verification;
    params.eyes = FaceEyes{eyes[0], eyes[1], eyes[2], eyes[3]};
    const int t0 = Millisecond_Clock();
    FaceBatchResult result;
    std::size_t shown = 0;  // report lines already in "Detail"
    {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        CommandProgress progress(
            *this, training ? QStringLiteral("Training") : QStringLiteral("Verification"), true);
        if (!paths.empty()) list.setCurrentRow(0);
        FaceBatchHooks hooks;
        hooks.progress = &progress;
        hooks.fileDone = [&](std::size_t index, std::size_t count, const FaceBatchFile& file) {
            const int next = int((index + 1) % count);
            if (next < list.count()) list.setCurrentRow(next);
            if (training) setWindowTitle(QString::fromStdString(Face_Batch_Caption(index, count)));
            if (!file.line.empty()) {
                if (report_) report_->Add_Line(QString::fromStdString(file.line));
                ++shown;
            }
        };
        result = Run_Face_Batch(paths, params, hooks);
        QApplication::restoreOverrideCursor();
    }
    // What the batch adds after its files: the rule and the counters.
    if (report_) {
        for (std::size_t i = shown; i < result.lines.size(); ++i)
            report_->Add_Line(QString::fromStdString(result.lines[i]));
    }
    Set_Panel_Text(0, Cost_Text(kProcedureCosts, Millisecond_Clock() - t0));
    FormPaint();
    if (!result.status) Show_Message(QString::fromStdString(result.status.message));
}

}  // namespace orvex
