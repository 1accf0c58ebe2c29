#pragma once
// Finding the loaded modules by walking the process's address space region by region: a module
// is the allocation whose first region is committed and has a module file name.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "crashreport/report/module_list.h"

namespace brevant::crashreport {

struct MemoryRegion {
    std::uint64_t baseAddress = 0;
    std::uint64_t allocationBase = 0;
    std::uint64_t size = 0;
    bool committed = false;
};

// What the walk asks of the process it describes.
class ModuleAddressSpace {
public:
    virtual ~ModuleAddressSpace() = default;
    // The region containing address; none past the last one the system describes.
    virtual std::optional<MemoryRegion> RegionAt(std::uint64_t address) const = 0;
    // The full file name of the module loaded at allocationBase; empty when there is none.
    virtual std::u16string ModuleFileName(std::uint64_t allocationBase) const = 0;
    // The file name with short components replaced by their long names.
    virtual std::u16string LongFileName(const std::u16string& fileName) const = 0;
    virtual std::u16string FileVersion(const std::u16string& fileName) const = 0;
};

// The modules in ascending order of base address.
std::vector<ModuleEntry> FindLoadedModules(const ModuleAddressSpace& space);

}  // namespace brevant::crashreport
