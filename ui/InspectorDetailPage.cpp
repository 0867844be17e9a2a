// TInspector: the "Detail" page, groups "Resolution", "Lighting" and "Viewing", with their defaults and
// the wiring of their handlers. Track bars are created at their defaults before they are connected, so
// building the page posts nothing.

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QRadioButton>
#include <QScrollArea>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

#include "ui/ColorSwatch.h"
#include "ui/Inspector.h"

namespace orvex {

namespace {

void compact(QGridLayout* layout) {
    layout->setContentsMargins(4, 2, 4, 2);
    layout->setHorizontalSpacing(2);
    layout->setVerticalSpacing(0);
}

QSlider* trackBar(int minimum, int maximum, int position) {
    auto* bar = new QSlider(Qt::Horizontal);
    bar->setRange(minimum, maximum);
    bar->setValue(position);
    bar->setPageStep(std::max(1, (maximum - minimum) / 10));
    return bar;
}

QLabel* valueLabel(const QString& text) {
    auto* label = new QLabel(text);
    label->setMinimumWidth(40);
    return label;
}

// A bulb with the light's number, drawn so the selector needs no image files.
QIcon lightIcon(int light) {
    QPixmap pixmap(18, 18);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(255, 220, 80));
    painter.setPen(QColor(120, 90, 0));
    painter.drawEllipse(QRectF(1.5, 1.5, 15, 15));
    painter.setPen(Qt::black);
    QFont font = painter.font();
    font.setPixelSize(11);
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(QRect(0, 0, 18, 18), Qt::AlignCenter, QString::number(light));
    return QIcon(pixmap);
}

}  // namespace

QWidget* TInspector::buildDetailPage() {
    auto* content = new QWidget;
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);
    layout->addWidget(buildResolutionGroup());
    layout->addWidget(buildLightingGroup());
    layout->addWidget(buildViewingGroup());
    layout->addStretch();

    auto* area = new QScrollArea;
    area->setWidget(content);
    area->setWidgetResizable(true);
    area->setFrameShape(QFrame::NoFrame);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    return area;
}

QWidget* TInspector::buildResolutionGroup() {
    auto* group = new QGroupBox(QStringLiteral("Resolution"));
    auto* grid = new QGridLayout(group);
    compact(grid);
    R1024 = new QRadioButton(QStringLiteral("1024X768"));
    R800 = new QRadioButton(QStringLiteral("800X600"));
    R640 = new QRadioButton(QStringLiteral("640X480"));
    RFull = new QRadioButton(QStringLiteral("Full Screen"));
    ROther = new QRadioButton(QStringLiteral("Arbitrary"));
    R640->setChecked(true);
    RFull->setEnabled(false);
    Resolution_W = new QLineEdit(QStringLiteral("320"));
    Resolution_H = new QLineEdit(QStringLiteral("200"));
    Resolution_W->setMaximumWidth(44);
    Resolution_H->setMaximumWidth(44);
    Resolution_W->setToolTip(QStringLiteral("Width; Enter applies it when Arbitrary is chosen"));
    Resolution_H->setToolTip(QStringLiteral("Height; Enter applies it when Arbitrary is chosen"));
    grid->addWidget(R1024, 0, 0);
    grid->addWidget(R800, 0, 1);
    grid->addWidget(R640, 1, 0);
    grid->addWidget(RFull, 1, 1);
    auto* other = new QHBoxLayout;
    other->setSpacing(2);
    other->addWidget(ROther);
    other->addWidget(Resolution_W);
    other->addWidget(Resolution_H);
    grid->addLayout(other, 2, 0, 1, 2);

    const std::pair<QRadioButton*, int> choices[] = {
        {R1024, 31}, {R800, 32}, {R640, 33}, {RFull, 30}, {ROther, 34}};
    for (const auto& [button, code] : choices) {
        connect(button, &QRadioButton::clicked, this, [this, button, code] {
            button->setChecked(true);
            post(code);
        });
    }
    for (QLineEdit* edit : {Resolution_W, Resolution_H}) {
        connect(edit, &QLineEdit::returnPressed, this, [this] {
            if (ROther->isChecked()) post(34);
        });
    }
    return group;
}

