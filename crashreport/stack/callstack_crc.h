#pragma once
// The crc of the report's call stacks: table-driven CRC-32 of the reflected polynomial
// 0xEDB88320, without initial or final inversion (the caller seeds the running value), so
// that values can be chained from line to line and from block to block.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace brevant::crashreport {

std::uint32_t CrcStep(std::uint32_t crc, const void* bytes, std::size_t size);
// One step over the 4 little-endian bytes of a value.
std::uint32_t CrcStepValue(std::uint32_t crc, std::uint32_t value);
// One step over a name lower-cased (ASCII letters and Ä, Ö, Ü only) as UTF-16 little-endian.
std::uint32_t CrcStepLowerName(std::uint32_t crc, std::u16string_view name);

}  // namespace brevant::crashreport
