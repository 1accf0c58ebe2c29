#pragma once
// Delivering an exception's report: mailing, saving through a dialog, printing, the clipboard,
// and the screenshot that goes with the mail. The actions fire their handlers first; the
// Windows edge does the work.

#include <string>

#include "crashreport/core/crash_exception.h"

namespace brevant::crashreport {

class DeliveryPlatform {
public:
    // Null when there is nothing to capture.
    virtual RefPtr<INVBitmap> CaptureScreen(bool appOnly) = 0;
    // Mails the report with the exception's settings, in a thread of its own when background is
    // set (the thread goes into the exception's send slot). 0 not sent, 1 sent (or started),
    // 2 cancelled by the user in the mail client.
    virtual int SendReport(CrashException& exc, const std::u16string& report, RefPtr<INVBitmap> screenshot,
                           void* parentWindow, bool background, bool silent) = 0;
    // Into the report file, as the automatic save does; whether it was written.
    virtual bool SaveReportAutomatically(CrashException& exc, const std::u16string& report) = 0;
    virtual bool SaveReportInteractively(CrashException& exc, const std::u16string& report, void* parentWindow) = 0;
    virtual bool PrintReport(CrashException& exc, const std::u16string& report, void* parentWindow) = 0;
    virtual void CopyToClipboard(const std::u16string& text) = 0;
    virtual void RestoreArrowCursor() = 0;
    // Fires the action's handlers; whether one of them handled it.
    virtual bool FireAction(TExceptAction action, CrashException& exc, void* parentWindow) = 0;

protected:
    ~DeliveryPlatform() = default;
};

// Installed once at start-up; null until then (and in tests that do not deliver).
void SetDeliveryPlatform(DeliveryPlatform* platform);
DeliveryPlatform* TheDeliveryPlatform();

// The exception's send, save and print actions as the exception box offers them.
void SendBugReport(DeliveryPlatform& platform, CrashException& exc, void* parentWindow);
void SaveBugReport(DeliveryPlatform& platform, CrashException& exc, void* parentWindow);
void PrintBugReport(DeliveryPlatform& platform, CrashException& exc, void* parentWindow);

// The automatic save ("AutoSave"), at most once per exception, and not after a mail when
// "AutoSaveIfNotSent" says so.
void AutoSaveOnce(DeliveryPlatform& platform, CrashException& exc);

// Registered as a critical report callback when "AutoSave", "AutoSend" or "AutoClip" is set:
// at the first complete report it mails it in the background and copies it to the clipboard.
void AutoActionsCallback(bool complete, const std::u16string& report, ICrashException* exc);

}  // namespace brevant::crashreport
