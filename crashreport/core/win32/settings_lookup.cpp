#include "crashreport/core/win32/settings_lookup.h"

#include <windows.h>

#include <cstdint>
#include <utility>

#include "crashreport/core/win32/settings_resource.h"
#include "crashreport/core/win32/win32_settings_host.h"

namespace brevant::crashreport {

namespace {

RefPtr<CrashSettings> NewSettings(ModuleHandle module) {
    return CrashSettings::Create(ProcessSettingsHost(), module);
}

bool ValidAndLinkedIn(const RefPtr<CrashSettings>& settings) {
    return settings && settings->IsValid() && settings->LinkInSettings();
}

ModuleHandle ModuleContaining(const void* address) {
    HMODULE module = nullptr;
    const DWORD flags = GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT;
    return GetModuleHandleExW(flags, static_cast<const wchar_t*>(address), &module) ? module : nullptr;
}

// A region starting a mapped image the loader knows by file name.
bool StartsLoadedModule(const MEMORY_BASIC_INFORMATION& region, const void* previousAllocation) {
    if (region.State != MEM_COMMIT || (region.Protect & PAGE_NOACCESS) != 0) return false;
    if (region.BaseAddress != region.AllocationBase || region.AllocationBase == previousAllocation) return false;
    wchar_t path[MAX_PATH];
    return GetModuleFileNameW(static_cast<HMODULE>(region.AllocationBase), path, MAX_PATH) != 0;
}

RefPtr<CrashSettings> SearchAddressSpace(RefPtr<CrashSettings> taken) {
    VisitLoadedModules([&taken](ModuleHandle module) {
        if (!HasSettingsResource(module)) return true;
        RefPtr<CrashSettings> settings = NewSettings(module);
        if (!taken || settings->LinkInSettings()) taken = settings;
        return !taken->LinkInSettings();
    });
    return taken;
}

}  // namespace

ModuleHandle CrashReporterModule() {
    static const ModuleHandle module = ModuleContaining(reinterpret_cast<const void*>(&CrashReporterModule));
    return module;
}

void VisitLoadedModules(const std::function<bool(ModuleHandle)>& visit) {
    MEMORY_BASIC_INFORMATION region{};
    const void* previousAllocation = nullptr;
    std::uintptr_t address = 0;
    while (VirtualQuery(reinterpret_cast<const void*>(address), &region, sizeof region) == sizeof region) {
        if (StartsLoadedModule(region, previousAllocation) && !visit(region.AllocationBase)) return;
        previousAllocation = region.AllocationBase;
        const std::uintptr_t next = reinterpret_cast<std::uintptr_t>(region.BaseAddress) + region.RegionSize;
        if (next <= address) return;
        address = next;
    }
}

// The crash reporter never runs from a shared runtime package in this program, and the
// development environment's package module belongs to a product outside it, so neither is
// consulted here.
RefPtr<CrashSettings> FindLinkedSettings() {
    RefPtr<CrashSettings> taken;
    const ModuleHandle own = CrashReporterModule();
    if (HasSettingsResource(own)) taken = NewSettings(own);
    if (taken && taken->LinkInSettings()) return taken;
    return SearchAddressSpace(std::move(taken));
}

RefPtr<CrashSettings> SettingsForModule(ModuleHandle module) {
    if (module == nullptr) module = GetModuleHandleW(nullptr);
    RefPtr<CrashSettings> settings = NewSettings(module);
    // Not running from a shared runtime package: invalid settings stay and read the defaults.
    if (!settings->IsValid() || settings->LinkInSettings()) return settings;
    RefPtr<CrashSettings> linked = FindLinkedSettings();
    return ValidAndLinkedIn(linked) ? linked : settings;
}

RefPtr<CrashSettings> SettingsForAddress(const void* address) {
    const ModuleHandle own = CrashReporterModule();
    RefPtr<CrashSettings> taken;
    const ModuleHandle module = ModuleContaining(address);
    if (module != nullptr && module != own && HasSettingsResource(module)) taken = NewSettings(module);
    if (!taken || (taken->IsValid() && !taken->LinkInSettings())) {
        RefPtr<CrashSettings> linked = FindLinkedSettings();
        if (!taken || ValidAndLinkedIn(linked)) taken = linked;
    }
    return taken ? taken : NewSettings(own);
}

__attribute__((noinline)) RefPtr<CrashSettings> SettingsForCaller() {
    return SettingsForAddress(__builtin_return_address(0));
}

}  // namespace brevant::crashreport
