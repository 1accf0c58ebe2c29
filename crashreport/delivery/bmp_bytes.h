#pragma once
// A picture as the bytes of a BMP file: the 32-bit pixels as they are, bottom-up.

#include <string>

#include "crashreport/delivery/pixel_picture.h"

namespace brevant::crashreport {

std::string AsBmpBytes(PixelPicture picture);

}  // namespace brevant::crashreport
