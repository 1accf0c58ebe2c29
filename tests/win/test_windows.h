#pragma once
// Real windows for the tests that capture or show them: top-level popups of one colour, and a
// window of another program lying over them.

#include <windows.h>

#include <string>

namespace brevant {

// Lets the windows of this thread (and the X server behind them) catch up.
inline void LetWindowsSettle(int rounds = 5) {
    for (int i = 0; i < rounds; ++i) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        Sleep(60);
    }
}

class ColouredWindow {
public:
    ColouredWindow(int left, int top, int width, int height, COLORREF colour) {
        static const wchar_t* kClass = RegisterOnce();
        window_ = CreateWindowExW(0, kClass, L"test window", WS_POPUP | WS_VISIBLE, left, top, width, height, nullptr,
                                  nullptr, GetModuleHandleW(nullptr), nullptr);
        SetWindowLongPtrW(window_, GWLP_USERDATA, static_cast<LONG_PTR>(colour));
        InvalidateRect(window_, nullptr, TRUE);
        UpdateWindow(window_);
    }
    ~ColouredWindow() { DestroyWindow(window_); }
    ColouredWindow(const ColouredWindow&) = delete;
    ColouredWindow& operator=(const ColouredWindow&) = delete;
    HWND Handle() const { return window_; }

private:
    static LRESULT CALLBACK Paint(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_PAINT) {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(window, &paint);
            HBRUSH brush = CreateSolidBrush(static_cast<COLORREF>(GetWindowLongPtrW(window, GWLP_USERDATA)));
            FillRect(dc, &paint.rcPaint, brush);
            DeleteObject(brush);
            EndPaint(window, &paint);
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }
    static const wchar_t* RegisterOnce() {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = Paint;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"BrevantTestWindow";
        RegisterClassW(&windowClass);
        return windowClass.lpszClassName;
    }
    HWND window_ = nullptr;
};

// The folder of the stand-in programs of the Windows build, beside the tests' folder.
inline std::wstring StandInPath(const std::wstring& name) {
    wchar_t own[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, own, MAX_PATH);
    std::wstring folder(own, length);
    folder = folder.substr(0, folder.find_last_of(L'\\'));
    return folder.substr(0, folder.find_last_of(L'\\') + 1) + L"stand_ins\\" + name;
}

// cover_window of the stand-ins, up while the object lives.
class CoverWindow {
public:
    CoverWindow(int left, int top, int width, int height, const wchar_t* rrggbb) {
        const std::wstring event = L"BrevantCover" + std::to_wstring(GetCurrentProcessId());
        stop_ = CreateEventW(nullptr, TRUE, FALSE, event.c_str());
        HANDLE up = CreateEventW(nullptr, TRUE, FALSE, (event + L".up").c_str());
        std::wstring command = L"\"" + StandInPath(L"cover_window.exe") + L"\" " + std::to_wstring(left) + L" " +
                               std::to_wstring(top) + L" " + std::to_wstring(width) + L" " + std::to_wstring(height) +
                               L" " + rrggbb + L" " + event;
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started_)) {
            HANDLE waits[] = {up, started_.hProcess};
            running_ = WaitForMultipleObjects(2, waits, FALSE, 60000) == WAIT_OBJECT_0;
        }
        CloseHandle(up);
        LetWindowsSettle();
    }
    ~CoverWindow() {
        SetEvent(stop_);
        if (started_.hProcess) {
            if (WaitForSingleObject(started_.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(started_.hProcess, 1);
            CloseHandle(started_.hProcess);
            CloseHandle(started_.hThread);
        }
        CloseHandle(stop_);
        LetWindowsSettle();
    }
    CoverWindow(const CoverWindow&) = delete;
    CoverWindow& operator=(const CoverWindow&) = delete;
    bool Running() const { return running_; }

private:
    HANDLE stop_ = nullptr;
    PROCESS_INFORMATION started_{};
    bool running_ = false;
};

}  // namespace brevant
