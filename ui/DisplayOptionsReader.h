#pragma once
// Read_Display_Options: copies every value the drawing needs from the Tool Inspector and the Mesh
// Formation dialog into a DisplayOptions, once at the start of each frame, so render/ sees no widget.
//
// Spectrum_Color_Intensity is a converted text. When it is not a number, `error` (if given) receives
// the conversion error and the field keeps its default, so the frame can still be drawn; the caller
// decides whether the frame needs the value (only the spectrum pass reads it) and shows the error.

#include <optional>

#include "render/DisplayOptions.h"
#include "ui/StrictConversion.h"

namespace orvex {

class TInspector;
class TMesh_Formation;

DisplayOptions Read_Display_Options(const TInspector& inspector, const TMesh_Formation& formation,
                                    std::optional<ConversionError>* error = nullptr);

}  // namespace orvex
