#pragma once
// The operating system's name as the bug report shows it ("Windows 10 x64"), made from the
// version facts the system reports.

#include <cstdint>
#include <string>

namespace brevant::crashreport {

enum class PlatformFamily { Windows9x, WindowsNt };

struct OperatingSystemFacts {
    PlatformFamily family = PlatformFamily::WindowsNt;
    std::uint32_t major = 0, minor = 0, build = 0;
    bool workstation = true;
    bool serverR2 = false, starterEdition = false, mediaCenter = false;
    bool nativeAmd64 = false;
    std::u16string servicePack;  // empty when none is installed
};

std::u16string OperatingSystemName(const OperatingSystemFacts& facts);
// The name with the edition marks and the service pack; no build number.
std::u16string OperatingSystemDescription(const OperatingSystemFacts& facts);

}  // namespace brevant::crashreport
