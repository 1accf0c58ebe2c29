#pragma once
// The settings block and the form definitions embedded in a module as RT_RCDATA resources.
// A module may have a separate resource module registered for it (a language resource
// library); its resources come first.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "crashreport/core/module_handle.h"
#include "crashreport/core/settings_block.h"

namespace brevant::crashreport {

// Registers (or, with nullptr, removes) the resource module for a module. This program
// registers none; the rule holds for any that does.
void RegisterResourceModule(ModuleHandle module, ModuleHandle resourceModule);
ModuleHandle RegisteredResourceModule(ModuleHandle module);

// An RT_RCDATA resource by name from exactly this module; empty when it holds none.
std::span<const std::uint8_t> ModuleDataResource(ModuleHandle module, std::u16string_view name);

// An RT_RCDATA resource by name, from the registered resource module when it holds one,
// else from the module; empty when neither does.
std::span<const std::uint8_t> FindDataResource(ModuleHandle module, std::u16string_view name);

bool HasSettingsResource(ModuleHandle module);

// Fills the block from the module's "TQUARREX" resource; none leaves it without properties.
void LoadSettingsResource(ModuleHandle module, ModuleSettingsBlock& block);
// The same for settings bytes at hand: header check, records, the message for an unknown
// value tag, then the stored passwords deciphered.
void LoadSettingsBytes(std::span<const std::uint8_t> bytes, ModuleSettingsBlock& block);

// 8-bit text in the system code page, as the settings block stores it.
std::u16string DecodeSystemCodePage(std::string_view bytes);

}  // namespace brevant::crashreport
