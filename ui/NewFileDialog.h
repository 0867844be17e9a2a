#pragma once
// TNew_File_Dialog, "New File": the parameters of a random point set. It holds only its controls
// with their design-time defaults; the main window reads them after an OK and generates the set.
// Result of exec(): QDialog::Accepted for "OK" (and Enter), QDialog::Rejected for "Cancel", Esc and
// the close box.

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;

namespace orvex {

class TNew_File_Dialog : public QDialog {
    Q_OBJECT

public:
    explicit TNew_File_Dialog(QWidget* parent = nullptr);

    QLabel* Caption_Label = nullptr;  // "Random Points  Generation"
    QLineEdit* point_size = nullptr;  // "Point numbers = ", default "10000"
    QComboBox* ComboBox1 = nullptr;   // the PointDistribution items, "On sphere" at start
    QSlider* x_range = nullptr;       // 5..1000, 500
    QSlider* y_range = nullptr;
    QSlider* z_range = nullptr;
    QLabel* x_label = nullptr;  // "X range : " and the position
    QLabel* y_label = nullptr;
    QLabel* z_label = nullptr;
    QCheckBox* Arbitrary_Rotation = nullptr;
    QPushButton* OK_Button = nullptr;
    QPushButton* Cancel_Button = nullptr;
};

}  // namespace orvex
