#include "crashreport/core/thread_texts.h"

#include <cstring>

#include "base/number_text.h"

namespace brevant::crashreport {

namespace {

bool FitsLatin1(std::u16string_view text) {
    for (char16_t unit : text)
        if (unit > 255) return false;
    return true;
}

}  // namespace

std::vector<std::uint8_t> PackString(std::u16string_view text, const CodePage& codePage) {
    std::optional<std::string> narrow = codePage.narrow(text);
    std::string eightBit = narrow.value_or(std::string(text.size(), '?'));
    // A zero unit inside the text would end the 8-bit part early.
    eightBit = eightBit.substr(0, std::strlen(eightBit.c_str()));
    std::vector<std::uint8_t> packed(eightBit.begin(), eightBit.end());
    packed.push_back(0);
    if (narrow && FitsLatin1(text) && codePage.widen(eightBit) == text) return packed;
    for (char16_t unit : text) {
        packed.push_back(static_cast<std::uint8_t>(unit));
        packed.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    packed.push_back(0);
    packed.push_back(0);
    return packed;
}

std::u16string UnpackString(const std::uint8_t* block, std::size_t blockSize, const CodePage& codePage) {
    std::size_t narrowLength = 0;
    while (narrowLength < blockSize && block[narrowLength] != 0) ++narrowLength;
    std::string_view eightBit(reinterpret_cast<const char*>(block), narrowLength);
    if (blockSize <= 3 * narrowLength || narrowLength + 1 >= blockSize) return codePage.widen(eightBit);
    std::u16string wide;
    for (std::size_t at = narrowLength + 1; at + 1 < blockSize; at += 2) {
        char16_t unit = static_cast<char16_t>(block[at] | block[at + 1] << 8);
        if (unit == 0) break;
        wide += unit;
    }
    return wide;
}

bool IsInternalThreadName(std::u16string_view name) {
    return name == u"-" || name == u"Quarrex - AntiFreezeThread" || name == u"Quarrex - HandleExceptionThread" ||
           name == u"Quarrex - TraceProcessThread";
}

std::u16string ThreadDisplayText(std::uint32_t threadId, std::u16string_view name, std::u16string_view className,
                                 bool includeInternal) {
    if (!includeInternal && IsInternalThreadName(name)) return {};
    if (!name.empty() && name != u"-") return std::u16string(name) + u" (" + DollarHex(threadId) + u")";
    std::u16string text = u"thread " + DollarHex(threadId);
    if (!className.empty()) text += u" (" + std::u16string(className) + u")";
    return text;
}

}  // namespace brevant::crashreport