QWidget* TInspector::buildLightingGroup() {
    auto* group = new QGroupBox(QStringLiteral("Lighting"));
    auto* grid = new QGridLayout(group);
    compact(grid);

    auto* selector = new QHBoxLayout;
    selector->setSpacing(1);
    auto* selection = new QButtonGroup(this);
    QToolButton** buttons[] = {&Light_Button1, &Light_Button2, &Light_Button3, &Light_Button4};
    const char* tips[] = {"Edit the master light (1)", "Edit the second light (2)",
                          "Edit the third light (3)", "Edit the front light (4)"};
    for (int i = 0; i < 4; ++i) {
        auto* button = new QToolButton;
        button->setCheckable(true);
        button->setAutoRaise(true);
        button->setIcon(lightIcon(i + 1));
        button->setToolTip(QString::fromLatin1(tips[i]));
        selection->addButton(button, i + 1);
        selector->addWidget(button);
        *buttons[i] = button;
    }
    selector->addStretch();
    Light_Button4->setChecked(true);
    grid->addLayout(selector, 0, 0, 1, 3);

    Master_Light = new QCheckBox(QStringLiteral("Master Light (1)"));
    Second_Light = new QCheckBox(QStringLiteral("Second Light (2)"));
    Third_Light = new QCheckBox(QStringLiteral("Third Light (3)"));
    Front_Light = new QCheckBox(QStringLiteral("Front Light(4)"));
    Back_Light = new QCheckBox;
    Back_Light->setToolTip(QStringLiteral("Back light, lit with the front light"));
    Front_Light->setChecked(true);
    Master_Color = makeSwatch(0xFFFFFF, QStringLiteral("Colour of the master light"));
    Second_Color = makeSwatch(0xFFFFFF, QStringLiteral("Colour of the second light"));
    Third_Color = makeSwatch(0xFFFFFF, QStringLiteral("Colour of the third light"));
    Front_Color = makeSwatch(0xFFFFFF, QStringLiteral("Colour of the front light"));
    grid->addWidget(Master_Light, 1, 0, 1, 2);
    grid->addWidget(Master_Color, 1, 2);
    grid->addWidget(Second_Light, 2, 0, 1, 2);
    grid->addWidget(Second_Color, 2, 2);
    grid->addWidget(Third_Light, 3, 0, 1, 2);
    grid->addWidget(Third_Color, 3, 2);
    auto* front = new QHBoxLayout;
    front->setSpacing(2);
    front->addWidget(Front_Light);
    front->addWidget(Back_Light);
    front->addStretch();
    grid->addLayout(front, 4, 0, 1, 2);
    grid->addWidget(Front_Color, 4, 2);

    Gourad_Shading = new QRadioButton(QStringLiteral("Flat Shading"));
    Phong_Shading = new QRadioButton(QStringLiteral("Gouraud Shading"));
    Phong_Shading->setChecked(true);
    auto* shading = new QButtonGroup(this);
    shading->addButton(Gourad_Shading);
    shading->addButton(Phong_Shading);
    auto* shadingRow = new QHBoxLayout;
    shadingRow->setSpacing(2);
    shadingRow->addWidget(Gourad_Shading);
    shadingRow->addWidget(Phong_Shading);
    shadingRow->addStretch();
    grid->addLayout(shadingRow, 5, 0, 1, 3);

    Light_intensity = trackBar(0, 100, 50);
    Light_R = trackBar(1, 5000, 1000);
    Light_theda = trackBar(0, 360, 120);
    Light_phy = trackBar(-90, 90, 90);
    Label_L_I = valueLabel(QStringLiteral("I=0.5"));
    Label_L_R = valueLabel(QStringLiteral("R=1000"));
    Label_L_theda = valueLabel(QStringLiteral("120"));
    Label_L_phy = valueLabel(QStringLiteral("90"));
    Label10 = new QLabel(QString(QChar(0x03B8)));  // theta
    Label9 = new QLabel(QString(QChar(0x03C6)));   // phi
    grid->addWidget(Light_intensity, 6, 0, 1, 2);
    grid->addWidget(Label_L_I, 6, 2);
    grid->addWidget(Light_R, 7, 0, 1, 2);
    grid->addWidget(Label_L_R, 7, 2);
    grid->addWidget(Label10, 8, 0);
    grid->addWidget(Light_theda, 8, 1);
    grid->addWidget(Label_L_theda, 8, 2);
    grid->addWidget(Label9, 9, 0);
    grid->addWidget(Light_phy, 9, 1);
    grid->addWidget(Label_L_phy, 9, 2);
    grid->setColumnStretch(1, 1);

    connect(Light_Button1, &QToolButton::clicked, this, [this] { Light_ButtonClick(1); });
    connect(Light_Button2, &QToolButton::clicked, this, [this] { Light_ButtonClick(2); });
    connect(Light_Button3, &QToolButton::clicked, this, [this] { Light_ButtonClick(3); });
    connect(Light_Button4, &QToolButton::pressed, this, [this] { Light_Button4MouseDown(); });
    for (QCheckBox* box : {Master_Light, Second_Light, Third_Light, Front_Light, Back_Light}) {
        connect(box, &QCheckBox::toggled, this, [this] { post(5); });
    }
    for (QRadioButton* button : {Gourad_Shading, Phong_Shading}) {
        connect(button, &QRadioButton::toggled, this, [this](bool on) {
            if (on) post(4);
        });
    }
    connect(Light_R, &QSlider::valueChanged, this, &TInspector::Light_RChange);
    connect(Light_theda, &QSlider::valueChanged, this, &TInspector::Light_thedaChange);
    connect(Light_phy, &QSlider::valueChanged, this, &TInspector::Light_phyChange);
    connect(Light_intensity, &QSlider::valueChanged, this, &TInspector::Light_intensityChange);
    return group;
}

