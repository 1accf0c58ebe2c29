#include "crashreport/core/win32/message_window.h"

#include <map>
#include <mutex>
#include <vector>

#include "base/number_text.h"
#include "base/win32/wide_text.h"
#include "crashreport/core/win32/user32_functions.h"

namespace brevant::crashreport {

namespace {

struct WindowRecord {
    DWORD threadId;
    HWND window;
    ATOM atom;
    std::wstring className;
    std::map<UINT, MessageCallback> handlers;
};

struct WindowList {
    std::mutex lock;
    std::vector<WindowRecord> windows;
    UINT nextMessage = WM_APP + 0x100;
};

WindowList& Windows() {
    static WindowList* list = new WindowList;
    return *list;
}

WindowRecord* RecordOf(DWORD threadId) {
    for (WindowRecord& record : Windows().windows)
        if (record.threadId == threadId) return &record;
    return nullptr;
}

LRESULT CALLBACK MessageWindowProcedure(HWND window, UINT message, WPARAM first, LPARAM second) {
    MessageCallback callback;
    {
        std::lock_guard guard(Windows().lock);
        if (WindowRecord* record = RecordOf(GetCurrentThreadId())) {
            auto found = record->handlers.find(message);
            if (found != record->handlers.end()) callback = found->second;
        }
    }
    if (callback) return callback(first, second);
    return LoadedUser32()->defWindowProc(window, message, first, second);
}

// A class of its own per thread and copy of this code, so two modules never share one.
std::wstring ClassNameFor(DWORD threadId) {
    return ToWide(u"qrxToolsMsgHandlerWindow" + DollarHex(threadId) +
                  DollarHex(reinterpret_cast<std::uintptr_t>(&MessageWindowProcedure)));
}

}  // namespace

HWND CurrentThreadMessageWindow() {
    const DWORD threadId = GetCurrentThreadId();
    {
        std::lock_guard guard(Windows().lock);
        if (WindowRecord* record = RecordOf(threadId)) return record->window;
    }
    const User32Functions* user32 = LoadedUser32();
    if (user32 == nullptr) return nullptr;
    std::wstring className = ClassNameFor(threadId);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = MessageWindowProcedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = className.c_str();
    ATOM atom = user32->registerClass(&windowClass);
    if (atom == 0) return nullptr;
    HWND window = user32->createWindow(WS_EX_TOOLWINDOW, className.c_str(), L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                  windowClass.hInstance, nullptr);
    if (window == nullptr) {
        user32->unregisterClass(className.c_str(), windowClass.hInstance);
        return nullptr;
    }
    std::lock_guard guard(Windows().lock);
    Windows().windows.push_back({threadId, window, atom, className, {}});
    return window;
}

HWND MessageWindowOf(DWORD threadId) {
    std::lock_guard guard(Windows().lock);
    WindowRecord* record = RecordOf(threadId);
    return record ? record->window : nullptr;
}

UINT AddMessageHandler(MessageCallback callback) {
    if (CurrentThreadMessageWindow() == nullptr) return 0;
    std::lock_guard guard(Windows().lock);
    WindowRecord* record = RecordOf(GetCurrentThreadId());
    UINT message = Windows().nextMessage++;
    record->handlers[message] = std::move(callback);
    return message;
}

void RemoveMessageHandler(UINT message) {
    std::lock_guard guard(Windows().lock);
    for (WindowRecord& record : Windows().windows) record.handlers.erase(message);
}

void CloseCurrentThreadMessageWindow() {
    WindowRecord closing;
    {
        std::lock_guard guard(Windows().lock);
        auto& windows = Windows().windows;
        for (auto it = windows.begin(); it != windows.end(); ++it) {
            if (it->threadId == GetCurrentThreadId()) {
                closing = std::move(*it);
                windows.erase(it);
                break;
            }
        }
    }
    const User32Functions* user32 = LoadedUser32();
    if (closing.window && user32) {
        user32->destroyWindow(closing.window);
        user32->unregisterClass(closing.className.c_str(), GetModuleHandleW(nullptr));
    }
}

}  // namespace brevant::crashreport
