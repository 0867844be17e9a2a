#pragma once
// The axis symbol (letters X, Y, Z as bitmaps and three coloured arrows on a ball) and the small
// coordinate mark drawn with it in the lower-left corner of the view.

#include "geometry/Matrix4.h"

namespace orvex {

// 16 x 16 glyphs, bottom row first, each row two bytes (leftmost pixel in the high bit) padded to
// four bytes for the default unpack alignment. axis 0 = X, 1 = Y, 2 = Z.
constexpr int kAxisGlyphBytes = 64;
const unsigned char* Axis_Glyph(int axis);

// Letters at (55, 0, 0), (0, 55, 0), (0, 0, 55) in `colour`, then the ball in `colour` and the x, y, z
// arrows in red, green and blue. `flat` picks the coarse tessellation with face normals.
void Draw_Axes(bool flat, const float colour[3]);

// The rotation of modelMatrix, at a fixed size, in the 140 x 140 pixels at the lower-left corner of
// the GL area. Leaves that viewport and the mark's projection in place.
void Draw_Coordinate_Mark(const Matrix4& modelMatrix, const float contrast[3]);

}  // namespace orvex
