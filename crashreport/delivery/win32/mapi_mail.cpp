#include <windows.h>
#include <mapi.h>

#include "crashreport/core/win32/dispatch_exception.h"
#include "crashreport/core/win32/thread_pausing.h"
#include "crashreport/delivery/mail_recipients.h"
#include "crashreport/delivery/win32/send_report.h"
#include "crashreport/ui/win32/gui_functions.h"

namespace brevant::crashreport {

namespace {

std::string Ansi(const std::u16string& text) {
    const auto* wide = reinterpret_cast<const wchar_t*>(text.c_str());
    const int length = WideCharToMultiByte(CP_ACP, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return {};
    std::string bytes(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide, -1, bytes.data(), length, nullptr, nullptr);
    bytes.resize(static_cast<std::size_t>(length - 1));
    return bytes;
}

std::u16string FromAnsi(const std::string& bytes) {
    const int length = MultiByteToWideChar(CP_ACP, 0, bytes.c_str(), -1, nullptr, 0);
    if (length <= 0) return {};
    std::u16string text(static_cast<std::size_t>(length), u'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.c_str(), -1, reinterpret_cast<wchar_t*>(text.data()), length);
    text.resize(static_cast<std::size_t>(length - 1));
    return text;
}

// The ANSI form of a path, or its short form when the ANSI one would name another file.
std::string AnsiPath(const std::u16string& path) {
    std::string ansi = Ansi(path);
    if (FromAnsi(ansi) == path) return ansi;
    wchar_t shortPath[MAX_PATH + 1];
    const DWORD length = GetShortPathNameW(reinterpret_cast<const wchar_t*>(path.c_str()), shortPath, MAX_PATH + 1);
    if (length == 0 || length > MAX_PATH) return ansi;
    return Ansi(std::u16string(reinterpret_cast<const char16_t*>(shortPath), length));
}

// Keeps a topmost parent out of the mail client's way for the duration of the call.
class NotTopmostWhileAlive {
public:
    explicit NotTopmostWhileAlive(HWND window)
        : window_(window && (Gui().GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) ? window : nullptr) {
        if (window_) Gui().SetWindowPos(window_, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    ~NotTopmostWhileAlive() {
        if (window_) Gui().SetWindowPos(window_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    NotTopmostWhileAlive(const NotTopmostWhileAlive&) = delete;
    NotTopmostWhileAlive& operator=(const NotTopmostWhileAlive&) = delete;

private:
    HWND window_;
};

}  // namespace

int MailViaMapi(const std::u16string& addresses, const std::u16string& subject, const std::u16string& body,
                bool silent, HWND parentWindow, const std::vector<std::u16string>& sendAsNames,
                const std::vector<std::u16string>& files) {
    if (LoaderLockHeld(kLoaderLockWaitMs)) return kNotSent;
    // Loaded on demand and kept: a mail client may leave threads of its own running.
    HMODULE mapi = LoadLibraryW(L"mapi32.dll");
    if (!mapi) return kNotSent;
    auto sendMail = reinterpret_cast<LPMAPISENDMAIL>(reinterpret_cast<void*>(GetProcAddress(mapi, "MAPISendMail")));
    if (!sendMail) return kNotSent;

    const std::vector<MapiRecipient> recipients = MapiRecipients(addresses);
    std::vector<std::string> texts;  // keeps every ANSI text alive for the call
    texts.reserve(2 * recipients.size() + 2 * files.size() + 2);
    auto keep = [&texts](std::string text) { return texts.emplace_back(std::move(text)).data(); };

    std::vector<MapiRecipDesc> to(recipients.size());
    for (std::size_t i = 0; i < recipients.size(); ++i) {
        to[i].ulRecipClass = MAPI_TO;
        to[i].lpszName = keep(Ansi(recipients[i].name));
        to[i].lpszAddress = keep(Ansi(recipients[i].address));
    }
    std::vector<MapiFileDesc> attachments(files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        attachments[i].nPosition = static_cast<ULONG>(-1);
        attachments[i].lpszPathName = keep(AnsiPath(files[i]));
        attachments[i].lpszFileName = keep(Ansi(i < sendAsNames.size() ? sendAsNames[i] : files[i]));
    }
    MapiMessage message{};
    message.lpszSubject = keep(Ansi(subject));
    message.lpszNoteText = keep(Ansi(body));
    message.nRecipCount = static_cast<ULONG>(to.size());
    message.lpRecips = to.empty() ? nullptr : to.data();
    message.nFileCount = static_cast<ULONG>(attachments.size());
    message.lpFiles = attachments.empty() ? nullptr : attachments.data();
    const FLAGS flags = silent && !to.empty() ? 0 : MAPI_LOGON_UI | MAPI_DIALOG;

    ULONG result;
    {
        NotTopmostWhileAlive notTopmost(parentWindow);
        // The mail client may need the main thread's windows.
        const bool mainResumed = ResumeMainThread();
        try {
            result = sendMail(0, reinterpret_cast<ULONG_PTR>(parentWindow), &message, flags, 0);
        } catch (...) {
            result = MAPI_E_FAILURE;
        }
        if (mainResumed) SuspendMainThread();
    }
    if (result == SUCCESS_SUCCESS) return kSent;
    if (result == MAPI_USER_ABORT) return kCancelledByUser;
    return kNotSent;
}

}  // namespace brevant::crashreport
