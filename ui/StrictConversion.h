#pragma once
// Strict text-to-number conversions for the fields of the tool windows. A field is converted when a
// command reads it; a text that is not a number is a ConversionError the window shows before ending
// the command. Blanks around the number are allowed; anything else (a second number, a unit, an empty
// text, an out-of-range integer, an infinite or undefined float) is not.

#include <QString>
#include <optional>

namespace orvex {

struct ConversionError {
    QString Field;  // the control's name, e.g. "Spectrum_Color_Intensity"
    QString Text;   // what the control held
    bool Integer = false;

    // "Spectrum_Color_Intensity: 'abc' is not a valid floating point value"
    QString Message() const;
};

std::optional<int> Strict_To_Int(const QString& text);
std::optional<float> Strict_To_Float(const QString& text);

}  // namespace orvex
