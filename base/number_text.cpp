#include "base/number_text.h"

namespace brevant {

namespace {

std::u16string HexDigits(std::uint64_t value, int minimumDigits, const char* digits) {
    std::u16string text;
    do {
        text.insert(text.begin(), static_cast<char16_t>(digits[value & 0xF]));
        value >>= 4;
    } while (value != 0);
    if (static_cast<int>(text.size()) < minimumDigits) text.insert(0, minimumDigits - text.size(), u'0');
    return text;
}

}  // namespace

std::u16string DollarHex(std::uint64_t value) {
    return u"$" + HexDigits(value, 1, "0123456789abcdef");
}

std::u16string AddressHex(std::uint64_t value, int minimumDigits) {
    return HexDigits(value, minimumDigits, "0123456789abcdef");
}

std::u16string UpperHex(std::uint64_t value) {
    return HexDigits(value, 1, "0123456789ABCDEF");
}

}  // namespace brevant
