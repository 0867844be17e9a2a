// The point-set commands of the main window: "New File" (a random cloud from TNew_File_Dialog), the
// transfer of mesh vertices into the point set (tool button 24) and the point-file branches of the
// open and save dispatches. A point number that is no integer, negative or beyond kMaxGeneratedPoints is
// refused with a message after the set was cleared; nothing tries to make billions of points.

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QSlider>
#include <new>

#include "app/LocalPath.h"
#include "app/Main.h"
#include "app/StatusText.h"
#include "geometry/Clock.h"
#include "mesh/UniOb.h"
#include "ui/NewFileDialog.h"
#include "ui/StrictConversion.h"

namespace orvex {

namespace {

constexpr const char* kCreateCosts = "Create costs: ";
constexpr const char* kTransferCosts = "Transfer costs: ";

QString Out_Of_Memory(const QString& what) {
    return QStringLiteral("Not enough memory for %1").arg(what);
}

}  // namespace

void TMyGL::NewFile1Click() {
    if (!newFileDialog_) return;
    TNew_File_Dialog& dialog = *newFileDialog_;
    if (dialog.exec() != QDialog::Accepted) return;
    Point_Set.Clear();
    const int t0 = Millisecond_Clock();
    const QString text = dialog.point_size->text();
    const std::optional<int> number = Strict_To_Int(text);
    if (!number || *number < 0 || unsigned(*number) > kMaxGeneratedPoints) {
        Show_Message(number
                         ? QStringLiteral("Point numbers = %1: the number of points must be between 0 and %2")
                               .arg(text.trimmed())
                               .arg(kMaxGeneratedPoints)
                         : ConversionError{QStringLiteral("point_size"), text, true}.Message());
        FormPaint();  // the old cloud is gone
        return;
    }
    try {
        Point_Set.GenerateRandom(unsigned(dialog.x_range->value()), unsigned(dialog.y_range->value()),
                                 unsigned(dialog.z_range->value()), unsigned(*number),
                                 dialog.ComboBox1->currentIndex(), dialog.Arbitrary_Rotation->isChecked());
    } catch (const std::bad_alloc&) {
        Point_Set.Clear();
        Show_Message(Out_Of_Memory(QStringLiteral("%1 points").arg(*number)));
        FormPaint();
        return;
    }
    View.Scene_Min = Point_Set.boundsMin;
    View.Scene_Max = Point_Set.boundsMax;
    Set_Panel_Text(0, Cost_Text(kCreateCosts, Millisecond_Clock() - t0));
    Set_Panel_Text(3, text + QStringLiteral(" points generated"));
    FormPaint();
}

void TMyGL::ToolButton24Click() {
    if (!Main_Objects) return;
    const int t0 = Millisecond_Clock();
    Point_Set.FromMeshes(Main_Objects);
    const int elapsed = Millisecond_Clock() - t0;
    // The meshes go one by one, each release shown.
    unsigned long long total = 0;
    while (UniOb* mesh = Main_Objects) {
        Main_Objects = mesh->next;
        mesh->next = nullptr;
        total += mesh->Vertex_Count;
        releaseMeshList(mesh);
        FormPaint();
    }
    Set_Panel_Text(0, Cost_Text(kTransferCosts, elapsed));
    Set_Panel_Text(3, QStringLiteral("Total Points: %1").arg(total));
    FormPaint();
}

// Kinds 6 (RAN), 10 (XYZ) and 11 (XYC): the reader keeps what it could read; its complaint goes to the
// message box, and to panel 3 when nothing was read.
void TMyGL::openPointFile(int kind, QString& problem) {
    const std::string path = Local_Path(Open_File_Name);
    Status status;
    try {
        status = kind == 6    ? Point_Set.ReadRAN(path)
                 : kind == 10 ? Point_Set.ReadXYZ(path)
                              : Point_Set.ReadXYC(path);
    } catch (const std::bad_alloc&) {
        Point_Set.Clear();
        status = Status::Error(path + ": " + Out_Of_Memory(QStringLiteral("its points")).toStdString());
    }
    if (!status) problem = QString::fromStdString(status.message);
    const unsigned count = Point_Set.Count(0);
    // An empty set has no box to widen the scene by.
    if (count > 0) View.WidenSceneBounds(Point_Set.boundsMin, Point_Set.boundsMax);
    Set_Panel_Text(
        3, count == 0 && !problem.isEmpty() ? problem : QString::number(count) + QStringLiteral(" points. "));
}

// Save entries 7 (the hull as STL), 8 (RAN), 12 (XYZ) and 13 (XYC); each writer appends its own
// extension to the name as the dialog returned it. Entries 7 and 8 show their progress over the view.
void TMyGL::savePointSet(int entry, const QString& name, QString& problem) {
    const char* const target = entry == 7 ? " Saving to STL file" : " Saving to TEXT file";
    const bool shown = entry == 7 || entry == 8;
    const int x = width() / 2 - 150, y = height() / 2 - 48;
    if (shown) Write_Canvas_Text(x, y, QLatin1String(target) + QStringLiteral("..."));
    const std::string base = Local_Path(name);
    Status status;
    switch (entry) {
        case 7:
            status = Point_Set.WriteHullSTL(base);
            break;
        case 8:
            status = Point_Set.WriteRAN(base);
            break;
        case 12:
            status = Point_Set.WriteXYZ(base);
            break;
        default:
            status = Point_Set.WriteXYC(base);
            break;
    }
    if (!status) {
        problem = QString::fromStdString(status.message);
        Set_Panel_Text(3, problem);
        return;
    }
    if (shown) Write_Canvas_Text(x, y, QLatin1String(target) + QStringLiteral(". DONE"));
}

}  // namespace orvex
