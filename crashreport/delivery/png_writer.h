#pragma once
// The bytes of a palette PNG file: signature, IHDR, PLTE, one IDAT, IEND.

#include <cstddef>
#include <cstdint>
#include <string>

namespace brevant::crashreport {

struct PngImage {
    std::int32_t width = 0;
    std::int32_t height = 0;
    const std::uint8_t* palette = nullptr;       // red, green, blue per entry
    std::size_t paletteSize = 0;                 // 768 bytes give bit depth 8, any other size 4
    const std::uint8_t* filteredRows = nullptr;  // per row a filter byte, then the packed indices
    std::size_t filteredSize = 0;
};

// The PNG file, or empty when the image data cannot be compressed.
std::string PngFileBytes(const PngImage& image);

// The zlib stream of the IDAT chunk: 0x78 0x01, raw deflate at zlib's level 2, Adler-32.
std::string ImageDataStream(const std::uint8_t* data, std::size_t size);

}  // namespace brevant::crashreport
