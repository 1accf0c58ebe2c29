#pragma once
// Pieces of the plain-text tables the system lists are made of.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace brevant::crashreport {

// The text filled with blanks on the right to width characters; a longer text stays whole.
std::u16string LeftAligned(std::u16string_view text, std::size_t width);
// Lines joined by CR LF, without a line break before the first or after the last.
std::u16string JoinedLines(const std::vector<std::u16string>& lines);
// The text up to its first zero unit.
std::u16string_view UpToZero(std::u16string_view text);

}  // namespace brevant::crashreport
