#pragma once
// The crash reporter's images carry their own alpha: each pixel is blended over what lies
// beneath it.

#include <cstddef>
#include <cstdint>

namespace brevant::crashreport {

// Both in the DIB order blue, green, red, fourth byte; the image's fourth byte is its alpha.
// The target's fourth byte is left as it is.
void BlendImageOver(const std::uint8_t* image, std::uint8_t* target, std::size_t pixelCount);

// An image resource is a 40-byte header followed by n × n pixels; the size tells n, 0 when it
// is none of the allowed sizes.
std::int32_t SquareImageSide(std::size_t resourceBytes, std::int32_t side);

}  // namespace brevant::crashreport
