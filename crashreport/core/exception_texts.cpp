#include "crashreport/core/exception_texts.h"

namespace brevant::crashreport {

std::u16string CleanedMessageText(std::u16string_view message) {
    std::u16string text;
    text.reserve(message.size());
    for (char16_t unit : message)
        if (unit >= 32 || unit == u'\r' || unit == u'\n') text += unit;
    std::size_t first = 0;
    while (first < text.size() && text[first] <= u' ') ++first;
    std::size_t end = text.size();
    while (end > first && text[end - 1] <= u' ') --end;
    text = text.substr(first, end - first);
    return text.empty() ? u"Unknown" : text;
}

std::u16string WithFinalFullStop(std::u16string_view message) {
    std::size_t end = message.size();
    while (end > 0 && (message[end - 1] == u'.' || message[end - 1] == u'!')) --end;
    return std::u16string(message.substr(0, end)) + u".";
}

}  // namespace brevant::crashreport
