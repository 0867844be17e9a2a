#pragma once
// What a frame draws: non-owning views of the model objects the main window owns. Objects of
// later subsystems (point sets, facets, boundaries, volumes, overlays) join here as they arrive.

namespace orvex {

class UniOb;
class POINT_LIST;
class CT_3D;

struct SceneObjects {
    const UniOb* Main_Objects = nullptr;  // drawn, head first
    const UniOb* Aux_Objects = nullptr;   // held by the window, not drawn
    const POINT_LIST* Point_Set = nullptr;
    const POINT_LIST* Selected_Points = nullptr;
    const CT_3D* Volume = nullptr;  // its voxel list is drawn last
};

}  // namespace orvex
