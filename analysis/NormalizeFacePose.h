#pragma once
// NormalizeFacePose: moves a face scan into the frame the templates live in, from its two eye
// regions. The eyes' axis becomes x, the nose tip is turned onto the negative y axis, the nose
// bridge (where the profile x = 0 comes nearest the eyes' midpoint) becomes the origin with the
// bridge and tip normals' mean along +z. Then the feature vertices are chosen from fixed windows
// scaled by w (a quarter of the eyes' distance), and the profile marks are rebuilt for drawing.
//
// Region_List ends holding two 6-float records, tip first, then bridge; the eye records are gone,
// so Left_Eye and Right_Eye are reset. Curvature is not recomputed: rigid moves keep it.

#include <string>

#include "geometry/Status.h"
#include "mesh/UniOb.h"

namespace orvex {

// The eye texture coordinates of the eye fields ("0.47", "0.73" and "0.43", "0.46" by default).
struct FaceEyes {
    float leftU = 0.47f;
    float leftV = 0.73f;
    float rightU = 0.43f;
    float rightV = 0.46f;
};

// Ok, or why the pose could not be found: an empty mesh, eyes at one place (w would be 0), eye
// normals summing to a vector parallel to the eyes' axis, or no edge crossing x = 0 near the
// origin for the bridge. Those are all decided before the mesh moves, so a refused mesh is as it
// was. `left` and `right` must be two distinct records of mesh.Region_List.
Status NormalizeFacePose(UniOb& mesh, VEC_LIST* left, VEC_LIST* right);

// The feature windows in units of w, half-open: y in [9w, 10w) with |x| < 6w, [4w, 9w) with
// |x| < 0.5w, [-8w, -3w) with |x| < 5w, [3w, 4w) with |x| < 6w, [-3w, 3w) with |x| < 3w.
bool In_Feature_Window(float x, float y, float w);

// What the eye button does after the candidate regions: PickEyeRegion for the left eye into
// Left_Eye, for the right eye into Right_Eye, then NormalizeFacePose, but only with two distinct
// regions found; otherwise nothing moves and the status says which eye had no region or that both
// picked the same one.
Status Normalize_Face(UniOb& mesh, const FaceEyes& eyes);

}  // namespace orvex
