// The settings block reader on arbitrary bytes: it must never read outside the data, and
// whatever it returns must be a prefix it really found.
#include <cstddef>
#include <cstdint>
#include <span>

#include "crashreport/core/settings_block.h"
#include "crashreport/core/settings_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace brevant::crashreport;
    SettingsStreamResult result = ReadSettingsStream(std::span(data, size), DecodeLatin1);
    if (!result.headerMatched && !result.properties.empty()) __builtin_trap();
    ModuleSettingsBlock block;
    const std::size_t count = result.properties.size();
    AddLoadedProperties(block, std::move(result));
    if (static_cast<std::size_t>(block.propCount) != count || block.propCap < block.propCount) __builtin_trap();
    return 0;
}
