#include "crashreport/core/win32/freeze_watch.h"

#include <algorithm>
#include <atomic>

#include "crashreport/core/win32/dispatch_exception.h"
#include "crashreport/core/win32/message_window.h"
#include "crashreport/core/win32/thread_registry.h"
#include "crashreport/core/win32/user32_functions.h"

namespace brevant::crashreport {

namespace {

constexpr LPARAM kAnswer = 777;
constexpr int kMissesForFreeze = 10;
constexpr DWORD kStopWaitMs = 500;

struct Watch {
    HANDLE thread = nullptr;
    DWORD threadId = 0;
    HANDLE stop = nullptr;
    UINT question = 0;  // the message the main thread's window answers
    DWORD baseInterval = 0;
    std::atomic<long> pauses{0};
    std::atomic<bool> resetRequested{false};
};
Watch watch;

// On the main thread: the answer goes back to the watch's own queue.
LRESULT AnswerQuestion(WPARAM, LPARAM) {
    if (const User32Functions* user32 = LoadedUser32())
        user32->postThreadMessage(watch.threadId, WM_NULL, kAnswer, kAnswer);
    return 0;
}

bool DrainAnswers(const User32Functions& user32) {
    bool answered = false;
    MSG message;
    while (user32.peekMessage(&message, nullptr, 0, 0, PM_REMOVE))
        answered = answered || (message.message == WM_NULL && message.wParam == kAnswer && message.lParam == kAnswer);
    return answered;
}

void ReportFreeze() {
    DispatchArguments arguments;
    arguments.type = TExceptType::etFrozen;
    arguments.source = TExceptSource::esAntiFreezeCheck;
    arguments.canContinue = true;
    arguments.threadId = MainThreadId();
    DispatchException(arguments);
}

void Watching(const User32Functions& user32) {
    MSG message;
    user32.peekMessage(&message, nullptr, 0, 0, PM_NOREMOVE);  // the watch's own queue
    DWORD interval = watch.baseInterval;
    int misses = 0;
    while (WaitForSingleObject(watch.stop, 0) == WAIT_TIMEOUT) {
        if (watch.resetRequested.exchange(false)) misses = 0, interval = watch.baseInterval;
        HWND mainWindow = MessageWindowOf(MainThreadId());
        if (watch.pauses > 0 || mainWindow == nullptr) {
            WaitForSingleObject(watch.stop, interval);
            continue;
        }
        user32.postMessage(mainWindow, watch.question, 0, 0);
        if (WaitForSingleObject(watch.stop, interval) != WAIT_TIMEOUT) break;
        if (DrainAnswers(user32) || watch.pauses > 0) {
            misses = 0;
            interval = watch.baseInterval;
        } else if (++misses >= kMissesForFreeze) {
            ReportFreeze();
            DrainAnswers(user32);
            misses = 0;
            interval += interval / 2;
        }
    }
}

DWORD WINAPI WatchThreadProcedure(void*) {
    HANDLE owner = RegistryOwnerMutex();
    const DWORD held = owner ? WaitForSingleObject(owner, 0) : WAIT_FAILED;
    if (held != WAIT_OBJECT_0 && held != WAIT_ABANDONED) return 0;  // another module watches
    if (const User32Functions* user32 = LoadedUser32()) Watching(*user32);
    ReleaseMutex(owner);
    return 0;
}

}  // namespace

void StartFreezeWatch(int timeoutMs) {
    if (watch.thread || timeoutMs <= 0 || LoadedUser32() == nullptr) return;
    watch.question = AddMessageHandler(AnswerQuestion);
    if (watch.question == 0) return;
    watch.baseInterval = std::max<DWORD>(1, static_cast<DWORD>(timeoutMs) / kMissesForFreeze);
    watch.stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    watch.thread = CreateThread(nullptr, 0, WatchThreadProcedure, nullptr, CREATE_SUSPENDED, &watch.threadId);
    if (watch.thread == nullptr) {
        RemoveMessageHandler(watch.question);
        CloseHandle(watch.stop);
        watch.stop = nullptr;
        return;
    }
    SetThreadPriority(watch.thread, THREAD_PRIORITY_HIGHEST);
    AssignThreadName(watch.threadId, u"Quarrex - AntiFreezeThread");
    ResumeThread(watch.thread);
}

void StopFreezeWatch() {
    if (!watch.thread) return;
    SetEvent(watch.stop);
    if (WaitForSingleObject(watch.thread, kStopWaitMs) == WAIT_TIMEOUT) TerminateThread(watch.thread, 0);
    RemoveMessageHandler(watch.question);
    PutThreadInfo(watch.threadId, nullptr, nullptr, 0, nullptr, nullptr);
    CloseHandle(watch.thread);
    CloseHandle(watch.stop);
    watch.thread = watch.stop = nullptr;
    watch.threadId = 0;
}

void PauseFreezeWatch() {
    ++watch.pauses;
}

void ResumeFreezeWatch() {
    --watch.pauses;
}

void ResetFreezeWatch() {
    watch.resetRequested = true;
}

DWORD FreezeWatchThreadId() {
    return watch.threadId;
}

}  // namespace brevant::crashreport
