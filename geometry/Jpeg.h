#pragma once
// JPEG pictures through libjpeg: decoding bytes into an RgbImage (grey, YCbCr, RGB and CMYK
// files), encoding an RgbImage with the library's default settings at a chosen quality.
//
// Decoding trusts nothing in the file: the library's errors come back as a Status (never an exit),
// the picture's size is checked against a pixel limit before anything is allocated, the library's
// own working memory is bounded, and a progressive file may not hold more scans than a limit.
// Damage the library can read past (a truncated file, corrupt data) still gives a picture; its
// first complaint is kept in Warning.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "geometry/RgbImage.h"
#include "geometry/Status.h"

namespace orvex {

struct JpegLimits {
    std::uint64_t Max_Pixels = std::uint64_t(1) << 27;
    int Max_Scans = 500;  // a progressive picture needs about ten
};

struct JpegDecoded {
    RgbImage Image;
    std::string Warning;  // empty when the library had nothing to say
};

// Decodes `size` bytes. `name` names the source in messages ("head.tgl.jpg: ..."). On failure the
// result is left empty.
Status Decode_Jpeg(const unsigned char* data, std::size_t size, JpegDecoded& out,
                   const std::string& name = "JPEG", const JpegLimits& limits = {});

// Reads and decodes a file.
Status Read_Jpeg_File(const std::string& path, JpegDecoded& out, const JpegLimits& limits = {});

// Encodes a picture (quality 1 to 100, clamped) with jpeg_set_defaults.
Status Encode_Jpeg(const RgbImage& image, int quality, std::vector<unsigned char>& out);

// Encodes and writes through AtomicFile.
Status Write_Jpeg_File(const std::string& path, const RgbImage& image, int quality);

}  // namespace orvex
