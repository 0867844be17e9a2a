#pragma once
// Camera arithmetic of the main view, without a GL call: the standard views, the camera built from
// the Inspector's viewing track bars, the projection numbers, the view vector, a CPU copy of the
// whole transform chain (for picking and tests) and the frame-rate text.
// Invariants: every view this file builds has zero translation and elements 3, 7, 11 = 0, 15 = 1.

#include <string>

#include "geometry/Matrix4.h"
#include "geometry/Vec3.h"
#include "render/ViewState.h"

namespace orvex {

// atan(sqrt 2): the elevation of the iso views.
constexpr float kIsoAlpha = 0.9553166f;

// Standard view codes as the Inspector's view list posts them (item index + 701).
enum StandardViewCode {
    kViewIsoEastNorth = 701,
    kViewIsoWestNorth = 702,
    kViewIsoWestSouth = 703,
    kViewIsoEastSouth = 704,
    kViewTop = 705,
    kViewBottom = 706,
    kViewLeft = 707,
    kViewRight = 708,
    kViewFront = 709,
    kViewBack = 710,
};

// Sets M to the standard view `code` (701..710) and returns true; any other code leaves M as it is.
bool Standard_View(Matrix4& M, int code);
// The views by the numbers of the view keys and the inset view: 1 top, 2 front, 3 left, 4 bottom,
// 5 back, 6 right; anything else gives the identity.
void Numbered_View(Matrix4& M, int number);

// Camera command 7: distance from R_Size, orientation from azimuth theta (Theda_Size, degrees) and
// elevation phi (Phy_Size, degrees) starting from the right view. Drops the translation, keeps the zoom.
void Camera_From_Trackbars(ViewState& view, int rSize, int theta, int phi);

// Scene directions shown as screen right, screen up and toward the viewer.
inline Vec3 View_Right(const Matrix4& M) {
    return {M[0], M[4], M[8]};
}
inline Vec3 View_Up(const Matrix4& M) {
    return {M[1], M[5], M[9]};
}
inline Vec3 View_Toward(const Matrix4& M) {
    return {M[2], M[6], M[10]};
}
// v = toward / Zoom_Scale: a fixed multiple of it is a fixed distance on the screen.
Vec3 View_Vector(const ViewState& view);
// The pivot: centre of the scene bounds when `pivotChecked`, else the origin.
Vec3 Scene_Pivot(const ViewState& view, bool pivotChecked);

// Arguments of glFrustum (perspective) or glOrtho (parallel) for a GL area of width x height pixels.
struct ProjectionNumbers {
    bool perspective = true;
    double left = 0, right = 0, bottom = 0, top = 0, zNear = 0, zFar = 0;
};
ProjectionNumbers Projection_Numbers(int width, int height, int perspectiveMode, float perspRatio);

// Where the frame puts scene point p: window x, y in pixels from the lower-left corner of the GL
// area and the depth in [0, 1], following projection, look-at, Model_Matrix, zoom and pivot.
// Returns false when p lies on the eye plane (no image).
bool Project_Scene_Point(const ViewState& view, bool pivotChecked, int width, int height, const Vec3& p,
                         Vec3& window);

// Status text for a frame of `ms` milliseconds: " >60 fps. " up to 16 ms, else the rate rounded to two
// significant digits with one decimal, then " fps. ".
std::string Frame_Rate_Text(int ms);

}  // namespace orvex
