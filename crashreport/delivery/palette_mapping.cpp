#include "crashreport/delivery/palette_mapping.h"

#include <cstdlib>

namespace brevant::crashreport {

NearestColourMap::NearestColourMap(const std::array<PaletteColour, 256>& palette)
    : palette_(palette), cache_(32768, -1) {}

std::uint8_t NearestColourMap::IndexOf(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    const int key = (blue >> 3) << 10 | (green >> 3) << 5 | red >> 3;
    std::int16_t& known = cache_[key];
    if (known < 0) known = Search(red, green, blue);
    return static_cast<std::uint8_t>(known);
}

std::uint8_t NearestColourMap::Search(int red, int green, int blue) const {
    int best = 0, bestDistance = 1 << 30;
    for (int i = 0; i < 256; ++i) {
        const PaletteColour& c = palette_[i];
        const int distance = std::abs(red - c.red) + std::abs(green - c.green) + std::abs(blue - c.blue);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = i;
        }
    }
    return static_cast<std::uint8_t>(best);
}

const std::array<std::uint8_t, 256>& GrayLevelOfValue() {
    static const std::array<std::uint8_t, 256> levels = [] {
        std::array<std::uint8_t, 256> table{};
        for (int value = 0; value < 256; ++value) {
            int best = 0;
            for (int level = 1; level < 16; ++level)
                if (std::abs(value - kGrayLevels[level]) < std::abs(value - kGrayLevels[best])) best = level;
            table[value] = static_cast<std::uint8_t>(best);
        }
        return table;
    }();
    return levels;
}

}  // namespace brevant::crashreport
