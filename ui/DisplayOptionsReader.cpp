#include "ui/DisplayOptionsReader.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSlider>
#include <algorithm>

#include "ui/ColorSwatch.h"
#include "ui/Inspector.h"
#include "ui/MeshFormation.h"

namespace orvex {

DisplayOptions Read_Display_Options(const TInspector& inspector, const TMesh_Formation& formation,
                                    std::optional<ConversionError>* error) {
    const TInspector& in = inspector;
    DisplayOptions options;
    options.Shading_Checked = in.Shading_Checked->isChecked();
    options.Wire_Checked = in.Wire_Checked->isChecked();
    options.Point_Checked = in.Point_Checked->isChecked();
    options.Spectrum = in.Spectrum->isChecked();
    options.Spectrum_Select = in.Spectrum_Select->currentIndex();
    options.Width = std::max(0, in.The_Width->currentIndex()) + 1;

    options.Transparency = in.Transparency->isChecked();
    options.Hidden_Face = in.Hidden_Face->isChecked();
    options.Edge_Checked = in.Edge_Checked->isChecked();
    options.Texture_Checked = in.Texture_Checked->isChecked();
    options.Bounding = in.Bounding->isChecked();
    options.Euler_Bounding = in.Euler_Bounding->isChecked();
    options.Master_Bounding_Box_Checked = in.Master_Bounding_Box_Checked->isChecked();
    options.Aux = in.Aux->isChecked();
    options.Coordinate_Checked = in.Coordinate_Checked->isChecked();
    options.Coor_Mark = in.Coor_Mark->isChecked();
    options.Cal_Box = in.Cal_Box->isChecked();
    options.Pivot_Checked = in.Pivot_Checked->isChecked();
    options.Child_Window = in.Child_Window->isChecked();

    options.BG_Color = in.BG_Color->Color();
    options.Homo_Bounding_Color = in.Homo_Bounding_Color->Color();
    options.Gouraud = in.Phong_Shading->isChecked();  // "Gouraud Shading"

    options.Master_Light = in.Master_Light->isChecked();
    options.Second_Light = in.Second_Light->isChecked();
    options.Third_Light = in.Third_Light->isChecked();
    options.Front_Light = in.Front_Light->isChecked();
    options.Back_Light = in.Back_Light->isChecked();
    options.Master_Color = in.Master_Color->Color();
    options.Second_Color = in.Second_Color->Color();
    options.Third_Color = in.Third_Color->Color();
    options.Front_Color = in.Front_Color->Color();
    std::copy(std::begin(in.Light_Params), std::end(in.Light_Params), std::begin(options.Light_Params));
    options.R_Size = in.R_Size->value();

    const QString text = formation.Spectrum_Color_Intensity->text();
    if (const std::optional<float> value = Strict_To_Float(text)) {
        options.Spectrum_Color_Intensity = *value;
    } else if (error) {
        *error = ConversionError{QStringLiteral("Spectrum_Color_Intensity"), text, false};
    }
    return options;
}

}  // namespace orvex
