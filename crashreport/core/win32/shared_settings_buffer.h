#pragma once
// The process-wide list of module settings blocks. Every copy of the crash reporter in the
// process (the executable and any library carrying its own) finds the list through a named
// section that holds the address of one process-local record; a named mutex serialises
// creating, finding and destroying it. Both names end in "$" and the process id in lower-case
// hexadecimal.

#include <string>

#include "crashreport/core/module_handle.h"
#include "crashreport/core/settings_block.h"

namespace brevant::crashreport {

std::u16string SettingsMutexName();    // "QuarrexSettingsMtx$<pid>"
std::u16string SettingsSectionName();  // "QuarrexSettingsBuf2$<pid>"

// The module's block with one more reference; the first for a module loads its resource.
// nullptr when the module has no settings resource or the section can be neither opened nor
// created (the user is told so).
ModuleSettingsBlock* AcquireModuleSettings(ModuleHandle module);
// Drops one reference of the block and one of the shared buffer; the last ones free them.
void ReleaseModuleSettings(ModuleSettingsBlock* block);
// Frees the block's properties and loads the resource again; values set at run time are lost.
void ReloadModuleSettings(ModuleSettingsBlock& block);

}  // namespace brevant::crashreport
