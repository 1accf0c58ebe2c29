#include "crashreport/report/device_selection.h"

#include <string_view>

#include "base/reporter_case.h"
#include "crashreport/report/list_text.h"

namespace brevant::crashreport {

namespace {

constexpr std::u16string_view kClassKeys = u"System\\CurrentControlSet\\Control\\Class\\";
constexpr std::uint8_t kHiddenCharacteristic = 0x08;

bool IsLeftOut(const std::u16string& className, std::u16string_view hardwareId) {
    if (className == u"LegacyDriver" || className == u"Unknown" || className == u"Volume") return true;
    return hardwareId.size() >= 3 && SameReporterText(hardwareId.substr(0, 3), u"sw\\");
}

// The class's own description names the group where it has one.
std::u16string GroupName(const DevicePropertyReader& property, const MachineRegistry& registry) {
    std::u16string group = property(DeviceProperty::ClassGuid);
    if (group.empty()) return group;
    std::u16string description = registry.ValueText(std::u16string(kClassKeys) + group, u"");
    return description.empty() ? group : description;
}

bool HiddenByDriver(const std::u16string& driverKey, const MachineRegistry& registry) {
    if (driverKey.empty()) return false;
    const std::string characteristics = registry.ValueBytes(driverKey, u"Characteristics");
    return characteristics.size() == 4 && (static_cast<std::uint8_t>(characteristics[0]) & kHiddenCharacteristic) != 0;
}

}  // namespace

void AddPresentDevice(std::vector<DeviceClassEntry>& list, const DevicePropertyReader& property,
                      const MachineRegistry& registry) {
    const std::u16string className = property(DeviceProperty::Class);
    // A multi-string property; only its first string counts.
    const std::u16string hardwareIds = property(DeviceProperty::HardwareId);
    if (IsLeftOut(className, UpToZero(hardwareIds))) return;
    const std::u16string group = GroupName(property, registry);
    if (group.empty()) return;
    std::u16string deviceName = property(DeviceProperty::FriendlyName);
    if (deviceName.empty()) deviceName = property(DeviceProperty::Description);
    const std::u16string driver = property(DeviceProperty::Driver);
    const std::u16string driverKey = driver.empty() ? std::u16string() : std::u16string(kClassKeys) + driver;
    if (HiddenByDriver(driverKey, registry)) return;
    InsertDevice(list, group, deviceName, driverKey);
}

}  // namespace brevant::crashreport
