#pragma once
// Pictures between the toolkit and the core: a grabbed frame as an RgbImage (0x00BBGGRR, row 0 at
// the top) and back, for the screenshot writers, the clipboard and captured frames.

#include <QImage>

#include "geometry/RgbImage.h"

namespace orvex {

RgbImage Rgb_Image_From(const QImage& image);
QImage QImage_From(const RgbImage& image);

}  // namespace orvex
