#pragma once
// Colour reduction to a palette of at most 256 colours by Xiaolin Wu's variance minimisation:
// the colour cube of the picture's 15-bit colours is cut into boxes, always the box of largest
// variance at the place that separates its colours best; each box gives one palette entry.

#include <array>
#include <cstdint>

#include "crashreport/delivery/pixel_picture.h"

namespace brevant::crashreport {

struct PaletteColour {
    std::uint8_t red = 0, green = 0, blue = 0;
    bool operator==(const PaletteColour&) const = default;
};

struct QuantizedPalette {
    std::array<PaletteColour, 256> entries{};  // unused entries and boxes without pixels are black
    int colours = 0;                           // the number of boxes made
};

QuantizedPalette QuantizeWu(PixelPicture picture);

}  // namespace brevant::crashreport
