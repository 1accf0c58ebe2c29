#pragma once
// The "modules" list: one line per module loaded in the process, with its base address,
// file name, version and folder in aligned columns.

#include <cstdint>
#include <string>
#include <vector>

namespace brevant::crashreport {

struct ModuleEntry {
    std::uint64_t baseAddress = 0;  // the start of the module's memory allocation
    std::u16string fileName;
    std::u16string folder;
    std::u16string version;  // may be empty
};

// Entries in the order given; addressDigits is 8 where addresses are 32-bit, 16 where they are
// 64-bit.
std::u16string ModuleListText(const std::vector<ModuleEntry>& entries, int addressDigits);

}  // namespace brevant::crashreport
