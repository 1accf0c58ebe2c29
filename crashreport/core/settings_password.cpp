#include "crashreport/core/settings_password.h"

#include <cstdint>
#include <optional>

namespace brevant::crashreport {

namespace {

constexpr std::size_t kDigitsPerUnit = 4;

// FNV-1a over both texts, with a separator unit so that ("ab", "c") and ("a", "bc") differ.
std::uint64_t KeyOf(std::u16string_view server, std::u16string_view account) {
    std::uint64_t hash = 0xcbf29ce484222325ull;
    auto mix = [&hash](char16_t unit) {
        for (int shift : {0, 8}) {
            hash ^= (unit >> shift) & 0xFF;
            hash *= 0x100000001b3ull;
        }
    };
    for (char16_t unit : server) mix(unit);
    mix(0);
    for (char16_t unit : account) mix(unit);
    return hash;
}

// Splitmix64: every step gives four 16-bit masks.
class Keystream {
public:
    explicit Keystream(std::uint64_t key) : state_(key) {}

    char16_t Next() {
        if (available_ == 0) {
            state_ += 0x9e3779b97f4a7c15ull;
            std::uint64_t z = state_;
            z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
            z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
            block_ = z ^ (z >> 31);
            available_ = 4;
        }
        --available_;
        const auto mask = static_cast<char16_t>(block_ & 0xFFFF);
        block_ >>= 16;
        return mask;
    }

private:
    std::uint64_t state_;
    std::uint64_t block_ = 0;
    int available_ = 0;
};

std::optional<int> HexDigitValue(char16_t digit) {
    if (digit >= u'0' && digit <= u'9') return digit - u'0';
    if (digit >= u'a' && digit <= u'f') return digit - u'a' + 10;
    if (digit >= u'A' && digit <= u'F') return digit - u'A' + 10;
    return std::nullopt;
}

std::optional<char16_t> ParseUnit(std::u16string_view digits) {
    unsigned value = 0;
    for (char16_t digit : digits) {
        std::optional<int> nibble = HexDigitValue(digit);
        if (!nibble) return std::nullopt;
        value = (value << 4) | static_cast<unsigned>(*nibble);
    }
    return static_cast<char16_t>(value);
}

void AppendHexUnit(std::u16string& text, char16_t unit) {
    static const char16_t kDigits[] = u"0123456789abcdef";
    for (int shift = 12; shift >= 0; shift -= 4) text += kDigits[(unit >> shift) & 0xF];
}

}  // namespace

std::u16string EncipherSettingsPassword(std::u16string_view plain, std::u16string_view server,
                                        std::u16string_view account) {
    Keystream stream(KeyOf(server, account));
    std::u16string stored;
    stored.reserve(plain.size() * kDigitsPerUnit);
    for (char16_t unit : plain) AppendHexUnit(stored, static_cast<char16_t>(unit ^ stream.Next()));
    return stored;
}

std::u16string DecipherSettingsPassword(std::u16string_view stored, std::u16string_view server,
                                        std::u16string_view account) {
    if (stored.size() % kDigitsPerUnit != 0) return std::u16string(stored);
    Keystream stream(KeyOf(server, account));
    std::u16string plain;
    plain.reserve(stored.size() / kDigitsPerUnit);
    for (std::size_t at = 0; at < stored.size(); at += kDigitsPerUnit) {
        std::optional<char16_t> unit = ParseUnit(stored.substr(at, kDigitsPerUnit));
        if (!unit) return std::u16string(stored);
        plain += static_cast<char16_t>(*unit ^ stream.Next());
    }
    return plain;
}

}  // namespace brevant::crashreport
