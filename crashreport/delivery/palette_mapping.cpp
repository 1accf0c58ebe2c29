#include "crashreport/delivery/palette_mapping.h"

#include <cstdlib>

namespace brevant::crashreport {

std::uint8_t NearestPaletteIndex(const std::array<PaletteColour, 256>& palette, std::uint8_t red, std::uint8_t green,
                                 std::uint8_t blue) {
    int nearest = 0;
    int nearestDistance = 3 * 256;
    for (int index = 0; index < 256; ++index) {
        const PaletteColour& entry = palette[index];
        const int distance = std::abs(red - entry.red) + std::abs(green - entry.green) + std::abs(blue - entry.blue);
        if (distance < nearestDistance) {
            nearestDistance = distance;
            nearest = index;
        }
    }
    return static_cast<std::uint8_t>(nearest);
}

PaletteMapping::PaletteMapping(const std::array<PaletteColour, 256>& palette) : palette_(palette) {}

std::uint8_t NearestGrayLevel(std::uint8_t gray) {
    int nearest = 0;
    for (int level = 1; level < static_cast<int>(kGrayLevels.size()); ++level) {
        if (std::abs(gray - kGrayLevels[level]) < std::abs(gray - kGrayLevels[nearest])) nearest = level;
    }
    return static_cast<std::uint8_t>(nearest);
}

GrayMapping::GrayMapping() {
    for (int gray = 0; gray < 256; ++gray) levels_[gray] = NearestGrayLevel(static_cast<std::uint8_t>(gray));
}

}  // namespace brevant::crashreport
