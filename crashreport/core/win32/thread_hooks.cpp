#include "crashreport/core/win32/thread_hooks.h"

#include <windows.h>

#include <vector>

#include "base/win32/wide_text.h"
#include "crashreport/core/win32/interception.h"
#include "crashreport/core/win32/thread_registry.h"

namespace brevant::crashreport {

namespace {

using CreateThreadFunction = decltype(&CreateThread);
using QueueUserWorkItemFunction = BOOL(WINAPI*)(LPTHREAD_START_ROUTINE, PVOID, ULONG);
using SetThreadDescriptionFunction = HRESULT(WINAPI*)(HANDLE, PCWSTR);

CreateThreadFunction originalCreateThread = nullptr;
QueueUserWorkItemFunction originalQueueUserWorkItem = nullptr;
SetThreadDescriptionFunction originalSetThreadDescription = nullptr;

struct ThreadStart {
    LPTHREAD_START_ROUTINE procedure;
    void* parameter;
};

std::uint32_t CallStart(void* start) {
    const ThreadStart copy = *static_cast<ThreadStart*>(start);
    HeapFree(GetProcessHeap(), 0, start);
    return copy.procedure(copy.parameter);
}

DWORD WINAPI SafeThreadProc(void* start) {
    const DWORD result = RunThreadFrame(CallStart, start, false);
    PutThreadInfo(GetCurrentThreadId(), nullptr, nullptr, 0, nullptr, nullptr);
    return result;
}

DWORD WINAPI SafeWorkItemProc(void* start) {
    return RunThreadFrame(CallStart, start, true);
}

ThreadStart* NewStart(LPTHREAD_START_ROUTINE procedure, void* parameter) {
    auto* start = static_cast<ThreadStart*>(HeapAlloc(GetProcessHeap(), 0, sizeof(ThreadStart)));
    if (start) *start = {procedure, parameter};
    return start;
}

HANDLE WINAPI CreateThreadHook(LPSECURITY_ATTRIBUTES security, SIZE_T stackSize, LPTHREAD_START_ROUTINE procedure,
                               LPVOID parameter, DWORD flags, LPDWORD threadId) {
    const void* creator = __builtin_return_address(0);
    ThreadStart* start = NewStart(procedure, parameter);
    if (!start) return originalCreateThread(security, stackSize, procedure, parameter, flags, threadId);
    DWORD id = 0;
    HANDLE thread = originalCreateThread(security, stackSize, SafeThreadProc, start, flags, &id);
    if (!thread) {
        HeapFree(GetProcessHeap(), 0, start);
        return nullptr;
    }
    if (threadId) *threadId = id;
    PutThreadInfo(id, thread, nullptr, GetCurrentThreadId(), creator, nullptr);
    return thread;
}

BOOL WINAPI QueueUserWorkItemHook(LPTHREAD_START_ROUTINE procedure, PVOID context, ULONG flags) {
    ThreadStart* start = NewStart(procedure, context);
    if (!start) return originalQueueUserWorkItem(procedure, context, flags);
    if (originalQueueUserWorkItem(SafeWorkItemProc, start, flags)) return TRUE;
    HeapFree(GetProcessHeap(), 0, start);
    return FALSE;
}

HRESULT WINAPI SetThreadDescriptionHook(HANDLE thread, PCWSTR description) {
    const HRESULT result = originalSetThreadDescription(thread, description);
    if (SUCCEEDED(result)) AssignThreadName(GetThreadId(thread), description ? FromWide(description) : u"");
    return result;
}

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

std::vector<HMODULE> LoadedModules() {
    using Enumerate = BOOL(WINAPI*)(HANDLE, HMODULE*, DWORD, LPDWORD);
    auto enumerate = reinterpret_cast<Enumerate>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "K32EnumProcessModules")));
    std::vector<HMODULE> modules(512);
    DWORD needed = 0;
    if (!enumerate || !enumerate(GetCurrentProcess(), modules.data(), modules.size() * sizeof(HMODULE), &needed))
        return {GetModuleHandleW(nullptr)};
    modules.resize(std::min<std::size_t>(needed / sizeof(HMODULE), modules.size()));
    return modules;
}

void RedirectEverywhere(const void* target, const void* replacement) {
    if (!target) return;
    for (HMODULE module : LoadedModules()) RedirectImports(module, target, replacement);
}

template <typename Function>
Function Entry(const wchar_t* library, const char* name) {
    HMODULE module = GetModuleHandleW(library);
    return module ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

}  // namespace

void InstallThreadHooks() {
    if (originalCreateThread) return;
    originalCreateThread = Entry<CreateThreadFunction>(L"kernel32.dll", "CreateThread");
    originalQueueUserWorkItem = Entry<QueueUserWorkItemFunction>(L"kernel32.dll", "QueueUserWorkItem");
    originalSetThreadDescription = Entry<SetThreadDescriptionFunction>(L"kernelbase.dll", "SetThreadDescription");
    if (!originalSetThreadDescription)
        originalSetThreadDescription = Entry<SetThreadDescriptionFunction>(L"kernel32.dll", "SetThreadDescription");
    RedirectEverywhere(reinterpret_cast<const void*>(originalCreateThread), reinterpret_cast<const void*>(&CreateThreadHook));
    RedirectEverywhere(reinterpret_cast<const void*>(originalQueueUserWorkItem),
                       reinterpret_cast<const void*>(&QueueUserWorkItemHook));
    RedirectEverywhere(reinterpret_cast<const void*>(originalSetThreadDescription),
                       reinterpret_cast<const void*>(&SetThreadDescriptionHook));
}

void RemoveThreadHooks() {
    if (!originalCreateThread) return;
    RedirectEverywhere(reinterpret_cast<const void*>(&CreateThreadHook), reinterpret_cast<const void*>(originalCreateThread));
    RedirectEverywhere(reinterpret_cast<const void*>(&QueueUserWorkItemHook),
                       reinterpret_cast<const void*>(originalQueueUserWorkItem));
    RedirectEverywhere(reinterpret_cast<const void*>(&SetThreadDescriptionHook),
                       reinterpret_cast<const void*>(originalSetThreadDescription));
    originalCreateThread = nullptr;
}

}  // namespace brevant::crashreport
