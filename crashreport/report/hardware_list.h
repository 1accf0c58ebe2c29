#pragma once
// The "hardware" list: the installed devices grouped by device class, each with the version of
// its driver when the driver is not the system's own.

#include <string>
#include <string_view>
#include <vector>

namespace brevant::crashreport {

struct DeviceEntry {
    std::u16string name;
    std::u16string driverKey;  // a key path below HKEY_LOCAL_MACHINE, or empty
};

struct DeviceClassEntry {
    std::u16string className;
    std::vector<DeviceEntry> devices;
};

// Values below HKEY_LOCAL_MACHINE, read as text.
class MachineRegistry {
public:
    virtual ~MachineRegistry() = default;
    // Empty when the key or value is missing or holds no data; an empty value name reads the
    // key's default value.
    virtual std::u16string ValueText(std::u16string_view key, std::u16string_view valueName) const = 0;
    // The value's raw data; empty when missing.
    virtual std::string ValueBytes(std::u16string_view key, std::u16string_view valueName) const = 0;
};

// Keeps the groups and the devices in each group in case-folding order; names equal under
// folding but not exactly equal form separate groups, the later one first.
void InsertDevice(std::vector<DeviceClassEntry>& list, const std::u16string& className,
                  const std::u16string& deviceName, const std::u16string& driverKey);

// " (driver 1.2.3)" for a driver of another provider than the system's, else empty.
std::u16string DriverSuffix(const std::u16string& driverKey, const MachineRegistry& registry);

// "+ class" lines, each followed by its "  - device" lines.
std::u16string HardwareListText(const std::vector<DeviceClassEntry>& list, const MachineRegistry& registry);

}  // namespace brevant::crashreport
