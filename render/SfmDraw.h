#pragma once
// Structure-from-motion data: the coloured points, then every camera as its centre and the eight
// edges of its viewing pyramid at unit depth (scaled by the camera's scale), in the contrast colour,
// then, when the data is labelled, each camera's name in green a little above its centre on the
// screen. Cameras without a pose show nothing; cameras without a pyramid only their centre.

namespace orvex {

struct SFMData;
struct ViewState;

// `size` is the point size of the reconstruction's points; `contrast` the colour of the cameras.
// Point size 1 afterwards.
void Draw_SFM(const SFMData& data, const ViewState& view, const float contrast[3], int size);

}  // namespace orvex
