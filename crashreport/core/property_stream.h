#pragma once
// The binary property-stream format of the embedded settings block and the form
// definitions: the signature "TPF0", then objects made of short strings and tagged values.
// This file holds what reading and writing share: the tags and a bounds-checked reader.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace brevant::crashreport {

inline constexpr std::string_view kPropertyStreamSignature = "TPF0";

// Value tags; all numbers little-endian.
enum class ValueTag : std::uint8_t {
    Int8 = 2,             // signed byte
    Int16 = 3,            // signed 16-bit
    Int32 = 4,            // signed 32-bit
    AnsiShortString = 6,  // 1-byte length, bytes in the system code page
    Utf8ShortString = 7,  // 1-byte length, UTF-8
    False = 8,            // no data
    True = 9,             // no data
    AnsiLongString = 12,  // 4-byte length, bytes in the system code page
    Utf16String = 18,     // 4-byte count of UTF-16 units
    Utf8LongString = 20,  // 4-byte length, UTF-8
};

// 8-bit text in the system code page to UTF-16. The Windows build passes the ANSI code page's
// conversion; native code and tests use Latin-1.
using AnsiDecoder = std::u16string (*)(std::string_view bytes);
std::u16string DecodeLatin1(std::string_view bytes);

struct StreamValue {
    enum class Kind { Integer, Boolean, Text };
    Kind kind = Kind::Integer;
    std::int32_t integer = 0;
    bool boolean = false;
    std::u16string text;
};

enum class ValueReadResult { Ok, Truncated, UnknownTag };

// Reads the parts of a property stream from a byte range without ever reading past its end:
// every operation reports whether the data sufficed and leaves the position alone otherwise.
class PropertyStreamReader {
public:
    PropertyStreamReader(std::span<const std::uint8_t> bytes, AnsiDecoder decodeAnsi);

    std::size_t Offset() const { return offset_; }
    bool AtEnd() const { return offset_ >= bytes_.size(); }

    bool ReadByte(std::uint8_t& value);
    // A length byte and that many raw bytes.
    bool ReadShortString(std::string& bytes);
    bool ReadSignature();
    // The value bytes that follow a tag.
    ValueReadResult ReadValue(std::uint8_t tag, StreamValue& value);

private:
    bool ReadBytes(std::size_t count, std::string_view& bytes);
    bool ReadUint32(std::uint32_t& value);

    std::span<const std::uint8_t> bytes_;
    std::size_t offset_ = 0;
    AnsiDecoder decodeAnsi_;
};

}  // namespace brevant::crashreport
