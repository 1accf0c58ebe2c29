#pragma once
// The number forms of the crash reporter's texts.

#include <cstdint>
#include <string>

namespace brevant {

// Ids and other hexadecimal values: "$" and lower-case digits without leading zeros ($1a2c, $0).
std::u16string DollarHex(std::uint64_t value);
// Code and memory addresses: lower-case digits, at least minimumDigits of them (8 on i686).
std::u16string AddressHex(std::uint64_t value, int minimumDigits = 8);
// Upper-case digits without leading zeros, as in "External exception C0000025".
std::u16string UpperHex(std::uint64_t value);

}  // namespace brevant
