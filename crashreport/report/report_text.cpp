#include "crashreport/report/report_text.h"

#include <algorithm>

#include "base/utf16_text.h"
#include "crashreport/report/report_formats.h"

namespace brevant::crashreport {

namespace {

constexpr std::u16string_view kLineBreak = u"\r\n";
constexpr std::u16string_view kBlankLine = u"\r\n\r\n";

std::u16string_view TrimRight(std::u16string_view line) {
    while (!line.empty() && line.back() <= 32) line.remove_suffix(1);
    return line;
}

void AppendContentLines(std::u16string& out, std::u16string_view content) {
    std::size_t start = 0;
    while (start <= content.size()) {
        std::size_t end = content.find_first_of(u"\r\n", start);
        if (end == std::u16string_view::npos) end = content.size();
        const std::u16string_view line = TrimRight(content.substr(start, end - start));
        out += kLineBreak;
        out += line.empty() ? std::u16string_view(u".") : line;
        if (end == content.size()) break;
        start = end + (content[end] == u'\r' && end + 1 < content.size() && content[end + 1] == u'\n' ? 2 : 1);
    }
}

}  // namespace

std::u16string RenderHeader(ICrashFields& header) {
    CrashFieldsBatch batch(header);
    const int count = header.GetItemCount();
    std::size_t width = 0;
    for (int i = 0; i < count; ++i) width = std::max(width, header.GetItem(i).size());
    std::u16string text;
    for (int i = 0; i < count; ++i) {
        const std::u16string label = header.GetItem(i);
        if (i > 0) text += kLineBreak;
        text += label;
        text.append(width + 1 - label.size(), u' ');
        text += u": ";
        text += OneLine(header.GetContent(label));
    }
    return text;
}

std::u16string RenderSections(ICrashFields& sections) {
    CrashFieldsBatch batch(sections);
    std::u16string text;
    for (int i = 0; i < sections.GetItemCount(); ++i) {
        const std::u16string title = sections.GetItem(i);
        text += kBlankLine;
        text += title;
        if (title.find(u':') == std::u16string::npos) text += u':';
        AppendContentLines(text, sections.GetContent(title));
    }
    return text;
}

std::u16string ReadReportSection(std::u16string_view report, std::u16string_view title) {
    const std::u16string marker = std::u16string(kBlankLine) + std::u16string(title) + u":";
    const std::size_t found = report.find(marker);
    if (found == std::u16string_view::npos) return {};
    const std::size_t start = found + marker.size();
    const std::size_t end = report.find(kBlankLine, start);
    return std::u16string(report.substr(start, end == std::u16string_view::npos ? report.npos : end - start));
}

std::u16string ReadReportHeaderField(std::u16string_view report, std::u16string_view label) {
    const std::u16string marker = std::u16string(kLineBreak) + std::u16string(label);
    const std::size_t found = report.find(marker);
    if (found == std::u16string_view::npos) return {};
    const std::size_t start = found + marker.size();
    std::size_t end = report.find(kLineBreak, start);
    if (end == std::u16string_view::npos) end = report.size();
    std::u16string_view rest = report.substr(start, end - start);
    const std::size_t colon = rest.find(u':');
    if (colon != std::u16string_view::npos) rest.remove_prefix(colon + 1);
    return std::u16string(TrimControlsAndBlanks(rest));
}

void InsertHeaderLine(std::u16string& report, std::u16string_view label, std::u16string_view afterLabel,
                      std::u16string_view value) {
    const std::u16string marker = std::u16string(kLineBreak) + std::u16string(afterLabel);
    const std::size_t found = report.find(marker);
    if (found == std::u16string::npos) return;
    const std::size_t lineStart = found + kLineBreak.size();
    const std::size_t lineEnd = report.find(kLineBreak, lineStart);
    if (lineEnd == std::u16string::npos) return;
    const std::size_t colon = report.find(u':', lineStart);
    if (colon == std::u16string::npos || colon > lineEnd) return;
    std::u16string line = std::u16string(kLineBreak) + std::u16string(label);
    const std::size_t column = colon - lineStart;
    if (label.size() < column) line.append(column - label.size(), u' ');
    line += u": ";
    line += value;
    report.insert(lineEnd, line);
}

bool SameHeaderField(std::u16string_view a, std::u16string_view b, std::u16string_view label) {
    return ReadReportHeaderField(a, label) == ReadReportHeaderField(b, label);
}

}  // namespace brevant::crashreport
