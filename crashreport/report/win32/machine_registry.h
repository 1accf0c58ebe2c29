#pragma once
// Values below HKEY_LOCAL_MACHINE, opened only for reading.

#include <string>
#include <string_view>

#include "crashreport/report/hardware_list.h"

namespace brevant::crashreport {

class Win32MachineRegistry : public MachineRegistry {
public:
    // The data placed in a zero-filled buffer twice its size and taken up to the first zero
    // unit, so that data without a terminating zero still ends.
    std::u16string ValueText(std::u16string_view key, std::u16string_view valueName) const override;
    std::string ValueBytes(std::u16string_view key, std::u16string_view valueName) const override;
};

}  // namespace brevant::crashreport
