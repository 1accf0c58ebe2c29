#include "crashreport/report/hardware_list.h"

#include <algorithm>

#include "base/reporter_case.h"
#include "base/utf16_text.h"
#include "crashreport/report/list_text.h"

namespace brevant::crashreport {

namespace {

bool IsSystemProvider(std::u16string_view provider) {
    return provider.starts_with(u'(') || SameReporterText(provider, u"Microsoft");
}

}  // namespace

void InsertDevice(std::vector<DeviceClassEntry>& list, const std::u16string& className,
                  const std::u16string& deviceName, const std::u16string& driverKey) {
    auto group = std::find_if(list.begin(), list.end(), [&](const DeviceClassEntry& entry) {
        return CompareReporterText(entry.className, className) >= 0;
    });
    if (group == list.end() || group->className != className) group = list.insert(group, {className, {}});
    auto place = std::find_if(group->devices.begin(), group->devices.end(), [&](const DeviceEntry& device) {
        return CompareReporterText(device.name, deviceName) >= 0;
    });
    group->devices.insert(place, {deviceName, driverKey});
}

std::u16string DriverSuffix(const std::u16string& driverKey, const MachineRegistry& registry) {
    if (driverKey.empty()) return {};
    const std::u16string provider = registry.ValueText(driverKey, u"ProviderName");
    if (provider.empty() || IsSystemProvider(provider)) return {};
    std::u16string version = registry.ValueText(driverKey, u"DriverVersion");
    if (version.empty()) version = registry.ValueText(driverKey, u"DriverDate");
    version = std::u16string(TrimControlsAndBlanks(version));
    return version.empty() ? std::u16string() : u" (driver " + version + u")";
}

std::u16string HardwareListText(const std::vector<DeviceClassEntry>& list, const MachineRegistry& registry) {
    std::vector<std::u16string> lines;
    for (const DeviceClassEntry& group : list) {
        lines.push_back(u"+ " + group.className);
        for (const DeviceEntry& device : group.devices) {
            lines.push_back(u"  - " + device.name + DriverSuffix(device.driverKey, registry));
        }
    }
    return JoinedLines(lines);
}

}  // namespace brevant::crashreport
