#include <windows.h>

#include "base/win32/wide_text.h"
#include "crashreport/report/module_walk.h"
#include "crashreport/report/win32/file_version_text.h"
#include "crashreport/report/win32/long_file_names.h"
#include "crashreport/report/win32/system_lists.h"

namespace brevant::crashreport {

namespace {

class ProcessAddressSpace : public ModuleAddressSpace {
public:
    std::optional<MemoryRegion> RegionAt(std::uint64_t address) const override {
        MEMORY_BASIC_INFORMATION region{};
        if (VirtualQuery(reinterpret_cast<const void*>(static_cast<std::uintptr_t>(address)), &region, sizeof region) !=
            sizeof region) {
            return std::nullopt;
        }
        return MemoryRegion{reinterpret_cast<std::uintptr_t>(region.BaseAddress),
                            reinterpret_cast<std::uintptr_t>(region.AllocationBase), region.RegionSize,
                            region.State == MEM_COMMIT};
    }

    std::u16string ModuleFileName(std::uint64_t allocationBase) const override {
        wchar_t name[MAX_PATH];
        const DWORD length =
            GetModuleFileNameW(reinterpret_cast<HMODULE>(static_cast<std::uintptr_t>(allocationBase)), name, MAX_PATH);
        return FromWide(std::wstring_view(name, length < MAX_PATH ? length : MAX_PATH));
    }

    std::u16string LongFileName(const std::u16string& fileName) const override { return ExpandShortNames(fileName); }

    std::u16string FileVersion(const std::u16string& fileName) const override { return FileVersionText(fileName); }
};

}  // namespace

std::u16string ListLoadedModules() {
    return ModuleListText(FindLoadedModules(ProcessAddressSpace()), static_cast<int>(sizeof(void*) * 2));
}

}  // namespace brevant::crashreport
