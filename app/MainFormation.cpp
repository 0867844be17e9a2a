// MeshFormationClick: shows the Mesh Formation dialog preset from the head mesh and, when it is
// accepted (OK, Enter, Esc or the close box), copies its settings into the model.

// clang-format off
// The core headers come before Qt's, whose keyword macro `slots` would rewrite their members.
#include "mesh/StlReader.h"
// clang-format on

#include <QLineEdit>
#include <QSlider>
#include <algorithm>
#include <cmath>

#include "app/Main.h"
#include "geometry/Color.h"
#include "mesh/UniOb.h"
#include "ui/ColorSwatch.h"
#include "ui/MeshFormation.h"
#include "ui/StrictConversion.h"

namespace orvex {

namespace {

// Per channel and rounded: a colour read back from its own floats gives the same swatch, and the
// alpha does not creep down by one every time the dialog is accepted.
int Channel_Byte(float value) {
    return static_cast<int>(std::lround(std::clamp(value, 0.0f, 1.0f) * 255.0f));
}

int Framework_Colour_Of(const float rgba[4]) {
    return Channel_Byte(rgba[0]) | Channel_Byte(rgba[1]) << 8 | Channel_Byte(rgba[2]) << 16;
}

}  // namespace

void TMyGL::MeshFormationClick() {
    if (!meshFormation_) return;
    if (Main_Objects) {
        meshFormation_->Model_Color->SetColor(Framework_Colour_Of(Main_Objects->Color_RGBA));
        meshFormation_->Alpha_Bar->setValue(
            static_cast<int>(std::lround(Main_Objects->Color_RGBA[3] * 100.0f)));
    }
    if (meshFormation_->exec() == QDialog::Accepted) applyMeshFormation();
    FormPaint();
}

// The steps run in order; a field that is no number stops there, after the earlier steps took effect.
bool TMyGL::applyMeshFormation() {
    TMesh_Formation& form = *meshFormation_;
    const std::optional<int> threshold = Strict_To_Int(form.Edit2->text());
    if (!threshold) {
        Show_Message(ConversionError{QStringLiteral("Edit2"), form.Edit2->text(), true}.Message());
        return false;
    }
    Volume.threshold = *threshold;
    Volume.BuildVoxels();
    const int colour = form.Model_Color->Color();
    const float alpha = static_cast<float>(form.Alpha_Bar->value()) * 0.01f;
    int k = 0;
    for (UniOb* mesh = Main_Objects; mesh; mesh = mesh->next, ++k) {
        Color_Variant(colour, mesh->Color_RGBA, k);
        mesh->Color_RGBA[3] = alpha;
    }
    Color_To_RGB(colour, Point_Set.colour);
    Point_Set.colour[3] = alpha;
    QString refused;
    const std::optional<float> tolerance = form.Merge_Tolerance(refused);
    if (!tolerance) {
        Show_Message(refused);
        return false;
    }
    Coincidence_Tolerance = *tolerance;
    return copyBoundaryRange();
}

}  // namespace orvex
