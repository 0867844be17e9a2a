#pragma once
// The camera and inset-view state of the main window. The window owns one; the frame routine,
// the idle commands, the mouse and the keys read and write it.

#include "geometry/Matrix4.h"
#include "geometry/Vec3.h"

namespace orvex {

constexpr float kSceneEmptyMin = 100000.0f;
constexpr float kSceneEmptyMax = -100000.0f;

struct ViewState {
    Matrix4 Model_Matrix{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    Matrix4 Spare_Matrix{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    Matrix4 Work_Matrix{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    float Zoom_Scale = 1.0f;
    float Camera_Distance = 0.0f;  // set from the Inspector's R_Size at the first idle pass
    int Perspective_Mode = 1;      // 1 perspective, 0 parallel
    float Persp_Ratio = 0.5f;
    Vec3 Scene_Min{kSceneEmptyMin, kSceneEmptyMin, kSceneEmptyMin};
    Vec3 Scene_Max{kSceneEmptyMax, kSceneEmptyMax, kSceneEmptyMax};
    int Inset_View = 1;
    int Inset_X = 0;
    int Inset_Y = 350;
    int Inset_Size = 300;

    void ResetSceneBounds() {
        Scene_Min = {kSceneEmptyMin, kSceneEmptyMin, kSceneEmptyMin};
        Scene_Max = {kSceneEmptyMax, kSceneEmptyMax, kSceneEmptyMax};
    }
    // Bounds that hold no box: the empty state, or anything inverted on an axis.
    bool SceneBoundsEmpty() const {
        for (int i = 0; i < 3; ++i)
            if (!(Scene_Min[i] <= Scene_Max[i])) return true;
        return false;
    }
    // Per axis: Scene_Min := min(Scene_Min, lo), Scene_Max := max(Scene_Max, hi). The empty state
    // is no box: widened like one, it would keep 100000 as a corner of anything lying beyond it.
    // So the first box replaces it, and a box that is itself empty (or NaN) changes nothing.
    void WidenSceneBounds(const Vec3& lo, const Vec3& hi) {
        for (int i = 0; i < 3; ++i)
            if (!(lo[i] <= hi[i])) return;
        if (SceneBoundsEmpty()) {
            Scene_Min = lo;
            Scene_Max = hi;
            return;
        }
        for (int i = 0; i < 3; ++i) {
            if (lo[i] < Scene_Min[i]) Scene_Min[i] = lo[i];
            if (hi[i] > Scene_Max[i]) Scene_Max[i] = hi[i];
        }
    }
};

}  // namespace orvex
