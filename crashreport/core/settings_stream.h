#pragma once
// Reading the settings block: the fixed header of the "TQuarrex" object and its property
// records, converted to typed settings. Damaged data never fails the whole block: reading
// stops where the damage starts and what was read before stays.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "crashreport/core/property_stream.h"

namespace brevant::crashreport {

enum class TPropertyType : std::uint8_t { ptString = 0, ptInteger = 1, ptBoolean = 2, ptBinary = 3 };

struct SettingsProperty {
    std::string name;  // 8-bit, compared exactly
    TPropertyType typ = TPropertyType::ptString;
    bool vBool = false;
    std::int32_t vInt = 0;
    std::u16string vStr;  // empty and absent are the same
};

// "TPF0", class name "TQuarrex", object name "Quarrex", each name with its length byte.
inline constexpr std::size_t kSettingsHeaderSize = 21;

struct SettingsStreamResult {
    bool headerMatched = false;
    std::vector<SettingsProperty> properties;  // in stream order, duplicates included
    std::optional<std::uint8_t> unknownTag;    // reading stopped at this tag
};

SettingsStreamResult ReadSettingsStream(std::span<const std::uint8_t> bytes, AnsiDecoder decodeAnsi);

// "Internal error: Invalid settings resource ($a)." for tag 10.
std::u16string InvalidSettingsResourceMessage(std::uint8_t tag);

}  // namespace brevant::crashreport
