#pragma once
// The three system information lists of the bug report, gathered afresh on every call. Each is
// UTF-16 text of aligned columns, lines joined by CR LF without a trailing line break; an empty
// list is empty text.

#include <string>

namespace brevant::crashreport {

// Each module loaded in this process: base address, file name, version, folder.
std::u16string ListLoadedModules();
// Each process on the machine: id, file name, session, GDI and USER objects, priority, folder.
std::u16string ListRunningProcesses();
// The present devices grouped by class, with the version of drivers from other providers.
std::u16string ListInstalledHardware();

}  // namespace brevant::crashreport
