#pragma once
// Colour helpers. A framework colour is an int 0x00BBGGRR; RGB triples are floats in [0, 1].
// The spectrum ramps leave `out` unchanged outside their domain; the spectrum drawing relies on that.

namespace orvex {

void Color_To_RGB(int colour, float out[3]);
void Color_Variant(int colour, float out[3], int k);
// 0x00BBGGRR, each channel 64..255 from the 15-bit generator after skipping (clock second mod 7)
// values; the clock is read before blue and before green.
int Random_Color();
// The same with the two clock readings given, so the draw can be checked.
int Random_Color_At(int blueSecond, int greenSecond);
void Palette16(int label, float out[3]);
void Spectrum_Exp(float out[3], float v, float e);
void Spectrum_Linear(float out[3], float a);
void Spectrum_Angle(float out[3], float a);

}  // namespace orvex
