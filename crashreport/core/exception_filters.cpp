#include "crashreport/core/exception_filters.h"

namespace brevant::crashreport {

namespace {

struct FilterGroup {
    bool noBugReport, noScreenShot, noSuspend, noHandlers;
    std::int32_t showSetting;
    std::u16string assistant;
};

std::u16string_view Trimmed(std::u16string_view text) {
    while (!text.empty() && text.front() <= u' ') text.remove_prefix(1);
    while (!text.empty() && text.back() <= u' ') text.remove_suffix(1);
    return text;
}

bool ListMatches(std::u16string_view classes, const ClassMatcher& isOrDerives) {
    while (true) {
        std::size_t comma = classes.find(u',');
        std::u16string_view name = Trimmed(classes.substr(0, comma));
        if (!name.empty() && isOrDerives(name)) return true;
        if (comma == std::u16string_view::npos) return false;
        classes.remove_prefix(comma + 1);
    }
}

FilterGroup ChosenGroup(ICrashModuleSettings& s, const ClassMatcher& isOrDerives) {
    if (ListMatches(s.GetFilter1Classes(), isOrDerives))
        return {s.GetFilter1NoBugReport(), s.GetFilter1NoScreenShot(), s.GetFilter1NoSuspend(),
                s.GetFilter1NoHandlers(), s.GetFilter1ShowSetting(), s.GetFilter1Assistant()};
    if (ListMatches(s.GetFilter2Classes(), isOrDerives))
        return {s.GetFilter2NoBugReport(), s.GetFilter2NoScreenShot(), s.GetFilter2NoSuspend(),
                s.GetFilter2NoHandlers(), s.GetFilter2ShowSetting(), s.GetFilter2Assistant()};
    return {s.GetGeneralNoBugReport(), s.GetGeneralNoScreenShot(), s.GetGeneralNoSuspend(),
            s.GetGeneralNoHandlers(), s.GetGeneralShowSetting(), s.GetGeneralAssistant()};
}

// A stored value outside the enumeration shows nothing rather than something undefined.
ShowSetting ToShowSetting(std::int32_t value) {
    return value >= 0 && value <= 4 ? static_cast<ShowSetting>(value) : ShowSetting::ssNothing;
}

}  // namespace

FilterResult ApplyFilters(ICrashModuleSettings& settings, const ClassMatcher& isOrDerives) {
    FilterGroup group = ChosenGroup(settings, isOrDerives);
    FilterResult result;
    result.createBugReport = !group.noBugReport;
    result.createScreenShot = !group.noScreenShot && settings.GetScreenShotDepth() > 0;
    result.pauseThreads = !group.noSuspend && settings.GetSuspendThreads();
    result.callHandlers = !group.noHandlers;
    result.showSetting = ToShowSetting(group.showSetting);
    result.showAssistant = std::move(group.assistant);
    return result;
}

}  // namespace brevant::crashreport
