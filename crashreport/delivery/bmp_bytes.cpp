#include "crashreport/delivery/bmp_bytes.h"

#include "base/little_endian.h"

namespace brevant::crashreport {

std::string AsBmpBytes(PixelPicture picture) {
    if (picture.width <= 0 || picture.height <= 0 || !picture.bits) return {};
    const std::uint32_t imageSize =
        static_cast<std::uint32_t>(picture.width) * static_cast<std::uint32_t>(picture.height) * 4;
    std::string bytes = "BM";
    AppendU32(bytes, imageSize + 54);
    AppendU16(bytes, 0);
    AppendU16(bytes, 0);
    AppendU32(bytes, 54);
    // BITMAPINFOHEADER: size, width, height (positive: bottom-up), planes, bits, BI_RGB, image size.
    AppendU32(bytes, 40);
    AppendU32(bytes, static_cast<std::uint32_t>(picture.width));
    AppendU32(bytes, static_cast<std::uint32_t>(picture.height));
    AppendU16(bytes, 1);
    AppendU16(bytes, 32);
    AppendU32(bytes, 0);
    AppendU32(bytes, imageSize);
    for (int i = 0; i < 4; ++i) AppendU32(bytes, 0);
    bytes.append(reinterpret_cast<const char*>(picture.bits), imageSize);
    return bytes;
}

}  // namespace brevant::crashreport
