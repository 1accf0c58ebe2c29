#pragma once
// How a raw exception message becomes the text a report shows.

#include <string>
#include <string_view>

namespace brevant::crashreport {

// Drops control characters except CR and LF, trims blanks and controls from both ends, and
// gives "Unknown" when nothing is left.
std::u16string CleanedMessageText(std::u16string_view message);

// All trailing "." and "!" removed and exactly one "." appended.
std::u16string WithFinalFullStop(std::u16string_view message);

}  // namespace brevant::crashreport
