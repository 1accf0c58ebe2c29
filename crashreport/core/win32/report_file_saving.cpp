#include "crashreport/core/win32/report_file_saving.h"

#include <windows.h>

#include <optional>

#include "crashreport/report/report_file.h"
#include "crashreport/report/win32/win32_placeholder_environment.h"
#include "base/win32/wide_text.h"

namespace brevant::crashreport {

namespace {

constexpr DWORD kSharingWaitMs = 2000;
constexpr DWORD kRetryStepMs = 50;

std::u16string ProgramPath() {
    wchar_t path[MAX_PATH + 1];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return std::u16string(reinterpret_cast<const char16_t*>(path), length < MAX_PATH ? length : 0);
}

std::u16string ProgramBaseName() {
    std::u16string name = ProgramPath();
    name = name.substr(name.find_last_of(u"\\/") + 1);
    const std::size_t dot = name.rfind(u'.');
    return dot == std::u16string::npos ? name : name.substr(0, dot);
}

// Every missing folder of the path, outermost first.
void CreateFolders(const std::u16string& path) {
    for (std::size_t slash = path.find(u'\\', 3); slash != std::u16string::npos; slash = path.find(u'\\', slash + 1)) {
        CreateDirectoryW(Wide(path.substr(0, slash)), nullptr);
    }
}

HANDLE OpenExclusively(const std::u16string& path) {
    CreateFolders(path);
    const DWORD start = GetTickCount();
    while (true) {
        HANDLE file = CreateFileW(Wide(path), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) return file;
        if (GetLastError() != ERROR_SHARING_VIOLATION || GetTickCount() - start >= kSharingWaitMs) {
            return INVALID_HANDLE_VALUE;
        }
        Sleep(kRetryStepMs);
    }
}

}  // namespace

std::u16string ReportFileFallbackPath(ICrashModuleSettings& settings) {
    const std::u16string reportFile = settings.GetBugReportFile();
    std::u16string path = u"%userappdata%\\" + ProgramBaseName() + u"\\" + reportFile;
    Win32PlaceholderEnvironment environment([&settings](ModuleHandle) { return settings.VersionVar(); });
    ExpandPlaceholders(environment, settings.Module(), path, u"%exceptClass%", u"%errorDetails%", u"%bugReport%",
                       u"%exceptMsg%");
    for (std::size_t i = 2; i < path.size(); ++i)
        if (path[i] == u':') path[i] = u'.';
    return path;
}

std::u16string SavedReportFilePath(ICrashModuleSettings& settings) {
    return AbsolutePath(settings.GetBugReportFile(), ProgramPath());
}

namespace {

std::optional<std::string> ReadAll(HANDLE file) {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file, &size) || size.QuadPart > 0x40000000) return std::nullopt;
    std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() && (!ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
                           read != bytes.size())) {
        return std::nullopt;
    }
    return bytes;
}

bool WriteAllFromStart(HANDLE file, const std::string& bytes) {
    if (SetFilePointer(file, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER) return false;
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size()) {
        return false;
    }
    return SetEndOfFile(file) != FALSE;
}

ReportFileRules RulesOf(ICrashModuleSettings& settings) {
    ReportFileRules rules;
    rules.append = settings.GetAppendBugReports();
    rules.noDupExcepts = settings.GetNoDupExcepts();
    rules.noDupFreezes = settings.GetNoDupFreezes();
    rules.dupExceptDef = settings.GetDupExceptDef();
    rules.dupFreezeDef = settings.GetDupFreezeDef();
    rules.sizeLimit = settings.GetBugReportFileSize();
    return rules;
}

}  // namespace

bool SaveReportFile(const std::u16string& fileName, const std::u16string& report, ICrashModuleSettings& settings,
                    bool automatic) {
    if (report.empty()) return false;
    const std::u16string reportFile = settings.GetBugReportFile();
    std::u16string path = fileName;
    if (path.empty()) {
        // Choosing a file interactively comes with the exception box.
        if (!automatic) return false;
        path = SavedReportFilePath(settings);
    }
    HANDLE file = OpenExclusively(path);
    if (file == INVALID_HANDLE_VALUE && fileName.empty() && reportFile.find(u'\\') == std::u16string::npos) {
        file = OpenExclusively(ReportFileFallbackPath(settings));
    }
    if (file == INVALID_HANDLE_VALUE) return false;

    bool saved = false;
    if (const std::optional<std::string> stored = ReadAll(file)) {
        std::u16string newReport = report;
        const std::string kept = MergeStoredReports(*stored, newReport, RulesOf(settings));
        saved = WriteAllFromStart(file, kept + StoredReportBytes(newReport));
    }
    CloseHandle(file);
    return saved;
}

}  // namespace brevant::crashreport
