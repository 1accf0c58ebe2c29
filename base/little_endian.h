#pragma once
// Fixed-width little-endian fields, read and written byte by byte so that stored and shared
// records mean the same on every host regardless of alignment and byte order.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace brevant {

inline std::uint32_t ReadU32(const std::uint8_t* bytes) {
    return std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 | std::uint32_t{bytes[2]} << 16 |
           std::uint32_t{bytes[3]} << 24;
}

inline std::uint16_t ReadU16(const std::uint8_t* bytes) {
    return static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8);
}

inline void AppendU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

inline void WriteU32(std::uint8_t* out, std::uint32_t value) {
    for (int index = 0; index < 4; ++index) out[index] = static_cast<std::uint8_t>(value >> (8 * index));
}

inline std::uint64_t ReadU64(const std::uint8_t* bytes) {
    return std::uint64_t{ReadU32(bytes)} | std::uint64_t{ReadU32(bytes + 4)} << 32;
}

inline void WriteU64(std::uint8_t* out, std::uint64_t value) {
    WriteU32(out, static_cast<std::uint32_t>(value));
    WriteU32(out + 4, static_cast<std::uint32_t>(value >> 32));
}

// Byte strings that become files, such as archives.
inline void AppendU16(std::string& out, std::uint16_t value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>(value >> 8);
}

inline void AppendU32(std::string& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out += static_cast<char>((value >> shift) & 0xFF);
}

}  // namespace brevant
