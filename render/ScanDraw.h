#pragma once
// Laser scans in the plane z = 0: the scanner body as a red 60 x 120 rectangle, then the readings
// of one scan as points over 180 degrees in half-degree steps (readings outside 300..75000 are no
// returns and are not drawn).

namespace orvex {

struct VEC_LIST;

// One scan in `colour` with points of `size` pixels; point size 1 afterwards.
void Draw_Scan(const VEC_LIST& scan, const float colour[3], int size);
// Every scan of the chain from `first` on.
void Draw_Scans(const VEC_LIST* first, const float colour[3], int size);

}  // namespace orvex
