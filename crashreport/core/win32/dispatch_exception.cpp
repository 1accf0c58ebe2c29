#include "crashreport/core/win32/dispatch_exception.h"

#include <atomic>
#include <cstring>

#include "base/win32/own_memory.h"
#include "crashreport/core/handle_request.h"
#include "crashreport/core/win32/emergency_reserve.h"
#include "crashreport/core/win32/exception_objects.h"
#include "crashreport/core/win32/freeze_watch.h"
#include "crashreport/core/win32/raise_records.h"
#include "crashreport/core/win32/request_processing.h"
#include "crashreport/core/win32/sync_call.h"
#include "crashreport/core/win32/thread_registry.h"
#include "crashreport/core/win32/user32_functions.h"

namespace brevant::crashreport {

namespace {

constexpr DWORD kStackOverflow = 0xC00000FD;

struct HandlingThread {
    HANDLE thread = nullptr;
    DWORD threadId = 0;
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    HANDLE pipeEvent = nullptr;
    std::atomic<bool> stopping{false};
};
HandlingThread handling;
// One writer at a time, so that two requests never interleave in the pipe.
SRWLOCK pipeWriteLock = SRWLOCK_INIT;
std::atomic<bool> mainThreadFiringHandlers{false};
// The event of the request being handled, for a replacement thread to set.
std::atomic<HANDLE> requestBeingHandled{nullptr};

bool ReadWholeRequest(HandleRequest& request) {
    DWORD read = 0;
    auto* bytes = reinterpret_cast<std::uint8_t*>(&request);
    std::size_t have = 0;
    while (have < sizeof(request)) {
        if (ReadFile(handling.readEnd, bytes + have, static_cast<DWORD>(sizeof(request) - have), &read, nullptr)) {
            have += read;
            continue;
        }
        const DWORD error = GetLastError();
        if (handling.stopping) return false;
        if (error == ERROR_MORE_DATA) continue;
        if (error != ERROR_NO_DATA && error != ERROR_IO_PENDING && error != ERROR_BROKEN_PIPE) return false;
        if (have == 0 && error == ERROR_NO_DATA) ResetEvent(handling.pipeEvent);
        WaitForSingleObject(handling.pipeEvent, 100);
        if (handling.stopping) return false;
    }
    return true;
}

DWORD WINAPI HandlingThreadProcedure(void*) {
    HandleRequest request;
    while (ReadWholeRequest(request)) {
        if (request.doneEvent == 0) break;
        requestBeingHandled = reinterpret_cast<HANDLE>(request.doneEvent);
        ProcessRequest(request);
        requestBeingHandled = nullptr;
        SetEvent(reinterpret_cast<HANDLE>(request.doneEvent));
        // A thread that pumps messages while it waits wakes up.
        if (const User32Functions* user32 = LoadedUser32())
            user32->postThreadMessage(request.threadId, WM_NULL, 0, 0);
    }
    return 0;
}

// A key for a window of this thread is first offered to that window as its message plus
// 0xBC00; a window that answers non-zero has taken it.
bool WindowTookKey(const User32Functions& user32, const MSG& message) {
    constexpr UINT kFirstKeyMessage = 0x100, kLastKeyMessage = 0x109, kOfferedKey = 0xBC00;
    if (message.message < kFirstKeyMessage || message.message > kLastKeyMessage || message.hwnd == nullptr) return false;
    if (user32.getWindowThreadProcessId(message.hwnd, nullptr) != GetCurrentThreadId()) return false;
    return user32.sendMessage(message.hwnd, message.message + kOfferedKey, message.wParam, message.lParam) != 0;
}

// The main thread stays responsive while it waits, as a program with windows expects.
void WaitPumpingMessages(HANDLE done) {
    const User32Functions* user32 = LoadedUser32();
    if (user32 == nullptr) {
        WaitForSingleObject(done, INFINITE);
        return;
    }
    // Handlers that want the main thread can reach it while it waits here.
    RegisterSyncCallHandler();
    while (true) {
        DWORD woken = user32->msgWaitForMultipleObjects(1, &done, FALSE, INFINITE, QS_ALLINPUT);
        if (woken == WAIT_OBJECT_0 || woken == WAIT_FAILED) return;
        MSG message;
        while (user32->peekMessage(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                user32->postQuitMessage(static_cast<int>(message.wParam));
                return;
            }
            if (WindowTookKey(*user32, message)) continue;
            user32->translateMessage(&message);
            user32->dispatchMessage(&message);
        }
        if (WaitForSingleObject(done, 0) == WAIT_OBJECT_0) return;
    }
}

void FillRequest(HandleRequest& request, const DispatchArguments& arguments, void* object, std::uintptr_t address,
                 const CONTEXT* context) {
    ThreadExceptState& state = CurrentExceptState();
    std::memset(&request, 0, sizeof(request));
    request.threadId = arguments.threadId ? arguments.threadId : GetCurrentThreadId();
    request.exceptType = arguments.type;
    request.exceptObject = reinterpret_cast<std::uintptr_t>(object);
    request.exceptAddress = address;
    request.canContinue = arguments.canContinue;
    request.stackPointer = arguments.stackPointer;
    request.framePointer = arguments.framePointer;
    request.context = reinterpret_cast<std::uintptr_t>(context);
    std::memcpy(request.osRecord, &state.osRecord, sizeof(EXCEPTION_RECORD));
    request.source = arguments.source;
    request.relatedObject = reinterpret_cast<std::uintptr_t>(arguments.relatedObject);
    request.package = arguments.package;
    if (object != nullptr && object == state.lastObject)
        request.innerChain = reinterpret_cast<std::uintptr_t>(&state.inner);
}

// Writes the request and waits for its handling; false when it could not be handed over.
bool HandOver(HandleRequest& request, DWORD exceptionCode) {
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (done == nullptr) return false;
    request.doneEvent = reinterpret_cast<std::uintptr_t>(done);
    DWORD written = 0;
    AcquireSRWLockExclusive(&pipeWriteLock);
    const bool sent = handling.writeEnd != nullptr &&
                      WriteFile(handling.writeEnd, &request, sizeof(request), &written, nullptr) &&
                      written == sizeof(request);
    ReleaseSRWLockExclusive(&pipeWriteLock);
    if (sent) {
        SetEvent(handling.pipeEvent);
        if (request.threadId == GetCurrentThreadId() && request.threadId == MainThreadId() &&
            exceptionCode != kStackOverflow)
            WaitPumpingMessages(done);
        else WaitForSingleObject(done, INFINITE);
    }
    CloseHandle(done);
    return sent;
}

}  // namespace

void SetMainThreadFiringHandlers(bool firing) {
    mainThreadFiringHandlers = firing;
}

DWORD HandlingThreadId() {
    return handling.threadId;
}

bool LoaderLockHeld(DWORD limitMs) {
    // The process environment block, and in it the loader lock and the environment lock.
    const std::uint8_t* peb = nullptr;
#if defined(__x86_64__)
    __asm__("movq %%gs:0x60, %0" : "=r"(peb));
    const std::size_t loaderLockAt = 0x110, environmentLockAt = 0x38;
#else
    __asm__("movl %%fs:0x30, %0" : "=r"(peb));
    const std::size_t loaderLockAt = 0xA0, environmentLockAt = 0x1C;
#endif
    auto owned = [&](std::size_t at) {
        const auto* lock = *reinterpret_cast<RTL_CRITICAL_SECTION* const*>(peb + at);
        return IsReadable(lock, sizeof(*lock)) && lock->OwningThread != nullptr;
    };
    for (DWORD waited = 0;; waited += 10) {
        if (!owned(loaderLockAt) && !owned(environmentLockAt)) return false;
        if (waited >= limitMs) return true;
        Sleep(10);
    }
}

void DispatchException(const DispatchArguments& arguments) {
    try {
        const DWORD self = GetCurrentThreadId();
        if (self == handling.threadId) return;
        if (mainThreadFiringHandlers && self == MainThreadId()) return;
        ReleaseEmergencyReserve();

        ThreadExceptState& state = CurrentExceptState();
        void* object = arguments.object ? arguments.object : state.lastObject;
        const std::type_info* type = arguments.objectType;
        if (!type) type = object == state.lastObject ? state.lastType : ThrownObjectType(object);
        std::uintptr_t address = arguments.address ? arguments.address : state.lastAddress;
        const CONTEXT* context = arguments.context ? arguments.context : nullptr;
        if (!context && object && object == state.lastObject && state.hasContext) context = &state.context;
        // An operating-system exception is walked from its own context: the stack here would
        // show only the crash reporter's frames.
        if (object && type) {
            if (arguments.context)
                NoteObjectType(object, type);
            else
                NoteThrownObject(object, type);
        }

        const bool isAbort = type ? TypeIsOrDerives(*type, u"EAbort") : ClassIsOrDerives(object, u"EAbort");
        if (object && isAbort) {
            if (object == state.lastObject) ClearLastException();
            if (!arguments.canContinue) TerminateProcess(GetCurrentProcess(), 1);
            TakeEmergencyReserve();
            return;
        }

        DispatchArguments completed = arguments;
        if (completed.stackPointer == 0 || completed.framePointer == 0) {
            completed.stackPointer = reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
            completed.framePointer = completed.stackPointer;
        }
        HandleRequest request;
        FillRequest(request, completed, object, address, context);
        PauseFreezeWatch();
        if (LoaderLockHeld(kLoaderLockWaitMs)) ProcessRequest(request);  // no thread switch while the loader is busy
        else HandOver(request, arguments.exceptionCode);
        ResumeFreezeWatch();

        ClearLastException();
        if (object) MarkReported(object);
        TakeEmergencyReserve();
    } catch (...) {
        // Nothing raised here reaches the program.
    }
}

bool StartHandlingThread() {
    if (handling.thread) return true;
    if (!CreatePipe(&handling.readEnd, &handling.writeEnd, nullptr, 0)) return false;
    DWORD mode = PIPE_READMODE_BYTE | PIPE_NOWAIT;
    SetNamedPipeHandleState(handling.readEnd, &mode, nullptr, nullptr);
    handling.pipeEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    handling.stopping = false;
    handling.thread = CreateThread(nullptr, 0, HandlingThreadProcedure, nullptr, 0, &handling.threadId);
    if (!handling.thread) return false;
    SetThreadPriority(handling.thread, THREAD_PRIORITY_HIGHEST);
    AssignThreadName(handling.threadId, u"Quarrex - HandleExceptionThread");
    return true;
}

void ReplaceFailedHandlingThread() {
    HANDLE failed = handling.thread;
    DWORD id = 0;
    handling.thread = CreateThread(nullptr, 0, HandlingThreadProcedure, nullptr, 0, &id);
    handling.threadId = id;
    if (handling.thread) {
        SetThreadPriority(handling.thread, THREAD_PRIORITY_HIGHEST);
        AssignThreadName(id, u"Quarrex - HandleExceptionThread");
    }
    if (HANDLE done = requestBeingHandled.exchange(nullptr)) SetEvent(done);
    if (failed) CloseHandle(failed);
    PutThreadInfo(GetCurrentThreadId(), nullptr, nullptr, 0, nullptr, nullptr);
}

void StopHandlingThread() {
    if (!handling.thread) return;
    handling.stopping = true;
    ResumeThread(handling.thread);
    if (LoaderLockHeld(0)) {
        CloseHandle(handling.writeEnd);
    } else {
        HandleRequest stop{};
        DWORD written = 0;
        WriteFile(handling.writeEnd, &stop, sizeof(stop), &written, nullptr);
        CloseHandle(handling.writeEnd);
        SetEvent(handling.pipeEvent);
        WaitForSingleObject(handling.thread, 500);
    }
    handling.writeEnd = nullptr;
    SetEvent(handling.pipeEvent);
    CloseHandle(handling.readEnd);
    if (WaitForSingleObject(handling.thread, 50) == WAIT_TIMEOUT) TerminateThread(handling.thread, 0);
    CloseHandle(handling.thread);
    CloseHandle(handling.pipeEvent);
    PutThreadInfo(handling.threadId, nullptr, nullptr, 0, nullptr, nullptr);
    handling.thread = handling.readEnd = handling.pipeEvent = nullptr;
    handling.threadId = 0;
}

}  // namespace brevant::crashreport
