#pragma once
// Xiaolin Wu's colour quantizer: up to 256 colours chosen by cutting the colour cube where
// the variance drops most.

#include <array>
#include <cstdint>

#include "crashreport/delivery/pixel_picture.h"

namespace brevant::crashreport {

struct PaletteColour {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    friend bool operator==(const PaletteColour&, const PaletteColour&) = default;
};

struct WuPalette {
    // Entries from colourCount on, and boxes without pixels, are black.
    std::array<PaletteColour, 256> colours{};
    int colourCount = 0;
};

// The palette of a picture with at least one pixel.
WuPalette QuantizeWu(const PixelPicture& picture);

}  // namespace brevant::crashreport
