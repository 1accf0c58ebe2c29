#pragma once
// The store's cipher: every byte is XORed with a keystream from a 32-bit xorshift generator
// seeded with the key. It is not meant to withstand analysis; it keeps the names out of a
// plain look at the executable and makes a store written with another key unreadable.
// Enciphering and deciphering are the same operation.

#include <cstdint>
#include <span>

namespace brevant::symbols {

inline constexpr std::uint32_t kStoreKey = 0x9E3779B9;

void ApplyStoreCipher(std::span<std::uint8_t> bytes, std::uint32_t key);

}  // namespace brevant::symbols
