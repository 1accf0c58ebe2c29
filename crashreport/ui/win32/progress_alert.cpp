#include "crashreport/ui/win32/progress_alert.h"

#include <commctrl.h>

#include <algorithm>
#include <vector>

#include "crashreport/ui/image_blending.h"
#include "crashreport/ui/win32/gui_functions.h"
#include "base/win32/wide_text.h"

namespace brevant::crashreport {

namespace {

constexpr wchar_t kClassName[] = L"prgrAlertWndClass";
constexpr int kIconSide = 32;
constexpr int kSlots = 8;
constexpr wchar_t kSelfProperty[] = L"qrxProgressAlert";
constexpr wchar_t kClosingProperty[] = L"qrxProgressAlertClosing";

// The image's pixels (bottom-up, with alpha), or none when the resource is missing or has the
// wrong size.
std::vector<std::uint8_t> LoadIconPixels(HMODULE module, const std::u16string& name) {
    if (name.empty()) return {};
    HRSRC found = FindResourceW(module, Wide(name), MAKEINTRESOURCEW(2) /* RT_BITMAP */);
    if (!found) return {};
    const DWORD size = SizeofResource(module, found);
    HGLOBAL loaded = LoadResource(module, found);
    const auto* bytes = loaded ? static_cast<const std::uint8_t*>(LockResource(loaded)) : nullptr;
    if (!bytes || SquareImageSide(size, kIconSide) == 0) return {};
    return std::vector<std::uint8_t>(bytes + 40, bytes + size);
}

void DrawIcon(HDC dc, const RECT& area, const std::vector<std::uint8_t>& pixels) {
    const COLORREF face = Gui().GetSysColor(COLOR_BTNFACE);
    std::vector<std::uint8_t> canvas(static_cast<std::size_t>(kIconSide) * kIconSide * 4);
    for (std::size_t i = 0; i < canvas.size(); i += 4) {
        canvas[i] = GetBValue(face);
        canvas[i + 1] = GetGValue(face);
        canvas[i + 2] = GetRValue(face);
    }
    BlendImageOver(pixels.data(), canvas.data(), canvas.size() / 4);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), kIconSide, kIconSide, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    Gui().StretchDIBits(dc, area.left, area.top, kIconSide, kIconSide, 0, 0, kIconSide, kIconSide, canvas.data(), &info,
                  DIB_RGB_COLORS, SRCCOPY);
}

class TIProgressAlert final : public ReferenceCountedObject<IProgressAlert, kProgressAlertId> {
public:
    TIProgressAlert(const std::u16string& title, HMODULE bmpModule, const std::u16string& bmpName)
        : FTitle(title), FBmpModule(bmpModule), FBmpName(bmpName) {}

    std::u16string GetTitle() override { return FTitle; }
    void SetTitle(const std::u16string& value) override {
        FTitle = value;
        if (FMainWnd) Gui().SetWindowTextW(FMainWnd, Wide(FTitle));
    }
    std::int32_t GetPosition() override { return FAreas.Position(); }
    void SetPosition(std::int32_t value) override {
        FAreas.SetPosition(value);
        UpdateBar();
    }
    void AddArea(std::int64_t weight, const std::u16string& text) override {
        const bool first = FAreas.Empty();
        FAreas.AddArea(weight, text);
        if (first) UpdateLabel();
    }
    void ClearAreas() override { FAreas.Clear(); }
    void AreaDone() override { SetCurrentArea(FAreas.CurrentArea() + 1); }
    std::int32_t GetCurrentArea() override { return FAreas.CurrentArea(); }
    void SetCurrentArea(std::int32_t value) override {
        if (!FAreas.SetCurrentArea(value)) return;
        UpdateLabel();
        UpdateBar();
    }
    void ProcessMessages() override {
        MSG message;
        while (Gui().PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            Gui().TranslateMessage(&message);
            Gui().DispatchMessageW(&message);
        }
    }
    void Show(HWND parentWindow, bool activate) override;
    void Close() override;
    HWND Window() override { return FMainWnd; }

private:
    ~TIProgressAlert() override {
        Close();
        if (FPosEvent) CloseHandle(FPosEvent);
        if (FFont) Gui().DeleteObject(FFont);
    }

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    bool OwnThread() const { return FMainWnd && Gui().GetWindowThreadProcessId(FMainWnd, nullptr) == GetCurrentThreadId(); }
    void UpdateBar();
    void UpdateLabel() {
        if (FLabel) Gui().SetWindowTextW(FLabel, Wide(FAreas.CurrentText()));
    }
    SIZE LabelSize();
    void PlaceInCorner(int width, int height);

