#include "crashreport/core/win32/import_redirection.h"

#include <algorithm>
#include <cstdint>

namespace brevant::crashreport {

namespace {

// Replaces every import slot that holds target with replacement, in one module.
void RedirectImports(HMODULE module, const void* target, const void* replacement) {
    auto* base = reinterpret_cast<std::uint8_t*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE) return;
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    if (nt->Signature != IMAGE_NT_SIGNATURE) return;
    const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    const DWORD imageSize = nt->OptionalHeader.SizeOfImage;
    if (directory.VirtualAddress == 0 || directory.VirtualAddress >= imageSize) return;
    for (auto* descriptor = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
         descriptor->Name != 0; ++descriptor) {
        if (descriptor->FirstThunk == 0 || descriptor->FirstThunk >= imageSize) break;
        for (auto* slot = reinterpret_cast<const void**>(base + descriptor->FirstThunk);
             reinterpret_cast<std::uint8_t*>(slot) < base + imageSize && *slot != nullptr; ++slot) {
            if (*slot != target) continue;
            DWORD protection = 0;
            if (!VirtualProtect(slot, sizeof(*slot), PAGE_READWRITE, &protection)) continue;
            *slot = replacement;
            VirtualProtect(slot, sizeof(*slot), protection, &protection);
        }
    }
}

}  // namespace

std::vector<HMODULE> LoadedModules() {
    using Enumerate = BOOL(WINAPI*)(HANDLE, HMODULE*, DWORD, LPDWORD);
    auto enumerate = LoadedEntry<Enumerate>(L"kernel32.dll", "K32EnumProcessModules");
    std::vector<HMODULE> modules(512);
    DWORD needed = 0;
    if (!enumerate || !enumerate(GetCurrentProcess(), modules.data(), modules.size() * sizeof(HMODULE), &needed))
        return {GetModuleHandleW(nullptr)};
    modules.resize(std::min<std::size_t>(needed / sizeof(HMODULE), modules.size()));
    return modules;
}

void RedirectImportsEverywhere(const void* target, const void* replacement) {
    if (!target || !replacement) return;
    for (HMODULE module : LoadedModules()) RedirectImports(module, target, replacement);
}

}  // namespace brevant::crashreport
