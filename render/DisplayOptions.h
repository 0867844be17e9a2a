#pragma once
// Everything the drawing reads from the Tool Inspector and the Mesh Formation dialog, copied from
// the controls at the start of every frame so that render/ never sees a widget. Defaults are the
// controls' design-time defaults. Colours are framework colours 0x00BBGGRR.

namespace orvex {

// Light_Params layout: master I, R, theta, phi; second I, R, theta, phi; third I, R, theta, phi; front I.
constexpr int kLightParamCount = 13;

struct DisplayOptions {
    // Display mode: one exclusive group.
    bool Shading_Checked = false;
    bool Wire_Checked = false;
    bool Point_Checked = true;
    bool Spectrum = false;
    int Spectrum_Select = -1;  // item index, -1 when no item is chosen
    int Width = 1;             // The_Width item index + 1: line width and point size

    bool Transparency = false;
    bool Hidden_Face = true;
    bool Edge_Checked = false;
    bool Texture_Checked = false;
    bool Bounding = true;
    bool Euler_Bounding = false;
    bool Master_Bounding_Box_Checked = false;
    bool Aux = false;
    bool Coordinate_Checked = false;
    bool Coor_Mark = true;
    bool Cal_Box = false;
    bool Pivot_Checked = true;
    bool Child_Window = false;

    int BG_Color = 0x000000;
    int Homo_Bounding_Color = 16744703;
    bool Gouraud = true;  // "Gouraud Shading" selected, else "Flat Shading"

    bool Master_Light = false;
    bool Second_Light = false;
    bool Third_Light = false;
    bool Front_Light = true;
    bool Back_Light = false;
    int Master_Color = 0xFFFFFF;
    int Second_Color = 0xFFFFFF;
    int Third_Color = 0xFFFFFF;
    int Front_Color = 0xFFFFFF;
    int Light_Params[kLightParamCount] = {60, 1000, 0, 90, 60, 1000, 0, 0, 60, 1000, 90, 0, 60};
    int R_Size = 1000;  // camera-distance track bar position (the front light's distance)

    float Spectrum_Color_Intensity = 100.0f;  // Mesh Formation `Spectrum_Color_Intensity`
};

}  // namespace orvex
