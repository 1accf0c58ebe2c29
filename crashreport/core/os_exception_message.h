#pragma once
// The message text of an operating-system exception that no exception object describes.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace brevant::crashreport {

// The parts of an operating-system exception record the text is made from.
struct OsExceptionFacts {
    std::uint32_t code = 0;
    std::uint64_t address = 0;
    // Parameters 0 and 1 of an access violation: write flag and the accessed address.
    std::uint64_t accessIsWrite = 0;
    std::uint64_t accessedAddress = 0;
};

// The file name (without folder) of the loaded module whose committed, accessible memory holds
// the address, or nothing.
using ModuleNameAt = std::function<std::optional<std::u16string>(std::uint64_t address)>;

std::u16string OsExceptionMessage(const OsExceptionFacts& record, const ModuleNameAt& moduleNameAt);

}  // namespace brevant::crashreport
