#include "crashreport/ui/image_blending.h"

namespace brevant::crashreport {

void BlendImageOver(const std::uint8_t* image, std::uint8_t* target, std::size_t pixelCount) {
    for (std::size_t i = 0; i < pixelCount; ++i, image += 4, target += 4) {
        const std::uint32_t l = image[3] + 1u;
        const std::uint32_t keep = 256u - l;
        // Red and blue share one multiplication; their fields cannot reach each other.
        const std::uint32_t backRedBlue = target[0] | static_cast<std::uint32_t>(target[2]) << 16;
        const std::uint32_t foreRedBlue = image[0] | static_cast<std::uint32_t>(image[2]) << 16;
        const std::uint32_t redBlue = ((backRedBlue * keep + foreRedBlue * l) >> 8) & 0x00FF00FFu;
        const std::uint32_t green = (target[1] * keep + image[1] * l) >> 8;
        target[0] = static_cast<std::uint8_t>(redBlue);
        target[1] = static_cast<std::uint8_t>(green);
        target[2] = static_cast<std::uint8_t>(redBlue >> 16);
    }
}

std::int32_t SquareImageSide(std::size_t resourceBytes, std::int32_t side) {
    const std::size_t expected = 40 + static_cast<std::size_t>(side) * static_cast<std::size_t>(side) * 4;
    return resourceBytes == expected ? side : 0;
}

}  // namespace brevant::crashreport
