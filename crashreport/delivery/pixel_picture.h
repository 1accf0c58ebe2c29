#pragma once
// The pixels of a screenshot as the bitmap object hands them to the portable image code.

#include <cstddef>
#include <cstdint>

namespace brevant::crashreport {

// A 32-bit picture as a DIB section holds it: blue, green, red, unused per pixel, rows
// bottom-up without padding (width * 4 bytes per row).
struct PixelPicture {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint8_t* bits = nullptr;
};

inline bool HasPixels(const PixelPicture& picture) {
    return picture.width > 0 && picture.height > 0 && picture.bits != nullptr;
}

inline std::size_t PixelCount(const PixelPicture& picture) {
    return static_cast<std::size_t>(picture.width) * static_cast<std::size_t>(picture.height);
}

// The first byte of a stored row; row 0 is the bottom row of the picture.
inline std::uint8_t* StoredRow(const PixelPicture& picture, std::int32_t row) {
    return picture.bits + static_cast<std::size_t>(row) * static_cast<std::size_t>(picture.width) * 4;
}

}  // namespace brevant::crashreport
