#pragma once
// Printing a report on a printer the user chooses.

#include <windows.h>

#include <string>

#include "crashreport/crash_reporter.h"

namespace brevant::crashreport {

// True once the print dialog was confirmed, whatever the printer made of it.
bool PrintReportText(const std::u16string& report, HWND parentWindow, ICrashModuleSettings& settings);

}  // namespace brevant::crashreport
