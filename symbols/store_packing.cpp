#include "symbols/store_packing.h"

#include <zlib.h>

#include "base/little_endian.h"

namespace brevant::symbols {

namespace {

constexpr std::uint32_t kPackedMagic = 0x53585251;  // "QRXS"
constexpr std::size_t kPackedHeaderSize = 16;
// No real store comes near this; it keeps a damaged size field from asking for gigabytes.
constexpr std::uint32_t kLargestStore = 256u << 20;

std::uint32_t StoreChecksum(std::span<const std::uint8_t> bytes) {
    return static_cast<std::uint32_t>(crc32(crc32(0, nullptr, 0), bytes.data(), static_cast<uInt>(bytes.size())));
}

}  // namespace

std::vector<std::uint8_t> PackStore(std::span<const std::uint8_t> store, std::uint32_t key) {
    uLongf compressedSize = compressBound(static_cast<uLong>(store.size()));
    std::vector<std::uint8_t> packed(kPackedHeaderSize + compressedSize);
    compress2(packed.data() + kPackedHeaderSize, &compressedSize, store.data(), static_cast<uLong>(store.size()),
              Z_BEST_COMPRESSION);
    packed.resize(kPackedHeaderSize + compressedSize);
    WriteU32(packed.data(), kPackedMagic);
    WriteU32(packed.data() + 4, static_cast<std::uint32_t>(store.size()));
    WriteU32(packed.data() + 8, static_cast<std::uint32_t>(compressedSize));
    WriteU32(packed.data() + 12, StoreChecksum(store));
    ApplyStoreCipher(std::span(packed).subspan(kPackedHeaderSize), key);
    return packed;
}

std::optional<std::vector<std::uint8_t>> UnpackStore(std::span<const std::uint8_t> packed, std::uint32_t key) {
    if (packed.size() < kPackedHeaderSize || ReadU32(packed.data()) != kPackedMagic) return std::nullopt;
    const std::uint32_t storeSize = ReadU32(packed.data() + 4);
    const std::uint32_t compressedSize = ReadU32(packed.data() + 8);
    if (storeSize > kLargestStore || compressedSize > packed.size() - kPackedHeaderSize) return std::nullopt;

    std::vector<std::uint8_t> body(packed.begin() + kPackedHeaderSize,
                                   packed.begin() + kPackedHeaderSize + compressedSize);
    ApplyStoreCipher(body, key);
    std::vector<std::uint8_t> store(storeSize);
    uLongf producedSize = storeSize;
    uLong consumedSize = compressedSize;
    if (uncompress2(store.data(), &producedSize, body.data(), &consumedSize) != Z_OK || producedSize != storeSize) {
        return std::nullopt;
    }
    if (StoreChecksum(store) != ReadU32(packed.data() + 12)) return std::nullopt;
    return store;
}

}  // namespace brevant::symbols
