#include "crashreport/core/report_delivery.h"

#include <atomic>

namespace brevant::crashreport {

namespace {

std::atomic<DeliveryPlatform*> installedPlatform{nullptr};

// The action's handlers, then (unless one handled it) the work and the "done" handlers.
template <typename Work>
void RunAction(DeliveryPlatform& platform, CrashException& exc, void* parentWindow, TExceptAction action,
               TExceptAction doneAction, Work work) {
    if (!platform.FireAction(action, exc, parentWindow)) {
        work();
        platform.FireAction(doneAction, exc, parentWindow);
    }
    platform.RestoreArrowCursor();
}

RefPtr<INVBitmap> ScreenshotToSend(CrashException& exc) {
    return exc.GetAppendScreenShot() ? exc.ScreenShot() : nullptr;
}

}  // namespace

void SetDeliveryPlatform(DeliveryPlatform* platform) {
    installedPlatform = platform;
}

DeliveryPlatform* TheDeliveryPlatform() {
    return installedPlatform;
}

void SendBugReport(DeliveryPlatform& platform, CrashException& exc, void* parentWindow) {
    RunAction(platform, exc, parentWindow, TExceptAction::eaSendBugReport, TExceptAction::eaSendBugReport3, [&] {
        RefPtr<INVBitmap> screenshot = ScreenshotToSend(exc);
        platform.SendReport(exc, exc.GetBugReport(), screenshot, parentWindow, exc.GetSendInBackground(), false);
    });
}

void SaveBugReport(DeliveryPlatform& platform, CrashException& exc, void* parentWindow) {
    RunAction(platform, exc, parentWindow, TExceptAction::eaSaveBugReport, TExceptAction::eaSaveBugReport3,
              [&] { platform.SaveReportInteractively(exc, exc.GetBugReport(), parentWindow); });
}

void PrintBugReport(DeliveryPlatform& platform, CrashException& exc, void* parentWindow) {
    RunAction(platform, exc, parentWindow, TExceptAction::eaPrintBugReport, TExceptAction::eaPrintBugReport3,
              [&] { platform.PrintReport(exc, exc.GetBugReport(), parentWindow); });
}

void AutoSaveOnce(DeliveryPlatform& platform, CrashException& exc) {
    if (!exc.GetAutoSave() || (exc.GetAutoSaveIfNotSent() && exc.MailWasSent())) return;
    if (!exc.GetCreateBugReport() || !exc.FirstAutoSave()) return;
    const std::u16string report = exc.GetBugReport();
    if (report.empty()) return;
    if (platform.FireAction(TExceptAction::eaSaveBugReport, exc, nullptr)) return;
    if (platform.SaveReportAutomatically(exc, report)) exc.SetMailWasSaved(true);
    platform.FireAction(TExceptAction::eaSaveBugReport3, exc, nullptr);
}

void AutoActionsCallback(bool complete, const std::u16string& report, ICrashException* exception) {
    if (!complete || !exception) return;
    // Only CrashException objects register this callback.
    auto& exc = static_cast<CrashException&>(*exception);
    if (!exc.FirstCompleteCallback()) return;
    DeliveryPlatform* platform = TheDeliveryPlatform();
    if (!platform) return;
    if (exc.GetAutoSend() && !report.empty()) {
        // The file the mail attaches is a copy of the report file: it must hold this report
        // once, so the save that would follow anyway comes first. (Unless "AutoSaveIfNotSent"
        // waits for the mail's outcome.)
        if (!exc.GetAutoSaveIfNotSent()) AutoSaveOnce(*platform, exc);
        if (!platform->FireAction(TExceptAction::eaSendBugReport, exc, nullptr)) {
            platform->SendReport(exc, report, ScreenshotToSend(exc), nullptr, true, true);
            platform->FireAction(TExceptAction::eaSendBugReport3, exc, nullptr);
        }
    }
    if (!exc.GetAutoClipboard()) {
        exc.UnregisterBugReportCallback(AutoActionsCallback);
        return;
    }
    platform->CopyToClipboard(report);
}

}  // namespace brevant::crashreport
