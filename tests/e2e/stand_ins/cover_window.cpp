// A window of another program that lies over the windows under test: a topmost popup of one
// colour at the given place. It stands until the event named on its command line is set (or
// a minute has passed), and says it is up by setting "<event>.up".
//
//   cover_window <left> <top> <width> <height> <rrggbb> <event name>

#include <windows.h>

#include <cstdlib>
#include <string>

namespace {

COLORREF coverColour = RGB(0, 0, 255);

LRESULT CALLBACK Paint(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        HBRUSH brush = CreateSolidBrush(coverColour);
        FillRect(dc, &paint.rcPaint, brush);
        DeleteObject(brush);
        EndPaint(window, &paint);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    int count = 0;
    wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!args || count < 7) return 2;
    const int left = _wtoi(args[1]), top = _wtoi(args[2]), width = _wtoi(args[3]), height = _wtoi(args[4]);
    const unsigned long rgb = std::wcstoul(args[5], nullptr, 16);
    coverColour = RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
    const std::wstring event = args[6];
    HANDLE stop = CreateEventW(nullptr, TRUE, FALSE, event.c_str());
    HANDLE up = CreateEventW(nullptr, TRUE, FALSE, (event + L".up").c_str());

    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = Paint;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = L"BrevantCoverWindow";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, windowClass.lpszClassName, L"cover", WS_POPUP,
                                  left, top, width, height, nullptr, nullptr, instance, nullptr);
    ShowWindow(window, SW_SHOWNOACTIVATE);
    UpdateWindow(window);
    SetEvent(up);
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 60000) {
        if (MsgWaitForMultipleObjects(1, &stop, FALSE, 100, QS_ALLINPUT) == WAIT_OBJECT_0) break;
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    }
    DestroyWindow(window);
    return 0;
}
