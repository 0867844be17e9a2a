// The mesh processing commands of the main window: area smoothing (tool button 8), reversal (9),
// model statistics (10), triangle reduction (11), attraction to a second mesh (32), the random
// perturbation of Modify > "Temp Test" and the smoothing batch Run > "Serial Smooth STL". The
// routines are core; this file walks Main_Objects, reads the Mesh Formation fields, keeps the
// window alive through a CommandProgress on large meshes and reports in the status bar and "Detail".

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <optional>
#include <vector>

#include "analysis/AreaSmooth.h"
#include "analysis/AttractToMesh.h"
#include "analysis/Curvature.h"
#include "analysis/FairSmooth.h"
#include "analysis/Perturb.h"
#include "analysis/ReduceTriangles.h"
#include "analysis/ReverseOrientation.h"
#include "analysis/SerialSmooth.h"
#include "app/CommandProgress.h"
#include "app/FileListWalk.h"
#include "app/Main.h"
#include "app/StatusText.h"
#include "app/WaitCursor.h"
#include "geometry/Clock.h"
#include "mesh/Topology.h"
#include "mesh/UniOb.h"
#include "ui/GeneralFormat.h"
#include "ui/MeshFormation.h"
#include "ui/StrictConversion.h"

namespace orvex {

namespace {

// One item's share of a command's progress: what a routine reports for its own work becomes a
// stretch of the whole.
class Share : public Progress {
public:
    Share(Progress& whole, int index, int count)
        : whole_(whole), index_(index), count_(count > 0 ? count : 1) {}
    void Report(double fraction, const std::string& text) override {
        whole_.Report((index_ + fraction) / count_, text);
    }
    bool IsCancelRequested() const override { return whole_.IsCancelRequested(); }

private:
    Progress& whole_;
    int index_, count_;
};

int Mesh_Count(const UniOb* head) {
    int count = 0;
    for (; head; head = head->next) ++count;
    return count;
}

}  // namespace

void TMyGL::ToolButton8Click() {
    if (CommandProgress::Active()) return;
    const int t0 = Millisecond_Clock();
    const int press = ++Smooth_Presses;
    {
        WaitCursor wait;
        CommandProgress progress(*this, QStringLiteral("Area smoothing"), false);
        const int count = Mesh_Count(Main_Objects);
        int index = 0;
        for (UniOb* mesh = Main_Objects; mesh; mesh = mesh->next, ++index) {
            Share share(progress, index, count);
            AreaSmooth(*mesh, 0.5f);
            Compute_Face_Normals(*mesh);
            Compute_Vertex_Normals(*mesh, true);
            ComputeCurvature(*mesh, &share);
            // The stored volume: this command does not recompute it.
            if (report_)
                report_->Add_Line(QString::number(press) + QLatin1Char('\t') + Float_To_Str(mesh->Volume));
        }
    }
    FormPaint();
    Set_Panel_Text(0, Cost_Text(kProcedureCosts, Millisecond_Clock() - t0));
}

void TMyGL::ToolButton9Click() {
    if (CommandProgress::Active()) return;
    const int t0 = Millisecond_Clock();
    {
        WaitCursor wait;
        CommandProgress progress(*this, QStringLiteral("Reversing"), false);
        const int count = Mesh_Count(Main_Objects);
        int index = 0;
        for (UniOb* mesh = Main_Objects; mesh; mesh = mesh->next, ++index) {
            Share share(progress, index, count);
            ReverseOrientation(*mesh);
            Compute_Face_Normals(*mesh);
            Compute_Vertex_Normals(*mesh, false);
            ComputeCurvature(*mesh, &share);
        }
    }
    Set_Panel_Text(0, Cost_Text(kProcedureCosts, Millisecond_Clock() - t0));
    FormPaint();
}

void TMyGL::ToolButton10Click() {
    const int t0 = Millisecond_Clock();
    unsigned long long faces = 0, vertices = 0;
    double volume = 0.0;
    for (const UniOb* mesh = Main_Objects; mesh; mesh = mesh->next) {
        faces += mesh->Face_Count;
        vertices += mesh->Vertex_Count;
        volume += mesh->Volume;
    }
    Set_Panel_Text(3, Model_Statistics_Text(faces, vertices, volume));
    Set_Panel_Text(0, Cost_Text(kProcedureCosts, Millisecond_Clock() - t0));
}

void TMyGL::ToolButton11Click() {
    if (CommandProgress::Active() || !meshFormation_) return;
    const QLineEdit* field = meshFormation_->Reduce_Threshold;
    const std::optional<float> threshold = Strict_To_Float(field->text());
    if (!threshold) {
        Show_Message(ConversionError{QStringLiteral("Reduce_Threshold"), field->text(), false}.Message());
        return;
    }
    const int t0 = Millisecond_Clock();
    int unreduced = 0;
    {
        WaitCursor wait;
        CommandProgress progress(*this, QStringLiteral("Triangles reduction"), false);
        const int count = Mesh_Count(Main_Objects);
        int index = 0;
        for (UniOb* mesh = Main_Objects; mesh; mesh = mesh->next, ++index) {
            Share share(progress, index, count);
            if (ReduceTriangles(*mesh, *threshold, &share).outOfMemory) ++unreduced;
        }
    }
    Set_Panel_Text(0, Cost_Text(kProcedureCosts, Millisecond_Clock() - t0));
    FormPaint();
    if (unreduced > 0)
        Show_Message(
            QStringLiteral("Not enough memory to reduce %1 mesh(es); they are unchanged").arg(unreduced));
}

void TMyGL::ToolButton32Click() {
    if (CommandProgress::Active()) return;
    if (Main_Objects && Main_Objects->next) {
        WaitCursor wait;
        AttractToMesh(*Main_Objects, *Main_Objects->next);
    }
    FormPaint();
}

void TMyGL::TempTest1Click() {
    if (CommandProgress::Active()) return;
    if (Main_Objects) Perturb(*Main_Objects, 0.3f);
    FormPaint();
}

void TMyGL::SerialSmoothSTL1Click() {
    if (CommandProgress::Active() || !meshFormation_) return;
    // All three fields are read before the first file, so a bad one touches nothing.
    const TMesh_Formation& formation = *meshFormation_;
    SerialSmoothParams params;
    const std::optional<int> passes = readIntField(formation.Interation_Times, "Interation_Times");
    if (!passes) return;
    const std::optional<float> factor = Strict_To_Float(formation.Smooth_Factor->text());
    if (!factor) {
        Show_Message(ConversionError{QStringLiteral("Smooth_Factor"), formation.Smooth_Factor->text(), false}
                         .Message());
        return;
    }
    params.passes = *passes;
    params.factor = *factor;
    params.method =
        formation.Method->currentIndex() < 0 ? int(Smooth_Constant) : formation.Method->currentIndex();

    const int t0 = Millisecond_Clock();
    std::vector<SerialSmoothFile> files;
    {
        WaitCursor wait;
        CommandProgress progress(*this, QStringLiteral("Serial Smooth STL"), true);
        FileListWalkOptions options;
        options.hideInspector = true;
        Walk_File_List(*this, options, [&](const QString& path, int index, int count) {
            Share share(progress, index, count);
            files.push_back(Serial_Smooth_File(path.toStdString(), params, &share));
            if (report_) report_->Add_Line(QString::fromStdString(Serial_Smooth_Line(files.back())));
            share.Report(1.0, "");
            return !progress.IsCancelRequested();
        });
    }
    const std::string summary = Serial_Smooth_Summary(files);
    if (report_) report_->Add_Line(QStringLiteral("Serial Smooth STL: ") + QString::fromStdString(summary));
    Set_Panel_Text(0, Cost_Text(kProcedureCosts, Millisecond_Clock() - t0));
    FormPaint();
    bool troubled = false;
    for (const SerialSmoothFile& file : files) troubled |= !file.Changed();
    if (troubled) {
        Show_Message(QStringLiteral("Serial Smooth STL: ") + QString::fromStdString(summary) +
                     QStringLiteral(". Those files are as they were; \"Detail\" says why."));
    }
}

}  // namespace orvex
