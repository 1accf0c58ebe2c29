#pragma once
// Finding an exported function in the modules of another process, read through its memory.

#include <windows.h>

#include <cstdint>
#include <optional>

namespace brevant::crashreport {

// The address of the export in the first module of the process that has it (the executable
// is looked at first); nothing when no module exports it.
std::optional<std::uintptr_t> FindRemoteExport(HANDLE process, const char* name);

}  // namespace brevant::crashreport
