#pragma once
// The number and text forms of the report header.

#include <cstdint>
#include <string>
#include <string_view>

namespace brevant::crashreport {

// "512 Bytes", "1.50 KB", "41.26 MB", "1.82 GB": two decimals, the user's decimal separator.
std::u16string FormatByteSize(std::uint64_t bytes, char16_t decimalSeparator = u'.');
// The two largest units of a duration: "2 days 3 hours", "1 hour", "5 seconds"; empty for 0.
std::u16string FormatUpTime(std::int64_t seconds);
// One sentence on one line: trailing "." and "!" become a single ".", line breaks blanks,
// runs of blanks one blank.
std::u16string NormalizeExceptionMessage(std::u16string_view message);
// Line breaks become blanks, runs of blanks one blank.
std::u16string OneLine(std::u16string_view text);
// "$0a1b2c3d, $5e6f7081, $92a3b4c5": always 31 characters, which saving relies on.
std::u16string CallstackCrcText(const std::uint32_t (&values)[3]);

}  // namespace brevant::crashreport
