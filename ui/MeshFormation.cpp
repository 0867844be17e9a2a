// TMesh_Formation: three pages of parameters with their design-time defaults, and the two buttons.

#include "ui/MeshFormation.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QVBoxLayout>
#include <cmath>

#include "mesh/StlReader.h"
#include "ui/ColorSwatch.h"
#include "ui/StrictConversion.h"
#include "ui/ToolFont.h"

namespace orvex {

namespace {

void compact(QLayout* layout) {
    layout->setContentsMargins(4, 2, 4, 2);
    layout->setSpacing(2);
}

QLineEdit* edit(const QString& text, const QString& tip = QString()) {
    auto* line = new QLineEdit(text);
    line->setMaximumWidth(70);
    if (!tip.isEmpty()) line->setToolTip(tip);
    return line;
}

QLabel* label(const QString& text) {
    return new QLabel(text);
}

}  // namespace

TMesh_Formation::TMesh_Formation(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Mesh_Formation"));
    setWindowTitle(QStringLiteral("Mesh Formation"));
    setWindowFlag(Qt::WindowStaysOnTopHint);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setFont(Tool_Window_Font());
    setFixedSize(241, 334);

    ColorDialog = new QColorDialog(this);
    ColorDialog->setOption(QColorDialog::DontUseNativeDialog);

    PageControl1 = new QTabWidget(this);
    PageControl1->setGeometry(0, 0, 241, 297);
    PageControl1->addTab(buildSmoothingPage(), QStringLiteral("Option"));
    PageControl1->addTab(buildMotionPage(), QStringLiteral("Motion"));
    PageControl1->addTab(buildHullPage(), QStringLiteral("Option"));
    PageControl1->setCurrentIndex(0);

    BitBtn2 = new QPushButton(QStringLiteral("OK"), this);
    BitBtn1 = new QPushButton(QStringLiteral("Cancel"), this);
    BitBtn2->setGeometry(40, 303, 75, 25);
    BitBtn1->setGeometry(126, 303, 75, 25);
    BitBtn2->setDefault(true);
    connect(BitBtn2, &QPushButton::clicked, this, [this] { done(Accepted); });
    connect(BitBtn1, &QPushButton::clicked, this, [this] { done(Rejected); });
}

std::optional<float> TMesh_Formation::Merge_Tolerance(QString& message) const {
    const QString text = STL_error->text();
    const std::optional<float> value = Strict_To_Float(text);
    // A float that is no finite number reads as any other conversion error, a negative one as no
    // tolerance.
    if (!value || !std::isfinite(*value)) {
        message = ConversionError{QStringLiteral("STL_error"), text, false}.Message();
        return std::nullopt;
    }
    if (!Usable_Tolerance(*value)) {
        message =
            QStringLiteral("STL_error: '%1' is not a valid tolerance, it must not be negative").arg(text);
        return std::nullopt;
    }
    return value;
}

void TMesh_Formation::reject() {
    done(Accepted);
}

void TMesh_Formation::Model_ColorMouseDown() {
    Model_Color->Choose();
}

QWidget* TMesh_Formation::buildSmoothingPage() {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    compact(layout);

    auto* smoothing = new QGroupBox(QStringLiteral("Smoothing Method"));
    auto* grid = new QGridLayout(smoothing);
    compact(grid);
    Normal_Smooth = new QRadioButton(QStringLiteral("Normal Smooth"));
    Weight_Smooth = new QRadioButton(QStringLiteral("Weight Smooth"));
    Weight_Smooth->setChecked(true);
    Interation_Times = edit(QStringLiteral("3"));
    Method = new QComboBox;
    Method->addItems({QStringLiteral("constant"), QStringLiteral("Gaussian"), QStringLiteral("Gauss+Edge")});
    Method->setCurrentIndex(0);
    Smooth_Factor = edit(QStringLiteral("0.5"));
    Model_Color = new ColorSwatch(0xFFFFFF);
    Model_Color->SetDialog(ColorDialog);
    Model_Color->SetPresetFromSwatch(false);
    Model_Color->setToolTip(QStringLiteral("Colour of the meshes and of the point set"));
    Alpha_Bar = new QSlider(Qt::Horizontal);
    Alpha_Bar->setRange(0, 100);
    Alpha_Bar->setSingleStep(1);
    Alpha_Bar->setValue(100);
    Reduce_Threshold = edit(QStringLiteral("1"));
    grid->addWidget(Normal_Smooth, 0, 0);
    grid->addWidget(Weight_Smooth, 0, 1);
    grid->addWidget(label(QStringLiteral("Iteration Times")), 1, 0);
    grid->addWidget(Interation_Times, 1, 1);
    grid->addWidget(Method, 2, 0, 1, 2);
    grid->addWidget(label(QStringLiteral("Smooth Factor")), 3, 0);
    grid->addWidget(Smooth_Factor, 3, 1);
    grid->addWidget(label(QStringLiteral("Model Color")), 4, 0);
    grid->addWidget(Model_Color, 4, 1, Qt::AlignLeft);
    grid->addWidget(label(QStringLiteral("Alpha")), 5, 0);
    grid->addWidget(Alpha_Bar, 5, 1);
    grid->addWidget(label(QStringLiteral("Reduce Threshold")), 6, 0);
    grid->addWidget(Reduce_Threshold, 6, 1);
    layout->addWidget(smoothing);

    auto* simple = new QGroupBox(QStringLiteral("Simple Cube"));
    auto* simpleGrid = new QGridLayout(simple);
    compact(simpleGrid);
    dis_threshold = edit(QStringLiteral("1200"));
    simpleGrid->addWidget(label(QStringLiteral("Display Threshold")), 0, 0);
    simpleGrid->addWidget(dis_threshold, 0, 1);
    layout->addWidget(simple);

    auto* marching = new QGroupBox(QStringLiteral("Marching Cube"));
    auto* marchingGrid = new QGridLayout(marching);
    compact(marchingGrid);
    max_int = edit(QStringLiteral("4096"));
    Edit2 = edit(QStringLiteral("1200"));
    marchingGrid->addWidget(label(QStringLiteral("Maximum of intensity")), 0, 0);
    marchingGrid->addWidget(max_int, 0, 1);
    marchingGrid->addWidget(label(QStringLiteral("Threshold")), 1, 0);
    marchingGrid->addWidget(Edit2, 1, 1);
    layout->addWidget(marching);
    layout->addStretch();
    return page;
}

QWidget* TMesh_Formation::buildMotionPage() {
    auto* page = new QWidget;
    auto* grid = new QGridLayout(page);
    compact(grid);
    Move_Check = new QRadioButton(QStringLiteral("Move"));
    Rotate_Check = new QRadioButton(QStringLiteral("Rotate"));
    Move_Check->setChecked(true);
    dir_x = edit(QStringLiteral("0"));
    dir_y = edit(QStringLiteral("0"));
    dir_z = edit(QStringLiteral("-1"));
    dir_A = edit(QStringLiteral("1"));
    Spectrum_Color_Intensity = edit(QStringLiteral("100"));
    auto* direction = new QHBoxLayout;
    direction->setSpacing(2);
    direction->addWidget(dir_x);
    direction->addWidget(dir_y);
    direction->addWidget(dir_z);
    grid->addWidget(Move_Check, 0, 0);
    grid->addWidget(Rotate_Check, 0, 1);
    grid->addWidget(label(QStringLiteral("Direction:")), 1, 0, 1, 2);
    grid->addLayout(direction, 2, 0, 1, 2);
    grid->addWidget(label(QStringLiteral("Amplitude:")), 3, 0);
    grid->addWidget(dir_A, 3, 1);
    grid->addWidget(label(QStringLiteral("Spectrum Color Intensity:")), 4, 0, 1, 2);
    grid->addWidget(Spectrum_Color_Intensity, 5, 1);
    grid->setRowStretch(6, 1);
    return page;
}

QWidget* TMesh_Formation::buildHullPage() {
    auto* page = new QWidget;
    auto* grid = new QGridLayout(page);
    compact(grid);
    Repeat_Convex = edit(QStringLiteral("1"));
    Re_New_Points = new QCheckBox(QStringLiteral("Re-create random points"));
    STL_error = edit(QStringLiteral("0.0005"));
    Sp_start = edit(QStringLiteral("0"), QStringLiteral("First point of the boundary range"));
    Sp_end = edit(QStringLiteral("100"), QStringLiteral("Last point of the boundary range"));
    LeyeX = edit(QStringLiteral("0.47"), QStringLiteral("Left eye, texture u"));
    LeyeY = edit(QStringLiteral("0.73"), QStringLiteral("Left eye, texture v"));
    ReyeX = edit(QStringLiteral("0.43"), QStringLiteral("Right eye, texture u"));
    ReyeY = edit(QStringLiteral("0.46"), QStringLiteral("Right eye, texture v"));

    grid->addWidget(label(QStringLiteral("Convex Hull algorithm")), 0, 0, 1, 2);
    grid->addWidget(label(QStringLiteral("Repeat of Calcuation:")), 1, 0);
    grid->addWidget(Repeat_Convex, 1, 1);
    grid->addWidget(Re_New_Points, 2, 0, 1, 2);
    grid->addWidget(label(QStringLiteral("STL files error:")), 3, 0);
    grid->addWidget(STL_error, 3, 1);
    grid->addWidget(Sp_start, 4, 0);
    grid->addWidget(Sp_end, 4, 1);
    grid->addWidget(LeyeX, 5, 0);
    grid->addWidget(LeyeY, 5, 1);
    grid->addWidget(ReyeX, 6, 0);
    grid->addWidget(ReyeY, 6, 1);
    grid->setRowStretch(7, 1);
    return page;
}

}  // namespace orvex
