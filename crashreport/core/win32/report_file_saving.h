#pragma once
// Saving a report into the bug report file beside the program (or a given file).

#include <string>

#include "crashreport/crash_reporter.h"

namespace brevant::crashreport {

// With an empty fileName the file named by the "BugRepFile" setting is used. A file that
// another process holds open is waited for (up to two seconds), so that reports of programs
// failing at the same moment all land; a file that cannot be written at all is replaced by
// one below the user's application data. False when nothing was saved.
bool SaveReportFile(const std::u16string& fileName, const std::u16string& report, ICrashModuleSettings& settings,
                    bool automatic);

// Where the automatic save puts the report: the "BugRepFile" setting beside the program, and
// the file below the user's application data used when that cannot be written.
std::u16string SavedReportFilePath(ICrashModuleSettings& settings);
std::u16string ReportFileFallbackPath(ICrashModuleSettings& settings);

}  // namespace brevant::crashreport
