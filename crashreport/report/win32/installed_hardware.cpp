#include "crashreport/report/win32/installed_hardware.h"

#include <vector>

#include "crashreport/report/device_selection.h"
#include "crashreport/report/list_text.h"
#include "crashreport/report/win32/machine_registry.h"
#include "crashreport/report/win32/system_lists.h"

namespace brevant::crashreport {

namespace {

using SetupDiGetClassDevsFunction = HDEVINFO(WINAPI*)(const GUID*, const wchar_t*, HWND, DWORD);
using SetupDiEnumDeviceInfoFunction = BOOL(WINAPI*)(HDEVINFO, DWORD, PSP_DEVINFO_DATA);
using SetupDiDestroyDeviceInfoListFunction = BOOL(WINAPI*)(HDEVINFO);

constexpr DWORD kPresentDevicesOfAllClasses = DIGCF_PRESENT | DIGCF_ALLCLASSES;

// The device-setup library is loaded for one list and freed with it, so that a program that
// never reports does not keep it.
class SetupLibrary {
public:
    SetupLibrary() {
        wchar_t folder[MAX_PATH];
        const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
        if (length == 0 || length >= MAX_PATH) return;
        module_ = LoadLibraryW((std::wstring(folder, length) + L"\\setupapi.dll").c_str());
        if (module_ == nullptr) return;
        getClassDevs = Entry<SetupDiGetClassDevsFunction>("SetupDiGetClassDevsW");
        enumDeviceInfo = Entry<SetupDiEnumDeviceInfoFunction>("SetupDiEnumDeviceInfo");
        getProperty = Entry<SetupDiGetDeviceRegistryPropertyFunction>("SetupDiGetDeviceRegistryPropertyW");
        destroyList = Entry<SetupDiDestroyDeviceInfoListFunction>("SetupDiDestroyDeviceInfoList");
    }
    ~SetupLibrary() {
        if (module_ != nullptr) FreeLibrary(module_);
    }
    SetupLibrary(const SetupLibrary&) = delete;
    SetupLibrary& operator=(const SetupLibrary&) = delete;

    bool Complete() const {
        return getClassDevs != nullptr && enumDeviceInfo != nullptr && getProperty != nullptr && destroyList != nullptr;
    }

    SetupDiGetClassDevsFunction getClassDevs = nullptr;
    SetupDiEnumDeviceInfoFunction enumDeviceInfo = nullptr;
    SetupDiGetDeviceRegistryPropertyFunction getProperty = nullptr;
    SetupDiDestroyDeviceInfoListFunction destroyList = nullptr;

private:
    template <typename Function>
    Function Entry(const char* name) const {
        return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
    }

    HMODULE module_ = nullptr;
};

std::vector<DeviceClassEntry> PresentDevices(const SetupLibrary& setup, const MachineRegistry& registry) {
    std::vector<DeviceClassEntry> list;
    HDEVINFO deviceSet = setup.getClassDevs(nullptr, nullptr, nullptr, kPresentDevicesOfAllClasses);
    if (deviceSet == INVALID_HANDLE_VALUE) return list;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD index = 0; setup.enumDeviceInfo(deviceSet, index, &device); ++index) {
        const DevicePropertyReader property = [&](DeviceProperty code) {
            return ReadDeviceProperty(setup.getProperty, deviceSet, device, static_cast<DWORD>(code));
        };
        AddPresentDevice(list, property, registry);
        device.cbSize = sizeof device;
    }
    setup.destroyList(deviceSet);
    return list;
}

}  // namespace

std::u16string ReadDeviceProperty(SetupDiGetDeviceRegistryPropertyFunction getProperty, HDEVINFO deviceSet,
                                  SP_DEVINFO_DATA& device, DWORD propertyCode) {
    DWORD size = 0;
    getProperty(deviceSet, &device, propertyCode, nullptr, nullptr, 0, &size);
    if (size == 0) return {};
    // Twice the size asked for, zero-filled, so that data without a terminating zero still ends.
    std::vector<char16_t> units(size, u'\0');
    if (!getProperty(deviceSet, &device, propertyCode, nullptr, reinterpret_cast<BYTE*>(units.data()),
                     static_cast<DWORD>(units.size() * sizeof(char16_t)), nullptr)) {
        return {};
    }
    return std::u16string(UpToZero(std::u16string_view(units.data(), units.size())));
}

std::u16string ListInstalledHardware() {
    const SetupLibrary setup;
    if (!setup.Complete()) return {};
    const Win32MachineRegistry registry;
    return HardwareListText(PresentDevices(setup, registry), registry);
}

}  // namespace brevant::crashreport
