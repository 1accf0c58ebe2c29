#include "crashreport/report/process_entries.h"

#include <string_view>

#include "base/reporter_case.h"
#include "crashreport/report/file_name_parts.h"

namespace brevant::crashreport {

namespace {

constexpr std::u16string_view kSystemRootPrefix = u"\\SystemRoot\\System32\\";
constexpr std::u16string_view kObjectPrefix = u"\\??\\";

std::u16string EntryText(const ProcessRecord& record, const ProcessFacts& facts) {
    if (!record.hasImageName) return u"Idle";
    if (std::optional<std::u16string> file = facts.MainModuleFileName(record.processId)) {
        if (!file->empty()) return UsableImagePath(*file, facts.SystemDirectory());
    }
    return record.imageName;
}

ProcessEntry MakeProcessEntry(const std::u16string& text, const ProcessRecord& record, const ProcessFacts& facts) {
    FileNameParts parts = SplitAtLastBackslash(text);
    ProcessEntry entry;
    entry.fileName = std::move(parts.fileName);
    entry.folder = std::move(parts.folder);
    entry.processId = record.processId;
    entry.sessionId = record.sessionId;
    // The system's idle process cannot be opened; asking would only fail.
    if (record.processId != 0) {
        if (std::optional<ProcessDetails> details = facts.Details(record.processId)) {
            entry.priorityClass = details->priorityClass;
            entry.gdiObjects = details->gdiObjects;
            entry.userObjects = details->userObjects;
        }
    }
    return entry;
}

}  // namespace

std::u16string UsableImagePath(const std::u16string& path, const std::u16string& systemDirectory) {
    const std::u16string_view view(path);
    if (view.size() >= kSystemRootPrefix.size() &&
        SameReporterText(view.substr(0, kSystemRootPrefix.size()), kSystemRootPrefix)) {
        // The "\" that ends the prefix stays, between the directory and the rest.
        return systemDirectory + path.substr(kSystemRootPrefix.size() - 1);
    }
    if (view.starts_with(kObjectPrefix)) return path.substr(kObjectPrefix.size());
    return path;
}

std::vector<ProcessEntry> MakeProcessEntries(const std::vector<ProcessRecord>& records, const ProcessFacts& facts) {
    std::vector<ProcessEntry> entries;
    entries.reserve(64);
    for (const ProcessRecord& record : records)
        entries.push_back(MakeProcessEntry(EntryText(record, facts), record, facts));
    return entries;
}

}  // namespace brevant::crashreport
