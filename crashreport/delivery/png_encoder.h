#pragma once
#include <string>
#include "crashreport/delivery/pixel_picture.h"
#include "crashreport/delivery/png_format.h"
namespace brevant::crashreport {
inline std::string AsPngBytes(PixelPicture, TPngFormat) { return std::string("\x89PNG\r\n\x1a\n", 8); }
}
