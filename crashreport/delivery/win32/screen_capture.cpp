#include "crashreport/delivery/win32/screen_capture.h"
#include "crashreport/ui/win32/gui_functions.h"

#include <algorithm>
#include <climits>

namespace brevant::crashreport {

namespace {

// The working record of one capture.
struct TSnapshotRec {
    int ix = 0, iy = 0;  // the capture origin in screen coordinates
    HRGN region = nullptr;
    RECT rect{INT_MAX, INT_MAX, INT_MIN, INT_MIN};  // union of the own windows, relative to the area
    const std::vector<HWND>* exclude = nullptr;
};

bool IsEmpty(const RECT& r) { return r.left >= r.right && r.top >= r.bottom; }

// Visible, not minimized and not empty; its rectangle in screen coordinates.
bool ShownRect(HWND window, RECT& rect) {
    return Gui().IsWindowVisible(window) && !Gui().IsIconic(window) && Gui().GetWindowRect(window, &rect) && !IsEmpty(rect);
}

bool IsOwnCandidate(HWND window, const TSnapshotRec& rec, RECT& rect) {
    DWORD process = 0;
    Gui().GetWindowThreadProcessId(window, &process);
    if (process != GetCurrentProcessId()) return false;
    if (std::find(rec.exclude->begin(), rec.exclude->end(), window) != rec.exclude->end()) return false;
    return ShownRect(window, rect);
}

BOOL CALLBACK ExtendUnion(HWND window, LPARAM parameter) {
    auto& rec = *reinterpret_cast<TSnapshotRec*>(parameter);
    RECT r;
    if (!IsOwnCandidate(window, rec, r)) return TRUE;
    rec.rect.left = std::min<LONG>(rec.rect.left, r.left - rec.ix);
    rec.rect.top = std::min<LONG>(rec.rect.top, r.top - rec.iy);
    rec.rect.right = std::max<LONG>(rec.rect.right, r.right - rec.ix);
    rec.rect.bottom = std::max<LONG>(rec.rect.bottom, r.bottom - rec.iy);
    return TRUE;
}

// The own window's rectangle minus every window above it, joined into the region.
BOOL CALLBACK AddVisiblePart(HWND window, LPARAM parameter) {
    auto& rec = *reinterpret_cast<TSnapshotRec*>(parameter);
    RECT r;
    if (!IsOwnCandidate(window, rec, r)) return TRUE;
    HRGN part = Gui().CreateRectRgn(r.left - rec.ix, r.top - rec.iy, r.right - rec.ix, r.bottom - rec.iy);
    for (HWND above = Gui().GetWindow(window, GW_HWNDPREV); above; above = Gui().GetWindow(above, GW_HWNDPREV)) {
        RECT a;
        if (!ShownRect(above, a)) continue;
        HRGN cover = Gui().CreateRectRgn(a.left - rec.ix, a.top - rec.iy, a.right - rec.ix, a.bottom - rec.iy);
        Gui().CombineRgn(part, part, cover, RGN_DIFF);
        Gui().DeleteObject(cover);
    }
    if (!rec.region) rec.region = part;
    else {
        Gui().CombineRgn(rec.region, rec.region, part, RGN_OR);
        Gui().DeleteObject(part);
    }
    return TRUE;
}

void DrawCursor(HDC target, int originX, int originY) {
    using GetCursorInfoFunction = BOOL(WINAPI*)(PCURSORINFO);
    auto getCursorInfo = reinterpret_cast<GetCursorInfoFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetCursorInfo")));
    if (!getCursorInfo) return;
    CURSORINFO cursor{};
    cursor.cbSize = sizeof(cursor);
    if (!getCursorInfo(&cursor) || !(cursor.flags & CURSOR_SHOWING) || !cursor.hCursor) return;
    int x = cursor.ptScreenPos.x - originX, y = cursor.ptScreenPos.y - originY;
    ICONINFO icon{};
    if (Gui().GetIconInfo(cursor.hCursor, &icon)) {
        x -= static_cast<int>(icon.xHotspot);
        y -= static_cast<int>(icon.yHotspot);
        if (icon.hbmMask) Gui().DeleteObject(icon.hbmMask);
        if (icon.hbmColor) Gui().DeleteObject(icon.hbmColor);
    }
    Gui().DrawIconEx(target, x, y, cursor.hCursor, 0, 0, 0, nullptr, DI_NORMAL);
}

// Switches the thread to per-monitor DPI awareness for as long as it lives, where the
// platform knows the setting.
class PerMonitorDpiAwareness {
public:
    PerMonitorDpiAwareness() {
        set_ = reinterpret_cast<SetFunction>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetThreadDpiAwarenessContext")));
        if (set_) previous_ = set_(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-3)));
    }
    ~PerMonitorDpiAwareness() {
        if (set_ && previous_) set_(previous_);
    }
    PerMonitorDpiAwareness(const PerMonitorDpiAwareness&) = delete;
    PerMonitorDpiAwareness& operator=(const PerMonitorDpiAwareness&) = delete;

private:
    using SetFunction = HANDLE(WINAPI*)(HANDLE);
    SetFunction set_ = nullptr;
    HANDLE previous_ = nullptr;
};

}  // namespace

