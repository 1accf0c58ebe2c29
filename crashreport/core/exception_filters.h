#pragma once
// The filter settings decide, per exception class, what the handling of an exception does:
// report, screenshot, handlers, pausing of other threads and what the box shows.

#include <functional>
#include <string>
#include <string_view>

#include "crashreport/core/crash_settings_interfaces.h"
#include "crashreport/core/exception_kinds.h"

namespace brevant::crashreport {

struct FilterResult {
    bool createBugReport = true;
    bool createScreenShot = true;
    bool pauseThreads = true;
    bool callHandlers = true;
    ShowSetting showSetting = ShowSetting::ssFullBox;
    std::u16string showAssistant;
};

// Whether the exception object's class is, or derives from, the named class.
using ClassMatcher = std::function<bool(std::u16string_view className)>;

// The first filter whose class list (names separated by ",", trimmed) holds a class the object
// is or derives from chooses; without a match the general group does.
FilterResult ApplyFilters(ICrashModuleSettings& settings, const ClassMatcher& isOrDerives);

}  // namespace brevant::crashreport
