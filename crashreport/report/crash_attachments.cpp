#include "crashreport/report/crash_attachments.h"

#include <array>

namespace brevant::crashreport {
namespace {

// Splits at separator; the last piece runs to the end of the text.
std::vector<std::u16string_view> SplitAt(std::u16string_view text, char16_t separator) {
    std::vector<std::u16string_view> pieces;
    std::size_t start = 0;
    for (std::size_t end = text.find(separator); end != std::u16string_view::npos; end = text.find(separator, start)) {
        pieces.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    pieces.push_back(text.substr(start));
    return pieces;
}

}  // namespace

void CrashAttachments::Add(std::u16string_view file, std::u16string_view sendAs, std::u16string_view zipName,
                           std::u16string_view fieldName) {
    items_.push_back(CrashAttachment{std::u16string(file), std::u16string(sendAs), std::u16string(zipName),
                                     std::u16string(fieldName)});
}

void FillFromAddAttachs(CrashAttachments& attachments, std::u16string_view addAttachsText) {
    for (std::u16string_view entry : SplitAt(addAttachsText, u'|')) {
        const std::vector<std::u16string_view> fields = SplitAt(entry, u'>');
        std::array<std::u16string_view, 4> parts{};
        for (std::size_t i = 0; i < parts.size() && i < fields.size(); ++i) parts[i] = fields[i];
        if (parts[0].empty()) continue;
        attachments.Add(parts[0], parts[1], parts[2], parts[3]);
    }
}

}  // namespace brevant::crashreport
