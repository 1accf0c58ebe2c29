#include "crashreport/stack/callstack_crc.h"

#include <array>

namespace brevant::crashreport {

namespace {

constexpr std::array<std::uint32_t, 256> MakeTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

constexpr std::array<std::uint32_t, 256> kTable = MakeTable();

char16_t CrcLower(char16_t c) {
    if ((c >= u'A' && c <= u'Z') || c == u'\u00C4' || c == u'\u00D6' || c == u'\u00DC') return c + 0x20;
    return c;
}

}  // namespace

std::uint32_t CrcStep(std::uint32_t crc, const void* bytes, std::size_t size) {
    const auto* p = static_cast<const std::uint8_t*>(bytes);
    for (std::size_t i = 0; i < size; ++i) crc = kTable[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
    return crc;
}

std::uint32_t CrcStepValue(std::uint32_t crc, std::uint32_t value) {
    const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                                   static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
    return CrcStep(crc, bytes, sizeof(bytes));
}

std::uint32_t CrcStepLowerName(std::uint32_t crc, std::u16string_view name) {
    for (char16_t c : name) {
        const char16_t lower = CrcLower(c);
        const std::uint8_t bytes[2] = {static_cast<std::uint8_t>(lower), static_cast<std::uint8_t>(lower >> 8)};
        crc = CrcStep(crc, bytes, sizeof(bytes));
    }
    return crc;
}

}  // namespace brevant::crashreport
