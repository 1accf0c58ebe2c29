#include "crashreport/core/win32/reporter_message_box.h"

#include <windows.h>

#include <mutex>
#include <utility>

#include "base/win32/wide_text.h"
#include "crashreport/report/win32/system_library_entry.h"

namespace brevant::crashreport {

namespace {

using MessageBoxFunction = int(WINAPI*)(HWND, const wchar_t*, const wchar_t*, UINT);

std::mutex sinkLock;
ReporterMessageSink messageSink;

ReporterMessageSink CurrentSink() {
    std::lock_guard guard(sinkLock);
    return messageSink;
}

// user32 is loaded only here: the program must start without it.
void ShowMessageBox(std::u16string_view text) {
    auto messageBox = SystemLibraryFunction<MessageBoxFunction>(L"user32.dll", "MessageBoxW");
    if (messageBox != nullptr) messageBox(nullptr, ToWide(text).c_str(), L"Quarrex", MB_OK);
}

}  // namespace

void ShowReporterMessage(std::u16string_view text) {
    if (ReporterMessageSink sink = CurrentSink()) {
        sink(text);
        return;
    }
    ShowMessageBox(text);
}

ReporterMessageSink SetReporterMessageSink(ReporterMessageSink sink) {
    std::lock_guard guard(sinkLock);
    return std::exchange(messageSink, std::move(sink));
}

}  // namespace brevant::crashreport
