#pragma once
// Mapping pixels to palette entries: the nearest of 256 colours, and the nearest of 16 grays.

#include <array>
#include <cstdint>
#include <vector>

#include "crashreport/delivery/wu_quantizer.h"

namespace brevant::crashreport {

// The entry with the smallest |dr| + |dg| + |db|; the lowest index among equals.
std::uint8_t NearestPaletteIndex(const std::array<PaletteColour, 256>& palette, std::uint8_t red, std::uint8_t green,
                                 std::uint8_t blue);

// The 15-bit cell of a colour: the upper five bits of blue, green and red, blue highest.
inline int FifteenBitCell(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    return (blue >> 3) << 10 | (green >> 3) << 5 | (red >> 3);
}

// Nearest entries remembered per 15-bit cell: the first colour seen in a cell decides for
// all others in it, so each cell is searched against the palette once.
class PaletteMapping {
public:
    explicit PaletteMapping(const std::array<PaletteColour, 256>& palette);
    std::uint8_t IndexOf(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
        std::int16_t& known = cache_[FifteenBitCell(red, green, blue)];
        if (known < 0) known = NearestPaletteIndex(palette_, red, green, blue);
        return static_cast<std::uint8_t>(known);
    }

private:
    std::array<PaletteColour, 256> palette_;
    // On the heap: the sending thread's stack may be small. -1: not yet known.
    std::vector<std::int16_t> cache_ = std::vector<std::int16_t>(32768, -1);
};

inline constexpr std::array<std::uint8_t, 16> kGrayLevels = {0,   28,  52,  73,  92,  109, 125, 140,
                                                             155, 170, 185, 199, 213, 227, 241, 255};

inline std::uint8_t GrayValue(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    return static_cast<std::uint8_t>((red * 77 + green * 151 + blue * 28) >> 8);
}

// The index of the level nearest to a gray value; the lower level on a tie.
std::uint8_t NearestGrayLevel(std::uint8_t gray);

// NearestGrayLevel for every gray value, computed once.
class GrayMapping {
public:
    GrayMapping();
    std::uint8_t LevelOf(std::uint8_t gray) const { return levels_[gray]; }

private:
    std::array<std::uint8_t, 256> levels_;
};

}  // namespace brevant::crashreport
