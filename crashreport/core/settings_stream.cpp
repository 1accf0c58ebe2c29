#include "crashreport/core/settings_stream.h"

#include <string_view>

#include "base/utf16_text.h"

namespace brevant::crashreport {

namespace {

constexpr std::string_view kSettingsHeader("TPF0\x08TQuarrex\x07Quarrex", kSettingsHeaderSize);

SettingsProperty ToSettingsProperty(std::string name, const StreamValue& value) {
    SettingsProperty property;
    property.name = std::move(name);
    switch (value.kind) {
        case StreamValue::Kind::Integer:
            property.typ = TPropertyType::ptInteger;
            property.vInt = value.integer;
            break;
        case StreamValue::Kind::Boolean:
            property.typ = TPropertyType::ptBoolean;
            property.vBool = value.boolean;
            break;
        case StreamValue::Kind::Text:
            property.typ = TPropertyType::ptString;
            property.vStr = value.text;
            break;
    }
    return property;
}

}  // namespace

SettingsStreamResult ReadSettingsStream(std::span<const std::uint8_t> bytes, AnsiDecoder decodeAnsi) {
    SettingsStreamResult result;
    if (bytes.size() < kSettingsHeaderSize ||
        std::string_view(reinterpret_cast<const char*>(bytes.data()), kSettingsHeaderSize) != kSettingsHeader) {
        return result;
    }
    result.headerMatched = true;

    PropertyStreamReader reader(bytes.subspan(kSettingsHeaderSize), decodeAnsi);
    std::string name;
    while (reader.ReadShortString(name) && !name.empty()) {
        std::uint8_t tag = 0;
        StreamValue value;
        if (!reader.ReadByte(tag)) break;
        const ValueReadResult read = reader.ReadValue(tag, value);
        if (read == ValueReadResult::UnknownTag) {
            result.unknownTag = tag;
            break;
        }
        if (read == ValueReadResult::Truncated) break;
        result.properties.push_back(ToSettingsProperty(std::move(name), value));
    }
    return result;
}

std::u16string InvalidSettingsResourceMessage(std::uint8_t tag) {
    static const char16_t digits[] = u"0123456789abcdef";
    std::u16string hex;
    if (tag >= 16) hex += digits[tag >> 4];
    hex += digits[tag & 15];
    return u"Internal error: Invalid settings resource ($" + hex + u").";
}

}  // namespace brevant::crashreport
