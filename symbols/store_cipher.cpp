#include "symbols/store_cipher.h"

namespace brevant::symbols {

void ApplyStoreCipher(std::span<std::uint8_t> bytes, std::uint32_t key) {
    std::uint32_t state = key == 0 ? 1 : key;  // xorshift never leaves zero
    for (std::uint8_t& byte : bytes) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        byte ^= static_cast<std::uint8_t>(state >> 24);
    }
}

}  // namespace brevant::symbols
