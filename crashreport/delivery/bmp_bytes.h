#pragma once
// A 32-bit picture as the bytes of a BMP file.

#include <string>

#include "crashreport/delivery/pixel_picture.h"

namespace brevant::crashreport {

// The file header, the 40-byte info header (positive height: rows bottom-up) and the pixels
// as stored; empty for a picture without pixels.
std::string AsBmpBytes(PixelPicture picture);

}  // namespace brevant::crashreport
