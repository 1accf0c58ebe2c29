#include "crashreport/delivery/win32/report_save_dialog.h"

#include <commdlg.h>

#include "base/win32/wide_text.h"
#include "crashreport/core/win32/dispatch_exception.h"
#include "crashreport/core/win32/report_file_saving.h"
#include "crashreport/report/win32/win32_placeholder_environment.h"
#include "crashreport/ui/win32/gui_functions.h"

namespace brevant::crashreport {

namespace {

std::wstring InitialFolder(ICrashModuleSettings& settings) {
    if (settings.GetBugReportFile().find(u'\\') != std::u16string::npos) {
        const std::u16string path = SavedReportFilePath(settings);
        return ToWide(path.substr(0, path.find_last_of(u'\\') + 1));
    }
    std::wstring folder = ToWide(Win32PlaceholderEnvironment({}).SpecialFolderPath(SpecialFolder::Desktop));
    if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
    return folder;
}

}  // namespace

bool SaveReportInteractively(const std::u16string& report, HWND parentWindow, ICrashModuleSettings& settings) {
    if (report.empty()) return false;
    if (LoaderLockHeld(kLoaderLockWaitMs)) {
        Gui().MessageBeep(0);
        return false;
    }
    const std::u16string reportFile = settings.GetBugReportFile();
    const std::wstring title = ToWide(settings.GetSaveBtnCaption());
    const std::wstring folder = InitialFolder(settings);
    wchar_t file[MAX_PATH] = {};
    const std::wstring name = ToWide(reportFile.substr(reportFile.find_last_of(u'\\') + 1));
    name.copy(file, MAX_PATH - 1);
    static const wchar_t kFilter[] = L"Text files (*.txt)\0*.txt\0";
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = parentWindow;
    dialog.lpstrFilter = kFilter;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    dialog.lpstrTitle = title.c_str();
    dialog.lpstrDefExt = L"txt";
    dialog.Flags = OFN_HIDEREADONLY | OFN_NOREADONLYRETURN;
    if (!Dialogs().GetSaveFileNameW(&dialog)) return false;
    return SaveReportFile(FromWide(file), report, settings, false);
}

}  // namespace brevant::crashreport
