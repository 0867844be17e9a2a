#pragma once
// Text in the scene: 255 bitmap display lists numbered 1000 to 1254, one per character code 0 to
// 254, printed at the current raster position. The glyph pictures come from the toolkit layer
// (render/ has no fonts); the lists are built from them once in every context that prints text.

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace orvex {

constexpr unsigned kFontListBase = 1000;
constexpr int kFontListCount = 255;  // character 255 has no list
constexpr int kLabelMaxLength = 32;

// One glyph as glBitmap takes it: rows bottom first, most significant bit leftmost, each row padded
// to 4 bytes (GL's default unpack alignment). The raster position sits at (X_Origin, Y_Origin) of
// the bitmap (the baseline's left end) and moves right by Advance afterwards.
struct Glyph_Bitmap {
    int Width = 0;
    int Height = 0;
    float X_Origin = 0.0f;
    float Y_Origin = 0.0f;
    float Advance = 0.0f;
    std::vector<std::uint8_t> Bits;  // Height rows of Row_Bytes(Width) bytes
};

using Label_Glyphs = std::array<Glyph_Bitmap, kFontListCount>;

// Bytes of one glyph row of `width` pixels, padded to 4.
constexpr int Glyph_Row_Bytes(int width) {
    return (width + 31) / 32 * 4;
}

// The glyphs every context builds its lists from; set once by the toolkit layer before the first
// label is drawn. Contexts that built their lists keep them.
void Set_Label_Glyphs(std::shared_ptr<const Label_Glyphs> glyphs);

// Builds lists 1000 to 1254 in the current context unless it has them already; sets the list base
// to 1000. False when there are no glyphs to build from (nothing printed then).
bool Build_Font_Lists();

// Prints `text` up to its terminating zero, at most 32 characters, at the current raster position.
void Print_Label(const char* text);

}  // namespace orvex
