#include "crashreport/core/win32/sync_call.h"

#include <atomic>

#include "crashreport/core/win32/dispatch_exception.h"
#include "crashreport/core/win32/message_window.h"
#include "crashreport/core/win32/thread_pausing.h"
#include "crashreport/core/win32/thread_registry.h"
#include "crashreport/core/win32/user32_functions.h"

namespace brevant::crashreport {

namespace {

constexpr LRESULT kAnswer = 777;
constexpr WPARAM kRealCall = 0;
constexpr WPARAM kProbe = 1;
std::atomic<UINT> syncMessage{0};

LRESULT AnswerSyncCall(WPARAM kind, LPARAM parameters) {
    PausePoint();
    if (kind == kRealCall && parameters != 0) {
        SetMainThreadFiringHandlers(true);
        ProcessHandlerLists().FireHandlers(*reinterpret_cast<TFireHandlersParams*>(parameters));
        SetMainThreadFiringHandlers(false);
    }
    return kAnswer;
}

}  // namespace

void RegisterSyncCallHandler() {
    if (syncMessage == 0) syncMessage = AddMessageHandler(AnswerSyncCall);
}

void RemoveSyncCallHandler() {
    if (UINT message = syncMessage.exchange(0)) RemoveMessageHandler(message);
}

void PostProbeToMainThread() {
    const User32Functions* user32 = LoadedUser32();
    HWND window = MessageWindowOf(MainThreadId());
    if (user32 && window && syncMessage != 0) user32->postMessage(window, syncMessage, kProbe, 0);
}

bool CallHandlersOnMainThread(TFireHandlersParams& params) {
    const User32Functions* user32 = LoadedUser32();
    HWND window = MessageWindowOf(MainThreadId());
    if (user32 == nullptr || window == nullptr || syncMessage == 0) return false;
    DWORD_PTR answer = 0;
    if (!user32->sendMessageTimeout(window, syncMessage, kProbe, 0, SMTO_NORMAL, 1500, &answer) || answer != kAnswer)
        return false;
    answer = 0;
    return user32->sendMessageTimeout(window, syncMessage, kRealCall, reinterpret_cast<LPARAM>(&params), SMTO_NORMAL,
                                      0x7FFFFFFE, &answer) &&
           answer == kAnswer;
}

}  // namespace brevant::crashreport
