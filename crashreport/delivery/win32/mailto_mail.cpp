#include "crashreport/delivery/mailto_command.h"
#include "crashreport/delivery/win32/send_report.h"

namespace brevant::crashreport {

namespace {

// The default value of HKEY_CLASSES_ROOT\mailto\shell\open\command, environment variables
// expanded; empty when there is none.
std::u16string RegisteredMailtoCommand() {
    HKEY key;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, L"mailto\\shell\\open\\command", 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return {};
    DWORD type = 0, bytes = 0;
    std::wstring value;
    if (RegQueryValueExW(key, nullptr, nullptr, &type, nullptr, &bytes) == ERROR_SUCCESS &&
        (type == REG_SZ || type == REG_EXPAND_SZ) && bytes > 0) {
        value.resize(bytes / sizeof(wchar_t) + 1);
        if (RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &bytes) !=
            ERROR_SUCCESS)
            value.clear();
        value.resize(wcsnlen(value.c_str(), value.size()));
    }
    RegCloseKey(key);
    if (value.empty()) return {};
    wchar_t expanded[MAX_PATH];
    const DWORD length = ExpandEnvironmentStringsW(value.c_str(), expanded, MAX_PATH);
    if (length > 0 && length <= MAX_PATH) value = expanded;
    return std::u16string(value.begin(), value.end());
}

}  // namespace

bool MailViaMailto(const std::u16string& addresses, const std::u16string& subject, const std::u16string& body) {
    const std::u16string command = RegisteredMailtoCommand();
    if (command.empty()) return false;
    std::u16string commandLine = MailtoCommandLine(command, addresses, subject, body);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(nullptr, reinterpret_cast<wchar_t*>(commandLine.data()), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &started))
        return false;
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
    return true;
}

}  // namespace brevant::crashreport
