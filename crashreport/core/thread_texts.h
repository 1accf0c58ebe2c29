#pragma once
// The texts of the thread registry: names stored as packed strings in shared nodes, and the
// display text of a thread in reports.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brevant::crashreport {

// Text to and from the system's 8-bit code page; nothing when a unit cannot be converted.
struct CodePage {
    std::function<std::optional<std::string>(std::u16string_view)> narrow;
    std::function<std::u16string(std::string_view)> widen;
};

// The 8-bit text and a zero byte; when that does not give back the text unchanged (or the
// text holds a unit above 255), the UTF-16 text and a zero unit follow directly.
std::vector<std::uint8_t> PackString(std::u16string_view text, const CodePage& codePage);

// Reads a packed string from a heap block of blockSize bytes: its UTF-16 part when the block
// is more than three times as long as the 8-bit part, else the 8-bit part. Never reads past
// the block.
std::u16string UnpackString(const std::uint8_t* block, std::size_t blockSize, const CodePage& codePage);

// The names the crash reporter gives its own threads; reports leave them out.
bool IsInternalThreadName(std::u16string_view name);

// "main thread ($1a2c)" for a named thread, else "thread $1a2c" with " (ClassName)" when the
// thread object's class is known. Empty for an internal thread unless those are included.
std::u16string ThreadDisplayText(std::uint32_t threadId, std::u16string_view name, std::u16string_view className,
                                 bool includeInternal);

}  // namespace brevant::crashreport
