#pragma once
// Placeholders such as "%appname%" and "%exceptMsg%" in the configurable message texts (title
// bar, exception box, mail subject and body, bug-tracker texts) and their expansion.

#include <optional>
#include <string>
#include <string_view>

#include "crashreport/core/module_handle.h"

namespace brevant::crashreport {

struct LocalDateTime {
    int year = 0, month = 0, day = 0;
    int hour = 0, minute = 0, second = 0, milliseconds = 0;
};

enum class SpecialFolder { Desktop, RoamingAppData, CommonAppData, LocalAppData };

// What the expansion needs to know about the machine and the process. Every value is asked
// for only when the text holds its placeholder: some of them load system libraries.
class PlaceholderEnvironment {
public:
    virtual ~PlaceholderEnvironment() = default;

    virtual ModuleHandle ExecutableModule() = 0;
    // Full file name; the expansion takes the file name and folder from it.
    virtual std::u16string ModulePath(ModuleHandle module) = 0;
    // The settings' version text of the module, else its file version, else "?".
    virtual std::u16string VersionText(ModuleHandle module) = 0;
    virtual LocalDateTime LocalTime() = 0;
    virtual std::u16string ComputerName() = 0;
    // Without the build number.
    virtual std::u16string OperatingSystemDescription() = 0;
    // Empty when the system cannot tell; a trailing "\" may be present.
    virtual std::u16string SpecialFolderPath(SpecialFolder folder) = 0;
};

// Replaces every placeholder written in any letter case. Inserted text is never searched again,
// so a message that happens to contain "%LF%" stays as it is. A missing exception message
// (as opposed to an empty one) reads "Unknown".
void ExpandPlaceholders(PlaceholderEnvironment& environment, ModuleHandle module, std::u16string& text,
                        std::u16string_view exceptionClass, std::u16string_view errorDetails,
                        std::u16string_view report, std::optional<std::u16string_view> exceptionMessage);

// "2024-03-05" and "14:07:09, 318ms".
std::u16string DatePlaceholderText(const LocalDateTime& time);
std::u16string TimePlaceholderText(const LocalDateTime& time);

}  // namespace brevant::crashreport
