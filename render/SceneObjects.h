#pragma once
// What a frame draws: non-owning views of the model objects the main window owns. Objects of
// later subsystems (point sets, facets, boundaries, volumes, overlays) join here as they arrive.

namespace orvex {

class UniOb;

struct SceneObjects {
    const UniOb* Main_Objects = nullptr;  // drawn, head first
    const UniOb* Aux_Objects = nullptr;   // held by the window, not drawn
};

}  // namespace orvex
