#pragma once
// The settings host of the running process: the shared settings buffer, the module's memory
// and resources, and the machine's placeholder values.

#include "crashreport/core/settings_host.h"

namespace brevant::crashreport {

class Win32SettingsHost final : public SettingsHost {
public:
    ModuleSettingsBlock* AcquireModuleSettings(ModuleHandle module) override;
    void ReleaseModuleSettings(ModuleSettingsBlock* block) override;
    void ReloadModuleSettings(ModuleSettingsBlock& block) override;
    std::optional<std::u16string> ReadVersionText(ModuleHandle module, std::int32_t offset) override;
    std::u16string ExpandPlaceholders(ModuleHandle module, std::u16string_view text,
                                      const ExceptionPlaceholderTexts& exception) override;
    std::vector<std::vector<std::uint8_t>> FormResources(ModuleHandle module,
                                                         const std::vector<std::u16string>& formNames) override;
};

// The one host of the process.
Win32SettingsHost& ProcessSettingsHost();

}  // namespace brevant::crashreport
