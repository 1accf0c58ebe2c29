#include "crashreport/report/module_walk.h"

#include "crashreport/report/file_name_parts.h"

namespace brevant::crashreport {

namespace {

ModuleEntry MakeModuleEntry(const ModuleAddressSpace& space, std::uint64_t base, const std::u16string& name) {
    const std::u16string full = space.LongFileName(name);
    FileNameParts parts = SplitAtLastBackslash(full);
    return {base, std::move(parts.fileName), std::move(parts.folder), space.FileVersion(full)};
}

}  // namespace

std::vector<ModuleEntry> FindLoadedModules(const ModuleAddressSpace& space) {
    std::vector<ModuleEntry> modules;
    modules.reserve(32);
    std::optional<std::uint64_t> lastAllocation;
    std::uint64_t address = 0;
    while (const std::optional<MemoryRegion> region = space.RegionAt(address)) {
        if (region->committed && region->allocationBase != lastAllocation &&
            region->allocationBase == region->baseAddress) {
            const std::u16string name = space.ModuleFileName(region->allocationBase);
            if (!name.empty()) modules.push_back(MakeModuleEntry(space, region->allocationBase, name));
        }
        lastAllocation = region->allocationBase;
        // A region that does not move the walk on, or that reaches the end of the address
        // space, ends it.
        const std::uint64_t next = address + region->size;
        if (region->size == 0 || next <= address) break;
        address = next;
    }
    return modules;
}

}  // namespace brevant::crashreport
