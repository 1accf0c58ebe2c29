#pragma once
// The "processes" list: one line per process running on the machine, with its id, file name,
// session, GUI object counts, priority and folder in aligned columns.

#include <cstdint>
#include <string>
#include <vector>

namespace brevant::crashreport {

struct ProcessEntry {
    std::u16string fileName;
    std::u16string folder;  // empty when the name has no "\"
    std::uint32_t processId = 0;
    std::uint32_t sessionId = 0;      // 0 when not known
    std::int32_t priorityClass = -1;  // -1 when not known
    std::uint32_t gdiObjects = 0;     // 0 when not known
    std::uint32_t userObjects = 0;    // 0 when not known
};

// The session column appears only when some session id is not 0.
std::u16string ProcessListText(const std::vector<ProcessEntry>& entries);

}  // namespace brevant::crashreport
