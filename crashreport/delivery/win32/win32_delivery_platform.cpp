#include "crashreport/delivery/win32/win32_delivery_platform.h"

#include <windows.h>

#include "crashreport/core/fire_event.h"
#include "crashreport/core/report_delivery.h"
#include "crashreport/core/win32/report_file_saving.h"
#include "crashreport/core/win32/request_processing.h"
#include "crashreport/delivery/win32/print_report.h"
#include "crashreport/delivery/win32/report_save_dialog.h"
#include "crashreport/delivery/win32/screen_capture.h"
#include "crashreport/delivery/win32/send_report.h"
#include "crashreport/ui/win32/clipboard_text.h"
#include "crashreport/ui/win32/gui_functions.h"

namespace brevant::crashreport {

namespace {

class Win32DeliveryPlatform final : public DeliveryPlatform {
public:
    RefPtr<INVBitmap> CaptureScreen(bool appOnly) override { return crashreport::CaptureScreen(appOnly); }
    int SendReport(CrashException& exc, const std::u16string& report, RefPtr<INVBitmap> screenshot,
                   void* parentWindow, bool background, bool silent) override {
        SendRequest request;
        request.report = report;
        request.screenshot = std::move(screenshot);
        request.parentWindow = static_cast<HWND>(parentWindow);
        request.exc = RefPtr<CrashException>(&exc);
        request.background = background;
        request.silent = silent;
        return crashreport::SendReport(request);
    }
    bool SaveReportAutomatically(CrashException& exc, const std::u16string& report) override {
        return SaveReportFile(u"", report, exc, true);
    }
    bool SaveReportInteractively(CrashException& exc, const std::u16string& report, void* parentWindow) override {
        return crashreport::SaveReportInteractively(report, static_cast<HWND>(parentWindow), exc);
    }
    bool PrintReport(CrashException& exc, const std::u16string& report, void* parentWindow) override {
        return PrintReportText(report, static_cast<HWND>(parentWindow), exc);
    }
    void CopyToClipboard(const std::u16string& text) override { PutOnClipboard(text); }
    void RestoreArrowCursor() override { Gui().SetCursor(Gui().LoadCursorW(nullptr, MAKEINTRESOURCEW(32512) /* IDC_ARROW */)); }
    bool FireAction(TExceptAction action, CrashException& exc, void* parentWindow) override {
        return FireEvent(ProcessHandlingPlatform(), ProcessHandlerLists(), HandlerEvent::action, action, false, exc,
                         parentWindow);
    }
};

}  // namespace

void InstallDeliveryPlatform() {
    static Win32DeliveryPlatform platform;
    SetDeliveryPlatform(&platform);
}

}  // namespace brevant::crashreport
