#include "crashreport/report/process_list.h"

#include <algorithm>

#include "base/number_text.h"
#include "base/utf16_text.h"
#include "crashreport/report/list_text.h"
#include "crashreport/report/priority_class_text.h"

namespace brevant::crashreport {

namespace {

struct ProcessColumnWidths {
    std::size_t id = 1, fileName = 0, session = 0, gdi = 0, user = 0, priority = 0;
};

ProcessColumnWidths MeasureColumns(const std::vector<ProcessEntry>& entries) {
    ProcessColumnWidths widths;
    for (const ProcessEntry& entry : entries) {
        widths.id = std::max(widths.id, AddressHex(entry.processId, 1).size());
        widths.fileName = std::max(widths.fileName, entry.fileName.size());
        if (entry.sessionId != 0) widths.session = std::max(widths.session, DecimalText(entry.sessionId).size());
        widths.gdi = std::max(widths.gdi, DecimalText(entry.gdiObjects).size());
        widths.user = std::max(widths.user, DecimalText(entry.userObjects).size());
        widths.priority = std::max(widths.priority, PriorityClassText(entry.priorityClass).size());
    }
    return widths;
}

std::u16string ProcessLine(const ProcessEntry& entry, const ProcessColumnWidths& widths) {
    std::u16string line = AddressHex(entry.processId, static_cast<int>(widths.id)) + u" ";
    line += LeftAligned(entry.fileName, widths.fileName + 1);
    if (widths.session > 0) line += LeftAligned(DecimalText(entry.sessionId), widths.session + 1);
    line += LeftAligned(DecimalText(entry.gdiObjects), widths.gdi + 1);
    line += LeftAligned(DecimalText(entry.userObjects), widths.user + 1);
    line += LeftAligned(PriorityClassText(entry.priorityClass), widths.priority + 1);
    return line + entry.folder;
}

}  // namespace

std::u16string ProcessListText(const std::vector<ProcessEntry>& entries) {
    const ProcessColumnWidths widths = MeasureColumns(entries);
    std::vector<std::u16string> lines;
    lines.reserve(entries.size());
    for (const ProcessEntry& entry : entries) lines.push_back(ProcessLine(entry, widths));
    return JoinedLines(lines);
}

}  // namespace brevant::crashreport
