// TInspector: the "Open File", "Option" and "Surface" pages with their defaults and handlers.

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include "ui/ColorSwatch.h"
#include "ui/FileBrowser.h"
#include "ui/FileKind.h"
#include "ui/Inspector.h"

namespace orvex {

namespace {

void compact(QLayout* layout) {
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);
}

// Pages keep their natural height and scroll when the fonts make them taller than the window.
QWidget* scrolled(QWidget* content) {
    auto* area = new QScrollArea;
    area->setWidget(content);
    area->setWidgetResizable(true);
    area->setFrameShape(QFrame::NoFrame);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    return area;
}

QCheckBox* checkBox(const QString& caption, bool checked) {
    auto* box = new QCheckBox(caption);
    box->setChecked(checked);
    return box;
}

// Combo boxes size to a few characters, not to their longest item, so the narrow page keeps its width.
void narrow(QComboBox* combo, int characters) {
    combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    combo->setMinimumContentsLength(characters);
}

QLineEdit* edit(const QString& text) {
    auto* line = new QLineEdit(text);
    line->setMaximumWidth(48);
    return line;
}

}  // namespace

QWidget* TInspector::buildFilePage() {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    compact(layout);

    DriveComboBox1 = new DriveList;
    DirectoryListBox1 = new FolderList;
    FileListBox = new FileList;
    FileListBox->SetMask(QLatin1String(kSequenceMask));
    FileListBox->SetExtraMask(QStringLiteral("*.ply;*.obj;"));
    LoadAsGray = checkBox(QStringLiteral("Load Image Files as Gray"), true);

    layout->addWidget(DriveComboBox1);
    layout->addWidget(DirectoryListBox1, 2);
    layout->addWidget(FileListBox, 3);
    layout->addWidget(LoadAsGray);

    connect(DriveComboBox1, &DriveList::driveChanged, DirectoryListBox1, &FolderList::SetDirectory);
    connect(DirectoryListBox1, &FolderList::directoryChanged, FileListBox, &FileList::SetDirectory);
    connect(DirectoryListBox1, &FolderList::directoryChanged, DriveComboBox1, &DriveList::SelectDriveOf);
    const QString start = QDir::currentPath();
    DirectoryListBox1->SetDirectory(start);

    // One click opens: the main window runs code 8 with the clicked file.
    connect(FileListBox, &QListWidget::itemClicked, this, [this] { FileListBoxClick(); });
    connect(FileListBox, &QListWidget::itemDoubleClicked, this, [this] { FileListBoxClick(); });
    connect(FileListBox, &QListWidget::itemActivated, this, [this] { FileListBoxClick(); });
    return page;
}

