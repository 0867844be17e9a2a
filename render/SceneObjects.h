#pragma once
// What a frame draws: non-owning views of the model objects the main window owns. Objects of
// later subsystems (point sets, facets, boundaries, volumes, overlays) join here as they arrive.

namespace orvex {

class UniOb;
class POINT_LIST;
class CT_3D;
class TriOb;
struct TRI_FACET;
class BOUNDARY_LOOP;
struct ArrayMap;
struct SFMData;
struct VEC_LIST;
class RMSSPHERE;

struct SceneObjects {
    const UniOb* Main_Objects = nullptr;  // drawn, head first
    const UniOb* Aux_Objects = nullptr;   // held by the window, not drawn
    const POINT_LIST* Point_Set = nullptr;
    const POINT_LIST* Selected_Points = nullptr;
    const CT_3D* Volume = nullptr;  // its voxel list is drawn last
    // The parts of a transfer (Split_Part1's sentinel holds the cut records), the loose facets
    // carrying imported line segments, and the boundary range whose ribbon every frame draws.
    const TriOb* Split_Part1 = nullptr;
    const TriOb* Split_Part2 = nullptr;
    const TRI_FACET* Facet_List = nullptr;
    const BOUNDARY_LOOP* Boundary_Range = nullptr;
    // The texture map with the number its owner changes whenever its pixels change (the tiles of a
    // map are kept between frames), the laser scans with the one the point pass shows, the
    // structure-from-motion data.
    const ArrayMap* Texture_Map = nullptr;
    unsigned long long Texture_Map_Generation = 0;
    const VEC_LIST* Scan_First = nullptr;
    const VEC_LIST* Scan_Current = nullptr;
    const SFMData* SFM_Data = nullptr;
    const RMSSPHERE* Fitted_Sphere = nullptr;  // drawn in the opaque solid pass and the point pass
};

}  // namespace orvex
