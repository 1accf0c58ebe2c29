#include "crashreport/core/win32/user32_functions.h"

#include <atomic>

namespace brevant::crashreport {

namespace {

template <typename Function>
bool Take(HMODULE module, const char* name, Function& function) {
    function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    return function != nullptr;
}

bool Fill(HMODULE module, User32Functions& f) {
    return Take(module, "RegisterClassW", f.registerClass) && Take(module, "UnregisterClassW", f.unregisterClass) &&
           Take(module, "CreateWindowExW", f.createWindow) && Take(module, "DestroyWindow", f.destroyWindow) &&
           Take(module, "DefWindowProcW", f.defWindowProc) && Take(module, "PeekMessageW", f.peekMessage) &&
           Take(module, "TranslateMessage", f.translateMessage) &&
           Take(module, "DispatchMessageW", f.dispatchMessage) && Take(module, "PostQuitMessage", f.postQuitMessage) &&
           Take(module, "PostThreadMessageW", f.postThreadMessage) && Take(module, "PostMessageW", f.postMessage) &&
           Take(module, "SendMessageTimeoutW", f.sendMessageTimeout) && Take(module, "SendMessageW", f.sendMessage) &&
           Take(module, "MsgWaitForMultipleObjects", f.msgWaitForMultipleObjects) &&
           Take(module, "GetWindowThreadProcessId", f.getWindowThreadProcessId);
}

}  // namespace

const User32Functions* LoadedUser32() {
    static User32Functions functions;
    static std::atomic<int> state{0};  // 0 not tried yet (or not loaded then), 1 filled, 2 incomplete
    if (state == 1) return &functions;
    if (state == 2) return nullptr;
    HMODULE module = GetModuleHandleW(L"user32.dll");
    if (module == nullptr) return nullptr;
    static User32Functions filling;
    const bool complete = Fill(module, filling);
    if (complete) functions = filling;
    state = complete ? 1 : 2;
    return complete ? &functions : nullptr;
}

}  // namespace brevant::crashreport