QWidget* TInspector::buildOptionPage() {
    auto* content = new QWidget;
    auto* layout = new QVBoxLayout(content);
    compact(layout);

    auto* mouse = new QGroupBox(QStringLiteral("Mouse Control"));
    auto* mouseGrid = new QGridLayout(mouse);
    compact(mouseGrid);
    mouseGrid->setVerticalSpacing(0);
    Mrotation = new QRadioButton(QStringLiteral("Rotation and Move"));
    Mselect = new QRadioButton(QStringLiteral("Select"));
    Mzoom = new QRadioButton(QStringLiteral("Zoom"));
    Mpick = new QRadioButton(QStringLiteral("Pick"));
    Mnothing = new QRadioButton(QStringLiteral("Do nothing"));
    Mnothing->setChecked(true);
    mouseGrid->addWidget(Mrotation, 0, 0, 1, 2);
    mouseGrid->addWidget(Mselect, 1, 0);
    mouseGrid->addWidget(Mzoom, 1, 1);
    mouseGrid->addWidget(Mpick, 2, 0);
    mouseGrid->addWidget(Mnothing, 2, 1);
    int mode = 1;
    for (QRadioButton* button : {Mrotation, Mselect, Mzoom, Mpick, Mnothing}) {
        connect(button, &QRadioButton::toggled, this, [this, mode](bool on) {
            if (on) Mouse_Mode = mode;
        });
        ++mode;
    }
    layout->addWidget(mouse);

    BG_Color = makeSwatch(0x000000, QStringLiteral("Background colour"));
    Homo_Bounding_Color = makeSwatch(16744703, QStringLiteral("Colour of the Homo. Bounding Box"));
    Coordinate_Checked = checkBox(QStringLiteral("Show coordinate"), false);
    Cal_Box = checkBox(QStringLiteral("Calibrated Box"), false);
    Coor_Mark = checkBox(QStringLiteral("Coordinate mark"), true);
    Master_Bounding_Box_Checked = checkBox(QStringLiteral("Master Bounding Box"), false);
    Pivot_Checked = checkBox(QStringLiteral("Center pivot"), true);
    CPT_Checked = checkBox(QStringLiteral("Contral points"), false);
    auto* background = new QHBoxLayout;
    background->setSpacing(4);
    background->addWidget(BG_Color);
    background->addWidget(new QLabel(QStringLiteral("Background")));
    background->addStretch();
    auto* marks = new QGridLayout;
    marks->setSpacing(0);
    marks->addLayout(background, 0, 0);
    marks->addWidget(Pivot_Checked, 0, 1);
    marks->addWidget(Coordinate_Checked, 1, 0);
    marks->addWidget(Cal_Box, 1, 1);
    marks->addWidget(Coor_Mark, 2, 0);
    marks->addWidget(CPT_Checked, 2, 1);
    marks->addWidget(Master_Bounding_Box_Checked, 3, 0, 1, 2);
    layout->addLayout(marks);

    auto* display = new QGroupBox;
    auto* displayGrid = new QGridLayout(display);
    compact(displayGrid);
    displayGrid->setVerticalSpacing(0);
    Shading_Checked = new QRadioButton(QStringLiteral("Shading Model"));
    Wire_Checked = new QRadioButton(QStringLiteral("Wire Frame"));
    Point_Checked = new QRadioButton(QStringLiteral("Point Set of Model"));
    Spectrum = new QRadioButton(QStringLiteral("Spectrum"));
    Point_Checked->setChecked(true);
    Spectrum_Select = new QComboBox;
    Spectrum_Select->addItems({QStringLiteral("Master Curturve"), QStringLiteral("Second Curturve"),
                               QStringLiteral("Mean Curturve"), QStringLiteral("Gaussian Curturve"),
                               QStringLiteral("Zyr's curvature"), QStringLiteral("Curvature Region"),
                               QStringLiteral("temp")});
    Spectrum_Select->setPlaceholderText(QStringLiteral("Select"));
    Spectrum_Select->setCurrentIndex(-1);
    The_Width = new QComboBox;
    for (int w = 1; w <= 10; ++w) The_Width->addItem(QString::number(w));
    The_Width->setCurrentIndex(0);
    narrow(Spectrum_Select, 7);
    narrow(The_Width, 2);
    The_Width->setToolTip(QStringLiteral("Line width and point size"));
    displayGrid->addWidget(Shading_Checked, 0, 0);
    displayGrid->addWidget(Wire_Checked, 0, 1);
    auto* points = new QHBoxLayout;
    points->setSpacing(2);
    points->addWidget(Point_Checked);
    points->addWidget(The_Width);
    points->addStretch();
    displayGrid->addLayout(points, 1, 0, 1, 2);
    displayGrid->addWidget(Spectrum, 2, 0);
    displayGrid->addWidget(Spectrum_Select, 2, 1);
    layout->addWidget(display);

    Child_Window = checkBox(QStringLiteral("Child Window Viewing"), false);
    Child_Window->setEnabled(false);
    Edge_Checked = checkBox(QStringLiteral("Edge"), false);
    Hidden_Face = checkBox(QStringLiteral("Hidden Face"), true);
    Transparency = checkBox(QStringLiteral("Transparency"), false);
    Bounding = checkBox(QStringLiteral("Homo. Bounding Box"), true);
    Euler_Bounding = checkBox(QStringLiteral("Bounding Box"), false);
    Aux = checkBox(QStringLiteral("Auxiliary"), false);
    Texture_Checked = checkBox(QStringLiteral("Texture"), false);
    auto* drawing = new QGridLayout;
    drawing->setSpacing(0);
    drawing->addWidget(Child_Window, 0, 0, 1, 2);
    drawing->addWidget(Edge_Checked, 1, 0);
    drawing->addWidget(Hidden_Face, 1, 1);
    drawing->addWidget(Transparency, 2, 0);
    drawing->addWidget(Texture_Checked, 2, 1);
    auto* homo = new QHBoxLayout;
    homo->setSpacing(4);
    homo->addWidget(Bounding);
    homo->addWidget(Homo_Bounding_Color);
    homo->addStretch();
    drawing->addLayout(homo, 3, 0, 1, 2);
    drawing->addWidget(Euler_Bounding, 4, 0);
    drawing->addWidget(Aux, 4, 1);
    layout->addLayout(drawing);

    Rotate_Edit = edit(QStringLiteral("5"));
    Move_Edit = edit(QStringLiteral("1"));
    Scale_Edit = edit(QStringLiteral("1.075"));
    Moving_Dir = new QComboBox;
    Moving_Dir->addItems({QStringLiteral("X"), QStringLiteral("Y"), QStringLiteral("Z"),
                          QStringLiteral("view-X"), QStringLiteral("view-Y"), QStringLiteral("view-Z"),
                          QStringLiteral("viewXY")});
    Moving_Dir->setCurrentIndex(6);
    narrow(Moving_Dir, 6);
    Moving_Dir->setToolTip(QStringLiteral("Moving direction"));
    auto* steps = new QGridLayout;
    steps->setHorizontalSpacing(2);
    steps->setVerticalSpacing(1);
    steps->addWidget(new QLabel(QStringLiteral("Rotation Grid :")), 0, 0);
    steps->addWidget(Rotate_Edit, 0, 1);
    steps->addWidget(new QLabel(QStringLiteral("Moving Grid : ")), 1, 0);
    steps->addWidget(Move_Edit, 1, 1);
    steps->addWidget(Moving_Dir, 1, 2);
    steps->addWidget(new QLabel(QStringLiteral("Scale :")), 2, 0);
    steps->addWidget(Scale_Edit, 2, 1);
    steps->setColumnStretch(2, 1);
    layout->addLayout(steps);
    layout->addStretch();

    // The display options redraw only: code 2.
    for (QCheckBox* box : {Coordinate_Checked, Cal_Box, Coor_Mark, Master_Bounding_Box_Checked, Pivot_Checked,
                           CPT_Checked, Child_Window, Edge_Checked, Hidden_Face, Transparency, Bounding,
                           Euler_Bounding, Aux, Texture_Checked}) {
        connect(box, &QCheckBox::toggled, this, [this] { post(2); });
    }
    auto* modes = new QButtonGroup(this);
    for (QRadioButton* button : {Shading_Checked, Wire_Checked, Point_Checked, Spectrum}) {
        modes->addButton(button);
        connect(button, &QRadioButton::toggled, this, [this](bool on) {
            if (on) post(2);
        });
    }
    connect(Spectrum_Select, &QComboBox::currentIndexChanged, this, [this] { post(2); });
    connect(The_Width, &QComboBox::currentIndexChanged, this, [this] { post(2); });
    return scrolled(content);
}

