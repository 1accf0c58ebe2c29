#include "crashreport/report/hardware_list.h"

#include <gtest/gtest.h>

#include <map>

#include "base/utf16_text.h"
#include "crashreport/report/device_selection.h"

namespace brevant::crashreport {
namespace {

// Registry values as "key|value" -> data; text values are stored as text.
class FakeRegistry : public MachineRegistry {
public:
    std::map<std::u16string, std::u16string> texts;
    std::map<std::u16string, std::string> bytes;

    std::u16string ValueText(std::u16string_view key, std::u16string_view name) const override {
        auto found = texts.find(std::u16string(key) + u"|" + std::u16string(name));
        return found == texts.end() ? std::u16string() : found->second;
    }
    std::string ValueBytes(std::u16string_view key, std::u16string_view name) const override {
        auto found = bytes.find(std::u16string(key) + u"|" + std::u16string(name));
        return found == bytes.end() ? std::string() : found->second;
    }
};

// Groups and devices as "class: device, device; class: ..." to show order and grouping at once.
std::string Layout(const std::vector<DeviceClassEntry>& list) {
    std::string text;
    for (const DeviceClassEntry& group : list) {
        if (!text.empty()) text += "; ";
        text += ToUtf8(group.className) + ":";
        for (const DeviceEntry& device : group.devices)
            text += " " + ToUtf8(device.name) + "=" + ToUtf8(device.driverKey);
    }
    return text;
}

TEST(HardwareListTest, InsertDeviceKeepsGroupsAndDevicesInFoldedOrder) {
    std::vector<DeviceClassEntry> list;
    InsertDevice(list, u"Keyboards", u"PS/2 Keyboard", u"k1");
    InsertDevice(list, u"Display adapters", u"Sample Graphics", u"d1");
    InsertDevice(list, u"Keyboards", u"HID Keyboard", u"k2");
    InsertDevice(list, u"Mice", u"mouse b", u"");
    InsertDevice(list, u"Mice", u"Mouse A", u"");
    InsertDevice(list, u"\u00C4rger", u"umlaut", u"");  // folds to U+00E4, after every ASCII letter
    EXPECT_EQ(Layout(list),
              "Display adapters: Sample Graphics=d1; Keyboards: HID Keyboard=k2 PS/2 Keyboard=k1; "
              "Mice: Mouse A= mouse b=; \xC3\x84rger: umlaut=");
}

TEST(HardwareListTest, InsertDeviceSeparatesCaseOnlyDifferentClassesAndKeepsEqualDevices) {
    std::vector<DeviceClassEntry> list;
    InsertDevice(list, u"Ports", u"COM1", u"first");
    InsertDevice(list, u"Ports", u"COM1", u"second");
    EXPECT_EQ(Layout(list), "Ports: COM1=second COM1=first");
    // A group is reused only when its name is exactly the class; the first group that is equal
    // only under folding gets a new group placed before it.
    InsertDevice(list, u"ports", u"COM2", u"");
    InsertDevice(list, u"Ports", u"com1", u"third");
    EXPECT_EQ(Layout(list), "Ports: com1=third; ports: COM2=; Ports: COM1=second COM1=first");
    InsertDevice(list, u"Ports", u"COM3", u"");
    EXPECT_EQ(Layout(list), "Ports: com1=third COM3=; ports: COM2=; Ports: COM1=second COM1=first");

    // A class that is a prefix of another comes first.
    InsertDevice(list, u"Port", u"x", u"");
    EXPECT_EQ(list.front().className, u"Port");
}

TEST(HardwareListTest, DriverSuffixOnlyForOtherProviders) {
    FakeRegistry registry;
    const std::u16string key = u"System\\CurrentControlSet\\Control\\Class\\{x}\\0000";
    const struct {
        const char16_t* provider;
        const char16_t* version;
        const char16_t* date;
        const char* suffix;
    } cases[] = {
        {u"Sample Corp", u"31.0.15.1", u"1-2-2024", " (driver 31.0.15.1)"},
        {u"Sample Corp", u"", u" 6-21-2006\t", " (driver 6-21-2006)"},
        {u"Sample Corp", u"  1.2  ", u"", " (driver 1.2)"},
        {u"Sample Corp", u"", u"", ""},
        {u"Microsoft", u"10.0.1", u"", ""},
        {u"MICROSOFT", u"10.0.1", u"", ""},
        {u"Microsoft Corporation", u"10.0.1", u"", " (driver 10.0.1)"},
        {u"(Standard display types)", u"10.0.1", u"", ""},
        {u"", u"10.0.1", u"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(ToUtf8(c.provider));
        registry.texts = {
            {key + u"|ProviderName", c.provider}, {key + u"|DriverVersion", c.version}, {key + u"|DriverDate", c.date}};
        EXPECT_EQ(ToUtf8(DriverSuffix(key, registry)), c.suffix);
    }
    registry.texts = {{u"|ProviderName", u"Sample Corp"}, {u"|DriverVersion", u"1.0"}};
    EXPECT_EQ(ToUtf8(DriverSuffix(u"", registry)), "");  // no driver key, no suffix
}

TEST(HardwareListTest, TextHasClassLinesEachFollowedByItsDevices) {
    FakeRegistry registry;
    registry.texts = {{u"drv|ProviderName", u"Sample"}, {u"drv|DriverVersion", u"31.0.15.1"}};
    std::vector<DeviceClassEntry> list;
    InsertDevice(list, u"Keyboards", u"Standard PS/2 Keyboard", u"");
    InsertDevice(list, u"Display adapters", u"Sample Graphics Adapter", u"drv");
    EXPECT_EQ(ToUtf8(HardwareListText(list, registry)),
              "+ Display adapters\r\n"
              "  - Sample Graphics Adapter (driver 31.0.15.1)\r\n"
              "+ Keyboards\r\n"
              "  - Standard PS/2 Keyboard");
    EXPECT_EQ(ToUtf8(HardwareListText({}, registry)), "");
}

// One device's properties.
struct FakeDevice {
    std::u16string className, hardwareId, classGuid = u"{guid}", friendlyName, description, driver;

    DevicePropertyReader Reader() const {
        return [this](DeviceProperty property) -> std::u16string {
            switch (property) {
                case DeviceProperty::Class:
                    return className;
                case DeviceProperty::HardwareId:
                    return hardwareId;
                case DeviceProperty::ClassGuid:
                    return classGuid;
                case DeviceProperty::FriendlyName:
                    return friendlyName;
                case DeviceProperty::Description:
                    return description;
                case DeviceProperty::Driver:
                    return driver;
            }
            return {};
        };
    }
};

TEST(HardwareListTest, PresentDevicesAreGroupedByClassDescriptionAndFiltered) {
    const std::u16string classes = u"System\\CurrentControlSet\\Control\\Class\\";
    FakeRegistry registry;
    registry.texts = {{classes + u"{display}|", u"Display adapters"}};
    registry.bytes = {{classes + u"{display}\\0001|Characteristics", std::string("\x08\x00\x00\x00", 4)},
                      {classes + u"{display}\\0002|Characteristics", std::string("\x08\x00\x00", 3)},
                      {classes + u"{display}\\0003|Characteristics", std::string("\x00\x08\x00\x00", 4)}};
    const FakeDevice devices[] = {
        {u"Display", u"PCI\\VEN_1", u"{display}", u"Friendly GPU", u"GPU description", u"{display}\\0000"},
        {u"Display", u"PCI\\VEN_2", u"{display}", u"", u"Hidden GPU", u"{display}\\0001"},
        {u"Display", u"PCI\\VEN_3", u"{display}", u"", u"Short flags GPU", u"{display}\\0002"},
        {u"Display", u"PCI\\VEN_4", u"{display}", u"", u"High byte GPU", u"{display}\\0003"},
        {u"Keyboard", u"ACPI\\PNP0303", u"{keyboard}", u"", u"Keyboard", u""},
        {u"LegacyDriver", u"ROOT\\LEGACY", u"{legacy}", u"", u"legacy", u""},
        {u"Unknown", u"X", u"{u}", u"", u"unknown", u""},
        {u"Volume", u"STORAGE\\Volume", u"{v}", u"", u"volume", u""},
        {u"volume", u"STORAGE\\Volume", u"{v}", u"", u"lower-case volume", u""},
        {u"System", u"SW\\{abc}", u"{system}", u"", u"software device", u""},
        {u"System", u"sw", u"{system}", u"", u"short id", u""},
        {u"System", u"PCI\\X", u"", u"", u"no class guid", u""},
    };
    std::vector<DeviceClassEntry> list;
    for (const FakeDevice& device : devices) AddPresentDevice(list, device.Reader(), registry);
    EXPECT_EQ(Layout(list),
              "Display adapters: Friendly GPU=System\\CurrentControlSet\\Control\\Class\\{display}\\0000 "
              "High byte GPU=System\\CurrentControlSet\\Control\\Class\\{display}\\0003 "
              "Short flags GPU=System\\CurrentControlSet\\Control\\Class\\{display}\\0002; "
              "{keyboard}: Keyboard=; {system}: short id=; {v}: lower-case volume=");
}

}  // namespace
}  // namespace brevant::crashreport
