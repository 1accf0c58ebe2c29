#include "base/utf16_text.h"

namespace brevant {

void AppendUtf8(std::string& out, char32_t codePoint) {
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (codePoint >> 18));
        out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

bool IsHighSurrogate(char32_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool IsLowSurrogate(char32_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

namespace {

void AppendUtf16(std::u16string& out, char32_t codePoint) {
    if (codePoint < 0x10000) {
        out += static_cast<char16_t>(codePoint);
    } else {
        codePoint -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (codePoint >> 10));
        out += static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF));
    }
}

}  // namespace

std::string ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char16_t unit = text[i];
        if (IsHighSurrogate(unit) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            AppendUtf8(out, 0x10000 + ((char32_t(unit) - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
            AppendUtf8(out, 0xFFFD);  // an unpaired surrogate has no UTF-8 form
        } else {
            AppendUtf8(out, unit);
        }
    }
    return out;
}

std::u16string FromUtf8(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        unsigned char lead = static_cast<unsigned char>(bytes[i]);
        int length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
        if (length == 1) {
            out += static_cast<char16_t>(lead);
            ++i;
            continue;
        }
        char32_t codePoint = length == 2 ? (lead & 0x1F) : length == 3 ? (lead & 0x0F) : (lead & 0x07);
        bool valid = length != 0 && i + length <= bytes.size();
        for (int k = 1; valid && k < length; ++k) {
            unsigned char next = static_cast<unsigned char>(bytes[i + k]);
            valid = (next & 0xC0) == 0x80;
            codePoint = (codePoint << 6) | (next & 0x3F);
        }
        static const char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
        valid = valid && codePoint >= kSmallest[length] && codePoint <= 0x10FFFF &&
                !(codePoint >= 0xD800 && codePoint <= 0xDFFF);
        if (valid) {
            AppendUtf16(out, codePoint);
            i += length;
        } else {
            out += u'\xFFFD';
            ++i;
        }
    }
    return out;
}

std::u16string FromLatin1(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    for (char byte : bytes) out += static_cast<char16_t>(static_cast<unsigned char>(byte));
    return out;
}

TextArgument::TextArgument(std::int64_t number) : text_(DecimalText(number)) {}

std::u16string DecimalText(std::int64_t number) {
    std::u16string digits;
    std::uint64_t magnitude = number < 0 ? 0 - static_cast<std::uint64_t>(number) : static_cast<std::uint64_t>(number);
    do {
        digits.insert(digits.begin(), static_cast<char16_t>(u'0' + magnitude % 10));
        magnitude /= 10;
    } while (magnitude != 0);
    if (number < 0) digits.insert(digits.begin(), u'-');
    return digits;
}

std::u16string FormatText(std::u16string_view pattern, std::initializer_list<TextArgument> arguments) {
    std::u16string out;
    auto next = arguments.begin();
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == u'%' && i + 1 < pattern.size()) {
            char16_t kind = pattern[i + 1];
            if (kind == u'%') {
                out += u'%';
                ++i;
                continue;
            }
            if (kind == u's' || kind == u'd') {
                if (next != arguments.end()) out += (next++)->Text();
                ++i;
                continue;
            }
        }
        out += pattern[i];
    }
    return out;
}

std::u16string_view TrimControlsAndBlanks(std::u16string_view text) {
    while (!text.empty() && text.front() <= 32) text.remove_prefix(1);
    while (!text.empty() && text.back() <= 32) text.remove_suffix(1);
    return text;
}

}  // namespace brevant
