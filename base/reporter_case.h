#pragma once
// The crash reporter's own case-insensitive text comparison. It folds only the units below
// 256 through one table, so that names in settings, plug-in lists and placeholders compare
// the same way on every system, whatever its locale.

#include <cstddef>
#include <string_view>

namespace brevant {

// A-Z to a-z; U+00C0-U+00DE (not U+00D7) up by 0x20; U+008A, U+008C, U+008E up by 0x10;
// U+009F to U+00FF. Units of 256 and above stay as they are.
char16_t FoldReporterUnit(char16_t unit);

bool SameReporterText(std::u16string_view a, std::u16string_view b);
// Ordering: the first differing folded unit decides; a prefix comes first.
int CompareReporterText(std::u16string_view a, std::u16string_view b);
// Position of the first folded match of needle at or after from, or npos.
std::size_t FindReporterText(std::u16string_view haystack, std::u16string_view needle, std::size_t from = 0);

}  // namespace brevant
