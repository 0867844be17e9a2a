#pragma once
// The five lights of the main view. The numbers are computed by a plain function (testable without
// a context); Set_Lights hands them to GL. With the modelview matrix left at the identity, light
// positions are scene positions: lights 0 to 2 turn with the scene, the front light (3) and its
// back twin (4) follow the viewer because they are placed along the current toward direction.

#include "geometry/Matrix4.h"
#include "render/DisplayOptions.h"

namespace orvex {

struct LightSetting {
    bool enabled = false;
    float ambient[4] = {0, 0, 0, 1};
    float diffuse[4] = {0, 0, 0, 1};
    float specular[4] = {0, 0, 0, 1};
    float position[4] = {0, 0, 1, 0};
    float spotDirection[3] = {0, 0, -1};
    float spotCutoff = 180.0f;  // 180: no spot
    float spotExponent = 0.0f;
};

struct LightSetup {
    bool smoothShading = true;  // glShadeModel GL_SMOOTH, else GL_FLAT
    bool lighting = false;      // GL_LIGHTING and GL_COLOR_MATERIAL
    LightSetting light[5];      // GL_LIGHT0 .. GL_LIGHT4
};

// Light_Params are read per light as intensity (percent), distance, azimuth and elevation (degrees).
LightSetup Compute_Lights(const DisplayOptions& options, const Matrix4& modelMatrix);

// Polygon smoothing, shade model, the five lights and colour tracking of the material.
void Set_Lights(const DisplayOptions& options, const Matrix4& modelMatrix);

}  // namespace orvex
