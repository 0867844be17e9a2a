// Boundaries, Transfer and line segments: Detect boundary, Refine boundary, smoothing the range
// (ToolButton15), the stretch chosen by Mesh Formation, Transfer, the "Line Segment" import, and
// the saves that write them: "Split STL" and the two screenshots.
// Transfer consumes its inputs: afterwards the two split parts hold the only copy of the meshes.

#include <QApplication>
#include <QLineEdit>
#include <memory>

#include "app/LocalPath.h"
#include "app/Main.h"
#include "app/StatusText.h"
#include "app/WaitCursor.h"
#include "facet/Transfer.h"
#include "facet/TriFacet.h"
#include "geometry/Bmp.h"
#include "geometry/Clock.h"
#include "geometry/Jpeg.h"
#include "mesh/UniOb.h"
#include "ui/GeneralFormat.h"
#include "ui/MeshFormation.h"

namespace orvex {

namespace {

// The screenshot's JPEG quality: the encoder's default.
constexpr int kScreenshotQuality = 75;

QString Range_Text(const BOUNDARY_LOOP& range) {
    return QStringLiteral("Boundary range: %1 points, length %2")
        .arg(range.Point_Count())
        .arg(Float_To_Str(float(range.Length())));
}

QString Facet_Count_Text(const TriOb& part1, const TriOb& part2) {
    return QStringLiteral("Split parts: %1 and %2 facets").arg(part1.FacetCount()).arg(part2.FacetCount());
}

}  // namespace

// Boundary_Range := the stretch Sp_start .. Sp_end of Boundary_Detected. Negative numbers wrap to
// large indices, which clamp to the end of the rim.
bool TMyGL::copyBoundaryRange() {
    if (!meshFormation_) return false;
    const std::optional<int> start = readIntField(meshFormation_->Sp_start, "Sp_start");
    if (!start) return false;
    const std::optional<int> end = readIntField(meshFormation_->Sp_end, "Sp_end");
    if (!end) return false;
    Boundary_Range.CopyRange(Boundary_Detected, unsigned(*start), unsigned(*end));
    return true;
}

void TMyGL::Detectboundary1Click() {
    const int t0 = Millisecond_Clock();
    QString rims;
    {
        WaitCursor wait;
        if (Main_Objects) {
            const BoundaryReport report = DetectBoundary(*Main_Objects, Boundary_Detected);
            rims = report.rimEdges == 0 ? QStringLiteral("The mesh has no rim")
                                        : QStringLiteral("Rim: %1 points; the mesh has %2 rims, %3 rim edges")
                                              .arg(Boundary_Detected.Point_Count())
                                              .arg(report.rims)
                                              .arg(report.rimEdges);
        }
    }
    // With no mesh the range is still taken from the rim found before.
    const bool copied = copyBoundaryRange();
    Set_Panel_Text(0, Cost_Text(kProcedureCosts, Millisecond_Clock() - t0));
    if (copied) {
        const QString range = Range_Text(Boundary_Range);
        Set_Panel_Text(3, rims.isEmpty() ? range : rims + QStringLiteral(". ") + range);
    }
    FormPaint();
}

void TMyGL::Refineboundary1Click() {
    const int t0 = Millisecond_Clock();
    const Status status = Boundary_Range.Refine();
    Set_Panel_Text(0, Cost_Text(kProcedureCosts, Millisecond_Clock() - t0));
    Set_Panel_Text(3, Range_Text(Boundary_Range));
    if (!status) Show_Message(QString::fromStdString(status.message));
    FormPaint();
}

void TMyGL::ToolButton15Click() {
    if (!meshFormation_) return;
    const std::optional<int> iterations = readIntField(meshFormation_->Repeat_Convex, "Repeat_Convex");
    if (!iterations) return;
    const int t0 = Millisecond_Clock();
    Boundary_Range.Smooth(*iterations);
    Set_Panel_Text(0, Cost_Text(kProcedureCosts, Millisecond_Clock() - t0));
    Set_Panel_Text(3, Range_Text(Boundary_Range));
    FormPaint();
}

void TMyGL::Transfer1Click() {
    const int t0 = Millisecond_Clock();
    {
        WaitCursor wait;
        Transfer(Split_Part1, Split_Part2, Main_Objects, Boundary_Range);
        // The meshes now live on as facets; the curve is used up.
        releaseMeshList(Main_Objects);
        Boundary_Range.Release();
    }
    Set_Panel_Text(0, Cost_Text(kProcedureCosts, Millisecond_Clock() - t0));
    Set_Panel_Text(3, Facet_Count_Text(Split_Part1, Split_Part2));
    FormPaint();
}

void TMyGL::LineSegment1Click() {
    Open_Filter_Index = 5;
    const std::optional<OpenChoice> choice = Open_Dialog(Open_Filter_Index, true);
    if (choice && !choice->Files.isEmpty()) importLineSegments(choice->Files);
    Open_Filter_Index = 5;
    FormPaint();
}

// Each file becomes a loose facet at the head of Facet_List, whatever else is open. A bad line or
// an unpaired last record keeps the records before it and is reported; a file that yields no
// record adds nothing.
void TMyGL::importLineSegments(const QStringList& files) {
    const int t0 = Millisecond_Clock();
    QStringList problems;
    std::size_t records = 0;
    int imported = 0;
    {
        WaitCursor wait;
        for (const QString& file : files) {
            auto facet = std::make_unique<TRI_FACET>();
            LopReadReport report;
            const Status status = ReadLOP(*facet, Local_Path(file), &report);
            if (!status) problems << QString::fromStdString(status.message);
            if (!facet->Segments) continue;
            records += report.records;
            ++imported;
            facet->Next = Facet_List;
            Facet_List = facet.release();
        }
    }
    Set_Panel_Text(0, Cost_Text(kProcedureCosts, Millisecond_Clock() - t0));
    Set_Panel_Text(3, QStringLiteral("Line segments: %1 records from %2 of %3 files")
                          .arg(records)
                          .arg(imported)
                          .arg(files.size()));
    if (!problems.isEmpty()) Show_Message(problems.join(QLatin1Char('\n')));
}

// Entries 1 and 2: the GL area as the user sees it, to the name as given.
void TMyGL::saveScreenshot(int entry, const QString& name, QString& problem) {
    const RgbImage image = Grab_GL_Area();
    if (!image.Consistent()) {
        problem = name + QStringLiteral(": the view has no picture to save");
        return;
    }
    const Status status = entry == 1 ? Write_Bmp_File(Local_Path(name), image)
                                     : Write_Jpeg_File(Local_Path(name), image, kScreenshotQuality);
    if (!status) {
        problem = QString::fromStdString(status.message);
        Set_Panel_Text(3, problem);
        return;
    }
    Set_Panel_Text(3, QStringLiteral("Saved %1 (%2 x %3)").arg(name).arg(image.Width).arg(image.Height));
}

// Entry 9: both parts as STL (no extension), the cut records and the boundary range as LOP. An
// empty source writes nothing; panel 3 names what was written.
void TMyGL::saveSplit(const QString& name, QString& problem) {
    QStringList written, failures;
    auto note = [&](const Status& status, const QString& file) {
        if (status)
            written << file;
        else
            failures << QString::fromStdString(status.message);
    };
    const QString part1 = name + QStringLiteral("part1"), part2 = name + QStringLiteral("part2");
    if (!Split_Part1.IsEmpty()) note(WriteSTL(Split_Part1, Local_Path(part1)), part1);
    if (!Split_Part2.IsEmpty()) note(WriteSTL(Split_Part2, Local_Path(part2)), part2);
    if (Split_Part1.Head.Segments)
        note(WriteLOP(Split_Part1.Head, Local_Path(name + QStringLiteral("spline"))), name + "spline.lop");
    if (!Boundary_Range.IsEmpty())
        note(Boundary_Range.WriteLoopLOP(Local_Path(name + QStringLiteral("original"))),
             name + "original.lop");
    if (!failures.isEmpty()) problem = failures.join(QLatin1Char('\n'));
    Set_Panel_Text(3, written.isEmpty()
                          ? QStringLiteral("Nothing written: no split parts, cut records or range")
                          : QStringLiteral("Written: ") + written.join(QStringLiteral(", ")));
}

}  // namespace orvex
