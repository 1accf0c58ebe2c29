#pragma once
// The symbol store carried by an executable file, read without running it.

#include <cstdint>
#include <optional>
#include <span>

#include "symbols/symbol_store.h"

namespace brevant::symbols {

inline constexpr std::u16string_view kStoreResourceType = u"QRX";
inline constexpr std::u16string_view kStoreResourceName = u"EXCEPT";
inline constexpr std::u16string_view kCalibrationResourceName = u"CALIBRATE";

struct EmbeddedStore {
    SymbolStore store;
    std::uint64_t imageBase = 0;
    std::size_t packedSize = 0;
};

// Nothing when the file is no executable, has no store or a damaged one.
std::optional<EmbeddedStore> ReadEmbeddedStore(std::span<const std::uint8_t> file);

// Unpacks and checks a store as found in a resource.
std::optional<SymbolStore> OpenPackedStore(std::span<const std::uint8_t> packed);

}  // namespace brevant::symbols
