#pragma once
// The machine's and the process's values for placeholder expansion.

#include <functional>
#include <string>

#include "crashreport/report/placeholder_expansion.h"

namespace brevant::crashreport {

class Win32PlaceholderEnvironment final : public PlaceholderEnvironment {
public:
    // The "VersionVar" text of a module's settings; empty when the module names none.
    using VersionVariableText = std::function<std::u16string(ModuleHandle)>;

    explicit Win32PlaceholderEnvironment(VersionVariableText versionVariableText);

    ModuleHandle ExecutableModule() override;
    std::u16string ModulePath(ModuleHandle module) override;
    std::u16string VersionText(ModuleHandle module) override;
    LocalDateTime LocalTime() override;
    std::u16string ComputerName() override;
    std::u16string OperatingSystemDescription() override;
    std::u16string SpecialFolderPath(SpecialFolder folder) override;

private:
    VersionVariableText versionVariableText_;
};

}  // namespace brevant::crashreport
