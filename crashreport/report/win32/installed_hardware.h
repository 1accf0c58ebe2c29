#pragma once
// The device-setup interface as the hardware list uses it.

#include <windows.h>

#include <setupapi.h>

#include <string>

namespace brevant::crashreport {

using SetupDiGetDeviceRegistryPropertyFunction = BOOL(WINAPI*)(HDEVINFO, PSP_DEVINFO_DATA, DWORD, DWORD*, BYTE*, DWORD,
                                                               DWORD*);

// A device registry property as text, up to its first zero unit; empty when it cannot be read.
std::u16string ReadDeviceProperty(SetupDiGetDeviceRegistryPropertyFunction getProperty, HDEVINFO deviceSet,
                                  SP_DEVINFO_DATA& device, DWORD propertyCode);

}  // namespace brevant::crashreport
