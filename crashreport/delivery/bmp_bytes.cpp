#include "crashreport/delivery/bmp_bytes.h"

#include <cstdint>

namespace brevant::crashreport {
namespace {

constexpr std::uint32_t kHeadersSize = 14 + 40;

void AppendLittleEndian(std::string& out, std::uint32_t value, int bytes) {
    for (int index = 0; index < bytes; ++index) out.push_back(static_cast<char>(value >> (8 * index)));
}

}  // namespace

std::string AsBmpBytes(PixelPicture picture) {
    if (!HasPixels(picture)) return {};
    const std::size_t imageSize = PixelCount(picture) * 4;
    if (imageSize > 0xFFFFFFFFu - kHeadersSize) return {};
    std::string bytes;
    bytes.reserve(kHeadersSize + imageSize);
    bytes += "BM";
    AppendLittleEndian(bytes, static_cast<std::uint32_t>(imageSize) + kHeadersSize, 4);
    AppendLittleEndian(bytes, 0, 4);  // two reserved words
    AppendLittleEndian(bytes, kHeadersSize, 4);
    AppendLittleEndian(bytes, 40, 4);
    AppendLittleEndian(bytes, static_cast<std::uint32_t>(picture.width), 4);
    AppendLittleEndian(bytes, static_cast<std::uint32_t>(picture.height), 4);
    AppendLittleEndian(bytes, 1, 2);   // planes
    AppendLittleEndian(bytes, 32, 2);  // bits per pixel
    AppendLittleEndian(bytes, 0, 4);   // uncompressed
    AppendLittleEndian(bytes, static_cast<std::uint32_t>(imageSize), 4);
    bytes.append(16, '\0');  // resolution and colour counts
    bytes.append(reinterpret_cast<const char*>(picture.bits), imageSize);
    return bytes;
}

}  // namespace brevant::crashreport
