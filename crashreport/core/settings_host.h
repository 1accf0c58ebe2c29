#pragma once
// What a settings object needs from the process it runs in: the shared blocks of module
// settings, module memory, placeholder values and form resources. The Windows edge supplies the
// real one; tests supply their own.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "crashreport/core/module_handle.h"
#include "crashreport/core/settings_block.h"

namespace brevant::crashreport {

// The four exception values that placeholder expansion of a settings text receives.
struct ExceptionPlaceholderTexts {
    std::u16string exceptionClass;
    std::u16string errorDetails;
    std::u16string bugReport;
    std::optional<std::u16string> exceptionMessage;
};

class SettingsHost {
public:
    // The module's shared block with one more reference, or nullptr when the module has no
    // settings resource or the shared buffer cannot be had.
    virtual ModuleSettingsBlock* AcquireModuleSettings(ModuleHandle module) = 0;
    virtual void ReleaseModuleSettings(ModuleSettingsBlock* block) = 0;
    // Frees the block's properties and loads its resource again, under the buffer's lock.
    virtual void ReloadModuleSettings(ModuleSettingsBlock& block) = 0;
    // The 8-bit, NUL-terminated text that the pointer at module start + offset points to;
    // nullopt when any of that memory cannot be read.
    virtual std::optional<std::u16string> ReadVersionText(ModuleHandle module, std::int32_t offset) = 0;
    virtual std::u16string ExpandPlaceholders(ModuleHandle module, std::u16string_view text,
                                              const ExceptionPlaceholderTexts& exception) = 0;
    // The raw definitions of an assistant's forms ("TQX" + the name in capitals), in order, all
    // from the module's registered resource module when that holds the first form, else all
    // from the module; a missing one is empty.
    virtual std::vector<std::vector<std::uint8_t>> FormResources(ModuleHandle module,
                                                                 const std::vector<std::u16string>& formNames) = 0;

protected:
    ~SettingsHost() = default;
};

}  // namespace brevant::crashreport
