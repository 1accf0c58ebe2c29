#include "crashreport/core/win32/thread_pausing.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

#include "crashreport/core/win32/dispatch_exception.h"
#include "crashreport/core/win32/import_redirection.h"
#include "crashreport/core/win32/sync_call.h"
#include "crashreport/core/win32/thread_registry.h"
#include "symbols/win32/module_symbols.h"

namespace brevant::crashreport {

namespace {

using GetMessageAFunction = decltype(&GetMessageA);
using GetMessageWFunction = decltype(&GetMessageW);
using PeekMessageAFunction = decltype(&PeekMessageA);
using PeekMessageWFunction = decltype(&PeekMessageW);

struct MessageFunctions {
    GetMessageAFunction getA = nullptr;
    GetMessageWFunction getW = nullptr;
    PeekMessageAFunction peekA = nullptr;
    PeekMessageWFunction peekW = nullptr;
};

struct PauseState {
    std::atomic<bool> everUsed{false};
    CRITICAL_SECTION lock;
    std::vector<DWORD> paused;
    HANDLE mainPauseEvent = nullptr;
    HANDLE othersPauseEvent = nullptr;
    MessageFunctions original;
};

PauseState& State() {
    static PauseState* state = new PauseState;
    return *state;
}

BOOL WINAPI GetMessageAHook(LPMSG message, HWND window, UINT first, UINT last) {
    PausePoint();
    return State().original.getA(message, window, first, last);
}
BOOL WINAPI GetMessageWHook(LPMSG message, HWND window, UINT first, UINT last) {
    PausePoint();
    return State().original.getW(message, window, first, last);
}
BOOL WINAPI PeekMessageAHook(LPMSG message, HWND window, UINT first, UINT last, UINT remove) {
    PausePoint();
    return State().original.peekA(message, window, first, last, remove);
}
BOOL WINAPI PeekMessageWHook(LPMSG message, HWND window, UINT first, UINT last, UINT remove) {
    PausePoint();
    return State().original.peekW(message, window, first, last, remove);
}

void RedirectMessageFunctions(const MessageFunctions& original, bool install) {
    SetImportRedirection(original.getA, &GetMessageAHook, install);
    SetImportRedirection(original.getW, &GetMessageWHook, install);
    SetImportRedirection(original.peekA, &PeekMessageAHook, install);
    SetImportRedirection(original.peekW, &PeekMessageWHook, install);
}

// On the first pause of the process: the lock, the events and the pause points.
void PrepareFirstPause(PauseState& state) {
    static std::once_flag prepared;
    std::call_once(prepared, [&] {
        InitializeCriticalSection(&state.lock);
        state.mainPauseEvent = CreateEventW(nullptr, TRUE, TRUE, nullptr);
        state.othersPauseEvent = CreateEventW(nullptr, TRUE, TRUE, nullptr);
        MessageFunctions& original = state.original;
        original.getA = LoadedEntry<GetMessageAFunction>(L"user32.dll", "GetMessageA");
        original.getW = LoadedEntry<GetMessageWFunction>(L"user32.dll", "GetMessageW");
        original.peekA = LoadedEntry<PeekMessageAFunction>(L"user32.dll", "PeekMessageA");
        original.peekW = LoadedEntry<PeekMessageWFunction>(L"user32.dll", "PeekMessageW");
        RedirectMessageFunctions(original, true);
        state.everUsed = true;
    });
}

// Threads that the program's own code created: their creator lies in a module that
// carries a symbol store.
bool CreatedByProgram(DWORD threadId) {
    const ThreadDescription description = DescribeThread(threadId, true);
    if (description.creatorAddress == nullptr) return false;
    const void* module = symbols::ModuleOfAddress(reinterpret_cast<std::uintptr_t>(description.creatorAddress));
    return module && symbols::ModuleHasSymbols(module);
}

bool IsPaused(PauseState& state, DWORD threadId) {
    EnterCriticalSection(&state.lock);
    const bool paused = std::find(state.paused.begin(), state.paused.end(), threadId) != state.paused.end();
    LeaveCriticalSection(&state.lock);
    return paused;
}

}  // namespace

void PauseOtherThreads(std::uint32_t keepRunningThreadId) {
    PauseState& state = State();
    PrepareFirstPause(state);
    std::vector<DWORD> marked;
    const DWORD self = GetCurrentThreadId(), main = MainThreadId();
    for (DWORD id : ListProcessThreads()) {
        if (id == self || id == main || id == keepRunningThreadId || id == HandlingThreadId()) continue;
        if (CreatedByProgram(id)) marked.push_back(id);
    }
    EnterCriticalSection(&state.lock);
    state.paused = std::move(marked);
    if (main != keepRunningThreadId) ResetEvent(state.mainPauseEvent);
    ResetEvent(state.othersPauseEvent);
    LeaveCriticalSection(&state.lock);
    PostProbeToMainThread();
}

void ResumeOtherThreads() {
    PauseState& state = State();
    if (!state.everUsed) return;
    EnterCriticalSection(&state.lock);
    state.paused.clear();
    SetEvent(state.mainPauseEvent);
    SetEvent(state.othersPauseEvent);
    LeaveCriticalSection(&state.lock);
    PostProbeToMainThread();
}

void PausePoint() {
    PauseState& state = State();
    if (!state.everUsed) return;
    const DWORD lastError = GetLastError();
    const DWORD self = GetCurrentThreadId();
    if (self == MainThreadId()) WaitForSingleObject(state.mainPauseEvent, INFINITE);
    else if (IsPaused(state, self)) WaitForSingleObject(state.othersPauseEvent, INFINITE);
    SetLastError(lastError);
}

bool ResumeMainThread() {
    PauseState& state = State();
    if (!state.everUsed || WaitForSingleObject(state.mainPauseEvent, 0) == WAIT_OBJECT_0) return false;
    SetEvent(state.mainPauseEvent);
    return true;
}

void SuspendMainThread() {
    PauseState& state = State();
    if (!state.everUsed) return;
    ResetEvent(state.mainPauseEvent);
    PostProbeToMainThread();
}

void ReleasePausedThreads() {
    PauseState& state = State();
    if (!state.everUsed) return;
    RedirectMessageFunctions(state.original, false);
    SetEvent(state.mainPauseEvent);
    SetEvent(state.othersPauseEvent);
}

}  // namespace brevant::crashreport
