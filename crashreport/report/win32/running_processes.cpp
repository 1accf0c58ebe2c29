#include <windows.h>

#include <span>

#include "base/win32/wide_text.h"
#include "crashreport/report/process_entries.h"
#include "crashreport/report/process_records.h"
#include "crashreport/report/win32/system_library_entry.h"
#include "crashreport/report/win32/system_lists.h"

namespace brevant::crashreport {

namespace {

using NtQuerySystemInformationFunction = LONG(WINAPI*)(ULONG, void*, ULONG, ULONG*);
using GetModuleFileNameExFunction = DWORD(WINAPI*)(HANDLE, HMODULE, wchar_t*, DWORD);
using GetGuiResourcesFunction = DWORD(WINAPI*)(HANDLE, DWORD);

constexpr ULONG kSystemProcessInformation = 5;
constexpr DWORD kGdiObjects = 0;
constexpr DWORD kUserObjects = 1;

// Looked up once and kept for the life of the process; every thread sees the same value.
NtQuerySystemInformationFunction NtQuerySystemInformationEntry() {
    static const auto entry = reinterpret_cast<NtQuerySystemInformationFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    return entry;
}
GetModuleFileNameExFunction GetModuleFileNameExEntry() {
    static const auto entry = SystemLibraryFunction<GetModuleFileNameExFunction>(L"psapi.dll", "GetModuleFileNameExW");
    return entry;
}
GetGuiResourcesFunction GetGuiResourcesEntry() {
    static const auto entry = SystemLibraryFunction<GetGuiResourcesFunction>(L"user32.dll", "GetGuiResources");
    return entry;
}

// A zero-filled buffer of the local heap, freed with its owner.
class LocalBuffer {
public:
    explicit LocalBuffer(std::uint32_t size) : memory_(LocalAlloc(LMEM_ZEROINIT, size)), size_(size) {}
    ~LocalBuffer() {
        if (memory_ != nullptr) LocalFree(memory_);
    }
    LocalBuffer(const LocalBuffer&) = delete;
    LocalBuffer& operator=(const LocalBuffer&) = delete;

    void* Data() const { return memory_; }
    std::uint32_t Size() const { return memory_ != nullptr ? size_ : 0; }

private:
    HLOCAL memory_;
    std::uint32_t size_;
};

std::vector<ProcessRecord> QueryProcessRecords() {
    const NtQuerySystemInformationFunction query = NtQuerySystemInformationEntry();
    if (query == nullptr) return {};
    ULONG needed = 0;
    query(kSystemProcessInformation, nullptr, 0, &needed);
    for (const std::uint32_t size : ProcessBufferSizes(needed)) {
        LocalBuffer buffer(size);
        if (buffer.Data() == nullptr) continue;
        if (query(kSystemProcessInformation, buffer.Data(), buffer.Size(), nullptr) >= 0) {
            const auto* bytes = static_cast<const std::uint8_t*>(buffer.Data());
            return ReadProcessRecords(std::span(bytes, buffer.Size()), reinterpret_cast<std::uintptr_t>(bytes),
                                      sizeof(void*));
        }
    }
    return {};
}

// A process handle closed with its owner; empty when the process cannot be opened.
class OpenedProcess {
public:
    OpenedProcess(std::uint32_t processId, DWORD access) : handle_(OpenProcess(access, FALSE, processId)) {}
    ~OpenedProcess() {
        if (handle_ != nullptr) CloseHandle(handle_);
    }
    OpenedProcess(const OpenedProcess&) = delete;
    OpenedProcess& operator=(const OpenedProcess&) = delete;

    HANDLE Handle() const { return handle_; }

private:
    HANDLE handle_;
};

class RunningSystem : public ProcessFacts {
public:
    // The system's record of the image comes first: it needs the least access and also
    // answers where reading the other process's module list does not (a 32-bit process
    // asking under WoW64).
    std::optional<std::u16string> MainModuleFileName(std::uint32_t processId) const override {
        if (const OpenedProcess process(processId, PROCESS_QUERY_LIMITED_INFORMATION); process.Handle() != nullptr) {
            wchar_t name[MAX_PATH];
            DWORD length = MAX_PATH;
            if (QueryFullProcessImageNameW(process.Handle(), 0, name, &length) && length > 0)
                return FromWide(std::wstring_view(name, length));
        }
        const GetModuleFileNameExFunction moduleFileName = GetModuleFileNameExEntry();
        if (moduleFileName == nullptr) return std::nullopt;
        const OpenedProcess process(processId, PROCESS_QUERY_INFORMATION | PROCESS_VM_READ);
        if (process.Handle() == nullptr) return std::nullopt;
        wchar_t name[MAX_PATH];
        const DWORD length = moduleFileName(process.Handle(), nullptr, name, MAX_PATH);
        if (length == 0) return std::nullopt;
        return FromWide(std::wstring_view(name, length < MAX_PATH ? length : MAX_PATH));
    }

    std::optional<ProcessDetails> Details(std::uint32_t processId) const override {
        const OpenedProcess process(processId, PROCESS_QUERY_INFORMATION);
        if (process.Handle() == nullptr) return std::nullopt;
        ProcessDetails details;
        details.priorityClass = static_cast<std::int32_t>(GetPriorityClass(process.Handle()));
        if (const GetGuiResourcesFunction guiResources = GetGuiResourcesEntry()) {
            details.gdiObjects = guiResources(process.Handle(), kGdiObjects);
            details.userObjects = guiResources(process.Handle(), kUserObjects);
        }
        return details;
    }

    std::u16string SystemDirectory() const override {
        wchar_t folder[MAX_PATH];
        const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
        return length < MAX_PATH ? FromWide(std::wstring_view(folder, length)) : std::u16string();
    }
};

}  // namespace

std::u16string ListRunningProcesses() {
    return ProcessListText(MakeProcessEntries(QueryProcessRecords(), RunningSystem()));
}

}  // namespace brevant::crashreport
