#include "crashreport/report/module_list.h"

#include <algorithm>

#include "base/number_text.h"
#include "crashreport/report/list_text.h"

namespace brevant::crashreport {

std::u16string ModuleListText(const std::vector<ModuleEntry>& entries, int addressDigits) {
    std::size_t nameWidth = 0, versionWidth = 0;
    for (const ModuleEntry& entry : entries) {
        nameWidth = std::max(nameWidth, entry.fileName.size());
        versionWidth = std::max(versionWidth, entry.version.size());
    }
    std::vector<std::u16string> lines;
    lines.reserve(entries.size());
    for (const ModuleEntry& entry : entries) {
        lines.push_back(AddressHex(entry.baseAddress, addressDigits) + u" " +
                        LeftAligned(entry.fileName, nameWidth + 1) + LeftAligned(entry.version, versionWidth + 1) +
                        entry.folder);
    }
    return JoinedLines(lines);
}

}  // namespace brevant::crashreport
