#pragma once
// The window functions the crash reporter's runtime uses, taken from user32 only when the
// process already has it loaded: a program without windows has no messages to pump and
// no window to call into, and its start stays free of user32.

#include <windows.h>

namespace brevant::crashreport {

struct User32Functions {
    decltype(&RegisterClassW) registerClass;
    decltype(&UnregisterClassW) unregisterClass;
    decltype(&CreateWindowExW) createWindow;
    decltype(&DestroyWindow) destroyWindow;
    decltype(&DefWindowProcW) defWindowProc;
    decltype(&PeekMessageW) peekMessage;
    decltype(&TranslateMessage) translateMessage;
    decltype(&DispatchMessageW) dispatchMessage;
    decltype(&PostQuitMessage) postQuitMessage;
    decltype(&PostThreadMessageW) postThreadMessage;
    decltype(&PostMessageW) postMessage;
    decltype(&SendMessageTimeoutW) sendMessageTimeout;
    decltype(&SendMessageW) sendMessage;
    decltype(&MsgWaitForMultipleObjects) msgWaitForMultipleObjects;
    decltype(&GetWindowThreadProcessId) getWindowThreadProcessId;
};

// Null while user32 is not loaded in the process (or lacks an entry).
const User32Functions* LoadedUser32();

}  // namespace brevant::crashreport
