#pragma once
// Saving a report into a file the user chooses.

#include <windows.h>

#include <string>

#include "crashreport/crash_reporter.h"

namespace brevant::crashreport {

// False when the user cancelled, the loader lock kept the dialog from opening (a beep says so)
// or the file could not be written.
bool SaveReportInteractively(const std::u16string& report, HWND parentWindow, ICrashModuleSettings& settings);

}  // namespace brevant::crashreport
