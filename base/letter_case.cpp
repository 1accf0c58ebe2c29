#include "base/letter_case.h"

namespace brevant {

namespace {

bool InRange(char16_t unit, char16_t first, char16_t last) {
    return unit >= first && unit <= last;
}

// Latin Extended-A pairs upper and lower case as neighbours; which of the two is the
// capital flips at U+0139 and again at U+014A and U+0179.
bool IsLatinExtendedCapital(char16_t unit) {
    if (InRange(unit, 0x0100, 0x012F) || InRange(unit, 0x0132, 0x0137) || InRange(unit, 0x014A, 0x0177))
        return unit % 2 == 0;
    if (InRange(unit, 0x0139, 0x0148) || InRange(unit, 0x0179, 0x017E)) return unit % 2 == 1;
    return false;
}

bool IsLatinExtendedSmall(char16_t unit) {
    if (InRange(unit, 0x0100, 0x012F) || InRange(unit, 0x0132, 0x0137) || InRange(unit, 0x014A, 0x0177))
        return unit % 2 == 1;
    if (InRange(unit, 0x0139, 0x0148) || InRange(unit, 0x0179, 0x017E)) return unit % 2 == 0;
    return false;
}

}  // namespace

char16_t UpperCaseLetter(char16_t unit) {
    if (InRange(unit, u'a', u'z')) return unit - 0x20;
    if (unit < 0x80) return unit;
    if (InRange(unit, 0x00E0, 0x00FE) && unit != 0x00F7) return unit - 0x20;
    if (unit == 0x00FF) return 0x0178;
    if (IsLatinExtendedSmall(unit)) return unit - 1;
    if (InRange(unit, 0x03B1, 0x03C9) && unit != 0x03C2) return unit - 0x20;
    if (InRange(unit, 0x0430, 0x044F)) return unit - 0x20;
    if (InRange(unit, 0x0450, 0x045F)) return unit - 0x50;
    return unit;
}

char16_t LowerCaseLetter(char16_t unit) {
    if (InRange(unit, u'A', u'Z')) return unit + 0x20;
    if (unit < 0x80) return unit;
    if (InRange(unit, 0x00C0, 0x00DE) && unit != 0x00D7) return unit + 0x20;
    if (unit == 0x0178) return 0x00FF;
    if (IsLatinExtendedCapital(unit)) return unit + 1;
    if (InRange(unit, 0x0391, 0x03A9) && unit != 0x03A2) return unit + 0x20;
    if (InRange(unit, 0x0410, 0x042F)) return unit + 0x20;
    if (InRange(unit, 0x0400, 0x040F)) return unit + 0x50;
    return unit;
}

std::u16string UpperCase(std::u16string_view text) {
    std::u16string out(text);
    for (char16_t& unit : out) unit = UpperCaseLetter(unit);
    return out;
}

std::u16string LowerCase(std::u16string_view text) {
    std::u16string out(text);
    for (char16_t& unit : out) unit = LowerCaseLetter(unit);
    return out;
}

bool SameTextIgnoringCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (UpperCaseLetter(a[i]) != UpperCaseLetter(b[i])) return false;
    return true;
}

bool SameAsciiTextIgnoringCase(std::u16string_view a, std::u16string_view b) {
    auto fold = [](char16_t unit) -> char16_t { return InRange(unit, u'a', u'z') ? unit - 0x20 : unit; };
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (fold(a[i]) != fold(b[i])) return false;
    return true;
}

bool StartsWithIgnoringCase(std::u16string_view text, std::u16string_view prefix) {
    return text.size() >= prefix.size() && SameTextIgnoringCase(text.substr(0, prefix.size()), prefix);
}

std::size_t FindIgnoringCase(std::u16string_view haystack, std::u16string_view needle, std::size_t from) {
    if (needle.size() > haystack.size()) return std::u16string_view::npos;
    for (std::size_t i = from; i + needle.size() <= haystack.size(); ++i)
        if (SameTextIgnoringCase(haystack.substr(i, needle.size()), needle)) return i;
    return std::u16string_view::npos;
}

std::u16string ReplaceAllIgnoringCase(std::u16string_view text, std::u16string_view pattern,
                                      std::u16string_view replacement) {
    if (pattern.empty()) return std::u16string(text);
    std::u16string out;
    std::size_t start = 0;
    for (std::size_t hit; (hit = FindIgnoringCase(text, pattern, start)) != std::u16string_view::npos;
         start = hit + pattern.size()) {
        out.append(text.substr(start, hit - start));
        out.append(replacement);
    }
    out.append(text.substr(start));
    return out;
}

}  // namespace brevant
