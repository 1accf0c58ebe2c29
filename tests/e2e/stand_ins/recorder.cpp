// A stand-in for the programs Brevant starts (browsers, the debug manager, npm): it
// appends one line about how it was started to a log and ends. The log is named by
// the environment variable BREVANT_RECORD_LOG, else "record.log" beside this program.
//
// Line (UTF-8, tab-separated): creation time (100 ns ticks, orders concurrent starts),
// own path, STARTF_USESHOWWINDOW given (1/0), show mode, current directory, command line.

#include <windows.h>

#include <string>

namespace {

std::wstring Environment(const wchar_t* name) {
    wchar_t buffer[32768];
    DWORD length = GetEnvironmentVariableW(name, buffer, 32768);
    return length > 0 && length < 32768 ? std::wstring(buffer, length) : std::wstring();
}

std::wstring OwnPath() {
    wchar_t buffer[32768];
    DWORD length = GetModuleFileNameW(nullptr, buffer, 32768);
    return std::wstring(buffer, length);
}

std::wstring LogPath() {
    std::wstring path = Environment(L"BREVANT_RECORD_LOG");
    if (!path.empty()) return path;
    path = OwnPath();
    return path.substr(0, path.find_last_of(L"\\/") + 1) + L"record.log";
}

std::wstring CurrentDirectory() {
    wchar_t buffer[32768];
    DWORD length = GetCurrentDirectoryW(32768, buffer);
    return std::wstring(buffer, length);
}

unsigned long long CreationTime() {
    FILETIME creation{}, exited{}, kernel{}, user{};
    GetProcessTimes(GetCurrentProcess(), &creation, &exited, &kernel, &user);
    return (static_cast<unsigned long long>(creation.dwHighDateTime) << 32) | creation.dwLowDateTime;
}

std::string Utf8(const std::wstring& text) {
    int length =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), length, nullptr, nullptr);
    return bytes;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    GetStartupInfoW(&startup);
    std::wstring line = std::to_wstring(CreationTime()) + L"\t" + OwnPath() + L"\t" +
                        ((startup.dwFlags & STARTF_USESHOWWINDOW) ? L"1" : L"0") + L"\t" +
                        std::to_wstring(startup.wShowWindow) + L"\t" + CurrentDirectory() + L"\t" + GetCommandLineW() +
                        L"\n";
    std::string bytes = Utf8(line);

    // Several stand-ins may start at once; the mutex keeps their lines whole.
    HANDLE mutex = CreateMutexW(nullptr, FALSE, L"BrevantRecorderLog");
    WaitForSingleObject(mutex, 10000);
    HANDLE log = CreateFileW(LogPath().c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    if (log != INVALID_HANDLE_VALUE) {
        WriteFile(log, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(log);
    }
    ReleaseMutex(mutex);
    CloseHandle(mutex);
    return log != INVALID_HANDLE_VALUE ? 0 : 3;
}
