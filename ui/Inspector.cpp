// TInspector: the window frame, the handlers that write the mailbox and the light selector state.
// The pages are built in InspectorPages.cpp and InspectorDetailPage.cpp.

#include "ui/Inspector.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QLabel>
#include <QSlider>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>

#include "ui/ColorSwatch.h"
#include "ui/GeneralFormat.h"
#include "ui/ToolFont.h"

namespace orvex {

TInspector::TInspector(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("Inspector"));
    setWindowTitle(QStringLiteral("Tool Inspector"));
    setFont(Tool_Window_Font());
    setFixedSize(210, 474);

    ColorDialog = new QColorDialog(this);
    ColorDialog->setOption(QColorDialog::DontUseNativeDialog);

    PageControl = new QTabWidget(this);
    PageControl->setUsesScrollButtons(false);
    PageControl->setDocumentMode(true);
    // Four captions in 210 pixels: the style's default tab padding would push "Surface" out of sight.
    PageControl->tabBar()->setStyleSheet(QStringLiteral("QTabBar::tab { padding: 3px 6px; }"));
    PageControl->tabBar()->setFont(font());  // a style sheet stops the window's font reaching the tabs
    PageControl->addTab(buildFilePage(), QStringLiteral("Open File"));
    PageControl->addTab(buildOptionPage(), QStringLiteral("Option"));
    PageControl->addTab(buildDetailPage(), QStringLiteral("Detail"));
    PageControl->addTab(buildSurfacePage(), QStringLiteral("Surface"));
    PageControl->setCurrentIndex(0);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(PageControl);
}

ColorSwatch* TInspector::makeSwatch(int colour, const QString& tip) {
    auto* swatch = new ColorSwatch(colour);
    swatch->SetDialog(ColorDialog);
    swatch->setToolTip(tip);
    connect(swatch, &ColorSwatch::colorChosen, this, [this] { post(1); });
    return swatch;
}

bool TInspector::lightBoxChecked(int light) const {
    switch (light) {
        case 1:
            return Master_Light->isChecked();
        case 2:
            return Second_Light->isChecked();
        case 3:
            return Third_Light->isChecked();
        case 4:
            return Front_Light->isChecked();
        default:
            return false;
    }
}

void TInspector::Light_ButtonClick(int light) {
    if (light < 1 || light > 3) return;
    Selected_Light = light;
    const int base = 4 * (light - 1);
    // Each setValue runs the bar's handler, which labels it and stores the (same) value back.
    Light_intensity->setValue(Light_Params[base]);
    Light_R->setValue(Light_Params[base + 1]);
    Light_theda->setValue(Light_Params[base + 2]);
    Light_phy->setValue(Light_Params[base + 3]);
}

void TInspector::Light_Button4MouseDown() {
    Selected_Light = 4;
    Light_intensity->setValue(Light_Params[12]);
}

// R, theta and phi belong to lights 1 to 3 only; with the front light selected the bar merely labels.
void TInspector::Light_RChange(int position) {
    Label_L_R->setText(QStringLiteral("R=") + QString::number(position));
    if (Selected_Light < 1 || Selected_Light > 3) return;
    Light_Params[4 * (Selected_Light - 1) + 1] = position;
    if (lightBoxChecked(Selected_Light)) post(5);
}

void TInspector::Light_thedaChange(int position) {
    Label_L_theda->setText(QString::number(position));
    if (Selected_Light < 1 || Selected_Light > 3) return;
    Light_Params[4 * (Selected_Light - 1) + 2] = position;
    if (lightBoxChecked(Selected_Light)) post(5);
}

void TInspector::Light_phyChange(int position) {
    Label_L_phy->setText(QString::number(position));
    if (Selected_Light < 1 || Selected_Light > 3) return;
    Light_Params[4 * (Selected_Light - 1) + 3] = position;
    if (lightBoxChecked(Selected_Light)) post(5);
}

void TInspector::Light_intensityChange(int position) {
    Label_L_I->setText(QStringLiteral("I=") + Float_To_Str(position * 0.01));
    if (Selected_Light < 1 || Selected_Light > 4) return;
    Light_Params[Selected_Light == 4 ? 12 : 4 * (Selected_Light - 1)] = position;
    if (lightBoxChecked(Selected_Light)) post(5);
}

void TInspector::R_SizeChange(int position) {
    post(7);
    R_Label->setText(QStringLiteral("R=") + QString::number(position));
}

void TInspector::Theda_SizeChange(int position) {
    post(7);
    Theda_Label->setText(QString::number(position));
}

void TInspector::Phy_SizeChange(int position) {
    post(7);
    Phy_Label->setText(QString::number(position));
}

QString TInspector::Persp_Angle_Text(int position) {
    const double angle = std::atan(position * 640 * 0.01 * 0.0005) * 360 * 0.31831927;
    return Format_General(angle, 1, 4);
}

void TInspector::Persp_tickChange(int position) {
    post(63);
    Ratio_Label->setText(Persp_Angle_Text(position));
}

void TInspector::Combo_ViewChange(int index) {
    // Items 0..9 are the standard views; the eleventh, empty item chooses nothing.
    if (index >= 0 && index <= 9) post(701 + index);
}

void TInspector::FileListBoxClick() {
    post(8);
}

}  // namespace orvex
