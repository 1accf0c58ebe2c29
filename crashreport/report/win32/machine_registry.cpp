#include "crashreport/report/win32/machine_registry.h"

#include <windows.h>

#include "base/win32/wide_text.h"
#include "crashreport/report/list_text.h"

namespace brevant::crashreport {

namespace {

// The value's data, in a zero-filled buffer of extraFactor times its size.
std::string ReadValueData(std::u16string_view key, std::u16string_view valueName, DWORD extraFactor) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, ToWide(key).c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return {};
    const std::wstring name = ToWide(valueName);
    // No name reads the key's default value.
    const wchar_t* namePointer = name.empty() ? nullptr : name.c_str();
    std::string data;
    DWORD size = 0;
    if (RegQueryValueExW(opened, namePointer, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS && size != 0) {
        data.assign(static_cast<std::size_t>(size) * extraFactor, '\0');
        DWORD capacity = static_cast<DWORD>(data.size());
        if (RegQueryValueExW(opened, namePointer, nullptr, nullptr, reinterpret_cast<BYTE*>(data.data()), &capacity) !=
            ERROR_SUCCESS) {
            data.clear();
        } else if (extraFactor == 1) {
            data.resize(capacity);
        }
    }
    RegCloseKey(opened);
    return data;
}

}  // namespace

std::u16string Win32MachineRegistry::ValueText(std::u16string_view key, std::u16string_view valueName) const {
    const std::string data = ReadValueData(key, valueName, 2);
    std::u16string units(data.size() / 2, u'\0');
    for (std::size_t index = 0; index < units.size(); ++index) {
        units[index] = static_cast<char16_t>(static_cast<unsigned char>(data[2 * index]) |
                                             static_cast<unsigned char>(data[2 * index + 1]) << 8);
    }
    return std::u16string(UpToZero(units));
}

std::string Win32MachineRegistry::ValueBytes(std::u16string_view key, std::u16string_view valueName) const {
    return ReadValueData(key, valueName, 1);
}

}  // namespace brevant::crashreport
