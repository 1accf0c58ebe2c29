// The entry that the outside trace tool (qrxtrace) starts as a thread in a process, hung or
// not: the report of the running process goes into the tool's file mapping, or, when the tool
// asks for no length, onto the clipboard. Linked into every program that carries the crash
// reporter, and exported by name.
#include <windows.h>

#include <string>

#include "base/utf16_text.h"
#include "crashreport/core/win32/thread_registry.h"
#include "crashreport/core/win32/win32_report_platform.h"
#include "crashreport/crash_reporter.h"
#include "crashreport/ui/win32/clipboard_text.h"

namespace brevant::crashreport {

namespace {

void WriteIntoToolsMapping(const std::string& text, std::int32_t maximumLength) {
    HANDLE mapping = OpenFileMappingW(FILE_MAP_WRITE, FALSE, L"Global\\qrxTraceProcessMap");
    if (!mapping) mapping = OpenFileMappingW(FILE_MAP_WRITE, FALSE, L"qrxTraceProcessMap");
    if (!mapping) return;
    if (auto* view = static_cast<char*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0))) {
        const std::size_t length = std::min<std::size_t>(text.size(), static_cast<std::size_t>(maximumLength - 1));
        memcpy(view, text.data(), length);
        view[length] = 0;
        UnmapViewOfFile(view);
    }
    CloseHandle(mapping);
}

DWORD TraceProcess(std::int32_t maximumLength) {
    try {
        AssignThreadName(GetCurrentThreadId(), u"Quarrex - TraceProcessThread");
        SetProcessTracing(true);
        const std::u16string report = CurrentStateReport();
        SetProcessTracing(false);
        if (!report.empty()) {
            if (maximumLength < 1) {
                PutOnClipboard(report);
            } else {
                WriteIntoToolsMapping(ToUtf8(report), maximumLength);
            }
        }
        AssignThreadName(GetCurrentThreadId(), u"");
    } catch (...) {
        SetProcessTracing(false);
    }
    return 0;
}

}  // namespace

}  // namespace brevant::crashreport

// The tool starts this as a thread procedure with the maximum length as its parameter (the
// programs link with --kill-at on i686, so the name is exported without its "@4").
extern "C" __declspec(dllexport) DWORD WINAPI qrxTraceProcess(void* maximumLength) {
    return brevant::crashreport::TraceProcess(
        static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(maximumLength)));
}
