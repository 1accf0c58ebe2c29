#pragma once
// Turning a mail's attachments into the files the mail client is given: missing files left
// out, files with a zip name packed into their archive.

#include <windows.h>

#include <string>
#include <vector>

#include "crashreport/core/crash_exception.h"
#include "crashreport/report/crash_attachments.h"
#include "crashreport/ui/win32/progress_alert.h"

namespace brevant::crashreport {

struct CollectedAttachments {
    std::vector<std::u16string> files;
    std::vector<std::u16string> sendAsNames;
    std::vector<std::u16string> fieldNames;
    RefPtr<IProgressAlert> progress;  // the send progress box
};

// A file (not a folder) that exists.
bool IsExistingFile(std::u16string_view path);

CollectedAttachments CollectAttachments(CrashException& settings, const CrashAttachments& attachments,
                                        bool inBackground, bool silent, HWND parentWindow);

}  // namespace brevant::crashreport
