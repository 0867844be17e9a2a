#pragma once
// The curvature spectrum as colours, without any drawing: a value and a colour per vertex for a
// display mode, and the colour of every face corner (3 per face, in face order) ready to emit.
// The ramps leave the colour as it was for a value outside their domain, so such a corner repeats
// the colour of the corner before it; the very first corner then stays white (1, 1, 1).

#include <vector>

#include "mesh/UniOb.h"

namespace orvex {

// The entries of the spectrum list, by index. Any other index (no selection included) colours
// like Gaussian.
enum class SpectrumMode : int {
    Master = 0,    // Curvature_Max, exponential ramp
    Second = 1,    // Curvature_Min, exponential ramp
    Mean = 2,      // (max + min) / 2, exponential ramp
    Gaussian = 3,  // max x min, exponential ramp
    Zyr = 4,       // shape index, linear ramp
    Region = 5,    // Vertex_Label: white for 0 or negative, else the 16-colour palette
    Temp = 6,      // z coordinate in degrees, angle ramp
};

// The value vertex v shows in `mode`. A mesh without curvature shows 0 in the curvature modes.
float Spectrum_Value(const UniOb& mesh, int mode, int v);

// Writes the colour of vertex v into rgb, or leaves rgb unchanged when the value lies outside the
// mode's ramp; returns the value. intensity scales the exponential ramp.
float Spectrum_Vertex_Color(const UniOb& mesh, int mode, float intensity, int v, float rgb[3]);

// out := 9 floats per face (r, g, b of corners 0, 1, 2), faces in index order; empty for an
// empty mesh.
void Spectrum_Corner_Colors(const UniOb& mesh, int mode, float intensity, std::vector<float>& out);

}  // namespace orvex
