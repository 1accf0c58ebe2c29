#include "base/reporter_case.h"

#include <string_view>

namespace brevant {

char16_t FoldReporterUnit(char16_t unit) {
    if (unit >= u'A' && unit <= u'Z') return unit + 0x20;
    if (unit >= 0xC0 && unit <= 0xDE && unit != 0xD7) return unit + 0x20;
    if (unit == 0x8A || unit == 0x8C || unit == 0x8E) return unit + 0x10;
    if (unit == 0x9F) return 0xFF;
    return unit;
}

int CompareReporterText(std::u16string_view a, std::u16string_view b) {
    const std::size_t common = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < common; ++i) {
        const char16_t x = FoldReporterUnit(a[i]);
        const char16_t y = FoldReporterUnit(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

bool SameReporterText(std::u16string_view a, std::u16string_view b) {
    return a.size() == b.size() && CompareReporterText(a, b) == 0;
}

std::size_t FindReporterText(std::u16string_view haystack, std::u16string_view needle, std::size_t from) {
    if (needle.size() > haystack.size()) return std::u16string_view::npos;
    for (std::size_t at = from; at + needle.size() <= haystack.size(); ++at) {
        if (SameReporterText(haystack.substr(at, needle.size()), needle)) return at;
    }
    return std::u16string_view::npos;
}

}  // namespace brevant
