#pragma once
// Appends the parts of a binary property stream: signature, short strings, tagged values and
// the 0 bytes that end property and child lists.

#include <cstdint>
#include <string_view>
#include <vector>

namespace brevant::tools {

inline constexpr std::size_t kLongestShortString = 255;

class PropertyStreamWriter {
public:
    void Signature();
    // A length byte and the bytes; at most kLongestShortString of them.
    void ShortString(std::string_view bytes);
    void EndOfList();

    void Integer(std::int32_t value);
    void Boolean(bool value);
    void Identifier(std::string_view name);
    // Tag 12 when every byte is ASCII, else tag 20 with the UTF-8 bytes.
    void String(std::string_view utf8);

    std::vector<std::uint8_t> Take() { return std::move(bytes_); }

private:
    void Tag(std::uint8_t tag);
    void Uint32(std::uint32_t value);
    void Bytes(std::string_view bytes);

    std::vector<std::uint8_t> bytes_;
};

}  // namespace brevant::tools
