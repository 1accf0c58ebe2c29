// qrxtrace PID [--clipboard]
// Has the program with that process id (which carries the crash reporter) write the report of
// its current state, and prints it (UTF-8); with --clipboard the program puts it on the
// clipboard instead. Useful for a program that hangs. The tool and the program must be of the
// same architecture.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "crashreport/trace_tool/remote_exports.h"

namespace {

constexpr DWORD kMappingSize = 16 * 1024 * 1024;
constexpr DWORD kReportWaitMs = 120000;

int Fail(const char* message, DWORD processId) {
    std::fprintf(stderr, "qrxtrace: %s (process %lu)\n", message, static_cast<unsigned long>(processId));
    return 1;
}

HANDLE CreateReportMapping() {
    HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kMappingSize,
                                        L"Global\\qrxTraceProcessMap");
    if (!mapping) {
        mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kMappingSize,
                                     L"qrxTraceProcessMap");
    }
    return mapping;
}

int Trace(DWORD processId, bool toClipboard) {
    HANDLE process = OpenProcess(PROCESS_CREATE_THREAD | PROCESS_QUERY_INFORMATION | PROCESS_VM_OPERATION |
                                     PROCESS_VM_READ | PROCESS_VM_WRITE,
                                 FALSE, processId);
    if (!process) {
        return Fail(GetLastError() == ERROR_ACCESS_DENIED ? "access denied" : "no such process", processId);
    }
    const auto entry = brevant::crashreport::FindRemoteExport(process, "qrxTraceProcess");
    if (!entry) {
        CloseHandle(process);
        return Fail("no crash reporter in the process", processId);
    }
    HANDLE mapping = toClipboard ? nullptr : CreateReportMapping();
    if (!toClipboard && !mapping) {
        CloseHandle(process);
        return Fail("the report mapping cannot be made", processId);
    }
    char* view = mapping ? static_cast<char*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0)) : nullptr;
    if (view) view[0] = 0;
    const std::uintptr_t maximumLength = toClipboard ? 0 : kMappingSize;
    HANDLE thread = CreateRemoteThread(process, nullptr, 0, reinterpret_cast<LPTHREAD_START_ROUTINE>(*entry),
                                       reinterpret_cast<void*>(maximumLength), 0, nullptr);
    int result = 0;
    if (!thread) {
        result = Fail(GetLastError() == ERROR_ACCESS_DENIED ? "access denied" : "the trace cannot be started",
                      processId);
    } else if (WaitForSingleObject(thread, kReportWaitMs) != WAIT_OBJECT_0) {
        result = Fail("the process did not write its report in time", processId);
    } else if (!toClipboard) {
        if (view && view[0]) {
            // The report's own CR LF line ends go out unchanged.
            _setmode(_fileno(stdout), _O_BINARY);
            std::fwrite(view, 1, strnlen(view, kMappingSize), stdout);
            std::fputs("\r\n", stdout);
        } else {
            result = Fail("the process wrote no report", processId);
        }
    }
    if (thread) CloseHandle(thread);
    if (view) UnmapViewOfFile(view);
    if (mapping) CloseHandle(mapping);
    CloseHandle(process);
    return result;
}

}  // namespace

bool ParseProcessId(const wchar_t* text, DWORD& processId) {
    wchar_t* end = nullptr;
    const unsigned long value = std::wcstoul(text, &end, 0);
    if (end == text || *end != 0 || value == 0) return false;
    processId = static_cast<DWORD>(value);
    return true;
}

int wmain(int argc, wchar_t** argv) {
    bool toClipboard = false, haveId = false, understood = true;
    DWORD processId = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::wcscmp(argv[i], L"--clipboard") == 0) {
            toClipboard = true;
        } else if (!haveId && ParseProcessId(argv[i], processId)) {
            haveId = true;
        } else {
            understood = false;
        }
    }
    if (!haveId || !understood) {
        std::fputs("usage: qrxtrace PID [--clipboard]\n", stderr);
        return 2;
    }
    return Trace(processId, toClipboard);
}
