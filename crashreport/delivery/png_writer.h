#pragma once
// The bytes of a palette PNG: signature, IHDR, PLTE, one IDAT and IEND.

#include <cstdint>
#include <string>
#include <string_view>

namespace brevant::crashreport {

// palette: 768 bytes (256 entries of red, green, blue; bit depth 8) or 48 (16 entries; bit
// depth 4). filteredRows: every row as a filter byte 0 followed by its packed indices, the
// top row first. Empty when the data cannot be compressed.
std::string PngFileBytes(std::uint32_t width, std::uint32_t height, std::string_view palette,
                         std::string_view filteredRows);

// The raw deflate stream (no zlib header) made as the PNG's IDAT needs it: 32 KB window,
// 15 hash bits, 16 KB literal buffer, zlib's fast level 2.
std::string RawDeflate(std::string_view data);

}  // namespace brevant::crashreport
