#pragma once
// UTF-16 text helpers shared by the portable code. Texts are std::u16string so that
// the same code behaves alike on Windows and in native builds.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace brevant {

std::string ToUtf8(std::u16string_view text);
// Invalid UTF-8 sequences become U+FFFD, one per offending byte.
std::u16string FromUtf8(std::string_view bytes);
// One code point as UTF-8.
void AppendUtf8(std::string& out, char32_t codePoint);
bool IsHighSurrogate(char32_t unit);
bool IsLowSurrogate(char32_t unit);

// Plain ASCII (or Latin-1) bytes widened unit by unit.
std::u16string FromLatin1(std::string_view bytes);

// One argument of FormatText: a text for "%s" or a number for "%d".
class TextArgument {
public:
    TextArgument(std::u16string_view text) : text_(text) {}
    TextArgument(const std::u16string& text) : text_(text) {}
    TextArgument(const char16_t* text) : text_(text) {}
    explicit TextArgument(std::int64_t number);

    const std::u16string& Text() const { return text_; }

private:
    std::u16string text_;
};

// Fills "%s" and "%d" places in order; "%%" gives "%". Missing arguments leave the
// place empty, surplus arguments are ignored.
std::u16string FormatText(std::u16string_view pattern, std::initializer_list<TextArgument> arguments);

std::u16string DecimalText(std::int64_t number);

// Without the units 0 to 32 (controls and blanks) at both ends.
std::u16string_view TrimControlsAndBlanks(std::u16string_view text);

}  // namespace brevant
