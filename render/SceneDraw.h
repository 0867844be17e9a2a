#pragma once
// The scene of a frame: background, axes, pivot, then every model object through Draw_Objects in a
// fixed order of passes (lit solids, spectrum, wire, points, boxes, ...). Drawing happens on the
// projection stack the frame has prepared; the modelview matrix stays the identity, so lighting is
// computed in scene coordinates. After Draw_Objects lighting is off and line width and point size
// are 1.

#include "geometry/Vec3.h"
#include "render/DisplayOptions.h"
#include "render/SceneObjects.h"
#include "render/ViewState.h"

namespace orvex {

// What one frame draws and with which settings. width and height are the GL area in pixels.
struct DrawContext {
    const ViewState& view;
    const DisplayOptions& options;
    const SceneObjects& objects;
    int width = 0;
    int height = 0;
};

// The complement of the background, |0xFFFFFF - background|, as RGB: marks, edges and segments.
void Contrast_Color(const DisplayOptions& options, float rgb[3]);

// Sets the clear colour for the next frame, draws the axes when asked, shifts to the pivot and
// draws every object seen along the view vector.
void Draw_Scene(const DrawContext& ctx);

// Every object in the order of the passes; v is the view vector (toward / zoom) that edges drawn
// over surfaces are shifted along.
void Draw_Objects(const DrawContext& ctx, const Vec3& v);

// The inset: the scene in one of the numbered standard views inside a cyan frame at
// (Inset_X, Inset_Y) measured from the top of the GL area.
void Draw_Inset_View(const DrawContext& ctx);

}  // namespace orvex
