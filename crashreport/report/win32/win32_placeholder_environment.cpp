#include "crashreport/report/win32/win32_placeholder_environment.h"

#include <shlobj.h>
#include <windows.h>

#include <utility>

#include "base/win32/wide_text.h"
#include "crashreport/report/operating_system_description.h"
#include "crashreport/report/win32/file_version_text.h"
#include "crashreport/report/win32/operating_system_facts.h"
#include "crashreport/report/win32/system_library_entry.h"

namespace brevant::crashreport {

namespace {

using SHGetFolderPathFunction = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, wchar_t*);

int FolderId(SpecialFolder folder) {
    switch (folder) {
        case SpecialFolder::Desktop:
            return CSIDL_DESKTOPDIRECTORY;
        case SpecialFolder::RoamingAppData:
            return CSIDL_APPDATA;
        case SpecialFolder::CommonAppData:
            return CSIDL_COMMON_APPDATA;
        case SpecialFolder::LocalAppData:
            return CSIDL_LOCAL_APPDATA;
    }
    return CSIDL_DESKTOPDIRECTORY;
}

}  // namespace

Win32PlaceholderEnvironment::Win32PlaceholderEnvironment(VersionVariableText versionVariableText)
    : versionVariableText_(std::move(versionVariableText)) {}

ModuleHandle Win32PlaceholderEnvironment::ExecutableModule() {
    return GetModuleHandleW(nullptr);
}

std::u16string Win32PlaceholderEnvironment::ModulePath(ModuleHandle module) {
    return brevant::ModulePath(static_cast<HMODULE>(module));
}

std::u16string Win32PlaceholderEnvironment::VersionText(ModuleHandle module) {
    std::u16string text = versionVariableText_ ? versionVariableText_(module) : std::u16string();
    if (text.empty()) text = FileVersionText(ModulePath(module));
    return text.empty() ? u"?" : text;
}

LocalDateTime Win32PlaceholderEnvironment::LocalTime() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
}

std::u16string Win32PlaceholderEnvironment::ComputerName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
    return GetComputerNameW(name, &length) ? FromWide(std::wstring_view(name, length)) : std::u16string();
}

std::u16string Win32PlaceholderEnvironment::OperatingSystemDescription() {
    return crashreport::OperatingSystemDescription(ReadOperatingSystemFacts());
}

// The shell library is large and only a few texts name a folder, so it is loaded on demand.
std::u16string Win32PlaceholderEnvironment::SpecialFolderPath(SpecialFolder folder) {
    auto getFolderPath = SystemLibraryFunction<SHGetFolderPathFunction>(L"shell32.dll", "SHGetFolderPathW");
    wchar_t path[MAX_PATH] = {};
    if (getFolderPath == nullptr || FAILED(getFolderPath(nullptr, FolderId(folder), nullptr, SHGFP_TYPE_CURRENT, path)))
        return {};
    return FromWide(path);
}

}  // namespace brevant::crashreport
