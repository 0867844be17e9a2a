#pragma once
// TMesh_Formation, the "Mesh Formation" dialog: the program's store of numeric parameters. Commands
// read its controls whenever they run, shown or not, converting the text at that moment; the dialog
// validates nothing and holds nothing beyond its controls.
//
// Result of exec(): QDialog::Accepted ("apply") for "OK", Enter, Esc and the close box; only "Cancel"
// gives QDialog::Rejected ("discard"). reject() therefore applies; Cancel ends with done(Rejected).

#include <QDialog>
#include <QString>
#include <optional>

class QCheckBox;
class QColorDialog;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;
class QTabWidget;

namespace orvex {

class ColorSwatch;

class TMesh_Formation : public QDialog {
    Q_OBJECT

public:
    explicit TMesh_Formation(QWidget* parent = nullptr);

    QTabWidget* PageControl1 = nullptr;
    QColorDialog* ColorDialog = nullptr;

    // First "Option" page: "Smoothing Method", "Simple Cube", "Marching Cube".
    QRadioButton* Normal_Smooth = nullptr;
    QRadioButton* Weight_Smooth = nullptr;
    QLineEdit* Interation_Times = nullptr;
    QComboBox* Method = nullptr;
    QLineEdit* Smooth_Factor = nullptr;
    ColorSwatch* Model_Color = nullptr;
    QSlider* Alpha_Bar = nullptr;
    QLineEdit* Reduce_Threshold = nullptr;
    QLineEdit* dis_threshold = nullptr;
    QLineEdit* max_int = nullptr;
    QLineEdit* Edit2 = nullptr;  // CT threshold

    // "Motion"
    QRadioButton* Move_Check = nullptr;
    QRadioButton* Rotate_Check = nullptr;
    QLineEdit* dir_x = nullptr;
    QLineEdit* dir_y = nullptr;
    QLineEdit* dir_z = nullptr;
    QLineEdit* dir_A = nullptr;
    QLineEdit* Spectrum_Color_Intensity = nullptr;

    // Second "Option" page: "Convex Hull algorithm" and the rest.
    QLineEdit* Repeat_Convex = nullptr;
    QCheckBox* Re_New_Points = nullptr;
    QLineEdit* STL_error = nullptr;
    QLineEdit* Sp_start = nullptr;
    QLineEdit* Sp_end = nullptr;
    QLineEdit* LeyeX = nullptr;
    QLineEdit* LeyeY = nullptr;
    QLineEdit* ReyeX = nullptr;
    QLineEdit* ReyeY = nullptr;

    QPushButton* BitBtn2 = nullptr;  // "OK": default button, also pressed by Esc
    QPushButton* BitBtn1 = nullptr;  // "Cancel"

    // Any press on the swatch runs the colour dialog, opened with its own last colour (not the
    // swatch's); a confirmed colour goes into the swatch.
    void Model_ColorMouseDown();

    // STL_error as the merge tolerance: a finite float, not negative. Otherwise nothing, and
    // `message` says why in the words of the window's other conversion errors.
    std::optional<float> Merge_Tolerance(QString& message) const;

    // Esc and the close box apply, like "OK".
    void reject() override;

private:
    QWidget* buildSmoothingPage();
    QWidget* buildMotionPage();
    QWidget* buildHullPage();
};

}  // namespace orvex