    HWND FParentWindow = nullptr;
    std::u16string FTitle;
    HFONT FFont = nullptr;
    HWND FMainWnd = nullptr, FBmpWnd = nullptr, FLabel = nullptr, FBar = nullptr;
    ProgressAreas FAreas;
    HMODULE FBmpModule = nullptr;
    std::u16string FBmpName;
    std::vector<std::uint8_t> FIconPixels;
    HANDLE FPosEvent = nullptr;
    DWORD FThreadId = 0;
};

void RegisterWindowClass(WNDPROC procedure) {
    WNDCLASSW existing;
    if (Gui().GetClassInfoW(GetModuleHandleW(nullptr), kClassName, &existing)) return;
    WNDCLASSW windowClass{};
    windowClass.style = CS_CLASSDC | CS_PARENTDC;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = Gui().LoadCursorW(nullptr, MAKEINTRESOURCEW(32512) /* IDC_ARROW */);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    windowClass.lpszClassName = kClassName;
    Gui().RegisterClassW(&windowClass);
}

HFONT MakeFont() {
    LOGFONTW font{};
    font.lfHeight = -11;
    font.lfWeight = FW_NORMAL;
    lstrcpyW(font.lfFaceName, L"Tahoma");
    if (HFONT tahoma = Gui().CreateFontIndirectW(&font)) return tahoma;
    font.lfHeight = -12;
    lstrcpyW(font.lfFaceName, L"MS Sans Serif");
    return Gui().CreateFontIndirectW(&font);
}

SIZE TIProgressAlert::LabelSize() {
    HDC dc = Gui().CreateCompatibleDC(nullptr);
    HGDIOBJ oldFont = Gui().SelectObject(dc, FFont);
    SIZE size{220, 0};
    for (const std::u16string& text : FAreas.TextsFromCurrent()) {
        RECT r{0, 0, 420, 0};
        Gui().DrawTextW(dc, Wide(text), -1, &r, DT_CALCRECT | DT_WORDBREAK);
        size.cx = std::max<LONG>(size.cx, r.right);
        size.cy = std::max<LONG>(size.cy, r.bottom);
    }
    Gui().SelectObject(dc, oldFont);
    Gui().DeleteDC(dc);
    return size;
}

void TIProgressAlert::PlaceInCorner(int width, int height) {
    RECT work;
    if (!Gui().SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0))
        work = {0, 0, Gui().GetSystemMetrics(SM_CXSCREEN), Gui().GetSystemMetrics(SM_CYSCREEN)};
    int slot = 0;
    for (; slot < kSlots; ++slot) {
        const std::wstring name = L"qrxProgressAlertPos" + std::to_wstring(slot);
        HANDLE event = CreateEventW(nullptr, TRUE, FALSE, name.c_str());
        if (event && GetLastError() != ERROR_ALREADY_EXISTS) {
            FPosEvent = event;
            break;
        }
        if (event) CloseHandle(event);
    }
    if (slot == kSlots) slot = 0;
    const int bottom = work.bottom - 2 - slot * height;
    Gui().SetWindowPos(FMainWnd, HWND_TOPMOST, work.right - 2 - width, bottom - height, 0, 0,
                 SWP_NOSIZE | SWP_NOACTIVATE);
    Gui().ShowWindow(FMainWnd, SW_SHOWNOACTIVATE);
}

