#include <windows.h>
// shellapi.h needs the declarations of windows.h first.
#include <shellapi.h>

#include "base/win32/wide_text.h"
#include "launcher/win32/win32_platform.h"

namespace brevant {

#if defined(__i386__)
static_assert(sizeof(STARTUPINFOW) == 68, "start-up information block as the 32-bit system expects it");
static_assert(sizeof(SHELLEXECUTEINFOW) == 60, "shell execute block as the 32-bit system expects it");
#endif

bool Win32ProcessStarter::CreateProcessFromCommandLine(const std::u16string& commandLine, ShowMode show) {
    // Without a command line there is no program to start; Windows refuses it and some
    // compatible systems fault on it, so the request ends here.
    if (commandLine.empty()) return false;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = show == ShowMode::Shown ? SW_SHOWNORMAL : SW_HIDE;
    PROCESS_INFORMATION process{};
    // CreateProcessW may write into the command line, so it gets a copy of its own.
    std::wstring writable = ToWide(commandLine);
    BOOL created =
        CreateProcessW(nullptr, writable.data(), nullptr, nullptr, TRUE,
                       CREATE_DEFAULT_ERROR_MODE | NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup, &process);
    if (!created) return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

namespace {

using ShellExecuteExFunction = BOOL(WINAPI*)(SHELLEXECUTEINFOW*);

// The shell library is large and most runs never use it, so it is loaded on demand.
ShellExecuteExFunction ShellExecuteExEntry() {
    HMODULE shell = LoadLibraryW(L"shell32.dll");
    return shell != nullptr ? reinterpret_cast<ShellExecuteExFunction>(
                                  reinterpret_cast<void*>(GetProcAddress(shell, "ShellExecuteExW")))
                            : nullptr;
}

}  // namespace

void Win32ProcessStarter::ShellOpen(const std::u16string& file, const std::u16string& parameters) {
    ShellExecuteExFunction shellExecuteEx = ShellExecuteExEntry();
    if (shellExecuteEx == nullptr) return;
    std::wstring wideFile = ToWide(file);
    std::wstring wideParameters = ToWide(parameters);
    SHELLEXECUTEINFOW request{};
    request.cbSize = sizeof request;
    request.lpVerb = L"open";
    request.lpFile = wideFile.c_str();
    request.lpParameters = parameters.empty() ? nullptr : wideParameters.c_str();
    request.nShow = SW_SHOWNORMAL;
    shellExecuteEx(&request);
}

}  // namespace brevant
