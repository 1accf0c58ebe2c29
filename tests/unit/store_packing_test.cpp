// Packing a store for its resource, and unpacking what a damaged or foreign resource holds.

#include <gtest/gtest.h>

#include <functional>

#include "base/little_endian.h"
#include "symbols/store_cipher.h"
#include "symbols/store_packing.h"

namespace brevant::symbols {
namespace {

std::vector<std::uint8_t> SampleStore() {
    std::vector<std::uint8_t> store;
    for (int index = 0; index < 5000; ++index) store.push_back(static_cast<std::uint8_t>(index * 7 % 251));
    return store;
}

TEST(StorePackingTest, UnpacksWhatItPacked) {
    const std::vector<std::uint8_t> store = SampleStore();
    const std::vector<std::uint8_t> packed = PackStore(store);
    EXPECT_LT(packed.size(), store.size());
    EXPECT_EQ(UnpackStore(packed), store);
    EXPECT_EQ(UnpackStore(PackStore({})), std::vector<std::uint8_t>());
}

TEST(StorePackingTest, TheBodyIsEnciphered) {
    // Deciphering with the key gives a zlib stream (0x78 first); the packed body does not.
    std::vector<std::uint8_t> packed = PackStore(SampleStore());
    std::vector<std::uint8_t> body(packed.begin() + 16, packed.end());
    EXPECT_NE(body[0], 0x78);
    ApplyStoreCipher(body, kStoreKey);
    EXPECT_EQ(body[0], 0x78);
}

TEST(StorePackingTest, RefusesDamagedOrForeignResources) {
    const std::vector<std::uint8_t> intact = PackStore(SampleStore());
    struct Case {
        const char* damage;
        std::function<void(std::vector<std::uint8_t>&)> apply;
        std::uint32_t key = kStoreKey;
    };
    const Case cases[] = {
        {"empty", [](auto& bytes) { bytes.clear(); }},
        {"header only", [](auto& bytes) { bytes.resize(16); }},
        {"truncated body", [](auto& bytes) { bytes.resize(bytes.size() - 10); }},
        {"wrong magic", [](auto& bytes) { bytes[0] ^= 1; }},
        {"flipped byte in the stream", [](auto& bytes) { bytes[bytes.size() / 2] ^= 0x40; }},
        {"store size larger than the stream gives",
         [](auto& bytes) { WriteU32(bytes.data() + 4, ReadU32(bytes.data() + 4) + 1); }},
        {"store size smaller than the stream gives",
         [](auto& bytes) { WriteU32(bytes.data() + 4, ReadU32(bytes.data() + 4) - 1); }},
        {"absurd store size", [](auto& bytes) { WriteU32(bytes.data() + 4, 0xFFFFFFF0); }},
        {"compressed size beyond the resource",
         [](auto& bytes) { WriteU32(bytes.data() + 8, ReadU32(bytes.data() + 8) + 1); }},
        {"wrong checksum", [](auto& bytes) { bytes[12] ^= 0xFF; }},
        {"no zlib stream",
         [](auto& bytes) {
             std::vector<std::uint8_t> garbage(bytes.size() - 16, 0x5A);
             ApplyStoreCipher(garbage, kStoreKey);
             std::copy(garbage.begin(), garbage.end(), bytes.begin() + 16);
         }},
        {"another key", [](auto&) {}, kStoreKey ^ 0x00010000},
    };
    ASSERT_TRUE(UnpackStore(intact));
    for (const Case& c : cases) {
        std::vector<std::uint8_t> bytes = intact;
        c.apply(bytes);
        EXPECT_FALSE(UnpackStore(bytes, c.key)) << c.damage;
    }
}

}  // namespace
}  // namespace brevant::symbols
