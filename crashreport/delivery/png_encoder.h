#pragma once
// A screenshot as a palette PNG: 256 colours, or 16 grays when asked for or when the colour
// picture would be larger than its format allows.

#include <string>

#include "crashreport/delivery/pixel_picture.h"
#include "crashreport/delivery/png_format.h"

namespace brevant::crashreport {

// The PNG file bytes; empty for a picture without pixels or when memory runs out. The gray
// form overwrites the picture's pixels with their gray values, so the picture stays gray.
std::string AsPngBytes(PixelPicture picture, TPngFormat format);

// The two forms on their own.
std::string ColourPngBytes(const PixelPicture& picture);
std::string GrayPngBytes(PixelPicture& picture);

}  // namespace brevant::crashreport
