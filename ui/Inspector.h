#pragma once
// TInspector, the "Tool Inspector": a stay-on-top panel of four pages holding every display, lighting,
// camera, mouse and resolution setting of the main window and a file browser. Its handlers never act
// on the main window: they change the Inspector's own state or write a code into the one-slot mailbox
// `Command`, which the main window executes when its event loop goes idle (a later code overwrites an
// earlier one). The drawing reads the controls directly through Read_Display_Options.
//
// Invariants: `Light_Params` holds I, R, theta, phi of lights 1 to 3 (indices 4k-4 .. 4k-1) and the
// front light's I (index 12); `Selected_Light` is 1 to 4; the Lighting track bars edit the selected
// light, and the theta/phi/R bars store nothing while the front light (4) is selected.

#include <QString>
#include <QWidget>

#include "render/DisplayOptions.h"

class QCheckBox;
class QColorDialog;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QRadioButton;
class QSlider;
class QTabWidget;
class QToolButton;

namespace orvex {

class ColorSwatch;
class DriveList;
class FileList;
class FolderList;

class TInspector : public QWidget {
    Q_OBJECT

public:
    explicit TInspector(QWidget* parent = nullptr);

    // Mailbox and state read by the main window.
    int Command = -1;
    int Mouse_Mode = 5;  // 1 rotation and move, 2 select, 3 zoom, 4 pick, 5 nothing
    int Full_Screen_Pending = 1;
    int Light_Params[kLightParamCount] = {60, 1000, 0, 90, 60, 1000, 0, 0, 60, 1000, 90, 0, 60};
    int Selected_Light = 4;

    QTabWidget* PageControl = nullptr;
    QColorDialog* ColorDialog = nullptr;

    // "Open File"
    DriveList* DriveComboBox1 = nullptr;
    FolderList* DirectoryListBox1 = nullptr;
    FileList* FileListBox = nullptr;
    QCheckBox* LoadAsGray = nullptr;

    // "Option"
    QRadioButton* Mrotation = nullptr;
    QRadioButton* Mselect = nullptr;
    QRadioButton* Mzoom = nullptr;
    QRadioButton* Mpick = nullptr;
    QRadioButton* Mnothing = nullptr;
    ColorSwatch* BG_Color = nullptr;
    ColorSwatch* Homo_Bounding_Color = nullptr;
    QCheckBox* Coordinate_Checked = nullptr;
    QCheckBox* Cal_Box = nullptr;
    QCheckBox* Coor_Mark = nullptr;
    QCheckBox* Master_Bounding_Box_Checked = nullptr;
    QCheckBox* Pivot_Checked = nullptr;
    QCheckBox* CPT_Checked = nullptr;
    QRadioButton* Shading_Checked = nullptr;
    QRadioButton* Wire_Checked = nullptr;
    QRadioButton* Point_Checked = nullptr;
    QRadioButton* Spectrum = nullptr;
    QComboBox* Spectrum_Select = nullptr;
    QComboBox* The_Width = nullptr;
    QCheckBox* Child_Window = nullptr;
    QCheckBox* Edge_Checked = nullptr;
    QCheckBox* Hidden_Face = nullptr;
    QCheckBox* Transparency = nullptr;
    QCheckBox* Bounding = nullptr;
    QCheckBox* Euler_Bounding = nullptr;
    QCheckBox* Aux = nullptr;
    QCheckBox* Texture_Checked = nullptr;
    QLineEdit* Rotate_Edit = nullptr;
    QLineEdit* Move_Edit = nullptr;
    QLineEdit* Scale_Edit = nullptr;
    QComboBox* Moving_Dir = nullptr;

    // "Detail": resolution
    QRadioButton* R1024 = nullptr;
    QRadioButton* R800 = nullptr;
    QRadioButton* R640 = nullptr;
    QRadioButton* RFull = nullptr;
    QRadioButton* ROther = nullptr;
    QLineEdit* Resolution_W = nullptr;
    QLineEdit* Resolution_H = nullptr;

    // "Detail": lighting. Light_Button1..4 are the light selector (one of them down at a time).
    QToolButton* Light_Button1 = nullptr;
    QToolButton* Light_Button2 = nullptr;
    QToolButton* Light_Button3 = nullptr;
    QToolButton* Light_Button4 = nullptr;
    QCheckBox* Master_Light = nullptr;
    QCheckBox* Second_Light = nullptr;
    QCheckBox* Third_Light = nullptr;
    QCheckBox* Front_Light = nullptr;
    QCheckBox* Back_Light = nullptr;
    ColorSwatch* Master_Color = nullptr;
    ColorSwatch* Second_Color = nullptr;
    ColorSwatch* Third_Color = nullptr;
    ColorSwatch* Front_Color = nullptr;
    QRadioButton* Gourad_Shading = nullptr;  // "Flat Shading"
    QRadioButton* Phong_Shading = nullptr;   // "Gouraud Shading"
    QSlider* Light_R = nullptr;
    QSlider* Light_theda = nullptr;
    QSlider* Light_phy = nullptr;
    QSlider* Light_intensity = nullptr;
    QLabel* Label_L_I = nullptr;
    QLabel* Label_L_R = nullptr;
    QLabel* Label_L_theda = nullptr;
    QLabel* Label_L_phy = nullptr;
    QLabel* Label9 = nullptr;   // phi symbol
    QLabel* Label10 = nullptr;  // theta symbol

    // "Detail": viewing
    QSlider* R_Size = nullptr;
    QSlider* Theda_Size = nullptr;
    QSlider* Phy_Size = nullptr;
    QLabel* R_Label = nullptr;
    QLabel* Theda_Label = nullptr;
    QLabel* Phy_Label = nullptr;
    QRadioButton* Parallel = nullptr;
    QRadioButton* Perspective = nullptr;
    QSlider* Persp_tick = nullptr;
    QLabel* Ratio_Label = nullptr;
    QComboBox* Combo_View = nullptr;

    // "Surface": shown, read by nothing yet.
    QLineEdit* Fitting_Error = nullptr;
    QLineEdit* U_seg = nullptr;
    QLineEdit* V_seg = nullptr;
    QLineEdit* Smooth_Times = nullptr;
    QPlainTextEdit* Memo1 = nullptr;

    // Handlers, named after their control and event.
    void Light_ButtonClick(int light);  // lights 1 to 3
    void Light_Button4MouseDown();
    void Light_RChange(int position);
    void Light_thedaChange(int position);
    void Light_phyChange(int position);
    void Light_intensityChange(int position);
    void R_SizeChange(int position);
    void Theda_SizeChange(int position);
    void Phy_SizeChange(int position);
    void Persp_tickChange(int position);
    void Combo_ViewChange(int index);
    void FileListBoxClick();

    // The text Ratio_Label shows for a Persp_tick position: the frustum angle in degrees, general
    // format with one significant digit and four exponent digits.
    static QString Persp_Angle_Text(int position);

private:
    QWidget* buildFilePage();
    QWidget* buildOptionPage();
    QWidget* buildDetailPage();
    QWidget* buildSurfacePage();
    QWidget* buildResolutionGroup();
    QWidget* buildLightingGroup();
    QWidget* buildViewingGroup();
    ColorSwatch* makeSwatch(int colour, const QString& tip);
    void post(int code) { Command = code; }
    // True when the check box of light 1..4 is checked.
    bool lightBoxChecked(int light) const;
};

}  // namespace orvex
