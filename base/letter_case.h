#pragma once
// Letter-case mapping for comparisons that ignore case. Covers the scripts a
// configuration or registry text realistically holds: Basic Latin, Latin-1,
// Latin Extended-A, Greek and Cyrillic. Other units map to themselves.

#include <cstddef>
#include <string>
#include <string_view>

namespace brevant {

char16_t UpperCaseLetter(char16_t unit);
char16_t LowerCaseLetter(char16_t unit);
std::u16string UpperCase(std::u16string_view text);
std::u16string LowerCase(std::u16string_view text);

bool SameTextIgnoringCase(std::u16string_view a, std::u16string_view b);
// Only A-Z and a-z are folded; every other unit must match exactly.
bool SameAsciiTextIgnoringCase(std::u16string_view a, std::u16string_view b);
bool StartsWithIgnoringCase(std::u16string_view text, std::u16string_view prefix);
// Position of the first occurrence of needle at or after from, or npos.
std::size_t FindIgnoringCase(std::u16string_view haystack, std::u16string_view needle, std::size_t from = 0);
// Every occurrence replaced, left to right; inserted text is not searched again.
std::u16string ReplaceAllIgnoringCase(std::u16string_view text, std::u16string_view pattern,
                                      std::u16string_view replacement);

}  // namespace brevant
