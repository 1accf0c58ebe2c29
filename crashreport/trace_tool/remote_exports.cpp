#include "crashreport/trace_tool/remote_exports.h"

#include <psapi.h>

#include <cstring>
#include <string>
#include <vector>

namespace brevant::crashreport {

namespace {

template <typename T>
bool ReadRemote(HANDLE process, std::uintptr_t address, T& value) {
    SIZE_T read = 0;
    return ReadProcessMemory(process, reinterpret_cast<const void*>(address), &value, sizeof(T), &read) &&
           read == sizeof(T);
}

bool RemoteNameIs(HANDLE process, std::uintptr_t address, const char* name) {
    const std::size_t length = std::strlen(name) + 1;
    std::string text(length, '\0');
    SIZE_T read = 0;
    return ReadProcessMemory(process, reinterpret_cast<const void*>(address), text.data(), length, &read) &&
           read == length && std::memcmp(text.data(), name, length) == 0;
}

std::optional<std::uintptr_t> ExportOfModule(HANDLE process, std::uintptr_t base, const char* name) {
    IMAGE_DOS_HEADER dos;
    IMAGE_NT_HEADERS nt;
    if (!ReadRemote(process, base, dos) || dos.e_magic != IMAGE_DOS_SIGNATURE) return std::nullopt;
    if (!ReadRemote(process, base + dos.e_lfanew, nt) || nt.Signature != IMAGE_NT_SIGNATURE) return std::nullopt;
    if (nt.OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR_MAGIC) return std::nullopt;
    const IMAGE_DATA_DIRECTORY& directory = nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    if (directory.VirtualAddress == 0 || directory.Size == 0) return std::nullopt;
    IMAGE_EXPORT_DIRECTORY exports;
    if (!ReadRemote(process, base + directory.VirtualAddress, exports)) return std::nullopt;
    for (DWORD i = 0; i < exports.NumberOfNames && i < 65536; ++i) {
        DWORD nameRva = 0;
        if (!ReadRemote(process, base + exports.AddressOfNames + i * sizeof(DWORD), nameRva)) return std::nullopt;
        if (!RemoteNameIs(process, base + nameRva, name)) continue;
        WORD ordinal = 0;
        DWORD functionRva = 0;
        if (!ReadRemote(process, base + exports.AddressOfNameOrdinals + i * sizeof(WORD), ordinal) ||
            ordinal >= exports.NumberOfFunctions ||
            !ReadRemote(process, base + exports.AddressOfFunctions + ordinal * sizeof(DWORD), functionRva)) {
            return std::nullopt;
        }
        return base + functionRva;
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::uintptr_t> FindRemoteExport(HANDLE process, const char* name) {
    std::vector<HMODULE> modules(1024);
    DWORD needed = 0;
    if (!EnumProcessModules(process, modules.data(), static_cast<DWORD>(modules.size() * sizeof(HMODULE)), &needed)) {
        return std::nullopt;
    }
    modules.resize(std::min<std::size_t>(modules.size(), needed / sizeof(HMODULE)));
    for (HMODULE module : modules) {
        if (auto address = ExportOfModule(process, reinterpret_cast<std::uintptr_t>(module), name)) return address;
    }
    return std::nullopt;
}

}  // namespace brevant::crashreport
