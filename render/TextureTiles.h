#pragma once
// The texture map laid upright in the plane z = 0, one unit a pixel: tiles of 64 x 64 texels,
// image column x along +x from 0, image row y down from y = 64 NY; texels beyond the map take the
// background colour. Tiles are drawn unlit and unchanged by colour (decal), sampled nearest and
// clamped at their own edges.
//
// Uploading a large map every frame costs more than the frame itself (a 4096 x 3072 map is 3185
// tiles, 52 MB), and so does switching textures tile by tile, so each context keeps its tiles
// between frames, packed into a few large textures, and makes them again only when the map, its
// generation or the background changes: the same pixels. The owner of the map bumps the generation
// whenever the pixels change. GL_TEXTURE_2D is left enabled with no texture bound.

#include <cstdint>

namespace orvex {

struct ArrayMap;

void Draw_Texture_Tiles(const ArrayMap& map, int background, std::uint64_t generation);

// Off: every frame uploads every tile and deletes it after drawing (same pixels, for comparison).
void Set_Tile_Keeping(bool keep);
bool Tile_Keeping();

}  // namespace orvex
