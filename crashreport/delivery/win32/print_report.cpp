#include "crashreport/delivery/win32/print_report.h"

#include <commdlg.h>

#include <optional>

#include "base/win32/wide_text.h"
#include "crashreport/core/win32/dispatch_exception.h"
#include "crashreport/delivery/print_layout.h"
#include "crashreport/ui/win32/gui_functions.h"

namespace brevant::crashreport {

namespace {

constexpr UINT kMeasureFlags = DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX;

PrinterMetrics MetricsOf(HDC printer) {
    PrinterMetrics values;
    values.horizontalResolution = Gui().GetDeviceCaps(printer, HORZRES);
    values.verticalResolution = Gui().GetDeviceCaps(printer, VERTRES);
    values.horizontalSizeMm = Gui().GetDeviceCaps(printer, HORZSIZE);
    values.verticalSizeMm = Gui().GetDeviceCaps(printer, VERTSIZE);
    values.physicalOffsetX = Gui().GetDeviceCaps(printer, PHYSICALOFFSETX);
    values.physicalOffsetY = Gui().GetDeviceCaps(printer, PHYSICALOFFSETY);
    values.logPixelsY = Gui().GetDeviceCaps(printer, LOGPIXELSY);
    return values;
}

HFONT ReportFont(const PrintPageLayout& layout) {
    LOGFONTW font{};
    font.lfHeight = layout.fontHeight;
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = DEFAULT_CHARSET;
    lstrcpyW(font.lfFaceName, L"Courier New");
    return Gui().CreateFontIndirectW(&font);
}

void PrintLines(HDC printer, const PrintPageLayout& layout, const std::vector<std::u16string>& lines) {
    std::vector<int> heights;
    heights.reserve(lines.size());
    for (const std::u16string& line : lines) {
        RECT measured{0, 0, layout.textWidth, 0};
        Gui().DrawTextW(printer, reinterpret_cast<const wchar_t*>(line.c_str()), static_cast<int>(line.size()), &measured,
                  kMeasureFlags);
        heights.push_back(measured.bottom - measured.top);
    }
    const std::vector<LinePlacement> placements = PlaceLines(heights, layout);
    int page = -1;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const LinePlacement& place = placements[i];
        if (place.page != page) {
            if (page >= 0) Gui().EndPage(printer);
            Gui().StartPage(printer);
            page = place.page;
        }
        RECT target{layout.leftMargin, place.top, layout.leftMargin + layout.textWidth, place.top + heights[i]};
        Gui().DrawTextW(printer, reinterpret_cast<const wchar_t*>(lines[i].c_str()), static_cast<int>(lines[i].size()),
                  &target, DT_WORDBREAK | DT_NOPREFIX);
    }
    if (page >= 0) Gui().EndPage(printer);
}

}  // namespace

bool PrintReportText(const std::u16string& report, HWND parentWindow, ICrashModuleSettings& settings) {
    if (LoaderLockHeld(kLoaderLockWaitMs)) {
        Gui().MessageBeep(0);
        return false;
    }
    PRINTDLGW dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = parentWindow;
    dialog.Flags = PD_RETURNDC | PD_NOSELECTION | PD_NOPAGENUMS | PD_NOWARNING | PD_USEDEVMODECOPIESANDCOLLATE |
                   PD_HIDEPRINTTOFILE | PD_NONETWORKBUTTON;
    if (!Dialogs().PrintDlgW(&dialog)) return false;
    HDC printer = dialog.hDC;
    if (printer) {
        Gui().SetMapMode(printer, MM_TEXT);
        const std::optional<PrintPageLayout> layout = ComputePrintPageLayout(MetricsOf(printer));
        HFONT font = layout ? ReportFont(*layout) : nullptr;
        HGDIOBJ oldFont = Gui().SelectObject(printer, font);
        const std::wstring name = ToWide(settings.GetPrintBtnCaption());
        DOCINFOW document{};
        document.cbSize = sizeof(document);
        document.lpszDocName = name.c_str();
        if (layout && Gui().StartDocW(printer, &document) > 0) {
            PrintLines(printer, *layout, ReportPrintLines(report));
            Gui().EndDoc(printer);
        }
        Gui().SelectObject(printer, oldFont);
        if (font) Gui().DeleteObject(font);
        Gui().DeleteDC(printer);
    }
    if (dialog.hDevMode) GlobalFree(dialog.hDevMode);
    if (dialog.hDevNames) GlobalFree(dialog.hDevNames);
    return true;
}

}  // namespace brevant::crashreport
