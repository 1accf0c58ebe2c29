#pragma once
// Conversion of configuration texts to 32-bit integers.

#include <cstdint>
#include <optional>
#include <string_view>

namespace brevant {

// Accepts leading blanks, an optional sign, then decimal digits, or hexadecimal digits
// after "$", "x", "X", "0x" or "0X"; nothing may follow. Decimal values must fit a signed
// 32-bit integer; hexadecimal ones have at most 8 digits and are taken as the bit pattern.
std::optional<std::int32_t> ParseInteger(std::u16string_view text);

}  // namespace brevant
