#include "crashreport/delivery/win32/reporter_temp_folder.h"

#include <windows.h>

#include "base/win32/wide_text.h"
#include "crashreport/core/win32/shared_object_security.h"
#include "crashreport/report/win32/win32_placeholder_environment.h"

namespace brevant::crashreport {

namespace {

std::wstring WithBackslash(std::wstring folder) {
    if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
    return folder;
}

// The user's temporary folder, else the application data folder.
std::wstring BaseFolder() {
    wchar_t path[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, path);
    if (length > 0 && length <= MAX_PATH) return WithBackslash(std::wstring(path, length));
    return WithBackslash(ToWide(Win32PlaceholderEnvironment({}).SpecialFolderPath(SpecialFolder::RoamingAppData)));
}

std::wstring FolderPath() {
    const std::wstring base = BaseFolder();
    if (base.empty()) return {};
    std::u16string program = ModulePath(nullptr);
    program = program.substr(program.find_last_of(u"\\/") + 1);
    const std::size_t dot = program.rfind(u'.');
    if (dot != std::u16string::npos) program.resize(dot);
    return base + ToWide(program) + L".Quarrex";
}

// "$" and the process id in lower-case hexadecimal, as the process-wide records are named.
std::wstring ProcessFolderName(DWORD processId) {
    return ToWide(ProcessIdSuffix(processId));
}

bool ProcessIsRunning(const std::wstring& folderName) {
    if (folderName.size() < 2 || folderName[0] != L'$') return false;
    const DWORD processId = static_cast<DWORD>(wcstoul(folderName.c_str() + 1, nullptr, 16));
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
    if (!process) return false;
    const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return running;
}

void DeleteFolder(const std::wstring& folder) {
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring path = folder + L"\\" + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                DeleteFolder(path);
            } else {
                SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(search, &entry));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

}  // namespace

std::u16string ReporterTempFolder() {
    const std::wstring folder = FolderPath();
    if (folder.empty()) return {};
    CreateDirectoryW(BaseFolder().c_str(), nullptr);
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring own = folder + L"\\" + ProcessFolderName(GetCurrentProcessId());
    CreateDirectoryW(own.c_str(), nullptr);
    return FromWide(own) + u"\\";
}

// Two instances of a program may fail at the same time: each keeps its files in a folder of its
// own, so that one handling does not delete what the other is still sending.
void DeleteReporterTempFolder() {
    const std::wstring folder = FolderPath();
    if (folder.empty()) return;
    const std::wstring own = ProcessFolderName(GetCurrentProcessId());
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring path = folder + L"\\" + name;
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(path.c_str());
        } else if (name == own || !ProcessIsRunning(name)) {
            DeleteFolder(path);
        }
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    RemoveDirectoryW(folder.c_str());  // only when it is empty
}

}  // namespace brevant::crashreport
