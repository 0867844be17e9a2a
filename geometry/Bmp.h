#pragma once
// Uncompressed 24-bit Windows bitmaps: the 14-byte file header, the 40-byte information header,
// then the rows bottom-up, each pixel blue, green, red, each row padded to four bytes.

#include <string>
#include <vector>

#include "geometry/RgbImage.h"
#include "geometry/Status.h"

namespace orvex {

// The whole file; empty for an inconsistent picture or one whose file would pass 4 GiB.
std::vector<unsigned char> Encode_Bmp(const RgbImage& image);

// Writes the file through AtomicFile.
Status Write_Bmp_File(const std::string& path, const RgbImage& image);

}  // namespace orvex
