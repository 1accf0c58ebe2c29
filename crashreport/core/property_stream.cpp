#include "crashreport/core/property_stream.h"

#include "base/utf16_text.h"

namespace brevant::crashreport {

std::u16string DecodeLatin1(std::string_view bytes) {
    return FromLatin1(bytes);
}

PropertyStreamReader::PropertyStreamReader(std::span<const std::uint8_t> bytes, AnsiDecoder decodeAnsi)
    : bytes_(bytes), decodeAnsi_(decodeAnsi ? decodeAnsi : DecodeLatin1) {}

bool PropertyStreamReader::ReadBytes(std::size_t count, std::string_view& bytes) {
    if (count > bytes_.size() - offset_) return false;
    bytes = std::string_view(reinterpret_cast<const char*>(bytes_.data()) + offset_, count);
    offset_ += count;
    return true;
}

bool PropertyStreamReader::ReadByte(std::uint8_t& value) {
    if (AtEnd()) return false;
    value = bytes_[offset_++];
    return true;
}

bool PropertyStreamReader::ReadUint32(std::uint32_t& value) {
    std::string_view raw;
    if (!ReadBytes(4, raw)) return false;
    value = 0;
    for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<std::uint8_t>(raw[i]);
    return true;
}

bool PropertyStreamReader::ReadShortString(std::string& bytes) {
    const std::size_t start = offset_;
    std::uint8_t length = 0;
    std::string_view raw;
    if (!ReadByte(length) || !ReadBytes(length, raw)) {
        offset_ = start;
        return false;
    }
    bytes.assign(raw);
    return true;
}

bool PropertyStreamReader::ReadSignature() {
    const std::size_t start = offset_;
    std::string_view raw;
    if (ReadBytes(kPropertyStreamSignature.size(), raw) && raw == kPropertyStreamSignature) return true;
    offset_ = start;
    return false;
}

namespace {

std::int32_t SignExtended(std::uint32_t raw, int bytes) {
    const int unusedBits = 32 - 8 * bytes;
    return static_cast<std::int32_t>(raw << unusedBits) >> unusedBits;
}

}  // namespace

ValueReadResult PropertyStreamReader::ReadValue(std::uint8_t tag, StreamValue& value) {
    const std::size_t start = offset_;
    auto truncated = [&] {
        offset_ = start;
        return ValueReadResult::Truncated;
    };
    auto integer = [&](int bytes) {
        std::string_view raw;
        if (!ReadBytes(bytes, raw)) return truncated();
        std::uint32_t little = 0;
        for (int i = bytes - 1; i >= 0; --i) little = (little << 8) | static_cast<std::uint8_t>(raw[i]);
        value = StreamValue{StreamValue::Kind::Integer, SignExtended(little, bytes), false, {}};
        return ValueReadResult::Ok;
    };
    auto text = [&](std::size_t lengthBytes, std::size_t unitSize, auto decode) {
        std::uint32_t length = 0;
        std::uint8_t shortLength = 0;
        if (lengthBytes == 1 ? !ReadByte(shortLength) : !ReadUint32(length)) return truncated();
        if (lengthBytes == 1) length = shortLength;
        std::string_view raw;
        if (length > (bytes_.size() - offset_) / unitSize || !ReadBytes(length * unitSize, raw)) return truncated();
        value = StreamValue{StreamValue::Kind::Text, 0, false, decode(raw)};
        return ValueReadResult::Ok;
    };
    auto utf16 = [](std::string_view raw) {
        std::u16string units(raw.size() / 2, u'\0');
        for (std::size_t i = 0; i < units.size(); ++i) {
            units[i] = static_cast<char16_t>(static_cast<std::uint8_t>(raw[2 * i]) |
                                             static_cast<std::uint8_t>(raw[2 * i + 1]) << 8);
        }
        return units;
    };
    auto ansi = [this](std::string_view raw) { return decodeAnsi_(raw); };
    auto utf8 = [](std::string_view raw) { return FromUtf8(raw); };

    switch (static_cast<ValueTag>(tag)) {
        case ValueTag::Int8:
            return integer(1);
        case ValueTag::Int16:
            return integer(2);
        case ValueTag::Int32:
            return integer(4);
        case ValueTag::AnsiShortString:
            return text(1, 1, ansi);
        case ValueTag::Utf8ShortString:
            return text(1, 1, utf8);
        case ValueTag::False:
        case ValueTag::True:
            value = StreamValue{StreamValue::Kind::Boolean, 0, tag == static_cast<std::uint8_t>(ValueTag::True), {}};
            return ValueReadResult::Ok;
        case ValueTag::AnsiLongString:
            return text(4, 1, ansi);
        case ValueTag::Utf16String:
            return text(4, 2, utf16);
        case ValueTag::Utf8LongString:
            return text(4, 1, utf8);
    }
    return ValueReadResult::UnknownTag;
}

}  // namespace brevant::crashreport
