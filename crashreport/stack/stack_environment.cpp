#include "crashreport/stack/stack_environment.h"

namespace brevant::crashreport {

bool StackEnvironment::ReadPointer(std::uint64_t address, std::uint64_t& value) const {
    std::uint8_t bytes[8] = {};
    const unsigned size = PointerSize();
    if (!Read(address, bytes, size)) return false;
    value = 0;
    for (unsigned i = 0; i < size; ++i) value |= std::uint64_t{bytes[i]} << (8 * i);
    return true;
}

}  // namespace brevant::crashreport