QWidget* TInspector::buildViewingGroup() {
    auto* group = new QGroupBox(QStringLiteral("Viewing"));
    auto* grid = new QGridLayout(group);
    compact(grid);
    R_Size = trackBar(500, 5000, 1000);
    Theda_Size = trackBar(0, 360, 0);
    Phy_Size = trackBar(-90, 90, 0);
    R_Label = valueLabel(QStringLiteral("R=1000"));
    Theda_Label = valueLabel(QStringLiteral("0"));
    Phy_Label = valueLabel(QStringLiteral("0"));
    R_Size->setToolTip(QStringLiteral("Camera distance"));
    Theda_Size->setToolTip(QStringLiteral("Azimuth in degrees"));
    Phy_Size->setToolTip(QStringLiteral("Elevation in degrees"));
    grid->addWidget(R_Size, 0, 0);
    grid->addWidget(R_Label, 0, 1);
    grid->addWidget(Theda_Size, 1, 0);
    grid->addWidget(Theda_Label, 1, 1);
    grid->addWidget(Phy_Size, 2, 0);
    grid->addWidget(Phy_Label, 2, 1);

    Parallel = new QRadioButton(QStringLiteral("Parallel projection"));
    Perspective = new QRadioButton(QStringLiteral("Perspective projection"));
    Perspective->setChecked(true);
    auto* projection = new QButtonGroup(this);
    projection->addButton(Parallel);
    projection->addButton(Perspective);
    grid->addWidget(Parallel, 3, 0, 1, 2);
    grid->addWidget(Perspective, 4, 0, 1, 2);

    Persp_tick = trackBar(5, 100, 40);
    Persp_tick->setToolTip(QStringLiteral("Perspective frustum width"));
    Ratio_Label = valueLabel(QStringLiteral("0.5"));
    grid->addWidget(Persp_tick, 5, 0);
    grid->addWidget(Ratio_Label, 5, 1);

    Combo_View = new QComboBox;
    Combo_View->addItems({QStringLiteral("ISO EastNorth View"), QStringLiteral("ISO WestNorth View"),
                          QStringLiteral("ISO WestSouth View"), QStringLiteral("ISO EastSouth  View"),
                          QStringLiteral("TOP View"), QStringLiteral("BUTTOM View"),
                          QStringLiteral("LEFT View"), QStringLiteral("RIGHT View"),
                          QStringLiteral("FRONT View"), QStringLiteral("BACK View"), QString()});
    Combo_View->setPlaceholderText(QStringLiteral("TOP View"));
    Combo_View->setCurrentIndex(-1);
    Combo_View->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    Combo_View->setMinimumContentsLength(10);
    grid->addWidget(Combo_View, 6, 0, 1, 2);
    grid->setColumnStretch(0, 1);

    connect(R_Size, &QSlider::valueChanged, this, &TInspector::R_SizeChange);
    connect(Theda_Size, &QSlider::valueChanged, this, &TInspector::Theda_SizeChange);
    connect(Phy_Size, &QSlider::valueChanged, this, &TInspector::Phy_SizeChange);
    connect(Parallel, &QRadioButton::toggled, this, [this](bool on) {
        if (on) post(61);
    });
    connect(Perspective, &QRadioButton::toggled, this, [this](bool on) {
        if (on) post(62);
    });
    connect(Persp_tick, &QSlider::valueChanged, this, &TInspector::Persp_tickChange);
    // activated, not currentIndexChanged: choosing the same view again restores it after the mouse moved it.
    connect(Combo_View, &QComboBox::activated, this, &TInspector::Combo_ViewChange);
    return group;
}

}  // namespace orvex