QWidget* TInspector::buildSurfacePage() {
    auto* page = new QWidget;
    auto* layout = new QGridLayout(page);
    compact(layout);
    Fitting_Error = edit(QStringLiteral("1"));
    U_seg = edit(QStringLiteral("100"));
    V_seg = edit(QStringLiteral("100"));
    Smooth_Times = edit(QStringLiteral("0"));
    Memo1 = new QPlainTextEdit;

    auto* segments = new QHBoxLayout;
    segments->setSpacing(2);
    segments->addWidget(U_seg);
    segments->addWidget(V_seg);
    layout->addWidget(new QLabel(QStringLiteral("Mouse Position :")), 0, 0, 1, 2);
    layout->addWidget(new QLabel(QStringLiteral("Fitting Error :")), 1, 0);
    layout->addWidget(Fitting_Error, 1, 1);
    layout->addWidget(new QLabel(QStringLiteral("UxV Segment :")), 2, 0);
    layout->addLayout(segments, 2, 1);
    layout->addWidget(new QLabel(QStringLiteral("Smooth Times :")), 3, 0);
    layout->addWidget(Smooth_Times, 3, 1);
    layout->addWidget(Memo1, 4, 0, 1, 2);
    layout->setRowStretch(4, 1);
    return page;
}

}  // namespace orvex
