#pragma once
// The built-in settings, consulted when a module's own settings lack a name.

#include <span>
#include <string_view>

#include "crashreport/core/settings_stream.h"

namespace brevant::crashreport {

std::span<const SettingsProperty> DefaultSettingsTable();

// The first built-in entry of this name (compared exactly), or nullptr.
const SettingsProperty* FindDefaultSetting(std::string_view name);

}  // namespace brevant::crashreport
