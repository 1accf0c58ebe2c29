#pragma once
// Which present devices the hardware list shows, under which class name and with which driver
// key, from the properties the device-setup interface reports for each.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "crashreport/report/hardware_list.h"

namespace brevant::crashreport {

// The device registry properties used, with the device-setup interface's codes.
enum class DeviceProperty : std::uint32_t {
    Description = 0,
    HardwareId = 1,
    Class = 7,
    ClassGuid = 8,
    Driver = 9,
    FriendlyName = 12,
};

// A property of the device at hand as text; empty when it cannot be read.
using DevicePropertyReader = std::function<std::u16string(DeviceProperty property)>;

// Adds the device to the list unless it is a kind the list leaves out: legacy drivers,
// unknown devices, volumes, software devices, devices without class, and devices whose driver
// marks them as hidden.
void AddPresentDevice(std::vector<DeviceClassEntry>& list, const DevicePropertyReader& property,
                      const MachineRegistry& registry);

}  // namespace brevant::crashreport
