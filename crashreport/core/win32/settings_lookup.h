#pragma once
// Which settings apply to a module or a code address. A module whose own settings do not link
// in (NoSettings) borrows the settings of a module that does.

#include <functional>

#include "crashreport/core/crash_settings.h"

namespace brevant::crashreport {

// The module that holds the crash reporter's code (this program links it statically).
ModuleHandle CrashReporterModule();

// nullptr: the executable.
RefPtr<CrashSettings> SettingsForModule(ModuleHandle module);
RefPtr<CrashSettings> SettingsForAddress(const void* address);
// The settings for the code that called this function.
RefPtr<CrashSettings> SettingsForCaller();
// The crash reporter's own settings, else the first module found in the address space whose
// settings link in; nullptr when no module has a settings resource.
RefPtr<CrashSettings> FindLinkedSettings();

// Walks the address space from 0 upwards and hands over the start of every loaded module
// image in address order, until visit returns false.
void VisitLoadedModules(const std::function<bool(ModuleHandle)>& visit);

}  // namespace brevant::crashreport
