#include "crashreport/stack/win32/process_environment.h"

#include <windows.h>

#include <cxxabi.h>

#include <cstring>
#include <exception>
#include <iterator>

#include "base/utf16_text.h"
#include "base/win32/own_memory.h"
#include "symbols/win32/module_symbols.h"

namespace brevant::crashreport {

namespace {

// Export directories larger than this are damaged.
constexpr DWORD kMaxExports = 1 << 16;

template <typename T>
bool ReadValue(const ProcessEnvironment& env, std::uint64_t address, T& value) {
    return env.Read(address, &value, sizeof(T));
}

struct ImageHeaders {
    IMAGE_FILE_HEADER file{};
    bool is64 = false;
    IMAGE_OPTIONAL_HEADER32 optional32{};
    IMAGE_OPTIONAL_HEADER64 optional64{};
    std::uint64_t sections = 0;  // address of the first section header

    IMAGE_DATA_DIRECTORY Directory(int index) const {
        return is64 ? optional64.DataDirectory[index] : optional32.DataDirectory[index];
    }
};

std::optional<ImageHeaders> ReadImageHeaders(const ProcessEnvironment& env, std::uint64_t base) {
    IMAGE_DOS_HEADER dos{};
    if (!ReadValue(env, base, dos) || dos.e_magic != IMAGE_DOS_SIGNATURE || dos.e_lfanew <= 0) return std::nullopt;
    const std::uint64_t nt = base + static_cast<std::uint64_t>(dos.e_lfanew);
    DWORD signature = 0;
    ImageHeaders headers;
    if (!ReadValue(env, nt, signature) || signature != IMAGE_NT_SIGNATURE) return std::nullopt;
    if (!ReadValue(env, nt + 4, headers.file)) return std::nullopt;
    const std::uint64_t optional = nt + 4 + sizeof(IMAGE_FILE_HEADER);
    WORD magic = 0;
    if (!ReadValue(env, optional, magic)) return std::nullopt;
    headers.is64 = magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC;
    const bool read = headers.is64
                          ? ReadValue(env, optional, headers.optional64)
                          : magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC && ReadValue(env, optional, headers.optional32);
    if (!read) return std::nullopt;
    headers.sections = optional + headers.file.SizeOfOptionalHeader;
    return headers;
}

std::vector<IMAGE_SECTION_HEADER> ReadSections(const ProcessEnvironment& env, const ImageHeaders& headers) {
    std::vector<IMAGE_SECTION_HEADER> sections(headers.file.NumberOfSections);
    if (!sections.empty() && !env.Read(headers.sections, sections.data(), sections.size() * sizeof(sections[0])))
        sections.clear();
    return sections;
}

bool IsCode(const IMAGE_SECTION_HEADER& section) {
    return (section.Characteristics & (IMAGE_SCN_CNT_CODE | IMAGE_SCN_MEM_EXECUTE)) != 0;
}

AfterRange CodeRange(std::uint64_t base, const ImageHeaders& headers,
                     const std::vector<IMAGE_SECTION_HEADER>& sections) {
    if (!sections.empty() && IsCode(sections[0])) {
        AfterRange range{base + sections[0].VirtualAddress,
                         base + sections[0].VirtualAddress + sections[0].Misc.VirtualSize};
        if (sections.size() > 1 && IsCode(sections[1]))
            range.end = base + sections[1].VirtualAddress + sections[1].Misc.VirtualSize;
        return range;
    }
    const DWORD start = headers.is64 ? headers.optional64.BaseOfCode : headers.optional32.BaseOfCode;
    const DWORD size = headers.is64 ? headers.optional64.SizeOfCode : headers.optional32.SizeOfCode;
    return {base + start, base + start + size};
}

AfterRange DataRange(std::uint64_t base, const ImageHeaders& headers,
                     const std::vector<IMAGE_SECTION_HEADER>& sections) {
    std::uint64_t start = 0;
    DWORD size = 0;
    if (headers.is64) {
        // 64-bit headers have no base of data: the first initialized-data section stands for it.
        for (const IMAGE_SECTION_HEADER& section : sections) {
            if (section.Characteristics & IMAGE_SCN_CNT_INITIALIZED_DATA) {
                start = section.VirtualAddress;
                break;
            }
        }
        size = headers.optional64.SizeOfInitializedData + headers.optional64.SizeOfUninitializedData;
    } else {
        start = headers.optional32.BaseOfData;
        size = headers.optional32.SizeOfInitializedData + headers.optional32.SizeOfUninitializedData;
    }
    if (start == 0) return {};
    return {base + start, base + start + size};
}

std::u16string AsciiText(const ProcessEnvironment& env, std::uint64_t address) {
    std::string text;
    char c = 0;
    while (text.size() < 512 && ReadValue(env, address + text.size(), c) && c != 0) text.push_back(c);
    return FromLatin1(text);
}

std::uint64_t ProcedureOf(const wchar_t* module, const char* name) {
    HMODULE handle = GetModuleHandleW(module);
    return handle ? reinterpret_cast<std::uint64_t>(GetProcAddress(handle, name)) : 0;
}

}  // namespace

std::u16string ModuleFileName(std::uint64_t moduleBase) {
    wchar_t path[MAX_PATH + 1];
    const DWORD length =
        GetModuleFileNameW(reinterpret_cast<HMODULE>(moduleBase), path, static_cast<DWORD>(std::size(path)));
    if (length == 0 || length >= std::size(path)) return {};
    std::u16string text(path, path + length);
    const std::size_t slash = text.find_last_of(u"\\/");
    return slash == std::u16string::npos ? text : text.substr(slash + 1);
}

void ProcessEnvironment::ForgetRegions() const {
    std::lock_guard guard(regionLock_);
    imageRegions_.clear();
    otherRegions_.clear();
}

bool ProcessEnvironment::InReadableImage(std::uint64_t address, std::size_t size) const {
    std::lock_guard guard(regionLock_);
    for (const ImageRegion& region : imageRegions_)
        if (address >= region.base && address + size <= region.end) return true;
    for (const ImageRegion& region : otherRegions_)
        if (address >= region.base && address < region.end) return false;
    MEMORY_BASIC_INFORMATION info{};
    if (VirtualQuery(reinterpret_cast<const void*>(address), &info, sizeof(info)) != sizeof(info)) return false;
    const ImageRegion region{reinterpret_cast<std::uint64_t>(info.BaseAddress),
                             reinterpret_cast<std::uint64_t>(info.BaseAddress) + info.RegionSize};
    if (info.Type != MEM_IMAGE || !IsReadableState(info.State, info.Protect)) {
        otherRegions_.push_back(region);
        return false;
    }
    imageRegions_.push_back(region);
    return address >= region.base && address + size <= region.end;
}

bool ProcessEnvironment::Read(std::uint64_t address, void* buffer, std::size_t size) const {
    if (size == 0) return true;
    if (address == 0 || address + size < address) return false;
    if (InReadableImage(address, size)) {
        std::memcpy(buffer, reinterpret_cast<const void*>(address), size);
        return true;
    }
    if (imagesOnly_) return false;
    return ReadOwnMemory(static_cast<std::uintptr_t>(address), buffer, size);
}

x86::Mode ProcessEnvironment::CodeMode() const {
#ifdef _WIN64
    return x86::Mode::Bits64;
#else
    return x86::Mode::Bits32;
#endif
}

std::optional<MemoryRegion> ProcessEnvironment::RegionAt(std::uint64_t address) const {
    MEMORY_BASIC_INFORMATION info{};
    if (VirtualQuery(reinterpret_cast<const void*>(address), &info, sizeof(info)) != sizeof(info)) return std::nullopt;
    MemoryRegion region;
    region.base = reinterpret_cast<std::uint64_t>(info.BaseAddress);
    region.size = info.RegionSize;
    region.allocationBase = reinterpret_cast<std::uint64_t>(info.AllocationBase);
    region.committed = info.State == MEM_COMMIT && !(info.Protect & (PAGE_NOACCESS | PAGE_GUARD));
    return region;
}

ModuleFacts ProcessEnvironment::ModuleAt(std::uint64_t allocationBase) const {
    ModuleFacts facts;
    MEMORY_BASIC_INFORMATION info{};
    if (VirtualQuery(reinterpret_cast<const void*>(allocationBase), &info, sizeof(info)) != sizeof(info) ||
        info.Type != MEM_IMAGE)
        return facts;
    const auto headers = ReadImageHeaders(*this, allocationBase);
    if (!headers) return facts;
    const auto sections = ReadSections(*this, *headers);
    facts.isImage = true;
    facts.isExecutable = allocationBase == reinterpret_cast<std::uint64_t>(GetModuleHandleW(nullptr));
    facts.fileName = ModuleFileName(allocationBase);
    facts.code = CodeRange(allocationBase, *headers, sections);
    facts.data = DataRange(allocationBase, *headers, sections);
    return facts;
}

const symbols::SymbolStore* ProcessEnvironment::SymbolsOf(std::uint64_t moduleBase) const {
    return symbols::ModuleSymbolStore(reinterpret_cast<const void*>(moduleBase));
}

const std::map<std::uint64_t, std::u16string>& ProcessEnvironment::EntriesOf(std::uint64_t base) const {
    std::lock_guard guard(entryLock_);
    auto [place, inserted] = entries_.try_emplace(base);
    if (!inserted) return place->second;
    std::map<std::uint64_t, std::u16string>& entries = place->second;
    const auto headers = ReadImageHeaders(*this, base);
    if (!headers) return entries;
    const DWORD entryPoint =
        headers->is64 ? headers->optional64.AddressOfEntryPoint : headers->optional32.AddressOfEntryPoint;
    if (entryPoint != 0) entries[base + entryPoint] = u"EntryPoint";
    const IMAGE_DATA_DIRECTORY directory = headers->Directory(IMAGE_DIRECTORY_ENTRY_EXPORT);
    IMAGE_EXPORT_DIRECTORY exports{};
    if (directory.VirtualAddress == 0 || !ReadValue(*this, base + directory.VirtualAddress, exports)) return entries;
    if (exports.NumberOfFunctions > kMaxExports || exports.NumberOfNames > kMaxExports) return entries;
    std::vector<DWORD> functions(exports.NumberOfFunctions), names(exports.NumberOfNames);
    std::vector<WORD> ordinals(exports.NumberOfNames);
    if ((!functions.empty() && !Read(base + exports.AddressOfFunctions, functions.data(), functions.size() * 4)) ||
        (!names.empty() && (!Read(base + exports.AddressOfNames, names.data(), names.size() * 4) ||
                            !Read(base + exports.AddressOfNameOrdinals, ordinals.data(), ordinals.size() * 2))))
        return entries;
    std::vector<std::u16string> functionNames(functions.size());
    for (std::size_t i = 0; i < names.size(); ++i)
        if (ordinals[i] < functionNames.size()) functionNames[ordinals[i]] = AsciiText(*this, base + names[i]);
    for (std::size_t i = 0; i < functions.size(); ++i) {
        const DWORD rva = functions[i];
        // Forwarded exports point into the export directory at a name, not at code.
        const bool forwarded = rva >= directory.VirtualAddress && rva < directory.VirtualAddress + directory.Size;
        if (rva == 0 || forwarded) continue;
        std::u16string name = functionNames[i];
        if (name.empty()) name = u"#" + DecimalText(static_cast<std::int64_t>(exports.Base + i));
        entries[base + rva] = std::move(name);
    }
    return entries;
}

std::optional<NamedEntry> ProcessEnvironment::EntryAtOrBelow(std::uint64_t moduleBase, std::uint64_t address) const {
    const auto& entries = EntriesOf(moduleBase);
    auto entry = entries.upper_bound(address);
    if (entry == entries.begin()) return std::nullopt;
    --entry;
    return NamedEntry{entry->first, entry->second};
}

std::vector<std::uint64_t> ProcessEnvironment::NoReturnRoutines() const {
    std::vector<std::uint64_t> routines = {
        reinterpret_cast<std::uint64_t>(&__cxxabiv1::__cxa_throw),
        reinterpret_cast<std::uint64_t>(&__cxxabiv1::__cxa_rethrow),
        reinterpret_cast<std::uint64_t>(static_cast<void (*)()>(&std::terminate)),
        ProcedureOf(L"kernel32.dll", "ExitProcess"),
        ProcedureOf(L"kernel32.dll", "ExitThread"),
        ProcedureOf(L"kernel32.dll", "FatalExit"),
        ProcedureOf(L"ntdll.dll", "RtlExitUserProcess"),
        ProcedureOf(L"ntdll.dll", "RtlExitUserThread"),
    };
    for (const wchar_t* runtime : {L"msvcrt.dll", L"ucrtbase.dll"})
        for (const char* name : {"abort", "exit", "_exit"}) routines.push_back(ProcedureOf(runtime, name));
    std::erase(routines, 0);
    return routines;
}

}  // namespace brevant::crashreport
