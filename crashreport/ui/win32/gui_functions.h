#pragma once
// The window, drawing and dialog functions the crash reporter's windows, screenshot, mail and
// print use, taken from their system libraries the first time a report is delivered. Linking
// them would load user32 and gdi32 into every program that carries the crash reporter, C
// console programs included, and change how such a program starts and fails.

#include <windows.h>
#include <commdlg.h>
#include <commctrl.h>

namespace brevant::crashreport {

#define BREVANT_GUI_FUNCTIONS(X)                                                                                 \
    X(user32, BringWindowToTop) X(user32, CloseClipboard) X(user32, CreateWindowExW) X(user32, DefWindowProcW)   \
    X(user32, DeleteMenu) X(user32, DestroyWindow) X(user32, DispatchMessageW) X(user32, DrawIconEx)             \
    X(user32, DrawTextW) X(user32, EmptyClipboard) X(user32, EnableWindow) X(user32, EnumWindows)                \
    X(user32, FillRect) X(user32, GetClassInfoW) X(user32, GetIconInfo) X(user32, GetPropW)                      \
    X(user32, GetSysColor) X(user32, GetSysColorBrush) X(user32, GetSystemMenu) X(user32, GetSystemMetrics)      \
    X(user32, GetWindow) X(user32, GetWindowLongW) X(user32, GetWindowRect) X(user32, GetWindowThreadProcessId)  \
    X(user32, IsIconic) X(user32, IsWindowVisible) X(user32, LoadCursorW) X(user32, LoadImageW)                  \
    X(user32, MessageBeep) X(user32, MessageBoxW) X(user32, OpenClipboard) X(user32, PeekMessageW)               \
    X(user32, PostMessageW) X(user32, RegisterClassW) X(user32, RemovePropW) X(user32, SendMessageW)             \
    X(user32, SetActiveWindow) X(user32, SetClipboardData) X(user32, SetCursor) X(user32, SetForegroundWindow)   \
    X(user32, SetPropW) X(user32, SetWindowPos) X(user32, SetWindowTextW) X(user32, ShowWindow)                  \
    X(user32, SystemParametersInfoW) X(user32, TranslateMessage) X(gdi32, BitBlt) X(gdi32, CombineRgn)           \
    X(gdi32, CreateCompatibleDC) X(gdi32, CreateDCW) X(gdi32, CreateDIBSection) X(gdi32, CreateFontIndirectW)    \
    X(gdi32, CreateRectRgn) X(gdi32, DeleteDC) X(gdi32, DeleteObject) X(gdi32, EndDoc) X(gdi32, EndPage)         \
    X(gdi32, GdiFlush) X(gdi32, GetDeviceCaps) X(gdi32, GetObjectW) X(gdi32, GetRgnBox) X(gdi32, GetStockObject) \
    X(gdi32, SelectClipRgn) X(gdi32, SelectObject) X(gdi32, SetMapMode) X(gdi32, StartDocW) X(gdi32, StartPage)  \
    X(gdi32, StretchDIBits)

// The dialogs and controls come with libraries of their own (which load the shell too): only
// when a dialog or a progress bar is really needed.
#define BREVANT_DIALOG_FUNCTIONS(X) X(comdlg32, GetSaveFileNameW) X(comdlg32, PrintDlgW)
#define BREVANT_CONTROL_FUNCTIONS(X) X(comctl32, InitCommonControls)

#define BREVANT_GUI_MEMBER(library, name) decltype(&::name) name = nullptr;
struct GuiFunctions {
    BREVANT_GUI_FUNCTIONS(BREVANT_GUI_MEMBER)
};
struct DialogFunctions {
    BREVANT_DIALOG_FUNCTIONS(BREVANT_GUI_MEMBER)
};
struct ControlFunctions {
    BREVANT_CONTROL_FUNCTIONS(BREVANT_GUI_MEMBER)
};
#undef BREVANT_GUI_MEMBER

// Each loads its libraries on first use and throws std::runtime_error when a function is
// missing (the delivery step then ends as any failure in handling does).
const GuiFunctions& Gui();
const DialogFunctions& Dialogs();
const ControlFunctions& Controls();

}  // namespace brevant::crashreport
