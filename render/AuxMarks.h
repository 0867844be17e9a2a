#pragma once
// The auxiliary marks of a mesh, drawn over the scene when the Inspector's "Auxiliary" option is
// on: the profile marks of the face pipeline, an arrow and a small sphere for every region record,
// then the feature points and the template points. Nothing for an empty mesh. Leaves lighting off,
// line width and point size at 1.

namespace orvex {

class UniOb;

void Draw_Aux_Marks(const UniOb& mesh);

}  // namespace orvex
