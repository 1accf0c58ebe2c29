#pragma once
// The form in which a store travels inside a module: compressed with zlib, then enciphered.
//
//   plain header   magic "QRXS", uncompressed size, compressed size, CRC-32 of the
//                  uncompressed store (four 32-bit little-endian words)
//   body           the zlib stream, enciphered (store_cipher.h)
//
// Unpacking checks every step, so a damaged, truncated or foreign resource yields nothing.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "symbols/store_cipher.h"

namespace brevant::symbols {

std::vector<std::uint8_t> PackStore(std::span<const std::uint8_t> store, std::uint32_t key = kStoreKey);
std::optional<std::vector<std::uint8_t>> UnpackStore(std::span<const std::uint8_t> packed,
                                                     std::uint32_t key = kStoreKey);

}  // namespace brevant::symbols
