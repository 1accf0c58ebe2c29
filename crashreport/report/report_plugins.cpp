#include "crashreport/report/report_plugins.h"

#include <mutex>

#include "base/reporter_case.h"
#include "base/utf16_text.h"

namespace brevant::crashreport {

namespace {

struct Registry {
    std::mutex lock;
    std::vector<ReportPlugin> plugins;
};

// Never destroyed: plug-ins are removed while the program ends, in any order.
Registry& TheRegistry() {
    static auto* registry = new Registry;
    return *registry;
}

void Register(std::u16string_view name, std::u16string_view description, ReportPluginCallbacks callbacks,
              bool isSection) {
    Registry& registry = TheRegistry();
    std::lock_guard guard(registry.lock);
    registry.plugins.push_back({std::u16string(name), std::u16string(description), callbacks, isSection});
}

}  // namespace

void AddReportPlugin(std::u16string_view name, std::u16string_view description, TBugReportPluginA callback,
                     bool isSection) {
    Register(name, description, {callback, nullptr, nullptr, nullptr}, isSection);
}

void AddReportPlugin(std::u16string_view name, std::u16string_view description, TBugReportPluginW callback,
                     bool isSection) {
    Register(name, description, {nullptr, callback, nullptr, nullptr}, isSection);
}

void AddReportPlugin(std::u16string_view name, std::u16string_view description, TBugReportPluginExA callback,
                     bool isSection) {
    Register(name, description, {nullptr, nullptr, callback, nullptr}, isSection);
}

void AddReportPlugin(std::u16string_view name, std::u16string_view description, TBugReportPluginExW callback,
                     bool isSection) {
    Register(name, description, {nullptr, nullptr, nullptr, callback}, isSection);
}

void RemoveReportPlugin(std::u16string_view name) {
    Registry& registry = TheRegistry();
    std::lock_guard guard(registry.lock);
    for (auto it = registry.plugins.begin(); it != registry.plugins.end(); ++it) {
        if (it->name == name) {
            registry.plugins.erase(it);
            return;
        }
    }
}

std::vector<ReportPlugin> RegisteredReportPlugins() {
    Registry& registry = TheRegistry();
    std::lock_guard guard(registry.lock);
    return registry.plugins;
}

std::vector<ReportPlugin> SelectReportPlugins(std::u16string_view pluginsSetting, bool sections) {
    const std::vector<ReportPlugin> registered = RegisteredReportPlugins();
    std::vector<ReportPlugin> selected;
    std::size_t start = 0;
    while (start <= pluginsSetting.size()) {
        std::size_t end = pluginsSetting.find(u'|', start);
        if (end == std::u16string_view::npos) end = pluginsSetting.size();
        const std::u16string_view name = pluginsSetting.substr(start, end - start);
        for (const ReportPlugin& plugin : registered) {
            if (!name.empty() && SameReporterText(plugin.name, name)) {
                if (plugin.isSection == sections) selected.push_back(plugin);
                break;
            }
        }
        start = end + 1;
    }
    return selected;
}

std::u16string CallReportPlugin(const ReportPlugin& plugin, ICrashException* exc) {
    const ReportPluginCallbacks& c = plugin.callbacks;
    if (c.a) return FromUtf8(c.a());
    if (c.w) return c.w();
    if (c.exA) return FromUtf8(c.exA(exc));
    if (c.exW) return c.exW(exc);
    return {};
}

}  // namespace brevant::crashreport