void TIProgressAlert::Show(HWND parentWindow, bool activate) {
    if (FMainWnd) return;
    FParentWindow = parentWindow;
    if (FParentWindow) Gui().EnableWindow(FParentWindow, FALSE);
    if (FAreas.Empty()) AddArea(1000, u"Please wait...");
    Controls().InitCommonControls();
    RegisterWindowClass(WindowProc);
    if (!FFont) FFont = MakeFont();
    FIconPixels = LoadIconPixels(FBmpModule, FBmpName);
    const bool withIcon = !FIconPixels.empty();

    const SIZE label = LabelSize();
    const int labelAreaWidth = label.cx + (withIcon ? 40 : 0);
    const int width = labelAreaWidth + 22 + 2 * Gui().GetSystemMetrics(SM_CXDLGFRAME);
    const int height = label.cy + Gui().GetSystemMetrics(SM_CYSMCAPTION) + Gui().GetSystemMetrics(SM_CYVSCROLL) +
                       2 * Gui().GetSystemMetrics(SM_CYDLGFRAME) + 36;
    FMainWnd = Gui().CreateWindowExW(WS_EX_DLGMODALFRAME | WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kClassName, Wide(FTitle),
                               WS_POPUP | WS_CAPTION, 0, 0, width, height, parentWindow, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    if (!FMainWnd) {
        if (FParentWindow) Gui().EnableWindow(FParentWindow, TRUE);
        return;
    }
    FThreadId = GetCurrentThreadId();
    Gui().SetPropW(FMainWnd, kSelfProperty, reinterpret_cast<HANDLE>(this));
    if (HMENU menu = Gui().GetSystemMenu(FMainWnd, FALSE)) {
        for (UINT command : {SC_MINIMIZE, SC_MAXIMIZE, SC_RESTORE, SC_SIZE}) Gui().DeleteMenu(menu, command, MF_BYCOMMAND);
    }
    int labelX = 11, labelY = 12;
    if (withIcon) {
        FBmpWnd = Gui().CreateWindowExW(0, L"BUTTON", L"", WS_CHILD | WS_VISIBLE | WS_DISABLED | BS_OWNERDRAW, 9, 9,
                                  kIconSide, kIconSide, FMainWnd, nullptr, GetModuleHandleW(nullptr), nullptr);
        labelX = 51;
        if (label.cy < 26) labelY = 12 + (26 - label.cy) / 2;
    }
    FLabel = Gui().CreateWindowExW(0, L"STATIC", Wide(FAreas.CurrentText()), WS_CHILD | WS_VISIBLE | SS_NOPREFIX, labelX,
                             labelY, label.cx, label.cy, FMainWnd, nullptr, GetModuleHandleW(nullptr), nullptr);
    Gui().SendMessageW(FLabel, WM_SETFONT, reinterpret_cast<WPARAM>(FFont), FALSE);
    FBar = Gui().CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE, 11, label.cy + 24, labelAreaWidth,
                           Gui().GetSystemMetrics(SM_CYVSCROLL), FMainWnd, nullptr, GetModuleHandleW(nullptr), nullptr);
    Gui().SendMessageW(FBar, PBM_SETRANGE32, 0, 1000);

    if (activate) {
        Gui().SetWindowPos(FMainWnd, HWND_TOPMOST, (Gui().GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                     (Gui().GetSystemMetrics(SM_CYSCREEN) - height) / 2, 0, 0, SWP_NOSIZE);
        Gui().ShowWindow(FMainWnd, SW_SHOW);
        Gui().BringWindowToTop(FMainWnd);
        Gui().SetForegroundWindow(FMainWnd);
    } else {
        PlaceInCorner(width, height);
    }
    UpdateBar();
}

void TIProgressAlert::UpdateBar() {
    if (!FBar) return;
    const auto position = static_cast<WPARAM>(FAreas.BarPosition());
    if (OwnThread()) {
        Gui().SendMessageW(FBar, PBM_SETPOS, position, 0);
        ProcessMessages();
    } else {
        Gui().PostMessageW(FBar, PBM_SETPOS, position, 0);
    }
}

void TIProgressAlert::Close() {
    if (!FMainWnd) return;
    HWND window = FMainWnd;
    if (OwnThread()) {
        Gui().DestroyWindow(window);
    } else {
        Gui().SetPropW(window, kClosingProperty, reinterpret_cast<HANDLE>(1));  // closing was asked for
        Gui().SendMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    }
    FMainWnd = FBmpWnd = FLabel = FBar = nullptr;
    if (FPosEvent) {
        CloseHandle(FPosEvent);
        FPosEvent = nullptr;
    }
    if (FParentWindow) {
        Gui().EnableWindow(FParentWindow, TRUE);
        Gui().SetActiveWindow(FParentWindow);
        FParentWindow = nullptr;
    }
}

LRESULT CALLBACK TIProgressAlert::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const GuiFunctions& gui = Gui();
    auto* self = reinterpret_cast<TIProgressAlert*>(gui.GetPropW(window, kSelfProperty));
    const bool closingAsked = gui.GetPropW(window, kClosingProperty) != nullptr;
    switch (message) {
        case WM_CLOSE:
            if (!closingAsked) return 0;
            Gui().DestroyWindow(window);
            return 0;
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == SC_CLOSE && !closingAsked) return 0;
            break;
        case WM_DRAWITEM: {
            const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            if (self && item && item->hwndItem == self->FBmpWnd) {
                Gui().FillRect(item->hDC, &item->rcItem, Gui().GetSysColorBrush(COLOR_BTNFACE));
                DrawIcon(item->hDC, item->rcItem, self->FIconPixels);
                return TRUE;
            }
            break;
        }
        case WM_NCDESTROY:
            gui.RemovePropW(window, kSelfProperty);
            gui.RemovePropW(window, kClosingProperty);
            break;
        default:
            break;
    }
    return Gui().DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

RefPtr<IProgressAlert> CreateProgressAlert(const std::u16string& title, HMODULE bmpModule,
                                           const std::u16string& bmpName) {
    return RefPtr<IProgressAlert>(new TIProgressAlert(title, bmpModule, bmpName));
}

}  // namespace brevant::crashreport
