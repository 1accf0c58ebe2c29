#include "crashreport/delivery/win32/reporter_temp_folder.h"

#include <windows.h>

#include "base/win32/wide_text.h"
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
    return FromWide(folder) + u"\\";
}

void DeleteReporterTempFolder() {
    const std::wstring folder = FolderPath();
    if (!folder.empty()) DeleteFolder(folder);
}

}  // namespace brevant::crashreport
