#pragma once
// The pixels of a picture, as the encoders and the zoom read them.

#include <cstdint>

namespace brevant::crashreport {

// A 32-bit picture as a DIB section holds it: blue, green, red, unused per pixel, rows
// bottom-up without padding (width * 4 bytes per row).
struct PixelPicture { std::int32_t width = 0; std::int32_t height = 0; std::uint8_t* bits = nullptr; };

}  // namespace brevant::crashreport
