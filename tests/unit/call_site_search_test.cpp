#include "crashreport/core/call_site_search.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <vector>

namespace brevant::crashreport {
namespace {

using x86::Mode;

// Pieces of code and data placed at addresses of their own.
class Memory : public x86::MemoryReader {
public:
    void Place(std::uint64_t at, std::vector<std::uint8_t> bytes) { pieces_[at] = std::move(bytes); }
    void PlacePointer(std::uint64_t at, std::uint64_t value, Mode mode) {
        std::vector<std::uint8_t> bytes(mode == Mode::Bits64 ? 8 : 4);
        std::memcpy(bytes.data(), &value, bytes.size());
        Place(at, bytes);
    }
    bool Read(std::uint64_t address, void* buffer, std::size_t size) const override {
        for (const auto& [start, bytes] : pieces_) {
            if (address >= start && address + size <= start + bytes.size()) {
                std::memcpy(buffer, bytes.data() + (address - start), size);
                return true;
            }
        }
        return false;
    }

private:
    std::map<std::uint64_t, std::vector<std::uint8_t>> pieces_;
};

std::vector<std::uint8_t> Concat(std::initializer_list<std::vector<std::uint8_t>> parts) {
    std::vector<std::uint8_t> all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

std::vector<std::uint8_t> Rel32(std::uint8_t opcode, std::uint64_t from, std::uint64_t to) {
    const auto distance = static_cast<std::int32_t>(to - (from + 5));
    std::vector<std::uint8_t> bytes = {opcode, 0, 0, 0, 0};
    std::memcpy(&bytes[1], &distance, 4);
    return bytes;
}

// The shape of a 64-bit CreateThread as a system ships it: a hot-patch entry, the arguments
// moved, the call of the routine doing the work, the return; and a thunk in front of it.
TEST(CallSiteSearch, FindsTheRelativeCallBehindAHotPatchThunkIn64Bits) {
    Memory memory;
    const std::uint64_t routine = 0x7b079cd0, worker = 0x7b079ab0, thunk = 0x7b60c474, slot = 0x7b64bef0;
    const std::vector<std::uint8_t> prologue = {0x48, 0x8d, 0xa4, 0x24, 0, 0, 0, 0, 0x48, 0x83, 0xec, 0x48,
                                                0x48, 0xc7, 0xc1, 0xff, 0xff, 0xff, 0xff};
    const std::uint64_t callAt = routine + prologue.size();
    memory.Place(routine, Concat({prologue, Rel32(0xE8, callAt, worker), {0x48, 0x83, 0xc4, 0x48, 0xc3}}));
    const auto slotDistance = static_cast<std::int32_t>(slot - (thunk + 14));
    std::vector<std::uint8_t> thunkBytes = {0x48, 0x8d, 0xa4, 0x24, 0, 0, 0, 0, 0xff, 0x25, 0, 0, 0, 0};
    std::memcpy(&thunkBytes[10], &slotDistance, 4);
    memory.Place(thunk, thunkBytes);
    memory.PlacePointer(slot, routine, Mode::Bits64);

    EXPECT_EQ(FollowJumpThunks(memory, thunk, Mode::Bits64), routine);
    const std::uint64_t sought[] = {worker};
    const auto site = FindCallSite(memory, FollowJumpThunks(memory, thunk, Mode::Bits64), Mode::Bits64, sought);
    ASSERT_TRUE(site.has_value());
    EXPECT_EQ(site->address, callAt);
    EXPECT_EQ(site->length, 5);
    EXPECT_EQ(site->callee, worker);
}

// Wine's 32-bit CreateThread as a running process holds it: a hot-patch entry, the stack
// realigned, the arguments stored, the call of CreateRemoteThreadEx; kernel32's entry is a
// hot-patch thunk jumping through a slot to it.
TEST(CallSiteSearch, FindsTheCallInWinesThirtyTwoBitCreateThreadBehindItsThunk) {
    Memory memory;
    const std::uint64_t routine = 0x7b07ba10, worker = 0x7b07b7c0, thunk = 0x7b8214f0, slot = 0x7b840c18;
    memory.Place(routine, {0x8b, 0xff, 0x55, 0x8b, 0xec, 0x5d, 0x8d, 0x4c, 0x24, 0x04, 0x83, 0xe4, 0xf0, 0xff,
                           0x71, 0xfc, 0x55, 0x89, 0xe5, 0x57, 0x56, 0x53, 0x51, 0x83, 0xec, 0x28, 0x8b, 0x59,
                           0x08, 0x8b, 0x71, 0x0c, 0x8b, 0x79, 0x10, 0x8b, 0x01, 0x8b, 0x51, 0x04, 0x8b, 0x49,
                           0x14, 0x89, 0x74, 0x24, 0x10, 0x89, 0x7c, 0x24, 0x14, 0x89, 0x4c, 0x24, 0x1c, 0x89,
                           0x5c, 0x24, 0x0c, 0xc7, 0x44, 0x24, 0x18, 0x00, 0x00, 0x00, 0x00, 0x89, 0x54, 0x24,
                           0x08, 0x89, 0x44, 0x24, 0x04, 0xc7, 0x04, 0x24, 0xff, 0xff, 0xff, 0xff, 0xe8, 0x59,
                           0xfd, 0xff, 0xff, 0x83, 0xec, 0x20, 0x8d, 0x65, 0xf0, 0x59, 0x5b, 0x5e});
    std::vector<std::uint8_t> thunkBytes = {0x8b, 0xff, 0x55, 0x8b, 0xec, 0x5d, 0xff, 0x25, 0, 0, 0, 0};
    const auto slotAddress = static_cast<std::uint32_t>(slot);
    std::memcpy(&thunkBytes[8], &slotAddress, 4);
    memory.Place(thunk, thunkBytes);
    memory.PlacePointer(slot, routine, Mode::Bits32);

    EXPECT_EQ(FollowJumpThunks(memory, thunk, Mode::Bits32), routine);
    const std::uint64_t sought[] = {worker};
    const auto site = FindCallSite(memory, routine, Mode::Bits32, sought);
    ASSERT_TRUE(site.has_value());
    EXPECT_EQ(site->address, 0x7b07ba62u);
    EXPECT_EQ(site->length, 5);
    EXPECT_EQ(site->callee, worker);
}

TEST(CallSiteSearch, TakesTheCallToTheSoughtRoutineNotAnEarlierOne) {
    Memory memory;
    const std::uint64_t routine = 0x401000, other = 0x402000, worker = 0x403000;
    const std::vector<std::uint8_t> entry = {0x8b, 0xff, 0x55, 0x8b, 0xec};
    memory.Place(routine, Concat({entry, Rel32(0xE8, routine + 5, other), Rel32(0xE8, routine + 10, worker),
                                  {0x5d, 0xc2, 0x18, 0x00}}));
    const std::uint64_t sought[] = {worker};
    const auto site = FindCallSite(memory, routine, Mode::Bits32, sought);
    ASSERT_TRUE(site.has_value());
    EXPECT_EQ(site->address, routine + 10);
}

TEST(CallSiteSearch, StopsAtTheFirstReturn) {
    Memory memory;
    const std::uint64_t routine = 0x401000, worker = 0x403000;
    memory.Place(routine, Concat({{0x55, 0x5d, 0xc3}, Rel32(0xE8, routine + 3, worker), {0xc3}}));
    const std::uint64_t sought[] = {worker};
    EXPECT_FALSE(FindCallSite(memory, routine, Mode::Bits32, sought).has_value());
}

// call [slot] in 32 bits, and a call through a slot that leads to a thunk of the routine.
TEST(CallSiteSearch, FindsACallThroughASlotThatHoldsTheRoutineOrItsThunk) {
    Memory memory;
    const std::uint64_t routine = 0x401000, slot = 0x405000, worker = 0x403000, workerThunk = 0x404000;
    memory.Place(routine, {0x55, 0x89, 0xe5, 0xff, 0x15, 0x00, 0x50, 0x40, 0x00, 0x5d, 0xc3});
    memory.PlacePointer(slot, workerThunk, Mode::Bits32);
    memory.Place(workerThunk, {0x8b, 0xff, 0x55, 0x8b, 0xec, 0x5d, 0xff, 0x25, 0x00, 0x60, 0x40, 0x00});
    memory.PlacePointer(0x406000, worker, Mode::Bits32);
    const std::uint64_t sought[] = {worker};
    const auto site = FindCallSite(memory, routine, Mode::Bits32, sought);
    ASSERT_TRUE(site.has_value());
    EXPECT_EQ(site->address, routine + 3);
    EXPECT_EQ(site->length, 6);
    EXPECT_EQ(site->callee, worker);
}

TEST(CallSiteSearch, CodeThatCannotBeReadFindsNothing) {
    Memory memory;
    memory.Place(0x401000, {0x55, 0x89, 0xe5});  // runs off the end
    const std::uint64_t sought[] = {0x403000};
    EXPECT_FALSE(FindCallSite(memory, 0x401000, Mode::Bits32, sought).has_value());
    EXPECT_EQ(FollowJumpThunks(memory, 0x409000, Mode::Bits32), 0x409000u);
}

TEST(CallSiteSearch, RelativeCallBytesArePaddedAndRefuseFarTargets) {
    const auto bytes = RelativeCallBytes(0x401000, 6, 0x401100);
    ASSERT_TRUE(bytes.has_value());
    EXPECT_EQ(*bytes, (std::vector<std::uint8_t>{0xE8, 0xFB, 0x00, 0x00, 0x00, 0x90}));
    const auto back = RelativeCallBytes(0x401000, 5, 0x400000);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, (std::vector<std::uint8_t>{0xE8, 0xFB, 0xEF, 0xFF, 0xFF}));
    EXPECT_FALSE(RelativeCallBytes(0x7ff800000000, 5, 0x140001000).has_value());
    EXPECT_FALSE(RelativeCallBytes(0x401000, 4, 0x401100).has_value());
}

}  // namespace
}  // namespace brevant::crashreport
