#pragma once
// Turning the system's process records into list entries: the full image path where the
// process can be opened, its priority and GUI object counts.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "crashreport/report/process_list.h"
#include "crashreport/report/process_records.h"

namespace brevant::crashreport {

struct ProcessDetails {
    std::int32_t priorityClass = -1;
    std::uint32_t gdiObjects = 0;
    std::uint32_t userObjects = 0;
};

// What the entries ask of the running system about one process.
class ProcessFacts {
public:
    virtual ~ProcessFacts() = default;
    // The file name of the process's main module; none when it cannot be had.
    virtual std::optional<std::u16string> MainModuleFileName(std::uint32_t processId) const = 0;
    // None when the process cannot be opened.
    virtual std::optional<ProcessDetails> Details(std::uint32_t processId) const = 0;
    virtual std::u16string SystemDirectory() const = 0;
};

// The kernel's forms of an image path made usable: "\SystemRoot\System32\" (any letter case)
// becomes the system directory, a leading "\??\" is dropped.
std::u16string UsableImagePath(const std::u16string& path, const std::u16string& systemDirectory);

// One entry per record, in the records' order; a record without image name is "Idle".
std::vector<ProcessEntry> MakeProcessEntries(const std::vector<ProcessRecord>& records, const ProcessFacts& facts);

}  // namespace brevant::crashreport
