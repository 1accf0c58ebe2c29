#pragma once
// Mailing a finished report with its attachments: through the system's mail client (MAPI),
// else through the program registered for mailto, optionally in a thread of its own with a
// small progress box.

#include <windows.h>

#include <string>
#include <vector>

#include "crashreport/core/crash_exception.h"

namespace brevant::crashreport {

inline constexpr int kNotSent = 0;
inline constexpr int kSent = 1;
inline constexpr int kCancelledByUser = 2;

struct SendRequest {
    std::u16string report;
    RefPtr<INVBitmap> screenshot;  // null: no screenshot attached
    HWND parentWindow = nullptr;
    // The exception: its settings, and its flags (saved, sent) and send slot.
    RefPtr<CrashException> exc;
    bool useSendSlot = true;  // a started background thread goes into the exception's slot
    bool inBackground = false;
    bool background = false;
    bool silent = false;
};

// kNotSent, kSent (also when a background send was started) or kCancelledByUser.
int SendReport(const SendRequest& request);

// The system's mail client: 0, 1 or 2 as above.
int MailViaMapi(const std::u16string& addresses, const std::u16string& subject, const std::u16string& body,
                bool silent, HWND parentWindow, const std::vector<std::u16string>& sendAsNames,
                const std::vector<std::u16string>& files);

// The program registered for mailto; whether it started.
bool MailViaMailto(const std::u16string& addresses, const std::u16string& subject, const std::u16string& body);

}  // namespace brevant::crashreport
