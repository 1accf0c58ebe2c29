#include "crashreport/delivery/win32/send_report.h"

#include "base/win32/wide_text.h"
#include "crashreport/core/win32/dispatch_exception.h"
#include "crashreport/core/win32/report_file_saving.h"
#include "crashreport/core/win32/win32_report_platform.h"
#include "crashreport/delivery/png_format.h"
#include "crashreport/delivery/win32/attachment_collection.h"
#include "crashreport/delivery/win32/reporter_temp_folder.h"
#include "crashreport/ui/win32/gui_functions.h"

namespace brevant::crashreport {

namespace {

std::u16string FileNameOf(const std::u16string& path) {
    return path.substr(path.find_last_of(u"\\/") + 1);
}

void MakeNotTopmost(HWND window) {
    if (window) Gui().SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

// The report file as the mail carries it: a copy of the saved file with the current report
// in it, in the reporter's temporary folder.
struct ReportFileAttachment {
    std::u16string savedFile;
    std::u16string attachment;  // empty when none could be written
    bool savedFileDeletable = false;
};

ReportFileAttachment PrepareReportFile(CrashException& exc, const std::u16string& report) {
    ReportFileAttachment result;
    result.savedFile = SavedReportFilePath(exc);
    if (!IsExistingFile(result.savedFile) && exc.GetBugReportFile().find(u'\\') == std::u16string::npos)
        result.savedFile = ReportFileFallbackPath(exc);
    const std::u16string folder = ReporterTempFolder();
    std::u16string attachment = folder + FileNameOf(result.savedFile);

    bool needsReport = true;
    if (exc.GetAttachBugReportFile() && CopyFileW(Wide(result.savedFile), Wide(attachment), FALSE)) {
        result.savedFileDeletable = exc.GetDeleteBugReportFile();
        needsReport = !exc.MailWasSaved();  // else the copy holds it already
    } else {
        DeleteFileW(Wide(attachment));
    }
    if (needsReport && !SaveReportFile(attachment, report, exc, true)) {
        attachment = folder + FromWide(std::to_wstring(GetTickCount())) + FileNameOf(result.savedFile);
        if (!SaveReportFile(attachment, report, exc, true)) {
            DeleteFileW(Wide(attachment));
            attachment.clear();
        }
    }
    if (!attachment.empty() && IsExistingFile(attachment)) result.attachment = attachment;
    else result.savedFileDeletable = false;
    return result;
}

// The screenshot file of the mail, or empty when it could not be written.
std::u16string PrepareScreenshot(CrashException& exc, INVBitmap& screenshot) {
    const std::u16string file = ReporterTempFolder() + u"screenShot.png";
    DeleteFileW(Wide(file));
    return screenshot.SavePng(file, PngFormatForDepth(exc.GetScreenShotDepth())) ? file : std::u16string();
}

int SendInThisThread(const SendRequest& request) {
    CrashException& exc = *request.exc;
    // Texts.
    const std::u16string subject = exc.TextForReport("MailSubj", request.report);
    std::u16string body = exc.TextForReport("MailBody", request.report);
    const std::u16string addresses = exc.GetMailAddr();

    // Attachments: only the mail client can carry them.
    const bool viaMapi = exc.GetMailViaMapi();
    ReportFileAttachment reportFile;
    std::u16string screenshotFile;
    CollectedAttachments collected;
    if (viaMapi) {
        CrashAttachments attachments;
        if (exc.GetAttachBugReport()) {
            reportFile = PrepareReportFile(exc, request.report);
            if (!reportFile.attachment.empty())
                attachments.Add(reportFile.attachment, exc.GetBugReportSendAs(), exc.GetBugReportZip(), u"BugReport");
        }
        if (request.screenshot) {
            screenshotFile = PrepareScreenshot(exc, *request.screenshot);
            if (!screenshotFile.empty())
                attachments.Add(screenshotFile, exc.GetScreenShotSendAs(), exc.GetScreenShotZip(), u"ScreenShot");
        }
        if (const CrashAttachments* extra = exc.GetAdditionalAttachments()) {
            for (const CrashAttachment& item : extra->Items())
                attachments.Add(item.file, item.sendAs, item.zipName, item.fieldName);
        }
        collected = CollectAttachments(exc, attachments, request.inBackground, request.silent, request.parentWindow);
    }

    // Delivery.
    int result = kNotSent;
    if (collected.progress) collected.progress->Close();
    if (!viaMapi && !screenshotFile.empty()) DeleteFileW(Wide(screenshotFile));
    if (viaMapi) {
        result = MailViaMapi(addresses, subject, body, request.silent, request.parentWindow, collected.sendAsNames,
                             collected.files);
    }
    if (result == kNotSent && exc.GetMailViaMailto() && !request.silent) {
        reportFile.savedFileDeletable = false;
        MakeNotTopmost(request.parentWindow);
        if (!collected.files.empty()) body = request.report;  // mailto cannot carry the files
        if (MailViaMailto(addresses, subject, body)) result = kSent;
    }
    if (result == kNotSent && !request.silent)
        Gui().MessageBoxW(request.parentWindow, Wide(exc.GetSendFailureMsg()), nullptr, MB_ICONERROR);

    if (result == kSent) {
        exc.SetMailWasSent(true);
        if (reportFile.savedFileDeletable) {
            SetFileAttributesW(Wide(reportFile.savedFile), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(Wide(reportFile.savedFile));
        }
    }
    return result;
}

}  // namespace

int SendReport(const SendRequest& request) {
    if (request.report.empty() || !request.exc) return kNotSent;
    if (request.background && !request.inBackground && !LoaderLockHeld(kLoaderLockWaitMs)) {
        MakeNotTopmost(request.parentWindow);
        SendRequest copy = request;
        copy.parentWindow = nullptr;
        copy.useSendSlot = false;
        copy.inBackground = true;
        copy.background = true;
        if (std::unique_ptr<BackgroundWork> thread = StartReporterThread([copy] { SendInThisThread(copy); })) {
            if (request.useSendSlot) request.exc->SetSendThread(std::move(thread));
            return kSent;
        }
    }
    return SendInThisThread(request);
}

}  // namespace brevant::crashreport
