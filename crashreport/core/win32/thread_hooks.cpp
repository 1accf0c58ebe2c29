// Before <windows.h>, whose "far" macro would otherwise rename a field of the decoder.
#include "crashreport/core/call_site_search.h"

#include "crashreport/core/win32/thread_hooks.h"

#include <windows.h>

#include <algorithm>
#include <atomic>

#include "base/win32/wide_text.h"
#include "crashreport/core/win32/code_patch.h"
#include "crashreport/core/win32/import_redirection.h"
#include "crashreport/core/win32/interception.h"
#include "crashreport/core/win32/process_memory_reader.h"
#include "crashreport/core/win32/thread_registry.h"
#include "symbols/win32/module_symbols.h"

namespace brevant::crashreport {

namespace {

using CreateThreadFunction = decltype(&CreateThread);
using CreateRemoteThreadFunction = HANDLE(WINAPI*)(HANDLE, LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE,
                                                   LPVOID, DWORD, LPDWORD);
using CreateRemoteThreadExFunction = HANDLE(WINAPI*)(HANDLE, LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE,
                                                     LPVOID, DWORD, LPPROC_THREAD_ATTRIBUTE_LIST, LPDWORD);
using QueueUserWorkItemFunction = BOOL(WINAPI*)(LPTHREAD_START_ROUTINE, PVOID, ULONG);
using SetThreadDescriptionFunction = HRESULT(WINAPI*)(HANDLE, PCWSTR);

CreateThreadFunction originalCreateThread = nullptr;
CreateRemoteThreadFunction originalCreateRemoteThread = nullptr;
CreateRemoteThreadExFunction originalCreateRemoteThreadEx = nullptr;
QueueUserWorkItemFunction originalQueueUserWorkItem = nullptr;
SetThreadDescriptionFunction originalSetThreadDescription = nullptr;
std::atomic<ThreadCreationHook> installedKind{ThreadCreationHook::none};

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

// The code that asked for the thread: the first return address, above the hook that calls
// this, outside the system's thread-creation layers and the C runtime's thread starts.
[[gnu::noinline]] const void* CreatorAddress() {
    static const HMODULE layers[] = {GetModuleHandleW(L"kernelbase.dll"), GetModuleHandleW(L"kernel32.dll"),
                                     GetModuleHandleW(L"msvcrt.dll"), GetModuleHandleW(L"ucrtbase.dll")};
    void* frames[12] = {};
    const USHORT count = RtlCaptureStackBackTrace(2, 12, frames, nullptr);
    for (USHORT i = 0; i < count; ++i) {
        const void* module = symbols::ModuleOfAddress(reinterpret_cast<std::uintptr_t>(frames[i]));
        if (!module || std::find(std::begin(layers), std::end(layers), module) == std::end(layers)) return frames[i];
    }
    return count > 0 ? frames[count - 1] : nullptr;
}

bool IsOwnProcess(HANDLE process) {
    return process == GetCurrentProcess() || GetProcessId(process) == GetCurrentProcessId();
}

// Creates the thread through `create` with the wrapper as start routine and records it. A
// procedure that already is the wrapper (the import hook came first) is passed on as it is.
template <typename Create>
HANDLE CreateWrapped(LPTHREAD_START_ROUTINE procedure, void* parameter, LPDWORD threadId, const void* creator,
                     Create create) {
    if (procedure == SafeThreadProc) return create(procedure, parameter, threadId);
    ThreadStart* start = NewStart(procedure, parameter);
    if (!start) return create(procedure, parameter, threadId);
    DWORD id = 0;
    HANDLE thread = create(SafeThreadProc, start, &id);
    if (!thread) {
        HeapFree(GetProcessHeap(), 0, start);
        return nullptr;
    }
    if (threadId) *threadId = id;
    PutThreadInfo(id, thread, nullptr, GetCurrentThreadId(), creator, nullptr);
    return thread;
}

HANDLE WINAPI CreateThreadHook(LPSECURITY_ATTRIBUTES security, SIZE_T stackSize, LPTHREAD_START_ROUTINE procedure,
                               LPVOID parameter, DWORD flags, LPDWORD threadId) {
    return CreateWrapped(procedure, parameter, threadId, CreatorAddress(),
                         [&](LPTHREAD_START_ROUTINE p, void* q, LPDWORD id) {
                             return originalCreateThread(security, stackSize, p, q, flags, id);
                         });
}

// Reached from inside CreateThread, whichever way the program called it.
HANDLE WINAPI CreateRemoteThreadExHook(HANDLE process, LPSECURITY_ATTRIBUTES security, SIZE_T stackSize,
                                       LPTHREAD_START_ROUTINE procedure, LPVOID parameter, DWORD flags,
                                       LPPROC_THREAD_ATTRIBUTE_LIST attributes, LPDWORD threadId) {
    auto create = [&](LPTHREAD_START_ROUTINE p, void* q, LPDWORD id) {
        return originalCreateRemoteThreadEx(process, security, stackSize, p, q, flags, attributes, id);
    };
    if (!IsOwnProcess(process)) return create(procedure, parameter, threadId);
    return CreateWrapped(procedure, parameter, threadId, CreatorAddress(), create);
}

HANDLE WINAPI CreateRemoteThreadHook(HANDLE process, LPSECURITY_ATTRIBUTES security, SIZE_T stackSize,
                                     LPTHREAD_START_ROUTINE procedure, LPVOID parameter, DWORD flags,
                                     LPDWORD threadId) {
    auto create = [&](LPTHREAD_START_ROUTINE p, void* q, LPDWORD id) {
        return originalCreateRemoteThread(process, security, stackSize, p, q, flags, id);
    };
    if (!IsOwnProcess(process)) return create(procedure, parameter, threadId);
    return CreateWrapped(procedure, parameter, threadId, CreatorAddress(), create);
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

template <typename Function>
Function SystemEntry(const char* name) {
    if (auto entry = LoadedEntry<Function>(L"kernelbase.dll", name)) return entry;
    return LoadedEntry<Function>(L"kernel32.dll", name);
}

std::uint64_t AddressOf(const void* routine) {
    return reinterpret_cast<std::uintptr_t>(routine);
}

// Bends the call that CreateThread makes to the routine doing the work, so that threads
// created from modules loaded later, or through an address taken at run time, are caught too.
// The search starts at the system library's own CreateThread, where the work is done:
// kernel32's entry only forwards to it.
bool RedirectCallInsideCreateThread() {
    const ProcessMemoryReader memory;
    const auto systemCreateThread = SystemEntry<CreateThreadFunction>("CreateThread");
    if (!systemCreateThread) return false;
    const std::uint64_t createThread =
        FollowJumpThunks(memory, AddressOf(reinterpret_cast<const void*>(systemCreateThread)), kOwnCodeMode);
    const auto tryRoutine = [&](auto original, const void* hook) {
        if (!original) return false;
        const std::uint64_t sought[] = {AddressOf(reinterpret_cast<const void*>(original)),
                                        FollowJumpThunks(memory, AddressOf(reinterpret_cast<const void*>(original)),
                                                         kOwnCodeMode)};
        const std::optional<CallSite> site = FindCallSite(memory, createThread, kOwnCodeMode, sought);
        return site && RedirectCallSite(*site, hook);
    };
    return tryRoutine(originalCreateRemoteThreadEx, reinterpret_cast<const void*>(&CreateRemoteThreadExHook)) ||
           tryRoutine(originalCreateRemoteThread, reinterpret_cast<const void*>(&CreateRemoteThreadHook));
}

}  // namespace

void InstallThreadHooks() {
    if (originalCreateThread) return;
    originalCreateThread = LoadedEntry<CreateThreadFunction>(L"kernel32.dll", "CreateThread");
    originalCreateRemoteThreadEx = SystemEntry<CreateRemoteThreadExFunction>("CreateRemoteThreadEx");
    originalCreateRemoteThread = SystemEntry<CreateRemoteThreadFunction>("CreateRemoteThread");
    originalQueueUserWorkItem = LoadedEntry<QueueUserWorkItemFunction>(L"kernel32.dll", "QueueUserWorkItem");
    originalSetThreadDescription = SystemEntry<SetThreadDescriptionFunction>("SetThreadDescription");
    if (RedirectCallInsideCreateThread()) {
        installedKind = ThreadCreationHook::callInsideCreateThread;
    } else {
        SetImportRedirection(originalCreateThread, &CreateThreadHook, true);
        installedKind = ThreadCreationHook::createThreadImports;
    }
    SetImportRedirection(originalQueueUserWorkItem, &QueueUserWorkItemHook, true);
    SetImportRedirection(originalSetThreadDescription, &SetThreadDescriptionHook, true);
}

// The call-site patch is a code patch: it is undone with the others.
void RemoveThreadHooks() {
    if (!originalCreateThread) return;
    if (installedKind == ThreadCreationHook::createThreadImports)
        SetImportRedirection(originalCreateThread, &CreateThreadHook, false);
    SetImportRedirection(originalQueueUserWorkItem, &QueueUserWorkItemHook, false);
    SetImportRedirection(originalSetThreadDescription, &SetThreadDescriptionHook, false);
    originalCreateThread = nullptr;
    installedKind = ThreadCreationHook::none;
}

// The hooks bend only the call inside CreateThread and the imports of CreateThread, never the
// routines that do the work.
HANDLE CreateThreadPastHooks(SIZE_T stackSize, LPTHREAD_START_ROUTINE procedure, void* parameter) {
    if (originalCreateRemoteThreadEx)
        return originalCreateRemoteThreadEx(GetCurrentProcess(), nullptr, stackSize, procedure, parameter, 0, nullptr,
                                            nullptr);
    if (originalCreateRemoteThread)
        return originalCreateRemoteThread(GetCurrentProcess(), nullptr, stackSize, procedure, parameter, 0, nullptr);
    return CreateThread(nullptr, stackSize, procedure, parameter, 0, nullptr);
}

ThreadCreationHook InstalledThreadCreationHook() {
    return installedKind;
}

}  // namespace brevant::crashreport
