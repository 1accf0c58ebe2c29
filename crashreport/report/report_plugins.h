#pragma once
// The registry of report plug-ins: named texts that a program adds to every report, as a
// header field or as a section of their own. The "Plugins" setting picks which are used.

#include <string>
#include <string_view>
#include <vector>

#include "crashreport/crash_reporter.h"

namespace brevant::crashreport {

struct ReportPlugin {
    std::u16string name;
    std::u16string description;
    ReportPluginCallbacks callbacks;
    bool isSection = false;
};

// A copy of the registry, in registration order.
std::vector<ReportPlugin> RegisteredReportPlugins();

// The plug-ins that a "Plugins" setting names ("|"-separated, looked up ignoring case), in the
// setting's order, of the given kind; names not registered are skipped.
std::vector<ReportPlugin> SelectReportPlugins(std::u16string_view pluginsSetting, bool sections);

// The plug-in's text; the kinds are tried in the order A, W, ExA, ExW, 8-bit texts taken as
// UTF-8. A plug-in that throws fails the call.
std::u16string CallReportPlugin(const ReportPlugin& plugin, ICrashException* exc);

}  // namespace brevant::crashreport
