#pragma once
// The frames of the small 3-D windows: the Instance View (the scene in a standard view of its own,
// fitted to the window), the Render window (background only) and the About window's animation.
// Each runs with its own window's context current; the caller presents the picture.

#include <array>
#include <cstdint>

#include "geometry/Matrix4.h"
#include "geometry/Vec3.h"
#include "render/DisplayOptions.h"
#include "render/SceneObjects.h"
#include "render/ViewState.h"

namespace orvex {

// The scene seen through `viewMatrix` in parallel projection, its whole box fitting the smaller
// side of the width x height window. The main view's camera does not enter, only the front light
// follows it (`view`).
void Render_Instance_View(int width, int height, const Matrix4& viewMatrix, const ViewState& view,
                          const DisplayOptions& options, const SceneObjects& objects);

// The background colour over the whole window and the same projection, nothing drawn.
void Render_Plane_Frame(int width, int height, const DisplayOptions& options);

// The About window's logo: 78 rows of 63 framework colours (0x00BBGGRR).
constexpr int kLogoRows = 78;
constexpr int kLogoColumns = 63;
using LogoTable = std::array<std::uint32_t, kLogoRows * kLogoColumns>;
// Our own mark: a ring around a "V" on a dark field, shaded top to bottom.
void Fill_Logo_Table(LogoTable& table);
// Rows 7 to 70 of the table as a 64 x 64 RGBA texture (column 63 black); returns its GL name.
unsigned Make_Logo_Texture(const LogoTable& table);

// The About window's animation state.
struct AboutAnimation {
    int n = 0;   // frames
    int m = 0;   // spins: a new axis every 90 frames
    int c = -1;  // picture variant; c mod 4 is the picture
    Matrix4 A;   // accumulated rotation
    Vec3 Axis{1.0f, 1.0f, 1.0f};
    unsigned Seed = 12345;  // the random axes
    int Stepped = -1;       // the last n that changed axis, m and c (a repaint redraws the same n)
    AboutAnimation();
};

// Draws one About frame into a window `clientHeight` pixels high, clearing with the clear colour
// the previous frame set and then setting it to `rgb`. Advances the axis, m and c every 90th
// frame; returns the new timer interval in ms then, 0 otherwise. Does not advance n.
int Render_About_Frame(AboutAnimation& state, unsigned logoTexture, int clientHeight, const float rgb[3]);

}  // namespace orvex
