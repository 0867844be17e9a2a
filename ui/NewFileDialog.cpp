// TNew_File_Dialog: a fixed 313 x 214 form; each range track bar rewrites its label on change.

#include "ui/NewFileDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>

#include "ui/ToolFont.h"

namespace orvex {

namespace {

// In PointDistribution order.
const char* const kDistributionTexts[] = {"In cube",      "In sphere(polar)", "In sphere(cardi)", "On sphere",
                                          "95% on shell", "75% on shell",     "50% on shell"};

QSlider* Range_Bar(QWidget* parent, QLabel* label, const QString& prefix, int y) {
    auto* bar = new QSlider(Qt::Horizontal, parent);
    bar->setRange(5, 1000);
    bar->setValue(500);
    bar->setGeometry(104, y, 200, 22);
    label->setGeometry(12, y + 3, 90, 16);
    label->setText(prefix + QString::number(bar->value()));
    QObject::connect(bar, &QSlider::valueChanged, label,
                     [label, prefix](int value) { label->setText(prefix + QString::number(value)); });
    return bar;
}

}  // namespace

TNew_File_Dialog::TNew_File_Dialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("New_File_Dialog"));
    setWindowTitle(QStringLiteral("New File"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setFont(Tool_Window_Font());
    setFixedSize(313, 214);

    Caption_Label = new QLabel(QStringLiteral("Random Points  Generation"), this);
    Caption_Label->setGeometry(12, 8, 290, 18);
    QFont bold = Caption_Label->font();
    bold.setBold(true);
    Caption_Label->setFont(bold);

    auto* numbers = new QLabel(QStringLiteral("Point numbers = "), this);
    numbers->setGeometry(12, 39, 96, 16);
    point_size = new QLineEdit(QStringLiteral("10000"), this);
    point_size->setObjectName(QStringLiteral("point_size"));
    point_size->setGeometry(104, 36, 80, 21);

    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    for (const char* text : kDistributionTexts) ComboBox1->addItem(QLatin1String(text));
    ComboBox1->setCurrentIndex(3);
    ComboBox1->setGeometry(192, 36, 112, 21);

    x_label = new QLabel(this);
    y_label = new QLabel(this);
    z_label = new QLabel(this);
    x_range = Range_Bar(this, x_label, QStringLiteral("X range : "), 68);
    y_range = Range_Bar(this, y_label, QStringLiteral("Y range : "), 94);
    z_range = Range_Bar(this, z_label, QStringLiteral("Z range : "), 120);
    x_range->setObjectName(QStringLiteral("x_range"));
    y_range->setObjectName(QStringLiteral("y_range"));
    z_range->setObjectName(QStringLiteral("z_range"));

    Arbitrary_Rotation = new QCheckBox(QStringLiteral("Arbitrary Rotation"), this);
    Arbitrary_Rotation->setObjectName(QStringLiteral("Arbitrary_Rotation"));
    Arbitrary_Rotation->setGeometry(12, 150, 160, 20);

    OK_Button = new QPushButton(QStringLiteral("OK"), this);
    Cancel_Button = new QPushButton(QStringLiteral("Cancel"), this);
    OK_Button->setGeometry(140, 180, 75, 25);
    Cancel_Button->setGeometry(226, 180, 75, 25);
    OK_Button->setDefault(true);
    connect(OK_Button, &QPushButton::clicked, this, &QDialog::accept);
    connect(Cancel_Button, &QPushButton::clicked, this, &QDialog::reject);
}

}  // namespace orvex
