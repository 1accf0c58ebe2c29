#pragma once
// A picture as a small palette PNG: 256 colours chosen for it, or 16 grays where a size
// target asks for less.

#include <string>

#include "crashreport/delivery/pixel_picture.h"
#include "crashreport/delivery/png_format.h"

namespace brevant::crashreport {

// The bytes of the PNG file; empty for an empty picture or when compression failed. Making
// the gray version grays the picture's own pixels.
std::string AsPngBytes(PixelPicture picture, TPngFormat format);

// The two versions on their own.
std::string ColourPngBytes(PixelPicture picture);
std::string GrayPngBytes(PixelPicture picture);

}  // namespace brevant::crashreport
