#pragma once
// The crash reporter's folder for temporary files of this program (attachments, the
// screenshot): "<program>.Quarrex" in the user's temporary folder, with a folder per running
// instance ("$" and its process id). It is emptied when the next exception is handled.

#include <string>

namespace brevant::crashreport {

// With a trailing "\"; the folders are created when missing. Empty when no folder is known.
std::u16string ReporterTempFolder();

// Removes this instance's files and those of instances that are no longer running.
void DeleteReporterTempFolder();

}  // namespace brevant::crashreport
