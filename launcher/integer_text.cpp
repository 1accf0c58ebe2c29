#include "launcher/integer_text.h"

namespace brevant {

namespace {

int HexDigitValue(char16_t unit) {
    if (unit >= u'0' && unit <= u'9') return unit - u'0';
    if (unit >= u'a' && unit <= u'f') return unit - u'a' + 10;
    if (unit >= u'A' && unit <= u'F') return unit - u'A' + 10;
    return -1;
}

std::optional<std::uint32_t> ParseHexDigits(std::u16string_view digits) {
    if (digits.empty() || digits.size() > 8) return std::nullopt;
    std::uint32_t value = 0;
    for (char16_t unit : digits) {
        int digit = HexDigitValue(unit);
        if (digit < 0) return std::nullopt;
        value = (value << 4) | static_cast<std::uint32_t>(digit);
    }
    return value;
}

// Magnitude of a decimal number, refusing anything beyond 2^31 (the most a negative fits).
std::optional<std::uint32_t> ParseDecimalDigits(std::u16string_view digits) {
    if (digits.empty()) return std::nullopt;
    std::uint64_t value = 0;
    for (char16_t unit : digits) {
        if (unit < u'0' || unit > u'9') return std::nullopt;
        value = value * 10 + (unit - u'0');
        if (value > 0x80000000u) return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

}  // namespace

std::optional<std::int32_t> ParseInteger(std::u16string_view text) {
    while (!text.empty() && text[0] == u' ') text.remove_prefix(1);
    bool negative = false;
    if (!text.empty() && (text[0] == u'+' || text[0] == u'-')) {
        negative = text[0] == u'-';
        text.remove_prefix(1);
    }
    bool hex = false;
    if (!text.empty() && (text[0] == u'$' || text[0] == u'x' || text[0] == u'X')) {
        hex = true;
        text.remove_prefix(1);
    } else if (text.size() >= 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X')) {
        hex = true;
        text.remove_prefix(2);
    }
    if (hex) {
        std::optional<std::uint32_t> pattern = ParseHexDigits(text);
        if (!pattern) return std::nullopt;
        std::uint32_t bits = negative ? 0u - *pattern : *pattern;
        return static_cast<std::int32_t>(bits);
    }
    std::optional<std::uint32_t> magnitude = ParseDecimalDigits(text);
    if (!magnitude || (!negative && *magnitude > 0x7FFFFFFFu)) return std::nullopt;
    return static_cast<std::int32_t>(negative ? 0u - *magnitude : *magnitude);
}

}  // namespace brevant
