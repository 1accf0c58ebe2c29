#pragma once
// Mapping pixels to palette entries: the nearest of 256 colours, remembered per 15-bit colour,
// and the 16 gray levels of the small gray pictures.

#include <array>
#include <cstdint>
#include <vector>

#include "crashreport/delivery/wu_quantizer.h"

namespace brevant::crashreport {

// The nearest entry by |r − R| + |g − G| + |b − B| (the lowest index on a tie), searched
// once per 15-bit colour: later pixels of that colour get the first one's answer.
class NearestColourMap {
public:
    explicit NearestColourMap(const std::array<PaletteColour, 256>& palette);
    std::uint8_t IndexOf(std::uint8_t red, std::uint8_t green, std::uint8_t blue);

private:
    std::uint8_t Search(int red, int green, int blue) const;

    std::array<PaletteColour, 256> palette_;
    std::vector<std::int16_t> cache_;  // 32768 entries: blue highest, -1 unknown
};

inline constexpr std::array<std::uint8_t, 16> kGrayLevels = {0,   28,  52,  73,  92,  109, 125, 140,
                                                             155, 170, 185, 199, 213, 227, 241, 255};

inline std::uint8_t GrayValue(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    return static_cast<std::uint8_t>((red * 77 + green * 151 + blue * 28) >> 8);
}

// The level nearest to each gray value, the lower one on a tie.
const std::array<std::uint8_t, 256>& GrayLevelOfValue();

}  // namespace brevant::crashreport
