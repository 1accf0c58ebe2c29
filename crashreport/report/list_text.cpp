#include "crashreport/report/list_text.h"

namespace brevant::crashreport {

std::u16string LeftAligned(std::u16string_view text, std::size_t width) {
    std::u16string aligned(text);
    if (aligned.size() < width) aligned.append(width - aligned.size(), u' ');
    return aligned;
}

std::u16string JoinedLines(const std::vector<std::u16string>& lines) {
    std::u16string text;
    for (std::size_t index = 0; index < lines.size(); ++index) {
        if (index > 0) text += u"\r\n";
        text += lines[index];
    }
    return text;
}

std::u16string_view UpToZero(std::u16string_view text) {
    return text.substr(0, text.find(u'\0'));
}

}  // namespace brevant::crashreport
