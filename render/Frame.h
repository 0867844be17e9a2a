#pragma once
// The main view's frame: with the main context current, clear, set the viewport and the camera,
// draw the scene, the inset and the coordinate mark, and flush. The caller owns the context (it makes
// it current before and presents the picture after) and shows Frame_Rate_Text of the result.

#include <mutex>

#include "render/DisplayOptions.h"
#include "render/SceneObjects.h"
#include "render/ViewState.h"

namespace orvex {

// Depth and dither settings the main context keeps for its whole life; call once after creating it.
void Init_Main_Context();

// Draws one frame into a GL area of width x height pixels whose lower-left corner is (0, 0) of the
// current drawable, and returns the milliseconds spent from the projection to the flush.
int Render_Main_Frame(int width, int height, const ViewState& view, const DisplayOptions& options,
                      const SceneObjects& objects);

// Whoever makes the main context current for a frame holds this lock from then until the context is
// released, so that frames requested from another thread never interleave with the GUI thread's.
std::mutex& Main_Frame_Mutex();

}  // namespace orvex