RefPtr<INVBitmap> CaptureFromDC(HDC sourceDC, int x, int y, int width, int height, bool appOnly, bool drawCursor,
                                const std::vector<HWND>& exclude) {
    TSnapshotRec rec;
    rec.ix = x;
    rec.iy = y;
    rec.exclude = &exclude;
    if (appOnly) {
        Gui().EnumWindows(ExtendUnion, reinterpret_cast<LPARAM>(&rec));
        if (rec.rect.left == INT_MAX) return nullptr;  // no own window to show
        rec.rect.left = std::max<LONG>(rec.rect.left, 0);
        rec.rect.top = std::max<LONG>(rec.rect.top, 0);
        rec.rect.right = std::min<LONG>(rec.rect.right, width);
        rec.rect.bottom = std::min<LONG>(rec.rect.bottom, height);
        rec.ix += rec.rect.left;
        rec.iy += rec.rect.top;
        width = rec.rect.right - rec.rect.left;
        height = rec.rect.bottom - rec.rect.top;
        Gui().EnumWindows(AddVisiblePart, reinterpret_cast<LPARAM>(&rec));
        RECT box;
        if (rec.region && Gui().GetRgnBox(rec.region, &box) == NULLREGION) {
            // Every own window is covered: the union is taken as it is.
            Gui().DeleteObject(rec.region);
            rec.region = nullptr;
        }
    }
    RefPtr<TINVBitmap> bitmap = TINVBitmap::Create(width, height);
    bool copied = false;
    if (bitmap) {
        HDC target = bitmap->DC();
        if (rec.region) {
            RECT all{0, 0, width, height};
            Gui().FillRect(target, &all, static_cast<HBRUSH>(Gui().GetStockObject(WHITE_BRUSH)));
            Gui().SelectClipRgn(target, rec.region);
        }
        copied = Gui().BitBlt(target, 0, 0, width, height, sourceDC, rec.ix, rec.iy, SRCCOPY) != FALSE;
        if (rec.region) Gui().SelectClipRgn(target, nullptr);
        if (copied && drawCursor) DrawCursor(target, rec.ix, rec.iy);
        Gui().GdiFlush();
    }
    if (rec.region) Gui().DeleteObject(rec.region);
    if (!copied) return nullptr;
    return bitmap;
}

RefPtr<INVBitmap> CaptureScreen(bool appOnly) {
    PerMonitorDpiAwareness dpiAware;
    HDC display = Gui().CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr);
    if (!display) return nullptr;
    int x = 0, y = 0, width = 0, height = 0;
    if (Gui().GetSystemMetrics(SM_CMONITORS) >= 1) {
        x = Gui().GetSystemMetrics(SM_XVIRTUALSCREEN);
        y = Gui().GetSystemMetrics(SM_YVIRTUALSCREEN);
        width = Gui().GetSystemMetrics(SM_CXVIRTUALSCREEN);
        height = Gui().GetSystemMetrics(SM_CYVIRTUALSCREEN);
    } else {
        width = Gui().GetDeviceCaps(display, HORZRES);
        height = Gui().GetDeviceCaps(display, VERTRES);
    }
    RefPtr<INVBitmap> picture = CaptureFromDC(display, x, y, width, height, appOnly, true, {});
    Gui().DeleteDC(display);
    return picture;
}

RefPtr<INVBitmap> LoadBmpFile(const std::u16string& fileName) {
    HANDLE loaded = Gui().LoadImageW(nullptr, reinterpret_cast<const wchar_t*>(fileName.c_str()), IMAGE_BITMAP, 0, 0,
                               LR_LOADFROMFILE | LR_CREATEDIBSECTION);
    if (!loaded) return nullptr;
    auto* bitmap = static_cast<HBITMAP>(loaded);
    RefPtr<INVBitmap> picture;
    BITMAP facts{};
    if (Gui().GetObjectW(bitmap, sizeof(facts), &facts)) {
        if (HDC memory = Gui().CreateCompatibleDC(nullptr)) {
            HGDIOBJ old = Gui().SelectObject(memory, bitmap);
            picture = CaptureFromDC(memory, 0, 0, facts.bmWidth, facts.bmHeight < 0 ? -facts.bmHeight : facts.bmHeight,
                                    false, false, {});
            Gui().SelectObject(memory, old);
            Gui().DeleteDC(memory);
        }
    }
    Gui().DeleteObject(bitmap);
    return picture;
}

}  // namespace brevant::crashreport
